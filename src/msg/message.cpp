// CMsg: construction, definition, the value table and the tree links.
#include <cstring>
#include <new>

#include "msg/msg_access.h"
#include "msg/msg_info.h"
#include "vorant/exception.hpp"
#include "vorant/msg.hpp"

CMsg::CMsg(int p_iSelfNum, int p_iRootNum, int p_iSelfTagNum, CMsgDic* p_pDic)
    : m_iRootNum(0),
      m_iSelfNum(0),
      m_iSelfTagNum(0),
      m_bEmpty(true),
      m_szVer(),
      m_pValues(nullptr),
      m_pParent(nullptr),
      m_pChildren(nullptr),
      m_pMsgDic(p_pDic),
      m_pMsgInfo(nullptr),
      m_iHeadCount(VALUE_HEADS) {
    if (!p_pDic)
        throw CException("CMsg: Parameter is NULL", MA_ERR_NULL_PARAM);
    if (p_iSelfNum > 0)
        Init(p_iSelfNum, p_iRootNum, p_iSelfTagNum);
}

CMsg::~CMsg() { ReleaseContent(); }

void CMsg::Init(int p_iSelfNum, int p_iRootNum, int p_iSelfTagNum) {
    int iRoot = p_iRootNum > 0 ? p_iRootNum : p_iSelfNum;
    if (!CMsgDic::IsValidMsgNum(p_iSelfNum))
        throw CException(MA_ERR_MSGNUM_BOUNDARY, "1.msgnum=%d", p_iSelfNum);
    if (!CMsgDic::IsValidMsgNum(iRoot))
        throw CException(MA_ERR_MSGNUM_BOUNDARY, "2.msgnum=%d", iRoot);
    m_pMsgInfo = m_pMsgDic->GetMsgInfo(p_iSelfNum);
    if (!m_pMsgInfo)
        throw CException(MA_ERR_MSG_NOT_DEFINED, "3.msgnum=%d", p_iSelfNum);
    // A message reused for many answers must not keep (or leak) old values.
    ReleaseContent();
    m_iSelfNum = p_iSelfNum;
    m_iRootNum = iRoot;
    m_iSelfTagNum = p_iSelfTagNum;
    m_pParent = nullptr;
    int iHeads = m_pMsgInfo->GetHashSize();
    m_iHeadCount = iHeads >= 1 && iHeads <= VALUE_HEADS ? iHeads : VALUE_HEADS;
}

void CMsg::SetVer(const CString& p_strVer) {
    std::memset(m_szVer, 0, sizeof(m_szVer));
    std::strncpy(m_szVer, p_strVer.ToStr(), VER_SIZE);
}

int CMsg::AddChild(CMsg* p_pChild) {
    if (!p_pChild)
        return MA_ERR_NULL_PARAM;
    if (!m_pChildren) {
        m_pChildren = new (std::nothrow) CMsgArray(false);
        if (!m_pChildren)
            return MA_ERR_MEMORY;
    }
    int iResult = m_pChildren->Add(p_pChild);
    return iResult < 0 ? iResult : 0;
}

CMsgValue* CMsg::GetHashBag(int p_iTagNum) const {
    if (p_iTagNum < 0 || !m_pValues)
        return nullptr;
    for (CMsgValue* pBag = m_pValues[HeadIndex(p_iTagNum)]; pBag; pBag = pBag->m_pNext) {
        if (pBag->m_iTagNum == p_iTagNum)
            return pBag;
    }
    return nullptr;
}

bool CMsg::SetHashBag(int p_iTagNum, CMsgValue* p_pBag) {
    if (!m_pValues) {
        m_pValues = new (std::nothrow) CMsgValue*[static_cast<size_t>(m_iHeadCount)]();
        if (!m_pValues)
            return false;
    }
    p_pBag->m_iTagNum = p_iTagNum;
    CMsgValue** ppLink = &m_pValues[HeadIndex(p_iTagNum)];
    while (*ppLink)
        ppLink = &(*ppLink)->m_pNext;
    *ppLink = p_pBag;
    return true;
}

void CMsg::ReleaseContent() {
    // The children list only views sub-messages that the bags own.
    delete m_pChildren;
    m_pChildren = nullptr;
    if (!m_pValues)
        return;
    for (int i = 0; i < m_iHeadCount; ++i)
        delete m_pValues[i];
    delete[] m_pValues;
    m_pValues = nullptr;
}

CMsgValue* MsgAccess::NewBag(CMsg& p_Msg, int p_iTagNum) {
    CMsgValue* pBag = new (std::nothrow) CMsgValue();
    if (pBag && !p_Msg.SetHashBag(p_iTagNum, pBag)) {
        delete pBag;
        pBag = nullptr;
    }
    return pBag;
}

void MsgAccess::DropSubMsg(CMsg& p_Msg, CMsg* p_pOld) {
    if (p_Msg.m_pChildren)
        p_Msg.m_pChildren->RemovePointer(p_pOld);
    delete p_pOld;
}

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

void MA_FreeMsg(CMsg* p_pMsg) { delete p_pMsg; }
