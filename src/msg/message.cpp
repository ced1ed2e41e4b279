// CMsg: construction, definition, the value table and the tree links.
#include <algorithm>
#include <cstring>
#include <new>

#include "msg/msg_access.h"
#include "msg/msg_arena.h"
#include "msg/msg_info.h"
#include "msg/msg_value_kinds.h"
#include "vorant/exception.hpp"
#include "vorant/msg.hpp"

#if defined(__x86_64__)
// Every parsed row is one.
static_assert(sizeof(CMsg) == 56, "a message stays 56 bytes");
#endif

// What few messages need beside their values: the version text, the
// dictionary while there is no definition to reach it by, and the arena of
// the last parse. Owned by one message; used by its thread.
class CMsgExtras {
public:
    CMsgExtras() = default;
    ~CMsgExtras() { delete m_pArena; }
    CMsgExtras(const CMsgExtras&) = delete;
    CMsgExtras& operator=(const CMsgExtras&) = delete;

    CMsgDic* m_pDic = nullptr;
    CMsgArena* m_pArena = nullptr;  // owned
    char m_szVer[CMsg::VER_SIZE + 1] = {};
};

namespace {

CMsgExtras* NewExtras() {
    CMsgExtras* pExtras = new (std::nothrow) CMsgExtras();
    if (!pExtras)
        throw CException("new CMsgExtras failed", MA_ERR_MEMORY);
    return pExtras;
}

}  // namespace

CMsg::CMsg(int p_iSelfNum, int p_iRootNum, int p_iSelfTagNum, CMsgDic* p_pDic)
    : CMsg(static_cast<CMsgInfo*>(nullptr), 0, 0) {
    if (!p_pDic)
        throw CException("CMsg: Parameter is NULL", MA_ERR_NULL_PARAM);
    if (p_iSelfNum > 0) {
        Define(p_pDic, p_iSelfNum, p_iRootNum, p_iSelfTagNum);
    } else {
        m_pExtras = NewExtras();
        m_pExtras->m_pDic = p_pDic;
    }
}

CMsg::CMsg(CMsgInfo* p_pInfo, int p_iRootNum, int p_iSelfTagNum)
    : m_iRootNum(p_iRootNum),
      m_iSelfTagNum(p_iSelfTagNum),
      m_iHeadCount(VALUE_HEADS),
      m_iPoolSize(0),
      m_iPoolUsed(0),
      m_bEmpty(true),
      m_bInArena(false),
      m_bArenaTable(false),
      m_pValues(nullptr),
      m_pParent(nullptr),
      m_pMsgInfo(p_pInfo),
      m_pExtras(nullptr) {}

CMsg::~CMsg() {
    ReleaseContent();
    delete m_pExtras;
}

void CMsg::Init(int p_iSelfNum, int p_iRootNum, int p_iSelfTagNum) {
    Define(GetMsgDic(), p_iSelfNum, p_iRootNum, p_iSelfTagNum);
}

void CMsg::Define(CMsgDic* p_pDic, int p_iSelfNum, int p_iRootNum, int p_iSelfTagNum) {
    int iRoot = p_iRootNum > 0 ? p_iRootNum : p_iSelfNum;
    if (!CMsgDic::IsValidMsgNum(p_iSelfNum))
        throw CException(MA_ERR_MSGNUM_BOUNDARY, "1.msgnum=%d", p_iSelfNum);
    if (!CMsgDic::IsValidMsgNum(iRoot))
        throw CException(MA_ERR_MSGNUM_BOUNDARY, "2.msgnum=%d", iRoot);
    CMsgInfo* pInfo = p_pDic->GetMsgInfo(p_iSelfNum);
    if (!pInfo)
        throw CException(MA_ERR_MSG_NOT_DEFINED, "3.msgnum=%d", p_iSelfNum);
    Redefine(pInfo, iRoot, p_iSelfTagNum);
}

void CMsg::Redefine(CMsgInfo* p_pInfo, int p_iRootNum, int p_iSelfTagNum) {
    m_pMsgInfo = p_pInfo;
    // A message reused for many answers must not keep (or leak) old values.
    ReleaseContent();
    m_iRootNum = p_iRootNum;
    m_iSelfTagNum = p_iSelfTagNum;
    m_pParent = nullptr;
}

void CMsg::SetVer(const CString& p_strVer) {
    if (!m_pExtras) {
        if (p_strVer.IsEmpty())
            return;
        m_pExtras = NewExtras();
    }
    std::memset(m_pExtras->m_szVer, 0, sizeof(m_pExtras->m_szVer));
    std::strncpy(m_pExtras->m_szVer, p_strVer.ToStr(), VER_SIZE);
}

int CMsg::GetSelfNum() const { return m_pMsgInfo ? m_pMsgInfo->GetMsgNum() : 0; }

const char* CMsg::GetVer() const { return m_pExtras ? m_pExtras->m_szVer : ""; }

CMsgDic* CMsg::GetMsgDic() const { return m_pMsgInfo ? m_pMsgInfo->GetDic() : m_pExtras->m_pDic; }

// The bags own and list every sub-message: nothing is kept here.
int CMsg::AddChild(CMsg* p_pChild) { return p_pChild ? 0 : MA_ERR_NULL_PARAM; }

CMsgValue* CMsg::GetHashBag(int p_iTagNum) const {
    if (p_iTagNum < 0 || !m_pValues)
        return nullptr;
    for (CMsgValue* pBag = m_pValues[HeadIndex(p_iTagNum)]; pBag; pBag = pBag->m_pNext) {
        if (pBag->m_iTagNum == p_iTagNum)
            return pBag;
    }
    return nullptr;
}

namespace {

// Bags of one message are mostly allocated together, with its chain heads.
const int kPooledBags = 16;

}  // namespace

CMsgValue* CMsg::NewHashBag(int p_iTagNum, CMsgArena* p_pArena) {
    if (!m_pValues) {
        int iTags = m_pMsgInfo ? m_pMsgInfo->GetTagCount() : 0;
        // A parsed table gets its bags from the arena as its values come.
        int iPool = p_pArena ? 0 : iTags < kPooledBags ? iTags : kPooledBags;
        m_iHeadCount = static_cast<short>(m_pMsgInfo ? m_pMsgInfo->GetTableHeads() : VALUE_HEADS);
        size_t iBytes =
            sizeof(CMsgValue*) * static_cast<size_t>(m_iHeadCount) + sizeof(CMsgValue) * static_cast<size_t>(iPool);
        if (p_pArena)
            m_pValues = static_cast<CMsgValue**>(p_pArena->Allocate(iBytes, alignof(CMsgValue)));
        else
            m_pValues = static_cast<CMsgValue**>(::operator new(iBytes, std::nothrow));
        if (!m_pValues)
            return nullptr;
        m_bArenaTable = p_pArena != nullptr;
        std::fill(m_pValues, m_pValues + m_iHeadCount, nullptr);
        m_iPoolSize = static_cast<signed char>(iPool);
        m_iPoolUsed = 0;
    }
    CMsgValue* pBag = nullptr;
    if (m_iPoolUsed < m_iPoolSize) {
        pBag = new (reinterpret_cast<CMsgValue*>(m_pValues + m_iHeadCount) + m_iPoolUsed++) CMsgValue();
        pBag->m_bPlaced = true;
    } else if (p_pArena) {
        void* pPlace = p_pArena->Allocate(sizeof(CMsgValue), alignof(CMsgValue));
        if (!pPlace)
            return nullptr;
        pBag = new (pPlace) CMsgValue();
        pBag->m_bPlaced = true;
    } else {
        pBag = new (std::nothrow) CMsgValue();
    }
    if (!pBag)
        return nullptr;
    pBag->m_iTagNum = p_iTagNum;
    CMsgValue** ppLink = &m_pValues[HeadIndex(p_iTagNum)];
    while (*ppLink)
        ppLink = &(*ppLink)->m_pNext;
    *ppLink = pBag;
    return pBag;
}

void CMsg::ReleaseContent() {
    if (m_pValues) {
        for (int i = 0; i < m_iHeadCount; ++i)
            MsgAccess::DeleteBag(m_pValues[i]);
        if (!m_bArenaTable)
            ::operator delete(m_pValues);
        m_pValues = nullptr;
        m_bArenaTable = false;
        m_iPoolSize = 0;
        m_iPoolUsed = 0;
    }
    // Last: the bags above may have lived in it, and every sub-message placed
    // in it has been destroyed with them. Its blocks serve the next parse.
    if (m_pExtras && m_pExtras->m_pArena)
        m_pExtras->m_pArena->Reset();
}

CMsgArena* MsgAccess::ParseArena(CMsg& p_Msg) {
    if (!p_Msg.m_pExtras) {
        p_Msg.m_pExtras = new (std::nothrow) CMsgExtras();
        if (!p_Msg.m_pExtras)
            return nullptr;
    }
    if (!p_Msg.m_pExtras->m_pArena)
        p_Msg.m_pExtras->m_pArena = new (std::nothrow) CMsgArena();
    return p_Msg.m_pExtras->m_pArena;
}

CMsg* MsgAccess::NewSubMsg(CMsgArena* p_pArena, int p_iSelfNum, int p_iRootNum, int p_iSelfTagNum, CMsgDic* p_pDic,
                           CMsgInfo* p_pInfo) {
    if (!p_pArena)
        return p_pInfo ? new (std::nothrow) CMsg(p_pInfo, p_iRootNum, p_iSelfTagNum)
                       : MsgTryNew<CMsg>(p_iSelfNum, p_iRootNum, p_iSelfTagNum, p_pDic);
    void* pPlace = p_pArena->Allocate(sizeof(CMsg), alignof(CMsg));
    if (!pPlace)
        return nullptr;
    CMsg* pMsg = nullptr;
    if (p_pInfo) {
        pMsg = new (pPlace) CMsg(p_pInfo, p_iRootNum, p_iSelfTagNum);
    } else {
        // A constructor that fails leaves its place unused until the arena dies.
        pMsg = MsgNullOnMemoryFailure([&] { return new (pPlace) CMsg(p_iSelfNum, p_iRootNum, p_iSelfTagNum, p_pDic); });
        if (!pMsg)
            return nullptr;
    }
    pMsg->m_bInArena = true;
    return pMsg;
}

void MsgAccess::DeleteMsg(CMsg* p_pMsg) {
    if (!p_pMsg)
        return;
    if (p_pMsg->m_bInArena) {
        p_pMsg->~CMsg();
        VORANT_ARENA_POISON(p_pMsg, sizeof(CMsg));
    } else {
        delete p_pMsg;
    }
}

void MsgAccess::DropSubMsg(CMsg&, CMsg* p_pOld) { DeleteMsg(p_pOld); }

bool MsgAccess::IsSelfOrAncestor(const CMsg& p_Msg, const CMsg* p_pCandidate) {
    for (const CMsg* p = &p_Msg; p; p = p->m_pParent) {
        if (p == p_pCandidate)
            return true;
    }
    return false;
}

CMsg* MA_NewMsg(int p_iMsgNum) {
    try {
        return new CMsg(p_iMsgNum, 0, 0, MA_GetMsgDic());
    } catch (...) {
        return nullptr;
    }
}

void MA_FreeMsg(CMsg* p_pMsg) { MsgAccess::DeleteMsg(p_pMsg); }
