#include "dictionary_view.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <set>

#include "field_value.h"
#include "msg/msg_info.h"
#include "vorant/msg_dic.hpp"

namespace {

const int kMaxMsgNum = 9999;

std::string Line(const char* p_szFormat, ...) __attribute__((format(printf, 1, 2)));

std::string Line(const char* p_szFormat, ...) {
    char szText[512];
    va_list args;
    va_start(args, p_szFormat);
    std::vsnprintf(szText, sizeof szText, p_szFormat, args);
    va_end(args);
    return std::string(szText) + "\n";
}

// The flat interface has no version: it is the one field read from the
// dictionary's own definition.
std::string VersionOf(int p_iMsgNum) {
    const CMsgInfo* pInfo = MA_GetMsgDic()->GetMsgInfo(p_iMsgNum);
    return pInfo ? pInfo->GetVer().ToStr() : "";
}

void Describe(const CMessageDef& p_Def, bool p_bRecursive, std::set<int>* p_pDone, std::string* p_pOut) {
    p_pDone->insert(p_Def.GetMsgNum());
    const std::vector<VorantTagDef>& tags = p_Def.GetTags();
    if (!p_pOut->empty())
        *p_pOut += "\n";
    *p_pOut += Line("message %d %s, version '%s', %d tag%s", p_Def.GetMsgNum(), p_Def.GetName().c_str(),
                    VersionOf(p_Def.GetMsgNum()).c_str(), static_cast<int>(tags.size()), tags.size() == 1 ? "" : "s");
    *p_pOut += Line("  %5s  %-20s %-8s %-5s %s", "tag", "name", "type", "array", "sub-message");
    for (const VorantTagDef& tag : tags) {
        std::string strSub = "-";
        if (tag.type == VORANT_TAG_SUBMSG) {
            const char* szSubName = MSG_GetMsgName(tag.subMsg);
            strSub = std::to_string(tag.subMsg) + (szSubName ? std::string(" ") + szSubName : " (not defined)");
        }
        *p_pOut += Line("  %5d  %-20s %-8s %-5s %s", tag.tag, tag.name, TypeText(tag).c_str(), tag.isArray ? "Y" : "N",
                        strSub.c_str());
    }
    if (!p_bRecursive)
        return;
    for (const VorantTagDef& tag : tags) {
        CMessageDef sub;
        if (tag.type == VORANT_TAG_SUBMSG && p_pDone->count(tag.subMsg) == 0 && sub.Load(tag.subMsg))
            Describe(sub, true, p_pDone, p_pOut);
    }
}

}  // namespace

bool CMessageDef::Load(int p_iMsgNum) {
    const char* szName = MSG_GetMsgName(p_iMsgNum);
    const int iCount = MSG_GetTagDefCount(p_iMsgNum);
    if (szName == nullptr || iCount < 0)
        return false;
    m_iMsgNum = p_iMsgNum;
    m_strName = szName;
    m_Tags.clear();
    std::set<int> seen;
    for (int i = 0; i < iCount; ++i) {
        VorantTagDef def = {};
        def.size = sizeof def;
        if (MSG_GetTagDef(p_iMsgNum, i, &def) == 0 && seen.insert(def.tag).second)
            m_Tags.push_back(def);
    }
    return true;
}

std::string CMessageDef::Label() const { return "message " + std::to_string(m_iMsgNum) + " " + m_strName; }

const VorantTagDef* CMessageDef::FindTag(const std::string& p_strName) const {
    for (const VorantTagDef& tag : m_Tags) {
        if (p_strName == tag.name)
            return &tag;
    }
    return nullptr;
}

const VorantTagDef* CMessageDef::FindTag(int p_iTagNum) const {
    for (const VorantTagDef& tag : m_Tags) {
        if (tag.tag == p_iTagNum)
            return &tag;
    }
    return nullptr;
}

bool FindMessage(const std::string& p_strNumberOrName, CMessageDef* p_pDef) {
    char* pEnd = nullptr;
    const long lNumber = std::strtol(p_strNumberOrName.c_str(), &pEnd, 10);
    if (!p_strNumberOrName.empty() && *pEnd == '\0')
        return lNumber >= 1 && lNumber <= kMaxMsgNum && p_pDef->Load(static_cast<int>(lNumber));
    const int iMsgNum = MSG_FindMsgNum(p_strNumberOrName.c_str());
    return iMsgNum > 0 && p_pDef->Load(iMsgNum);
}

std::string ListMessages() {
    std::string strOut = Line("%5s  %-24s %-8s %s", "msg", "name", "version", "tags");
    for (int n = 1; n <= kMaxMsgNum; ++n) {
        CMessageDef def;
        if (def.Load(n))
            strOut += Line("%5d  %-24s %-8s %d", n, def.GetName().c_str(), VersionOf(n).c_str(),
                           static_cast<int>(def.GetTags().size()));
    }
    return strOut;
}

std::string DescribeMessage(const CMessageDef& p_Def, bool p_bRecursive) {
    std::set<int> done;
    std::string strOut;
    Describe(p_Def, p_bRecursive, &done, &strOut);
    return strOut;
}
