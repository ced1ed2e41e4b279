#include "transport/tcp_adaptor.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>
#include <utility>

#include "transport/adaptor_errors.h"
#include "transport/packet_decode.h"
#include "transport/packet_encode.h"
#include "transport/packet_info.h"
#include "transport/packet_layout.h"
#include "transport/wire_trace.h"
#include "vorant/stream.hpp"

using vorant::packet::BEGIN;
using vorant::packet::BEGIN_STRING;
using vorant::packet::BODY_LENGTH;
using vorant::packet::CHECKSUM_SIZE;
using vorant::packet::HEADER_SIZE;
using vorant::packet::PACKET_LENGTH;

int CTcpAdaptor::SendTo(CPacketInfo* p_pInfo, int p_iTimeout) {
    CStream packet;
    const int iBuilt = BuildPacket(p_pInfo, &packet);
    if (iBuilt < 0) {
        return iBuilt;
    }
    const int iSent = SendData(packet.GetData(), packet.GetSize(), p_iTimeout);
    if (m_pTrace) {
        m_pTrace->m_RequestPacket = std::move(packet);
    }
    return iSent < 0 ? iSent : 0;
}

int CTcpAdaptor::BuildPacket(CPacketInfo* p_pInfo, CStream* p_pPacket) {
    std::string strDetails;
    const int iResult = vorant::packet::EncodePacket(p_pInfo, p_pPacket, &strDetails);
    if (iResult < 0) {
        SetError(iResult, "%s", strDetails.c_str());
    }
    return iResult;
}

int CTcpAdaptor::ReceiveFrom(CPacketInfo* p_pInfo, int p_iTimeout) {
    if (p_pInfo == nullptr) {
        SetError(ADAPTOR_NULL_PARAM, "p_pInfo");
        return ADAPTOR_NULL_PARAM;
    }
    char szHeader[HEADER_SIZE + 1];
    int iResult = ReceiveData(szHeader, HEADER_SIZE, p_iTimeout);
    if (iResult < 0) {
        return iResult;
    }
    szHeader[HEADER_SIZE] = '\0';
    if (m_pTrace) {
        m_pTrace->m_HeaderAt = CWireTrace::Clock::now();
        m_pTrace->m_bHeaderArrived = true;
        m_pTrace->m_AnswerPacket.AppendData(szHeader, HEADER_SIZE);
    }
    // Both lengths come from the peer: DecodeHeader checks them before
    // anything of their size is read or allocated.
    vorant::packet::Frame frame;
    frame.m_iWireBody = -1;
    std::string strDetails;
    iResult = vorant::packet::DecodeHeader(szHeader, m_iMaxPacketLength, p_pInfo, &frame, &strDetails);
    if (m_pTrace && frame.m_iWireBody >= 0) {
        m_pTrace->m_llAnswerWire = frame.m_iWireBody;
    }
    if (iResult < 0) {
        SetError(iResult, "%s", strDetails.c_str());
        return iResult;
    }

    int iBodySum = 0;
    iResult = ReceiveBody(p_pInfo, frame.m_iWireBody, frame.m_iBody, p_iTimeout, &iBodySum);
    if (iResult < 0) {
        return iResult;
    }

    char szSum[CHECKSUM_SIZE + 1];
    iResult = ReceiveRest(szSum, CHECKSUM_SIZE, p_iTimeout, "checksum");
    if (iResult < 0) {
        return iResult;
    }
    szSum[CHECKSUM_SIZE] = '\0';
    if (m_pTrace) {
        m_pTrace->m_AnswerPacket.AppendData(szSum, CHECKSUM_SIZE);
    }
    const int iComputed = (CheckSum(szHeader, HEADER_SIZE) + iBodySum) % 256;
    iResult = vorant::packet::CheckSumField(iComputed, szSum, &strDetails);
    if (iResult < 0) {
        SetError(iResult, "%s", strDetails.c_str());
        return iResult;
    }
    return 0;
}

// Once the header is in, a time-out means a packet cut short; the deadline
// keeps its own record, which says what ended the call.
int CTcpAdaptor::ReceiveRest(char* p_pBuffer, int p_iLength, int p_iTimeout, const char* p_szPart) {
    const int iResult = ReceiveData(p_pBuffer, p_iLength, p_iTimeout);
    if (iResult == ADAPTOR_TIMEOUT && !DeadlinePassed()) {
        SetError(ADAPTOR_CORRUPTED, "uncompleted packet timeout(%s)", p_szPart);
        return ADAPTOR_CORRUPTED;
    }
    return iResult;
}

// Reads the p_iWireLength body bytes into p_pInfo->m_Body, inflating them to
// at most p_iBodyLength bytes when compressed; *p_pBodySum is the checksum of the
// bytes as they travelled.
int CTcpAdaptor::ReceiveBody(CPacketInfo* p_pInfo, int p_iWireLength, int p_iBodyLength, int p_iTimeout,
                             int* p_pBodySum) {
    CStream& body = p_pInfo->m_Body;
    if (!p_pInfo->m_bCompressed) {
        char* pBody = body.GetBuffer(p_iWireLength + 1);
        if (pBody == nullptr) {
            SetError(ADAPTOR_MEMORY, "ReceiveFrom");
            return ADAPTOR_MEMORY;
        }
        const int iResult = ReceiveRest(pBody, p_iWireLength, p_iTimeout, "body");
        if (iResult < 0) {
            return iResult;
        }
        body.ReleaseBuffer(p_iWireLength);
        *p_pBodySum = CheckSum(pBody, p_iWireLength);
        if (m_pTrace) {
            m_pTrace->m_AnswerPacket.AppendData(pBody, p_iWireLength);
        }
        return 0;
    }

    std::unique_ptr<char[]> pWire;
    try {
        pWire.reset(new char[static_cast<size_t>(p_iWireLength) + 1]);
    } catch (...) {
        SetError(ADAPTOR_MEMORY, "ReceiveFrom");
        return ADAPTOR_MEMORY;
    }
    const int iResult = ReceiveRest(pWire.get(), p_iWireLength, p_iTimeout, "body");
    if (iResult < 0) {
        return iResult;
    }
    pWire[p_iWireLength] = '\0';
    *p_pBodySum = CheckSum(pWire.get(), p_iWireLength);
    if (m_pTrace) {
        m_pTrace->m_AnswerPacket.AppendData(pWire.get(), p_iWireLength);
    }

    std::string strDetails;
    const int iInflated = vorant::packet::InflateBody(pWire.get(), p_iWireLength, p_iBodyLength, &body, &strDetails);
    if (iInflated != 0) {
        SetError(iInflated, "%s", strDetails.c_str());
        return iInflated;
    }
    return 0;
}
