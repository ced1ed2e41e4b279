#include "request_builder.h"

#include <cctype>
#include <cstdlib>
#include <nlohmann/json.hpp>

#include "field_value.h"
#include "latin1.h"
#include "msg/msg_info.h"
#include "vorant/msg_dic.hpp"

using json = nlohmann::ordered_json;

struct RequestBuilder::Node {
    std::string name;
    const CMsgInfo* info = nullptr;  // the definition of a group node
    bool leaf = false;
    std::string value;
    std::vector<std::unique_ptr<Node>> children;

    int Count(const std::string& childName) const {
        int n = 0;
        for (const auto& child : children)
            n += child->name == childName ? 1 : 0;
        return n;
    }

    Node* Append(const std::string& childName, const CMsgInfo* childInfo) {
        children.push_back(std::make_unique<Node>());
        Node* node = children.back().get();
        node->name = childName;
        node->info = childInfo;
        node->leaf = childInfo == nullptr;
        return node;
    }

    // The index-th group called childName, made (with any missing earlier
    // items) when absent.
    Node* Group(const std::string& childName, const CMsgInfo* childInfo, int index) {
        int seen = 0;
        for (auto& child : children) {
            if (!child->leaf && child->name == childName && seen++ == index)
                return child.get();
        }
        Node* last = nullptr;
        for (; seen <= index; ++seen)
            last = Append(childName, childInfo);
        return last;
    }
};

namespace {

// "name" or "name[3]" into its name and index (-1 without one).
bool ParseSegment(const std::string& segment, std::string* name, int* index) {
    size_t open = segment.find('[');
    *index = -1;
    if (open == std::string::npos) {
        *name = segment;
        return !name->empty();
    }
    if (segment.back() != ']' || open + 2 > segment.size() - 1)
        return false;
    std::string digits = segment.substr(open + 1, segment.size() - open - 2);
    if (digits.size() > 6)
        return false;
    for (unsigned char c : digits) {
        if (!std::isdigit(c))
            return false;
    }
    *name = segment.substr(0, open);
    *index = std::atoi(digits.c_str());
    return !name->empty();
}

std::string MessageText(const CMsgInfo* info) {
    return "message " + std::to_string(info->GetMsgNum()) + " " + info->GetName().ToStr();
}

// The tag called name in info, or null with a reason.
const CTagInfo* FindTag(const CMsgInfo* info, const std::string& path, const std::string& name, std::string* error) {
    int tagNum = 0;
    if (info->GetTagNum(name.c_str(), &tagNum) < 0) {
        *error = "unknown tag '" + name + "' in " + MessageText(info) + " (at '" + path + "'; vorant-call --describe " +
                 std::to_string(info->GetMsgNum()) + " lists its tags)";
        return nullptr;
    }
    return info->GetTagInfo(tagNum);
}

// The definition a sub-message tag refers to, or null with a reason.
const CMsgInfo* SubInfo(const CTagInfo* tag, const std::string& path, std::string* error) {
    if (tag->m_iType != TAG_TYPE_SUBMSG) {
        *error = "tag '" + std::string(tag->m_strName.ToStr()) + "' (" + TypeText(*tag) +
                 ") is not a sub-message (at '" + path + "')";
        return nullptr;
    }
    const CMsgInfo* sub = MA_GetMsgDic()->GetMsgInfo(tag->m_iSubMsg);
    if (sub == nullptr)
        *error = "tag '" + std::string(tag->m_strName.ToStr()) + "' refers to message " +
                 std::to_string(tag->m_iSubMsg) + ", which the dictionary does not define";
    return sub;
}

}  // namespace

RequestBuilder::RequestBuilder(const CMsgInfo* p_pInfo)
    : m_iMsgNum(p_pInfo->GetMsgNum()), m_pRoot(std::make_unique<Node>()) {
    m_pRoot->info = p_pInfo;
}

RequestBuilder::~RequestBuilder() = default;

bool RequestBuilder::AddLeaf(Node* p_pParent, const std::string& p_strPath, const std::string& p_strName,
                             const std::string& p_strValue, std::string* p_pError) {
    const CTagInfo* tag = FindTag(p_pParent->info, p_strPath, p_strName, p_pError);
    if (tag == nullptr)
        return false;
    std::string canonical;
    if (!CheckFieldValue(*tag, p_strValue, &canonical, p_pError))
        return false;
    if (!tag->m_bArray && p_pParent->Count(p_strName) > 0) {
        *p_pError = "tag '" + p_strName + "' (" + TypeText(*tag) + ") is not an array and is already set; '" +
                    p_strValue + "' would replace the first value";
        return false;
    }
    if (canonical.find("]]>") != std::string::npos) {
        *p_pError = "tag '" + p_strName + "': a value cannot contain ']]>': '" + p_strValue + "'";
        return false;
    }
    p_pParent->Append(p_strName, nullptr)->value = canonical;
    return true;
}

bool RequestBuilder::Set(const std::string& p_strAssignment, std::string* p_pError) {
    size_t eq = p_strAssignment.find('=');
    if (eq == std::string::npos) {
        *p_pError = "expected NAME=VALUE, got '" + p_strAssignment + "'";
        return false;
    }
    const std::string path = p_strAssignment.substr(0, eq);
    const std::string value = p_strAssignment.substr(eq + 1);
    std::vector<std::string> segments;
    size_t start = 0;
    for (;;) {
        size_t dot = path.find('.', start);
        segments.push_back(path.substr(start, dot == std::string::npos ? std::string::npos : dot - start));
        if (dot == std::string::npos)
            break;
        start = dot + 1;
    }

    Node* node = m_pRoot.get();
    for (size_t i = 0; i < segments.size(); ++i) {
        std::string name;
        int index;
        if (!ParseSegment(segments[i], &name, &index)) {
            *p_pError = "bad field name '" + path + "' (use name, name.sub or name[2].sub)";
            return false;
        }
        if (i + 1 == segments.size()) {
            if (index >= 0) {
                *p_pError = "an index belongs to a sub-message in '" + path + "'";
                return false;
            }
            return AddLeaf(node, path, name, value, p_pError);
        }
        const CTagInfo* tag = FindTag(node->info, path, name, p_pError);
        if (tag == nullptr)
            return false;
        const CMsgInfo* sub = SubInfo(tag, path, p_pError);
        if (sub == nullptr)
            return false;
        if (index > 0 && !tag->m_bArray) {
            *p_pError = "tag '" + name + "' (" + TypeText(*tag) + ") is not an array: no item " +
                        std::to_string(index) + " in '" + path + "'";
            return false;
        }
        node = node->Group(name, sub, index < 0 ? 0 : index);
    }
    return true;
}

bool RequestBuilder::SetJson(const json& p_Fields, std::string* p_pError) {
    return AddJsonFields(m_pRoot.get(), "", p_Fields, p_pError);
}

bool RequestBuilder::AddJsonFields(Node* p_pNode, const std::string& p_strPath, const json& p_Fields,
                                   std::string* p_pError) {
    if (!p_Fields.is_object()) {
        *p_pError = "the fields of " + MessageText(p_pNode->info) +
                    (p_strPath.empty() ? "" : " at '" + p_strPath + "'") + " must be a JSON object, got " +
                    p_Fields.dump();
        return false;
    }
    for (const auto& member : p_Fields.items()) {
        const std::string name = member.key();
        const std::string path = p_strPath.empty() ? name : p_strPath + "." + name;
        const CTagInfo* tag = FindTag(p_pNode->info, path, name, p_pError);
        if (tag == nullptr)
            return false;
        const json& value = member.value();
        if (value.is_array() && !tag->m_bArray) {
            *p_pError = "tag '" + name + "' (" + TypeText(*tag) + ") is not an array, got " + value.dump();
            return false;
        }
        const json items = value.is_array() ? value : json::array({value});
        for (const json& item : items) {
            if (tag->m_iType == TAG_TYPE_SUBMSG) {
                const CMsgInfo* sub = SubInfo(tag, path, p_pError);
                if (sub == nullptr || !AddJsonFields(p_pNode->Append(name, sub), path, item, p_pError))
                    return false;
                continue;
            }
            std::string text;
            bool bTyped = true;
            switch (tag->m_iType) {
                case TAG_TYPE_STRING:
                case TAG_TYPE_DATE: bTyped = item.is_string(); break;
                case TAG_TYPE_INT: bTyped = item.is_number_integer(); break;
                case TAG_TYPE_DBL: bTyped = item.is_number(); break;
                case TAG_TYPE_BOOL:
                    bTyped = item.is_boolean() || (item.is_number_integer() && (item == 0 || item == 1));
                    break;
                default: break;
            }
            if (item.is_string()) {
                if (!FromUtf8(item.get<std::string>(), &text)) {
                    *p_pError = "tag '" + name + "' (" + TypeText(*tag) +
                                "): only ISO-8859-1 characters can travel, got " + item.dump();
                    return false;
                }
            } else if (item.is_boolean()) {
                text = item.get<bool>() ? "true" : "false";
            } else {
                text = item.dump();
            }
            if (!bTyped) {
                *p_pError = "tag '" + name + "' (" + TypeText(*tag) + ") needs " +
                            (tag->m_iType == TAG_TYPE_STRING ? std::string("a JSON string")
                             : tag->m_iType == TAG_TYPE_DATE ? std::string("a string \"yyyymmdd\"")
                             : tag->m_iType == TAG_TYPE_BOOL ? std::string("true or false")
                             : tag->m_iType == TAG_TYPE_INT  ? std::string("a JSON integer")
                                                             : std::string("a JSON number")) +
                            ", got " + item.dump();
                return false;
            }
            if (!AddLeaf(p_pNode, path, name, text, p_pError))
                return false;
        }
    }
    return true;
}

void RequestBuilder::Write(const Node& p_Node, std::string* p_pOut) {
    for (const auto& child : p_Node.children) {
        *p_pOut += "<" + child->name + ">";
        if (child->leaf)
            *p_pOut += "<![CDATA[" + child->value + "]]>";
        else
            Write(*child, p_pOut);
        *p_pOut += "</" + child->name + ">";
    }
}

std::string RequestBuilder::ToXml() const {
    std::string out = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\" ?><msg no=\"" + std::to_string(m_iMsgNum) +
                      "\" type=\"name\" ver=\"\">";
    Write(*m_pRoot, &out);
    out += "</msg>";
    return out;
}
