// Messages as JSON: tag names as keys, arrays as arrays, sub-messages as
// objects, numbers as numbers, bools as true/false, dates as "yyyymmdd".
#ifndef VORANT_CALL_JSON_MESSAGE_H
#define VORANT_CALL_JSON_MESSAGE_H

#include <nlohmann/json.hpp>
#include <string>

class CMsg;
class CVorantError;

// {"msg": number, "name": message name, "fields": {...}}; unset tags are
// left out.
nlohmann::ordered_json MessageToJson(CMsg& p_Msg);

// {"error": {"result": ..., "code": ..., "text": ..., "refSvcNum": ...}}.
nlohmann::ordered_json ErrorToJson(int p_iResult, CVorantError& p_Err);

// Parses a JSON request document of the MessageToJson form ("msg" may be a
// number or a name, and may be left out when p_strMsg names the message)
// into named-form message XML. False with a reason naming the bad tag,
// type and value.
bool JsonToRequestXml(const std::string& p_strJson, const std::string& p_strMsg, std::string* p_pXml,
                      std::string* p_pError);

// A JSON text as the tool prints it (two-space indent, then a newline).
std::string JsonText(const nlohmann::ordered_json& p_Value);

#endif  // VORANT_CALL_JSON_MESSAGE_H
