// Typed access by tag name: the name resolves to a tag number (-1 when
// unknown) and the by-number member does the rest.
#include "msg/msg_access.h"

namespace {

template <class F>
int ByName(CMsg& p_Msg, const char* p_szName, F p_Call) {
    int iTagNum = -1;
    int iResult = MsgAccess::ResolveName(p_Msg, p_szName, &iTagNum);
    return iResult != 0 ? iResult : p_Call(iTagNum);
}

}  // namespace

#define VORANT_BY_NAME(value_type)                                                   \
    int CMsg::SetValue(const char* p_szName, value_type p_Value) {                   \
        return ByName(*this, p_szName, [&](int t) { return SetValue(t, p_Value); }); \
    }

VORANT_BY_NAME(const char*)
VORANT_BY_NAME(const CString&)
VORANT_BY_NAME(int)
VORANT_BY_NAME(double)
VORANT_BY_NAME(bool)
VORANT_BY_NAME(CDate)
VORANT_BY_NAME(CInt)
VORANT_BY_NAME(CDbl)
VORANT_BY_NAME(CBool)
VORANT_BY_NAME(CMsg*)
#undef VORANT_BY_NAME

#define VORANT_BY_NAME(out_type)                                                    \
    int CMsg::GetValue(const char* p_szName, out_type p_pOut) {                     \
        return ByName(*this, p_szName, [&](int t) { return GetValue(t, p_pOut); }); \
    }

VORANT_BY_NAME(CString*)
VORANT_BY_NAME(int*)
VORANT_BY_NAME(double*)
VORANT_BY_NAME(bool*)
VORANT_BY_NAME(CDate*)
VORANT_BY_NAME(CInt*)
VORANT_BY_NAME(CDbl*)
VORANT_BY_NAME(CBool*)
VORANT_BY_NAME(CMsg**)
VORANT_BY_NAME(CStrArray*)
VORANT_BY_NAME(CIntArray*)
VORANT_BY_NAME(CDblArray*)
VORANT_BY_NAME(CBoolArray*)
VORANT_BY_NAME(CDateArray*)
VORANT_BY_NAME(CMsgArray*)
#undef VORANT_BY_NAME

CMsg* CMsg::GetValue(const char* p_szName) {
    CMsg* pMsg = nullptr;
    return GetValue(p_szName, &pMsg) >= 0 ? pMsg : nullptr;
}
