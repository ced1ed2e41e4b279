#include "json_message.h"

#include "dictionary_view.h"
#include "latin1.h"
#include "msg/msg_info.h"
#include "request_builder.h"
#include "vorant/msg.hpp"
#include "vorant/vorant_error.hpp"

using json = nlohmann::ordered_json;

namespace {

json FieldsToJson(CMsg& p_Msg, const CMsgInfo& p_Info);

// One value of a tag; null when it cannot be read.
json ValueAt(CMsg& p_Msg, const CTagInfo& p_Tag, int p_iIndex) {
    const int tag = p_Tag.m_iTagNum;
    const bool array = p_Tag.m_bArray;
    switch (p_Tag.m_iType) {
        case TAG_TYPE_STRING: {
            CString value;
            if ((array ? p_Msg.GetValueAt(tag, p_iIndex, &value) : p_Msg.GetValue(tag, &value)) < 0)
                return nullptr;
            return ToUtf8(value.ToStr());
        }
        case TAG_TYPE_INT: {
            int value = 0;
            if ((array ? p_Msg.GetValueAt(tag, p_iIndex, &value) : p_Msg.GetValue(tag, &value)) < 0)
                return nullptr;
            return value;
        }
        case TAG_TYPE_DBL: {
            double value = 0;
            if ((array ? p_Msg.GetValueAt(tag, p_iIndex, &value) : p_Msg.GetValue(tag, &value)) < 0)
                return nullptr;
            return value;
        }
        case TAG_TYPE_BOOL: {
            bool value = false;
            if ((array ? p_Msg.GetValueAt(tag, p_iIndex, &value) : p_Msg.GetValue(tag, &value)) < 0)
                return nullptr;
            return value;
        }
        case TAG_TYPE_DATE: {
            CDate value;
            if ((array ? p_Msg.GetValueAt(tag, p_iIndex, &value) : p_Msg.GetValue(tag, &value)) < 0)
                return nullptr;
            return ToUtf8(value.ToStr());
        }
        case TAG_TYPE_SUBMSG: {
            CMsg* sub = nullptr;
            if ((array ? p_Msg.GetValueAt(tag, p_iIndex, &sub) : p_Msg.GetValue(tag, &sub)) < 0 || sub == nullptr)
                return nullptr;
            const CMsgInfo* subInfo = MA_GetMsgDic()->GetMsgInfo(p_Tag.m_iSubMsg);
            return subInfo ? FieldsToJson(*sub, *subInfo) : json::object();
        }
        default: return nullptr;
    }
}

json FieldsToJson(CMsg& p_Msg, const CMsgInfo& p_Info) {
    json fields = json::object();
    for (const CTagInfo* tag : TagsInOrder(p_Info)) {
        const int tagNum = tag->m_iTagNum;
        const std::string name = ToUtf8(tag->m_strName.ToStr());
        if (!tag->m_bArray) {
            json value = ValueAt(p_Msg, *tag, 0);
            if (!value.is_null())
                fields[name] = value;
            continue;
        }
        const int size = p_Msg.GetArrSize(tagNum);
        if (size <= 0)
            continue;
        json items = json::array();
        for (int k = 0; k < size; ++k)
            items.push_back(ValueAt(p_Msg, *tag, k));
        fields[name] = items;
    }
    return fields;
}

}  // namespace

json MessageToJson(CMsg& p_Msg) {
    json out = json::object();
    out["msg"] = p_Msg.GetMsgNum();
    const CMsgInfo* info = MA_GetMsgDic()->GetMsgInfo(p_Msg.GetMsgNum());
    out["name"] = info ? ToUtf8(info->GetName().ToStr()) : "";
    out["fields"] = info ? FieldsToJson(p_Msg, *info) : json::object();
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
    json doc = json::parse(p_strJson, nullptr, false);
    if (doc.is_discarded() || !doc.is_object()) {
        *p_pError = "the JSON request is not a JSON object";
        return false;
    }
    for (const auto& member : doc.items()) {
        if (member.key() != "msg" && member.key() != "name" && member.key() != "fields") {
            *p_pError = "unknown member '" + member.key() + "' in the JSON request (expected msg, name, fields)";
            return false;
        }
    }
    std::string msg = p_strMsg;
    if (doc.contains("msg")) {
        const json& given = doc["msg"];
        const std::string text = given.is_number_integer() ? std::to_string(given.get<long long>())
                                 : given.is_string()       ? given.get<std::string>()
                                                           : given.dump();
        if (!msg.empty() && FindMessage(msg) != FindMessage(text)) {
            *p_pError = "the JSON request is message " + text + ", not " + msg;
            return false;
        }
        msg = text;
    }
    if (msg.empty()) {
        *p_pError = "the JSON request names no message (\"msg\": number or name, or --msg)";
        return false;
    }
    const CMsgInfo* info = FindMessage(msg);
    if (info == nullptr) {
        *p_pError = "message " + msg + " is not in the dictionary";
        return false;
    }
    RequestBuilder builder(info);
    if (doc.contains("fields") && !builder.SetJson(doc["fields"], p_pError))
        return false;
    *p_pXml = builder.ToXml();
    return true;
}

std::string JsonText(const json& p_Value) { return p_Value.dump(2, ' ', false, json::error_handler_t::replace) + "\n"; }
