#include "api/streamed_body.h"

#include "msg/msg_xml_source.h"
#include "transport/inflating_body.h"
#include "transport/packet_layout.h"

int LoadCompressedBody(const char* p_pHeader, const char* p_pWire, const char* p_pSum,
                       const vorant::packet::Frame& p_Frame, CMsg* p_pMsg, std::string* p_pDetails) {
    const int iWire = p_Frame.m_iWireBody;
    // The body is checked whole before the message is touched, as when it
    // was inflated into a buffer first: a damaged one leaves the message as
    // it was. Inflating it twice costs far less than holding it.
    {
        CInflatingBody check(p_pWire, iWire, p_Frame.m_iBody);
        const int iInflate = check.Finish(p_pDetails);
        if (iInflate != 0)
            return iInflate;
    }
    const int iSum = vorant::packet::CheckSumField(
        (CheckSum(p_pHeader, vorant::packet::HEADER_SIZE) + CheckSum(p_pWire, iWire)) % 256, p_pSum, p_pDetails);
    if (iSum != 0)
        return iSum;
    CInflatingBody body(p_pWire, iWire, p_Frame.m_iBody);
    CMsgXmlReaderSource<CInflatingBody> source(body);
    LoadMsgXml(p_pMsg, source);
    return body.Finish(p_pDetails);
}
