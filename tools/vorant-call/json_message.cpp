#include "json_message.h"

#include "dictionary_view.h"
#include "latin1.h"
#include "request_builder.h"
#include "vorant/msg.hpp"
#include "vorant/vorant_error.hpp"

using json = nlohmann::ordered_json;

namespace {

json FieldsToJson(CMsg& p_Msg, const CMessageDef& p_Def);

// One value of a tag; null when it cannot be read.
json ValueAt(CMsg& p_Msg, const VorantTagDef& p_Tag, int p_iIndex) {
    const int iTag = p_Tag.tag;
    const bool bArray = p_Tag.isArray != 0;
    switch (p_Tag.type) {
        case VORANT_TAG_STRING: {
            CString strValue;
            if ((bArray ? p_Msg.GetValueAt(iTag, p_iIndex, &strValue) : p_Msg.GetValue(iTag, &strValue)) < 0)
                return nullptr;
            return ToUtf8(strValue.ToStr());
        }
        case VORANT_TAG_INT: {
            int iValue = 0;
            if ((bArray ? p_Msg.GetValueAt(iTag, p_iIndex, &iValue) : p_Msg.GetValue(iTag, &iValue)) < 0)
                return nullptr;
            return iValue;
        }
        case VORANT_TAG_DBL: {
            double dValue = 0;
            if ((bArray ? p_Msg.GetValueAt(iTag, p_iIndex, &dValue) : p_Msg.GetValue(iTag, &dValue)) < 0)
                return nullptr;
            return dValue;
        }
        case VORANT_TAG_BOOL: {
            bool bValue = false;
            if ((bArray ? p_Msg.GetValueAt(iTag, p_iIndex, &bValue) : p_Msg.GetValue(iTag, &bValue)) < 0)
                return nullptr;
            return bValue;
        }
        case VORANT_TAG_DATE: {
            CDate value;
            if ((bArray ? p_Msg.GetValueAt(iTag, p_iIndex, &value) : p_Msg.GetValue(iTag, &value)) < 0)
                return nullptr;
            return ToUtf8(value.ToStr());
        }
        case VORANT_TAG_SUBMSG: {
            CMsg* pSub = nullptr;
            if ((bArray ? p_Msg.GetValueAt(iTag, p_iIndex, &pSub) : p_Msg.GetValue(iTag, &pSub)) < 0 || pSub == nullptr)
                return nullptr;
            CMessageDef sub;
            return sub.Load(p_Tag.subMsg) ? FieldsToJson(*pSub, sub) : json::object();
        }
        default: return nullptr;
    }
}

json FieldsToJson(CMsg& p_Msg, const CMessageDef& p_Def) {
    json fields = json::object();
    for (const VorantTagDef& tag : p_Def.GetTags()) {
        const std::string strName = ToUtf8(tag.name);
        if (!tag.isArray) {
            json value = ValueAt(p_Msg, tag, 0);
            if (!value.is_null())
                fields[strName] = value;
            continue;
        }
        const int iSize = p_Msg.GetArrSize(tag.tag);
        if (iSize <= 0)
            continue;
        json items = json::array();
        for (int k = 0; k < iSize; ++k)
            items.push_back(ValueAt(p_Msg, tag, k));
        fields[strName] = items;
    }
    return fields;
}

// Line and column (from 1) of byte p_nOffset of p_strText.
std::string Position(const std::string& p_strText, size_t p_nOffset) {
    size_t nLine = 1, nColumn = 1;
    for (size_t i = 0; i < p_nOffset && i < p_strText.size(); ++i) {
        if (p_strText[i] == '\n') {
            ++nLine;
            nColumn = 1;
        } else {
            ++nColumn;
        }
    }
    return "line " + std::to_string(nLine) + ", column " + std::to_string(nColumn);
}

// The parser's own words without its "[json.exception...] " prefix.
std::string ParserWords(const std::exception& p_Error) {
    std::string strWhat = p_Error.what();
    const size_t nEnd = strWhat.find("] ");
    return strWhat[0] == '[' && nEnd != std::string::npos ? strWhat.substr(nEnd + 2) : strWhat;
}

// Parses p_strJson; false with a reason that says where it went wrong.
bool ParseJson(const std::string& p_strJson, json* p_pDoc, std::string* p_pError) {
    if (p_strJson.find_first_not_of(" \t\r\n") == std::string::npos) {
        *p_pError = "the JSON request is empty";
        return false;
    }
    try {
        *p_pDoc = json::parse(p_strJson);
        return true;
    } catch (const json::parse_error& e) {
        // Its words give line and column already.
        *p_pError = "the JSON request is not valid JSON: " + ParserWords(e);
    } catch (const json::out_of_range& e) {
        // A number too large for a double ("1e999"): the words quote it.
        std::string strWords = ParserWords(e);
        const size_t nQuote = strWords.find('\'');
        const size_t nEnd = nQuote == std::string::npos ? nQuote : strWords.find('\'', nQuote + 1);
        const size_t nAt = nEnd == std::string::npos ? std::string::npos
                                                     : p_strJson.find(strWords.substr(nQuote + 1, nEnd - nQuote - 1));
        *p_pError = "the JSON request is not valid JSON" +
                    (nAt == std::string::npos ? std::string() : " at " + Position(p_strJson, nAt)) + ": " + strWords;
    } catch (const json::exception& e) {
        *p_pError = "the JSON request is not valid JSON: " + ParserWords(e);
    }
    return false;
}

}  // namespace

json MessageToJson(CMsg& p_Msg) {
    json out = json::object();
    out["msg"] = p_Msg.GetMsgNum();
    CMessageDef def;
    const bool bKnown = def.Load(p_Msg.GetMsgNum());
    out["name"] = bKnown ? ToUtf8(def.GetName()) : "";
    out["fields"] = bKnown ? FieldsToJson(p_Msg, def) : json::object();
    return out;
}

json ErrorToJson(int p_iResult, CVorantError& p_Err) {
    json error = json::object();
    error["result"] = p_iResult;
    error["code"] = p_Err.GetCode();
    error["text"] = ToUtf8(p_Err.GetText().ToStr());
    error["refSvcNum"] = p_Err.GetRefSvcNum();
    return json{{"error", error}};
}

bool JsonToRequestXml(const std::string& p_strJson, const std::string& p_strMsg, std::string* p_pXml,
                      std::string* p_pError) {
    json doc;
    if (!ParseJson(p_strJson, &doc, p_pError))
        return false;
    if (!doc.is_object()) {
        *p_pError = std::string("the JSON request must be a JSON object {\"msg\": ..., \"fields\": {...}}, got ") +
                    (doc.is_array() ? "an array" : std::string("a ") + doc.type_name());
        return false;
    }
    for (const auto& member : doc.items()) {
        if (member.key() != "msg" && member.key() != "name" && member.key() != "fields") {
            *p_pError = "unknown member '" + member.key() + "' in the JSON request (expected msg, name, fields)";
            return false;
        }
    }
    std::string strMsg = p_strMsg;
    CMessageDef def, given;
    if (doc.contains("msg")) {
        const json& msg = doc["msg"];
        const std::string strText = msg.is_number_integer() ? std::to_string(msg.get<long long>())
                                    : msg.is_string()       ? msg.get<std::string>()
                                                            : msg.dump();
        if (!strMsg.empty() && FindMessage(strMsg, &def) && FindMessage(strText, &given) &&
            def.GetMsgNum() != given.GetMsgNum()) {
            *p_pError = "the JSON request is message " + strText + ", not " + strMsg;
            return false;
        }
        strMsg = strText;
    }
    if (strMsg.empty()) {
        *p_pError = "the JSON request names no message (\"msg\": number or name, or --msg)";
        return false;
    }
    if (!FindMessage(strMsg, &def)) {
        *p_pError = "message " + strMsg + " is not in the dictionary";
        return false;
    }
    CRequestBuilder builder(def);
    if (doc.contains("fields") && !builder.SetJson(doc["fields"], p_pError))
        return false;
    *p_pXml = builder.ToXml();
    return true;
}

std::string JsonText(const json& p_Value) { return p_Value.dump(2, ' ', false, json::error_handler_t::replace) + "\n"; }
