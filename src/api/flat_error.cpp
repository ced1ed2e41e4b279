#include "api/flat_error.h"

#include <cstring>

#include "vorant/msg_error.hpp"

void SetErrorInfo(int p_iCode, const char* p_szText, int p_iRefSvcNum, VorantErrorInfo* p_pInfo) {
    p_pInfo->code = p_iCode;
    memset(p_pInfo->text, 0, sizeof(p_pInfo->text));
    if (p_szText)
        memcpy(p_pInfo->text, p_szText, strnlen(p_szText, kFlatTextMax));
    p_pInfo->refSvcNum = p_iRefSvcNum;
}

void CopyErrorInfo(const CVorantError& p_Err, VorantErrorInfo* p_pInfo) {
    SetErrorInfo(p_Err.GetCode(), p_Err.GetText(), p_Err.GetRefSvcNum(), p_pInfo);
}

void CopyErrorInfo(const CException& p_Exception, VorantErrorInfo* p_pInfo) {
    int iCode = p_Exception.GetCode();
    CString strText = CFormat("MSG_Error(%d) : %s {%s}", iCode, MA_GetErrorStr(iCode), p_Exception.GetText());
    SetErrorInfo(iCode, strText, 0, p_pInfo);
}
