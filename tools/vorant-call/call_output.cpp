#include "call_output.h"

#include <cstddef>
#include <cstring>

namespace {

// The error record's codes of the failing step of a call that returned -3.
const int kStepConnect = -3;
const int kStepSend = -4;
const int kStepReceive = -5;

std::string Reason(int p_iErrno) {
    char szText[256];
    return p_iErrno == 0 ? "" : std::string(": ") + strerror_r(p_iErrno, szText, sizeof szText);
}

}  // namespace

void CCallPlace::Take(const VorantTrace& p_Trace) {
    m_bKnown = true;
    m_strHost = p_Trace.host ? p_Trace.host : "";
    m_strAddress = p_Trace.address;
    m_iPort = p_Trace.port;
    // A record from before the field was added is shorter.
    const size_t nEnd = offsetof(VorantTrace, sysErrno) + sizeof p_Trace.sysErrno;
    m_iSysErrno = p_Trace.size >= nEnd ? p_Trace.sysErrno : 0;
}

std::string ConnectionProblem(int p_iResult, CVorantError& p_Err, const CCallPlace& p_Place) {
    if (p_iResult != -3 || !p_Place.m_bKnown)
        return "";
    const std::string strPort = " port " + std::to_string(p_Place.m_iPort);
    const std::string strWhere = (p_Place.m_strAddress.empty() ? p_Place.m_strHost : p_Place.m_strAddress) + strPort;
    switch (p_Err.GetCode()) {
        case kStepConnect:
            if (std::strncmp(p_Err.GetText().ToStr(), "Failed in gethostbyname()", 25) == 0)
                return "could not resolve " + p_Place.m_strHost + Reason(p_Place.m_iSysErrno);
            return "could not connect to " + strWhere + Reason(p_Place.m_iSysErrno);
        case kStepSend: return "could not send the request to " + strWhere + Reason(p_Place.m_iSysErrno);
        case kStepReceive: return "no whole answer from " + strWhere + Reason(p_Place.m_iSysErrno);
        default: return "";
    }
}

std::string FormatError(int p_iSvcNum, int p_iResult, CVorantError& p_Err, const CCallPlace* p_pPlace) {
    std::string strOut;
    if (p_iSvcNum >= 0)
        strOut = (p_iResult == -4 ? "rejected: service " : "failed: service ") + std::to_string(p_iSvcNum) +
                 " returned " + std::to_string(p_iResult) + "\n";
    else
        strOut = "failed: initialisation returned " + std::to_string(p_iResult) + "\n";
    strOut += "  code      : " + std::to_string(p_Err.GetCode()) + "\n";
    strOut += "  text      : " + std::string(p_Err.GetText().ToStr()) + "\n";
    strOut += "  refSvcNum : " + std::to_string(p_Err.GetRefSvcNum()) + "\n";
    const std::string strProblem = p_pPlace ? ConnectionProblem(p_iResult, p_Err, *p_pPlace) : "";
    if (!strProblem.empty())
        strOut += "  problem   : " + strProblem + "\n";
    return strOut;
}

std::string FormatAnswer(CMsg& p_Answer, bool p_bAsXml) {
    CStream stream;
    if (p_bAsXml)
        p_Answer.ToXml(&stream, false, true, 1);
    else
        p_Answer.Dump(&stream, false, 1);
    std::string strOut = stream.GetData() ? std::string(stream.GetData(), static_cast<size_t>(stream.GetSize())) : "";
    if (strOut.empty() || strOut.back() != '\n')
        strOut += '\n';
    return strOut;
}
