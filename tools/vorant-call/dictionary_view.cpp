#include "dictionary_view.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <vector>

#include "field_value.h"
#include "msg/msg_info.h"
#include "vorant/msg_dic.hpp"

namespace {

std::string Line(const char* p_szFormat, ...) __attribute__((format(printf, 1, 2)));

std::string Line(const char* p_szFormat, ...) {
    char text[512];
    va_list args;
    va_start(args, p_szFormat);
    std::vsnprintf(text, sizeof text, p_szFormat, args);
    va_end(args);
    return std::string(text) + "\n";
}

void Describe(const CMsgInfo& p_Info, bool p_bRecursive, std::set<int>* p_pDone, std::string* p_pOut) {
    p_pDone->insert(p_Info.GetMsgNum());
    const std::vector<const CTagInfo*> tags = TagsInOrder(p_Info);
    if (!p_pOut->empty())
        *p_pOut += "\n";
    *p_pOut += Line("message %d %s, version '%s', %d tag%s", p_Info.GetMsgNum(), p_Info.GetName().ToStr(),
                    p_Info.GetVer().ToStr(), static_cast<int>(tags.size()), tags.size() == 1 ? "" : "s");
    *p_pOut += Line("  %5s  %-20s %-8s %-5s %s", "tag", "name", "type", "array", "sub-message");
    for (const CTagInfo* tag : tags) {
        std::string sub = tag->m_iType == TAG_TYPE_SUBMSG ? std::to_string(tag->m_iSubMsg) : "-";
        const CMsgInfo* subInfo = MA_GetMsgDic()->GetMsgInfo(tag->m_iSubMsg);
        if (tag->m_iType == TAG_TYPE_SUBMSG)
            sub += subInfo ? std::string(" ") + subInfo->GetName().ToStr() : " (not defined)";
        *p_pOut += Line("  %5d  %-20s %-8s %-5s %s", tag->m_iTagNum, tag->m_strName.ToStr(), TypeText(*tag).c_str(),
                        tag->m_bArray ? "Y" : "N", sub.c_str());
    }
    if (!p_bRecursive)
        return;
    for (const CTagInfo* tag : tags) {
        if (tag->m_iType != TAG_TYPE_SUBMSG || p_pDone->count(tag->m_iSubMsg) > 0)
            continue;
        const CMsgInfo* subInfo = MA_GetMsgDic()->GetMsgInfo(tag->m_iSubMsg);
        if (subInfo != nullptr)
            Describe(*subInfo, true, p_pDone, p_pOut);
    }
}

}  // namespace

std::vector<const CTagInfo*> TagsInOrder(const CMsgInfo& p_Info) {
    std::vector<const CTagInfo*> tags;
    std::set<int> seen;
    for (int i = 0; i < p_Info.GetTagCount(); ++i) {
        const int tagNum = p_Info.GetTagNumAt(i);
        if (seen.insert(tagNum).second && p_Info.GetTagInfo(tagNum) != nullptr)
            tags.push_back(p_Info.GetTagInfo(tagNum));
    }
    return tags;
}

const CMsgInfo* FindMessage(const std::string& p_strNumberOrName) {
    CMsgDic* dic = MA_GetMsgDic();
    char* end = nullptr;
    const long number = std::strtol(p_strNumberOrName.c_str(), &end, 10);
    if (!p_strNumberOrName.empty() && *end == '\0')
        return CMsgDic::IsValidMsgNum(static_cast<int>(number)) ? dic->GetMsgInfo(static_cast<int>(number)) : nullptr;
    for (int n = 1; n <= CMsgDic::MAX_MSG_NUM; ++n) {
        const CMsgInfo* info = dic->GetMsgInfo(n);
        if (info != nullptr && p_strNumberOrName == info->GetName().ToStr())
            return info;
    }
    return nullptr;
}

std::string ListMessages() {
    std::string out = Line("%5s  %-24s %-8s %s", "msg", "name", "version", "tags");
    for (int n = 1; n <= CMsgDic::MAX_MSG_NUM; ++n) {
        const CMsgInfo* info = MA_GetMsgDic()->GetMsgInfo(n);
        if (info != nullptr)
            out += Line("%5d  %-24s %-8s %d", n, info->GetName().ToStr(), info->GetVer().ToStr(),
                        static_cast<int>(TagsInOrder(*info).size()));
    }
    return out;
}

std::string DescribeMessage(const CMsgInfo& p_Info, bool p_bRecursive) {
    std::set<int> done;
    std::string out;
    Describe(p_Info, p_bRecursive, &done, &out);
    return out;
}
