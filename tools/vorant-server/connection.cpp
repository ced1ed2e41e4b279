// One connection of the server: read the request, pick the rule, answer
// (or break the answer on purpose), log one line, close.
#include <arpa/inet.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "server_impl.h"
#include "transport/packet_layout.h"
#include "transport/tcp_adaptor.h"
#include "vorant/stream.hpp"

namespace vorant_server {

namespace {

const int kCompressAbove = 1024;
const int kDrainMillis = 2000;
const char kBadProtocol[] = "QRB-XMP-V9.9";

std::string Now() {
    const time_t tNow = time(nullptr);
    tm tmLocal;
    localtime_r(&tNow, &tmLocal);
    char szBuf[32];
    strftime(szBuf, sizeof szBuf, "%Y-%m-%d %H:%M:%S", &tmLocal);
    return szBuf;
}

std::string PeerText(const sockaddr_in& p_Peer) {
    char szAddr[INET_ADDRSTRLEN] = "?";
    inet_ntop(AF_INET, &p_Peer.sin_addr, szAddr, sizeof szAddr);
    return std::string(szAddr) + ":" + std::to_string(ntohs(p_Peer.sin_port));
}

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

}  // namespace

void CMessageServer::CImpl::Serve(int p_iFd, const sockaddr_in& p_Peer) {
    {
        std::lock_guard<std::mutex> lock(m_OpenMutex);
        m_OpenFds.insert(p_iFd);
    }
    if (m_bStopping) {
        shutdown(p_iFd, SHUT_RDWR);
    }
    const int iOn = 1;
    setsockopt(p_iFd, IPPROTO_TCP, TCP_NODELAY, &iOn, sizeof iOn);

    const std::string strPeer = PeerText(p_Peer);
    CTcpAdaptor conn;
    conn.Attach(p_iFd, strPeer.c_str(), ntohs(p_Peer.sin_port));
    conn.SetMaxPacketLength(m_Options.m_iMaxPacketLength);
    const int iTimeout = m_Options.m_iTimeout;

    CPacketInfo request;
    const int iReceived = conn.ReceiveFrom(&request, iTimeout);
    std::string strLog = Now() + " " + strPeer + " svc=" + std::to_string(request.m_iSvcNum) +
                         " msg=" + std::to_string(request.m_iMsgNum) + " key=" + request.m_strUserKey.ToStr() +
                         " in=" + std::to_string(request.m_Body.GetSize()) + (request.m_bCompressed ? "/Y" : "/N");

    const CServiceRule* pRule = nullptr;
    CAnswer answer;
    std::string strOutcome;
    if (iReceived < 0) {
        // A damaged but complete request still gets a reasoned refusal;
        // one that never arrived whole gets nothing.
        if (iReceived != -13 && iReceived != -16) {
            Log(strLog + " out=- request failed: " + conn.GetLastError());
            Finish(conn.GetSocket());
            return;
        }
        answer = RejectAnswer(REJECT_BAD_REQUEST, conn.GetLastError(), request.m_iSvcNum);
        strOutcome = "bad request, reject " + std::to_string(REJECT_BAD_REQUEST);
    } else if ((pRule = m_Rules.Find(request.m_iSvcNum)) == nullptr) {
        answer =
            RejectAnswer(REJECT_NO_RULE, "no rule for service " + std::to_string(request.m_iSvcNum), request.m_iSvcNum);
        strOutcome = "no rule, reject " + std::to_string(REJECT_NO_RULE);
    } else if (pRule->m_eAction == CServiceRule::ECHO) {
        std::string strError;
        if (!NormaliseMessage(m_pDic.get(), request.m_Body.GetData(), &answer, &strError)) {
            answer = RejectAnswer(REJECT_UNREADABLE_XML, "request does not parse: " + strError, request.m_iSvcNum);
            strOutcome = "unreadable request, reject " + std::to_string(REJECT_UNREADABLE_XML);
        }
    } else if (pRule->m_eAction == CServiceRule::ANSWER) {
        answer = m_AnswerFiles.at(pRule->m_strAnswerFile);  // read at start, never changed
    } else {
        answer = RejectAnswer(pRule->m_iRejectCode, pRule->m_strRejectReason, request.m_iSvcNum);
    }
    if (strOutcome.empty()) {
        strOutcome = pRule->m_strText;
    }

    CPacketInfo reply;
    reply.m_iSvcNum = request.m_iSvcNum;
    reply.m_iMsgNum = answer.m_iMsgNum;
    reply.m_iRefNum = request.m_iRefNum;
    reply.m_strUserKey = request.m_strUserKey;
    reply.m_Body.AppendData(answer.m_strXml.data(), static_cast<int>(answer.m_strXml.size()));
    reply.m_bCompressed = reply.m_Body.GetSize() > kCompressAbove || reply.m_iMsgNum == 1;
    strLog += " out=" + std::to_string(reply.m_Body.GetSize()) + (reply.m_bCompressed ? "/Y" : "/N");

    if (pRule != nullptr && pRule->m_iDelaySeconds > 0 && WaitFor(-1, pRule->m_iDelaySeconds * 1000) < 0) {
        Log(strLog + " " + strOutcome + ": stopped during the delay");
        Finish(conn.GetSocket());
        return;
    }

    CStream built;
    if (conn.BuildPacket(&reply, &built) < 0) {
        Log(strLog + " " + strOutcome + ": cannot build the answer: " + conn.GetLastError());
        Finish(conn.GetSocket());
        return;
    }
    std::string strPacket(built.GetData(), static_cast<size_t>(built.GetSize()));
    size_t nSend = strPacket.size();
    if (pRule != nullptr) {
        Break(*pRule, &strPacket);
        if (pRule->m_bHeaderOnly) {
            nSend = vorant::packet::HEADER_SIZE;
        }
        if (pRule->m_llCloseAfter >= 0 && static_cast<size_t>(pRule->m_llCloseAfter) < nSend) {
            nSend = static_cast<size_t>(pRule->m_llCloseAfter);
        }
    }
    if (conn.SendData(strPacket.data(), static_cast<int>(nSend), iTimeout) < 0) {
        strOutcome += ": send failed: " + std::string(conn.GetLastError());
    } else if (nSend < strPacket.size()) {
        strOutcome += ": sent " + std::to_string(nSend) + " of " + std::to_string(strPacket.size()) + " bytes";
    } else {
        strOutcome += ": sent";
    }
    if (pRule != nullptr && pRule->m_bHeaderOnly) {
        // Silence until the client gives up (or the limit, or Stop).
        WaitFor(conn.GetSocket(), m_Options.m_iSilenceLimit * 1000);
    }
    Log(strLog + " " + strOutcome);
    Finish(conn.GetSocket());
}

void CMessageServer::CImpl::Finish(int p_iFd) {
    // FIN first, then read until the client closes, so that nothing unread
    // on our side turns the close into a reset that could eat the answer.
    shutdown(p_iFd, SHUT_WR);
    char szBuf[4096];
    timespec tsStart;
    clock_gettime(CLOCK_MONOTONIC, &tsStart);
    for (;;) {
        timespec tsNow;
        clock_gettime(CLOCK_MONOTONIC, &tsNow);
        const long lSpent = (tsNow.tv_sec - tsStart.tv_sec) * 1000 + (tsNow.tv_nsec - tsStart.tv_nsec) / 1000000;
        if (lSpent >= kDrainMillis || WaitFor(p_iFd, static_cast<int>(kDrainMillis - lSpent)) <= 0 ||
            recv(p_iFd, szBuf, sizeof szBuf, 0) <= 0) {
            break;
        }
    }
    {
        std::lock_guard<std::mutex> lock(m_OpenMutex);
        m_OpenFds.erase(p_iFd);
    }
    // The adaptor that owns the descriptor closes it (Serve's conn).
}

}  // namespace vorant_server
