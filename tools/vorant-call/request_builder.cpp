#include "request_builder.h"

#include <cctype>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <vector>

#include "field_value.h"

using json = nlohmann::ordered_json;

struct CRequestBuilder::CNode {
    std::string m_strName;
    const CMessageDef* m_pDef = nullptr;  // the definition of a group node
    bool m_bLeaf = false;
    std::string m_strValue;
    std::vector<std::unique_ptr<CNode>> m_Children;

    int Count(const std::string& p_strChild) const {
        int iCount = 0;
        for (const auto& pChild : m_Children)
            iCount += pChild->m_strName == p_strChild ? 1 : 0;
        return iCount;
    }

    CNode* Append(const std::string& p_strChild, const CMessageDef* p_pChildDef) {
        m_Children.push_back(std::make_unique<CNode>());
        CNode* pNode = m_Children.back().get();
        pNode->m_strName = p_strChild;
        pNode->m_pDef = p_pChildDef;
        pNode->m_bLeaf = p_pChildDef == nullptr;
        return pNode;
    }

    // The p_iIndex-th group called p_strChild, or null when it does not exist.
    CNode* Group(const std::string& p_strChild, int p_iIndex) {
        int iSeen = 0;
        for (auto& pChild : m_Children) {
            if (!pChild->m_bLeaf && pChild->m_strName == p_strChild && iSeen++ == p_iIndex)
                return pChild.get();
        }
        return nullptr;
    }
};

namespace {

// "name" or "name[3]" into its name and index (-1 without one).
bool ParseSegment(const std::string& p_strSegment, std::string* p_pName, int* p_piIndex) {
    const size_t nOpen = p_strSegment.find('[');
    *p_piIndex = -1;
    if (nOpen == std::string::npos) {
        *p_pName = p_strSegment;
        return !p_pName->empty();
    }
    if (p_strSegment.back() != ']' || nOpen + 2 > p_strSegment.size() - 1)
        return false;
    const std::string strDigits = p_strSegment.substr(nOpen + 1, p_strSegment.size() - nOpen - 2);
    if (strDigits.size() > 6)
        return false;
    for (unsigned char c : strDigits) {
        if (!std::isdigit(c))
            return false;
    }
    *p_pName = p_strSegment.substr(0, nOpen);
    *p_piIndex = std::atoi(strDigits.c_str());
    return !p_pName->empty();
}

std::string TagText(const VorantTagDef& p_Tag) {
    return "tag '" + std::string(p_Tag.name) + "' (" + TypeText(p_Tag) + ")";
}

// The tag called p_strName in p_Def, or null with a reason.
const VorantTagDef* FindTag(const CMessageDef& p_Def, const std::string& p_strPath, const std::string& p_strName,
                            std::string* p_pError) {
    const VorantTagDef* pTag = p_Def.FindTag(p_strName);
    if (pTag == nullptr)
        *p_pError = "unknown tag '" + p_strName + "' in " + p_Def.Label() + " (at '" + p_strPath +
                    "'; vorant-call --describe " + std::to_string(p_Def.GetMsgNum()) + " lists its tags)";
    return pTag;
}

std::vector<std::string> SplitPath(const std::string& p_strPath) {
    std::vector<std::string> segments;
    size_t nStart = 0;
    for (;;) {
        const size_t nDot = p_strPath.find('.', nStart);
        segments.push_back(p_strPath.substr(nStart, nDot == std::string::npos ? std::string::npos : nDot - nStart));
        if (nDot == std::string::npos)
            return segments;
        nStart = nDot + 1;
    }
}

}  // namespace

CRequestBuilder::CRequestBuilder(const CMessageDef& p_Def)
    : m_iMsgNum(p_Def.GetMsgNum()), m_pRoot(std::make_unique<CNode>()) {
    m_pRoot->m_pDef = &(m_Defs[m_iMsgNum] = p_Def);
}

CRequestBuilder::~CRequestBuilder() = default;

const CMessageDef& CRequestBuilder::DefOf(const CNode* p_pNode) const { return *p_pNode->m_pDef; }

const CMessageDef* CRequestBuilder::SubDef(const VorantTagDef& p_Tag, const std::string& p_strPath,
                                           std::string* p_pError) {
    if (p_Tag.type != VORANT_TAG_SUBMSG) {
        *p_pError = TagText(p_Tag) + " is not a sub-message (at '" + p_strPath + "')";
        return nullptr;
    }
    auto found = m_Defs.find(p_Tag.subMsg);
    if (found != m_Defs.end())
        return &found->second;
    CMessageDef def;
    if (!def.Load(p_Tag.subMsg)) {
        *p_pError = "tag '" + std::string(p_Tag.name) + "' refers to message " + std::to_string(p_Tag.subMsg) +
                    ", which the dictionary does not define";
        return nullptr;
    }
    return &(m_Defs[p_Tag.subMsg] = def);
}

CRequestBuilder::CNode* CRequestBuilder::AddRow(CNode* p_pParent, const VorantTagDef& p_Tag,
                                                const std::string& p_strPath, std::string* p_pError) {
    const CMessageDef* pSub = SubDef(p_Tag, p_strPath, p_pError);
    if (pSub == nullptr)
        return nullptr;
    if (!p_Tag.isArray && p_pParent->Count(p_Tag.name) > 0) {
        *p_pError = TagText(p_Tag) + " is not an array and is already set (at '" + p_strPath + "')";
        return nullptr;
    }
    return p_pParent->Append(p_Tag.name, pSub);
}

bool CRequestBuilder::AddValue(CNode* p_pParent, const VorantTagDef& p_Tag, const std::string& p_strUtf8,
                               std::string* p_pError) {
    std::string strCanonical;
    if (!CheckFieldValue(p_Tag, p_strUtf8, &strCanonical, p_pError))
        return false;
    if (!p_Tag.isArray && p_pParent->Count(p_Tag.name) > 0) {
        *p_pError =
            TagText(p_Tag) + " is not an array and is already set; '" + p_strUtf8 + "' would replace the first value";
        return false;
    }
    if (strCanonical.find("]]>") != std::string::npos) {
        *p_pError = "tag '" + std::string(p_Tag.name) + "': a value cannot contain ']]>': '" + p_strUtf8 + "'";
        return false;
    }
    p_pParent->Append(p_Tag.name, nullptr)->m_strValue = strCanonical;
    return true;
}

bool CRequestBuilder::Set(const std::string& p_strAssignment, std::string* p_pError) {
    const size_t nEq = p_strAssignment.find('=');
    if (nEq == std::string::npos) {
        *p_pError = "expected NAME=VALUE, got '" + p_strAssignment + "'";
        return false;
    }
    const std::string strPath = p_strAssignment.substr(0, nEq);
    const std::string strValue = p_strAssignment.substr(nEq + 1);
    const std::vector<std::string> segments = SplitPath(strPath);
    CNode* pNode = m_pRoot.get();
    for (size_t i = 0; i < segments.size(); ++i) {
        std::string strName;
        int iIndex;
        if (!ParseSegment(segments[i], &strName, &iIndex)) {
            *p_pError = "bad field name '" + strPath + "' (use name, name.sub or name[2].sub)";
            return false;
        }
        const VorantTagDef* pTag = FindTag(*pNode->m_pDef, strPath, strName, p_pError);
        if (pTag == nullptr)
            return false;
        if (i + 1 == segments.size()) {
            if (iIndex >= 0) {
                *p_pError = "an index belongs to a sub-message in '" + strPath + "'";
                return false;
            }
            return AddValue(pNode, *pTag, strValue, p_pError);
        }
        if (SubDef(*pTag, strPath, p_pError) == nullptr)
            return false;
        if (iIndex > 0 && !pTag->isArray) {
            *p_pError =
                TagText(*pTag) + " is not an array: no item " + std::to_string(iIndex) + " in '" + strPath + "'";
            return false;
        }
        const int iRow = iIndex < 0 ? 0 : iIndex;
        CNode* pRow = pNode->Group(strName, iRow);
        if (pRow == nullptr) {
            // Rows are numbered from 0 without gaps: a gap would travel as
            // empty rows nobody asked for.
            const int iRows = pNode->Count(strName);
            if (iRow > iRows) {
                *p_pError = "no item " + std::to_string(iRow) + " of " + TagText(*pTag) + " in '" + strPath +
                            "': it has " + std::to_string(iRows) + " item" + (iRows == 1 ? "" : "s") +
                            ", so the next one is " + strName + "[" + std::to_string(iRows) + "]";
                return false;
            }
            pRow = AddRow(pNode, *pTag, strPath, p_pError);
            if (pRow == nullptr)
                return false;
        }
        pNode = pRow;
    }
    return true;
}

bool CRequestBuilder::SetJson(const json& p_Fields, std::string* p_pError) {
    return AddJsonFields(m_pRoot.get(), "", p_Fields, p_pError);
}

bool CRequestBuilder::AddJsonFields(CNode* p_pNode, const std::string& p_strPath, const json& p_Fields,
                                    std::string* p_pError) {
    if (!p_Fields.is_object()) {
        *p_pError = "the fields of " + p_pNode->m_pDef->Label() + (p_strPath.empty() ? "" : " at '" + p_strPath + "'") +
                    " must be a JSON object, got " + p_Fields.dump();
        return false;
    }
    for (const auto& member : p_Fields.items()) {
        const std::string strName = member.key();
        const std::string strPath = p_strPath.empty() ? strName : p_strPath + "." + strName;
        const VorantTagDef* pTag = FindTag(*p_pNode->m_pDef, strPath, strName, p_pError);
        if (pTag == nullptr)
            return false;
        const json& value = member.value();
        if (value.is_array() && !pTag->isArray) {
            *p_pError = TagText(*pTag) + " is not an array, got " + value.dump();
            return false;
        }
        const json items = value.is_array() ? value : json::array({value});
        for (const json& item : items) {
            if (pTag->type == VORANT_TAG_SUBMSG) {
                CNode* pRow = AddRow(p_pNode, *pTag, strPath, p_pError);
                if (pRow == nullptr || !AddJsonFields(pRow, strPath, item, p_pError))
                    return false;
                continue;
            }
            bool bTyped = true;
            switch (pTag->type) {
                case VORANT_TAG_STRING:
                case VORANT_TAG_DATE: bTyped = item.is_string(); break;
                case VORANT_TAG_INT: bTyped = item.is_number_integer(); break;
                case VORANT_TAG_DBL: bTyped = item.is_number(); break;
                case VORANT_TAG_BOOL:
                    bTyped = item.is_boolean() || (item.is_number_integer() && (item == 0 || item == 1));
                    break;
                default: break;
            }
            if (!bTyped) {
                *p_pError = TagText(*pTag) + " needs " +
                            (pTag->type == VORANT_TAG_STRING ? std::string("a JSON string")
                             : pTag->type == VORANT_TAG_DATE ? std::string("a string \"yyyymmdd\"")
                             : pTag->type == VORANT_TAG_BOOL ? std::string("true or false")
                             : pTag->type == VORANT_TAG_INT  ? std::string("a JSON integer")
                                                             : std::string("a JSON number")) +
                            ", got " + item.dump();
                return false;
            }
            const std::string strText = item.is_string()    ? item.get<std::string>()
                                        : item.is_boolean() ? std::string(item.get<bool>() ? "true" : "false")
                                                            : item.dump();
            if (!AddValue(p_pNode, *pTag, strText, p_pError))
                return false;
        }
    }
    return true;
}

void CRequestBuilder::Write(const CNode& p_Node, std::string* p_pOut) {
    for (const auto& pChild : p_Node.m_Children) {
        *p_pOut += "<" + pChild->m_strName + ">";
        if (pChild->m_bLeaf)
            *p_pOut += "<![CDATA[" + pChild->m_strValue + "]]>";
        else
            Write(*pChild, p_pOut);
        *p_pOut += "</" + pChild->m_strName + ">";
    }
}

std::string CRequestBuilder::ToXml() const {
    std::string strOut = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\" ?><msg no=\"" + std::to_string(m_iMsgNum) +
                         "\" type=\"name\" ver=\"";
    for (char c : m_strVersion) {
        if (c == '"')
            strOut += "&quot;";
        else if (c == '&')
            strOut += "&amp;";
        else if (c == '<')
            strOut += "&lt;";
        else
            strOut += c;
    }
    strOut += "\">";
    Write(*m_pRoot, &strOut);
    return strOut + "</msg>";
}
