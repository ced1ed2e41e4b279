// What the server answers: pick the rule, build the message and packet,
// break the packet on purpose when the rule says so.
#include <cstdio>
#include <string>

#include "msg/msg_xml_source.h"
#include "server_impl.h"
#include "transport/adaptor_errors.h"
#include "transport/inflating_body.h"
#include "transport/packet_decode.h"
#include "transport/packet_encode.h"
#include "transport/packet_info.h"
#include "transport/packet_layout.h"
#include "transport/protocol.h"
#include "vorant/stream.hpp"

namespace vorant_server {

namespace {

const char kBadProtocol[] = "QRB-XMP-V9.9";

// Rewrites the checksum digits after the header was changed on purpose, so
// that only the intended fault shows; p_iAdd makes the sum wrong.
void Reseal(std::string* p_pPacket, int p_iAdd) {
    using vorant::packet::CHECKSUM_SIZE;
    const size_t nBody = p_pPacket->size() - CHECKSUM_SIZE;
    const int iSum = (CheckSum(p_pPacket->data(), static_cast<int>(nBody)) + p_iAdd) % 256;
    char szSum[8];
    snprintf(szSum, sizeof szSum, "%03d", iSum);
    p_pPacket->replace(nBody, CHECKSUM_SIZE, szSum, CHECKSUM_SIZE);
}

// Applies the rule's header and checksum faults to a built packet.
void Break(const CServiceRule& p_Rule, std::string* p_pPacket) {
    using vorant::packet::BEGIN;
    using vorant::packet::PACKET_LENGTH;
    if (p_Rule.m_bBadProtocol) {
        p_pPacket->replace(BEGIN.m_iOffset, BEGIN.m_iWidth, kBadProtocol);
    }
    if (!p_Rule.m_strBadLength.empty()) {
        p_pPacket->replace(PACKET_LENGTH.m_iOffset, PACKET_LENGTH.m_iWidth, p_Rule.m_strBadLength);
    }
    Reseal(p_pPacket, p_Rule.m_bBadChecksum ? 1 : 0);
}

bool Compressed(const CReply& p_Reply) {
    return vorant::protocol::TravelsCompressed(static_cast<long long>(p_Reply.m_strXml.size()), p_Reply.m_iMsgNum);
}

}  // namespace

bool CMessageServer::CImpl::Echo(const CPacketInfo& p_Request, const CRequestBody& p_Kept, CEchoCache* p_pCache,
                                 CAnswer* p_pAnswer, std::string* p_pError) const {
    if (p_Kept.m_pWire != nullptr) {
        // Too large to remember: parsed as it inflates.
        CInflatingBody body(p_Kept.m_pWire, p_Kept.m_iWire, p_Kept.m_iCeiling);
        CMsgXmlReaderSource<CInflatingBody> source(body);
        return NormaliseMessage(m_pDic.get(), source, p_pAnswer, p_pError);
    }
    const CStream& body = p_Request.m_Body;
    const std::string strXml(body.GetData() ? body.GetData() : "", static_cast<size_t>(body.GetSize()));
    if (const CAnswer* pKnown = p_pCache->Find(strXml)) {
        *p_pAnswer = *pKnown;
        return true;
    }
    if (!NormaliseMessage(m_pDic.get(), strXml.c_str(), p_pAnswer, p_pError))
        return false;
    p_pCache->Add(strXml, *p_pAnswer);
    return true;
}

CReply CMessageServer::CImpl::Decide(const CPacketInfo& p_Request, const CRequestBody& p_Kept,
                                     const std::string& p_strError, const std::string& p_strLogStart,
                                     CEchoCache* p_pCache) const {
    CReply reply;
    CAnswer answer;
    const int iSvc = p_Request.m_iSvcNum;
    if (!p_strError.empty()) {
        // A damaged but complete request still gets a reasoned refusal.
        answer = RejectAnswer(REJECT_BAD_REQUEST, p_strError, iSvc);
        reply.m_strOutcome = "bad request, reject " + std::to_string(REJECT_BAD_REQUEST);
        reply.m_iServerReject = REJECT_BAD_REQUEST;
    } else if ((reply.m_pRule = m_Rules.Find(iSvc)) == nullptr) {
        answer = RejectAnswer(REJECT_NO_RULE, "no rule for service " + std::to_string(iSvc), iSvc);
        reply.m_strOutcome = "no rule, reject " + std::to_string(REJECT_NO_RULE);
        reply.m_iServerReject = REJECT_NO_RULE;
    } else if (reply.m_pRule->m_eAction == CServiceRule::ECHO) {
        std::string strError;
        if (!Echo(p_Request, p_Kept, p_pCache, &answer, &strError)) {
            answer = RejectAnswer(REJECT_UNREADABLE_XML, "request does not parse: " + strError, iSvc);
            reply.m_strOutcome = "unreadable request, reject " + std::to_string(REJECT_UNREADABLE_XML);
            reply.m_iServerReject = REJECT_UNREADABLE_XML;
        }
    } else if (reply.m_pRule->m_eAction == CServiceRule::ANSWER) {
        answer = m_AnswerFiles.at(reply.m_pRule->m_strAnswerFile);  // read at start, never changed
    } else {
        answer = RejectAnswer(reply.m_pRule->m_iRejectCode, reply.m_pRule->m_strRejectReason, iSvc);
    }
    if (reply.m_strOutcome.empty()) {
        reply.m_strOutcome = reply.m_pRule->m_strText;
    }
    reply.m_iMsgNum = answer.m_iMsgNum;
    reply.m_strXml = std::move(answer.m_strXml);
    reply.m_strLog =
        p_strLogStart + " out=" + std::to_string(reply.m_strXml.size()) + (Compressed(reply) ? "/Y" : "/N");
    return reply;
}

bool CMessageServer::CImpl::Build(const CPacketInfo& p_Request, CReply* p_pReply) const {
    CPacketInfo answer;
    answer.m_iSvcNum = p_Request.m_iSvcNum;
    answer.m_iMsgNum = p_pReply->m_iMsgNum;
    answer.m_iRefNum = p_Request.m_iRefNum;
    answer.m_strUserKey = p_Request.m_strUserKey;
    answer.m_bCompressed = Compressed(*p_pReply);
    if (answer.m_Body.AppendData(p_pReply->m_strXml.data(), static_cast<int>(p_pReply->m_strXml.size())) < 0) {
        p_pReply->m_strOutcome += ": cannot build the answer: no memory for its body";
        return false;
    }
    // The packet is all that is sent: the text goes now, not with the reply.
    std::string().swap(p_pReply->m_strXml);
    CStream built;
    std::string strDetails;
    const int iBuilt = vorant::packet::EncodePacket(&answer, &built, &strDetails);
    if (iBuilt < 0) {
        p_pReply->m_strOutcome += ": cannot build the answer: " + vorant::packet::ErrorRecord(iBuilt, strDetails);
        return false;
    }
    p_pReply->m_strPacket.assign(built.GetData(), static_cast<size_t>(built.GetSize()));
    p_pReply->m_nSend = p_pReply->m_strPacket.size();
    const CServiceRule* pRule = p_pReply->m_pRule;
    if (pRule != nullptr) {
        Break(*pRule, &p_pReply->m_strPacket);
        if (pRule->m_bHeaderOnly) {
            p_pReply->m_nSend = vorant::packet::HEADER_SIZE;
        }
        if (pRule->m_llCloseAfter >= 0 && static_cast<size_t>(pRule->m_llCloseAfter) < p_pReply->m_nSend) {
            p_pReply->m_nSend = static_cast<size_t>(pRule->m_llCloseAfter);
        }
    }
    return true;
}

}  // namespace vorant_server
