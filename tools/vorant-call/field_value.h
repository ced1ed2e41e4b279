// Checks a field value given as text against its tag's type, before any
// request is built from it.
#ifndef VORANT_CALL_FIELD_VALUE_H
#define VORANT_CALL_FIELD_VALUE_H

#include <string>

#include "vorant/vorant.h"

// The dictionary's name of a tag type: "string", "integer", "double",
// "bool", "date", or "m<sub-message number>".
std::string TypeText(const VorantTagDef& p_Tag);

// True when p_strUtf8 (text as the user typed it, UTF-8) is a value of
// p_Tag's type; *p_pCanonical is then the text the message reader takes as
// that value (ISO-8859-1; blanks around typed values dropped, a bool as
// true/false, a double in full precision). False with a reason naming tag,
// type and value otherwise: a sub-message tag takes no value, and empty
// text, numbers out of range and text that ISO-8859-1 cannot carry are
// refused.
bool CheckFieldValue(const VorantTagDef& p_Tag, const std::string& p_strUtf8, std::string* p_pCanonical,
                     std::string* p_pError);

// True for a yyyymmdd text that is a calendar date (years 1 to 9999).
bool IsCalendarDate(const std::string& p_strText);

#endif  // VORANT_CALL_FIELD_VALUE_H
