// Builds a request as named-form message XML from NAME=VALUE assignments, a
// JSON object or a request file's fields, checking every name and value
// against the dictionary first.
#ifndef VORANT_CALL_REQUEST_BUILDER_H
#define VORANT_CALL_REQUEST_BUILDER_H

#include <map>
#include <memory>
#include <nlohmann/json_fwd.hpp>
#include <string>

#include "dictionary_view.h"

// Owns a tree of the fields of one message and the definitions it has
// looked up. A NAME is a path of tag names separated by '.'; a segment may
// carry an index ("lines[1].code") to pick an item of a sub-message array.
// An array tag set again appends an item. Values are UTF-8 text and travel
// as ISO-8859-1. Every failure leaves a reason that names the tag, its type
// and the value. One thread at a time.
class CRequestBuilder {
public:
    struct CNode;

    explicit CRequestBuilder(const CMessageDef& p_Def);
    ~CRequestBuilder();
    CRequestBuilder(const CRequestBuilder&) = delete;
    CRequestBuilder& operator=(const CRequestBuilder&) = delete;

    // Adds one "NAME=VALUE"; false with a reason in *p_pError.
    bool Set(const std::string& p_strAssignment, std::string* p_pError);
    // Adds every member of a JSON object (tag names as keys; arrays for
    // array tags, objects for sub-messages); false with a reason.
    bool SetJson(const nlohmann::ordered_json& p_Fields, std::string* p_pError);

    // For readers of other request forms, field by field: the root, the
    // definition of a node's message, a new row of a sub-message tag, and
    // one value. p_strPath names the field in error texts.
    CNode* Root() { return m_pRoot.get(); }
    const CMessageDef& DefOf(const CNode* p_pNode) const;
    CNode* AddRow(CNode* p_pParent, const VorantTagDef& p_Tag, const std::string& p_strPath, std::string* p_pError);
    bool AddValue(CNode* p_pParent, const VorantTagDef& p_Tag, const std::string& p_strUtf8, std::string* p_pError);

    // The message's version attribute (empty by default).
    void SetVersion(const std::string& p_strVersion) { m_strVersion = p_strVersion; }
    // The whole document.
    std::string ToXml() const;

private:
    static void Write(const CNode& p_Node, std::string* p_pOut);
    // The definition of a sub-message tag's message, looked up once; null
    // with a reason when the dictionary does not define it.
    const CMessageDef* SubDef(const VorantTagDef& p_Tag, const std::string& p_strPath, std::string* p_pError);
    bool AddJsonFields(CNode* p_pNode, const std::string& p_strPath, const nlohmann::ordered_json& p_Fields,
                       std::string* p_pError);

    int m_iMsgNum;
    std::string m_strVersion;
    std::map<int, CMessageDef> m_Defs;
    std::unique_ptr<CNode> m_pRoot;
};

#endif  // VORANT_CALL_REQUEST_BUILDER_H
