// The flat interface's view of the dictionary (names, tags and their types)
// and a message listing into a caller's buffer, for callers that type values
// themselves, such as language bindings.
#include <cstring>
#include <new>

#include "api/flat_error.h"
#include "msg/msg_info.h"
#include "vorant/msg.hpp"
#include "vorant/msg_dic.hpp"
#include "vorant/stream.hpp"
#include "vorant/vorant.h"

namespace {

CMsgInfo* FindInfo(int p_iMsgNum) {
    return CMsgDic::IsValidMsgNum(p_iMsgNum) ? MA_GetMsgDic()->GetMsgInfo(p_iMsgNum) : nullptr;
}

}  // namespace

extern "C" {

int MSG_FindMsgNum(const char* name) {
    if (name == nullptr)
        return MA_ERR_NULL_PARAM;
    CMsgDic* pDic = MA_GetMsgDic();
    for (int i = 1; i <= CMsgDic::MAX_MSG_NUM; ++i) {
        CMsgInfo* pInfo = pDic->GetMsgInfo(i);
        if (pInfo && strcmp(pInfo->GetName().ToStr(), name) == 0)
            return i;
    }
    return MA_ERR_MSG_NOT_DEFINED;
}

const char* MSG_GetMsgName(int msgnum) {
    CMsgInfo* pInfo = FindInfo(msgnum);
    return pInfo ? pInfo->GetName().ToStr() : nullptr;
}

int MSG_GetTagDefCount(int msgnum) {
    CMsgInfo* pInfo = FindInfo(msgnum);
    return pInfo ? pInfo->GetTagCount() : MA_ERR_MSG_NOT_DEFINED;
}

int MSG_GetTagDef(int msgnum, int idx, VorantTagDef* def) {
    if (def == nullptr || def->size < static_cast<int>(sizeof(VorantTagDef)))
        return MA_ERR_NULL_PARAM;
    CMsgInfo* pInfo = FindInfo(msgnum);
    if (pInfo == nullptr)
        return MA_ERR_MSG_NOT_DEFINED;
    const CTagInfo* pTag = pInfo->GetTagInfo(pInfo->GetTagNumAt(idx));
    if (pTag == nullptr)
        return MA_ERR_ARRAY_INDEX;
    def->tag = pTag->m_iTagNum;
    def->name = pTag->m_strName.ToStr();
    def->type = pTag->m_iType;
    def->subMsg = pTag->m_iSubMsg;
    def->isArray = pTag->m_bArray ? 1 : 0;
    return 0;
}

int MSG_DumpToBuffer(CMsg* msg, char* buffer, int size) {
    if (msg == nullptr || size < 0 || (buffer == nullptr && size > 0))
        return MA_ERR_NULL_PARAM;
    try {
        CStream stream;
        msg->Dump(&stream, false, 1);
        int iLength = stream.GetData() ? stream.GetSize() : 0;
        if (size > 0) {
            int iCopy = iLength < size ? iLength : size - 1;
            if (iCopy > 0)
                memcpy(buffer, stream.GetData(), static_cast<size_t>(iCopy));
            buffer[iCopy] = '\0';
        }
        return iLength;
    } catch (const CException& e) {
        return FailureCode(e);
    } catch (const std::bad_alloc&) {
        return MA_ERR_MEMORY;
    } catch (...) {
        return VORANT_FLAT_FAILED;
    }
}

}  // extern "C"
