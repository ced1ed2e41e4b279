// Builds a request as named-form message XML from NAME=VALUE assignments or
// a JSON object, checking every name and value against the dictionary first.
#ifndef VORANT_CALL_REQUEST_BUILDER_H
#define VORANT_CALL_REQUEST_BUILDER_H

#include <memory>
#include <nlohmann/json_fwd.hpp>
#include <string>

class CMsgInfo;

// Owns a tree of fields of one message definition (which the process-wide
// dictionary owns and must outlive the builder). A NAME is a path of tag
// names separated by '.'; a segment may carry an index ("lines[1].code") to
// pick an item of a sub-message array. An array tag set again appends an
// item. Every failure leaves a reason that names the tag, its type and the
// value.
class RequestBuilder {
public:
    explicit RequestBuilder(const CMsgInfo* p_pInfo);
    ~RequestBuilder();

    // Adds one "NAME=VALUE"; false with a reason in *p_pError.
    bool Set(const std::string& p_strAssignment, std::string* p_pError);
    // Adds every member of a JSON object (tag names as keys; arrays for
    // array tags, objects for sub-messages); false with a reason.
    bool SetJson(const nlohmann::ordered_json& p_Fields, std::string* p_pError);
    // The whole document.
    std::string ToXml() const;

private:
    struct Node;
    static void Write(const Node& p_Node, std::string* p_pOut);
    bool AddLeaf(Node* p_pParent, const std::string& p_strPath, const std::string& p_strName,
                 const std::string& p_strValue, std::string* p_pError);
    bool AddJsonFields(Node* p_pNode, const std::string& p_strPath, const nlohmann::ordered_json& p_Fields,
                       std::string* p_pError);

    int m_iMsgNum;
    std::unique_ptr<Node> m_pRoot;
};

#endif  // VORANT_CALL_REQUEST_BUILDER_H
