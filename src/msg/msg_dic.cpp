#include "vorant/msg_dic.hpp"

#include <cstring>
#include <new>

#include "dat_class/num_text.h"
#include "msg/msg_info.h"
#include "msg/xml_support.h"
#include "vorant/exception.hpp"
#include "vorant/stream.hpp"

bool CMsgDic::m_bLoaded = false;

namespace {

// The process-wide dictionary: empty from load, torn down at unload.
CMsgDic g_MsgDic;

// Type code and sub-message number of a dictionary type text.
void ParseTagType(const CString& p_strType, int* p_piType, int* p_piSubMsg) {
    static const char* const kNames[] = {"string", "integer", "double", "bool", "date"};
    for (int i = 0; i < 5; ++i) {
        if (std::strcmp(p_strType.ToStr(), kNames[i]) == 0) {
            *p_piType = TAG_TYPE_STRING + i;
            *p_piSubMsg = 0;
            return;
        }
    }
    if (p_strType.ToStr()[0] == 'm') {
        const int iSubMsg = vorant::num_text::ParseInt(p_strType.ToStr() + 1);
        if (!CMsgDic::IsValidMsgNum(iSubMsg))
            throw CException(MA_ERR_SUBMSG_BOUNDARY, "submsg=%s", p_strType.ToStr());
        *p_piType = TAG_TYPE_SUBMSG;
        *p_piSubMsg = iSubMsg;
        return;
    }
    throw CException(MA_ERR_TAG_TYPE, "tagtype=%s", p_strType.ToStr());
}

}  // namespace

CMsgDic* MA_GetMsgDic() { return &g_MsgDic; }

CString GetTagTypeName(int p_iType) {
    switch (p_iType) {
        case TAG_TYPE_UNKNOWN: return CString("Unknown");
        case TAG_TYPE_STRING: return CString("string");
        case TAG_TYPE_INT: return CString("integer");
        case TAG_TYPE_DBL: return CString("double");
        case TAG_TYPE_BOOL: return CString("bool");
        case TAG_TYPE_DATE: return CString("date");
        case TAG_TYPE_SUBMSG: return CString("submsg");
        default: return CFormat("Unknown(%d)", p_iType);
    }
}

CMsgDic::CMsgDic() : m_pMsgInfo(), m_bXmlStarted(false) {}

CMsgDic::~CMsgDic() {
    for (CMsgInfo*& pInfo : m_pMsgInfo) {
        delete pInfo;
        pInfo = nullptr;
    }
    if (m_bXmlStarted) {
        m_bXmlStarted = false;
        XmlPlatformTerminate();
    }
}

bool CMsgDic::IsValidMsgNum(int p_iMsgNum) { return p_iMsgNum >= 1 && p_iMsgNum <= MAX_MSG_NUM; }

CMsgInfo* CMsgDic::GetMsgInfo(int p_iMsgNum) const {
    return IsValidMsgNum(p_iMsgNum) ? m_pMsgInfo[p_iMsgNum] : nullptr;
}

void CMsgDic::SetMsgInfo(int p_iMsgNum, const CString& p_strName, const CString& p_strVer, const CString& p_strHash) {
    if (!IsValidMsgNum(p_iMsgNum))
        throw CException(MA_ERR_MSGNUM_BOUNDARY, "msgnum=%d", p_iMsgNum);
    if (m_pMsgInfo[p_iMsgNum])
        throw CException(MA_ERR_DUPLICATED_MSG, "msgnum=%d,msgname=%s", p_iMsgNum, p_strName.ToStr());
    // CMsgInfo turns 0 or less, and anything beyond its 128 bucket heads, into 128.
    const int iHashSize = vorant::num_text::ParseInt(p_strHash.ToStr());
    try {
        m_pMsgInfo[p_iMsgNum] = new CMsgInfo(p_iMsgNum, p_strName.ToStr(), p_strVer.ToStr(), iHashSize, this);
    } catch (const std::bad_alloc&) {
        throw CException(MA_ERR_MEMORY, "(CMsgInfo)");
    } catch (const CException&) {
        // Only the allocations of its members can fail.
        throw CException(MA_ERR_MEMORY, "(CMsgInfo)");
    }
}

void CMsgDic::SetMsgDetail(int p_iMsgNum, int p_iTagNum, const CString& p_strName, const CString& p_strType,
                           const CString& p_strArray) {
    if (!IsValidMsgNum(p_iMsgNum))
        throw CException(MA_ERR_MSGNUM_BOUNDARY, "msgnum=%d", p_iMsgNum);
    CMsgInfo* pInfo = m_pMsgInfo[p_iMsgNum];
    if (!pInfo)
        throw CException(MA_ERR_MSG_NOT_DEFINED, "msgnum=%d", p_iMsgNum);
    if (p_iTagNum < 0)
        throw CException(MA_ERR_TAGNUM_BOUNDARY, "msgnum=%d,tagnum=%d", p_iMsgNum, p_iTagNum);
    int iType = TAG_TYPE_UNKNOWN;
    int iSubMsg = 0;
    ParseTagType(p_strType, &iType, &iSubMsg);
    const bool bArray = std::strcmp(p_strArray.ToStr(), "Y") == 0;
    pInfo->AddTag(p_iTagNum, p_strName.ToStr(), iType, iSubMsg, bArray);
}

void CMsgDic::Dump(CStream* p_pOut) const {
    if (!p_pOut)
        return;
    for (int i = 1; i <= MAX_MSG_NUM; ++i) {
        const CMsgInfo* pInfo = m_pMsgInfo[i];
        if (!pInfo)
            continue;
        p_pOut->AppendData(CFormat("<msg no='%d' name='%s' hash='%d'>\n", pInfo->GetMsgNum(), pInfo->GetName().ToStr(),
                                   pInfo->GetHashSize()));
        pInfo->Dump(p_pOut);
        p_pOut->AppendData("</msg>\n\n", 8);
    }
}
