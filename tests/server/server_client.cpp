#include "server_client.h"

#include <gtest/gtest.h>

#include "vorant/msg.hpp"

std::string CallResult::Body() const {
    const CStream& body = m_Answer.m_Body;
    return std::string(body.GetData() ? body.GetData() : "", static_cast<size_t>(body.GetSize()));
}

std::unique_ptr<CallResult> Call(int p_iPort, int p_iSvcNum, int p_iMsgNum, const std::string& p_strXml, int p_iTimeout,
                                 const char* p_szHost) {
    std::unique_ptr<CallResult> pResult(new CallResult);
    CTcpAdaptor a;
    CPacketInfo request;
    request.m_iSvcNum = p_iSvcNum;
    request.m_iMsgNum = p_iMsgNum;
    request.m_strUserKey = "TESTKEY";
    request.m_Body.AppendData(p_strXml.data(), static_cast<int>(p_strXml.size()));
    request.m_bCompressed = p_strXml.size() > 1024 || p_iMsgNum == 1;
    int iCode = a.Connect(p_szHost, p_iPort);
    if (iCode >= 0) {
        iCode = a.SendTo(&request, p_iTimeout);
    }
    if (iCode >= 0) {
        iCode = a.ReceiveFrom(&pResult->m_Answer, p_iTimeout);
    }
    pResult->m_iCode = iCode < 0 ? iCode : 0;
    pResult->m_strError = a.GetLastError();
    return pResult;
}

std::string RequestPacket(int p_iSvcNum, int p_iMsgNum, const std::string& p_strBody, bool p_bCompressed) {
    CPacketInfo request;
    request.m_iSvcNum = p_iSvcNum;
    request.m_iMsgNum = p_iMsgNum;
    request.m_bCompressed = p_bCompressed;
    request.m_Body.AppendData(p_strBody.data(), static_cast<int>(p_strBody.size()));
    CTcpAdaptor builder;
    CStream packet;
    EXPECT_EQ(0, builder.BuildPacket(&request, &packet));
    return std::string(packet.GetData(), static_cast<size_t>(packet.GetSize()));
}

TestServer::TestServer(const std::string& p_strRules, int p_iThreads,
                       const std::function<void(vorant_server::CServerOptions*)>& p_fnTune) {
    vorant_server::CServerOptions opts;
    opts.m_strDictionary = TestData("msg_dic.xml");
    opts.m_strRules = p_strRules;
    opts.m_iThreads = p_iThreads;
    opts.m_iTimeout = 2;
    opts.m_fnLog = [this](const std::string& p_strLine) {
        std::lock_guard<std::mutex> lock(m_Mutex);
        m_Log.push_back(p_strLine);
    };
    if (p_fnTune) {
        p_fnTune(&opts);
    }
    std::string strError;
    EXPECT_TRUE(m_Server.Start(opts, &strError)) << strError;
}

std::vector<std::string> TestServer::LogLines() {
    std::lock_guard<std::mutex> lock(m_Mutex);
    return m_Log;
}

bool ReadReject(const std::string& p_strXml, int* p_pCode, std::string* p_pReason, int* p_pSvc) {
    static CMsgDic* s_pDic = []() {
        CMsgDic* pDic = new CMsgDic;  // lives for the test process
        pDic->InitDictionary(TestData("msg_dic.xml").c_str());
        return pDic;
    }();
    try {
        CMsg msg(0, 0, 0, s_pDic);
        CString strReason;
        if (msg.LoadXml(p_strXml.c_str()) < 0 || msg.GetMsgNum() != 10 || msg.GetValue(6, p_pCode) < 0 ||
            msg.GetValue(7, &strReason) < 0 || msg.GetValue(8, p_pSvc) < 0) {
            return false;
        }
        *p_pReason = strReason.ToStr();
        return true;
    } catch (const CException&) {
        return false;
    }
}

std::string TestData(const std::string& p_strName) { return std::string(SERVER_TEST_DATA) + "/" + p_strName; }
