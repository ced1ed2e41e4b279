#include "field_value.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "latin1.h"

namespace {

enum Parsed { PARSED_OK, PARSED_BAD, PARSED_OUT_OF_RANGE };

std::string Trimmed(const std::string& p_strText) {
    const char* szBlanks = " \t\r\n";
    const size_t nFirst = p_strText.find_first_not_of(szBlanks);
    if (nFirst == std::string::npos)
        return "";
    const size_t nLast = p_strText.find_last_not_of(szBlanks);
    return p_strText.substr(nFirst, nLast - nFirst + 1);
}

Parsed ParseInt(const std::string& p_strText, std::string* p_pCanonical) {
    errno = 0;
    char* pEnd = nullptr;
    const long long llValue = std::strtoll(p_strText.c_str(), &pEnd, 10);
    if (pEnd == p_strText.c_str() || *pEnd != '\0')
        return PARSED_BAD;
    if (errno == ERANGE || llValue < -2147483648LL || llValue > 2147483647LL)
        return PARSED_OUT_OF_RANGE;
    *p_pCanonical = std::to_string(llValue);
    return PARSED_OK;
}

Parsed ParseDouble(const std::string& p_strText, std::string* p_pCanonical) {
    // Only decimal numbers: no hex, inf or nan, which a reader of the message
    // would not expect from a number field.
    for (char c : p_strText) {
        if (!((c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E'))
            return PARSED_BAD;
    }
    errno = 0;
    char* pEnd = nullptr;
    const double dValue = std::strtod(p_strText.c_str(), &pEnd);
    if (pEnd == p_strText.c_str() || *pEnd != '\0')
        return PARSED_BAD;
    if (errno == ERANGE || !std::isfinite(dValue))
        return PARSED_OUT_OF_RANGE;
    char szText[40];
    std::snprintf(szText, sizeof szText, "%.17g", dValue);
    *p_pCanonical = szText;
    return PARSED_OK;
}

Parsed ParseBool(const std::string& p_strText, std::string* p_pCanonical) {
    if (p_strText == "true" || p_strText == "1")
        *p_pCanonical = "true";
    else if (p_strText == "false" || p_strText == "0")
        *p_pCanonical = "false";
    else
        return PARSED_BAD;
    return PARSED_OK;
}

const char* Expected(int p_iType) {
    switch (p_iType) {
        case VORANT_TAG_STRING: return "a text";
        case VORANT_TAG_INT: return "an integer";
        case VORANT_TAG_DBL: return "a number";
        case VORANT_TAG_BOOL: return "true, false, 1 or 0";
        case VORANT_TAG_DATE: return "a calendar date yyyymmdd";
        default: return "a value";
    }
}

const char* Range(int p_iType) {
    return p_iType == VORANT_TAG_INT ? "an integer from -2147483648 to 2147483647" : "a number a double can hold";
}

}  // namespace

std::string TypeText(const VorantTagDef& p_Tag) {
    switch (p_Tag.type) {
        case VORANT_TAG_STRING: return "string";
        case VORANT_TAG_INT: return "integer";
        case VORANT_TAG_DBL: return "double";
        case VORANT_TAG_BOOL: return "bool";
        case VORANT_TAG_DATE: return "date";
        case VORANT_TAG_SUBMSG: return "m" + std::to_string(p_Tag.subMsg);
        default: return "unknown";
    }
}

bool IsCalendarDate(const std::string& p_strText) {
    if (p_strText.size() != 8)
        return false;
    for (char c : p_strText) {
        if (c < '0' || c > '9')
            return false;
    }
    const int iYmd = std::atoi(p_strText.c_str());
    const int iYear = iYmd / 10000, iMonth = iYmd / 100 % 100, iDay = iYmd % 100;
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (iYear < 1 || iMonth < 1 || iMonth > 12 || iDay < 1)
        return false;
    const bool bLeap = (iYear % 4 == 0 && iYear % 100 != 0) || iYear % 400 == 0;
    return iDay <= kDays[iMonth - 1] + (iMonth == 2 && bLeap ? 1 : 0);
}

bool CheckFieldValue(const VorantTagDef& p_Tag, const std::string& p_strUtf8, std::string* p_pCanonical,
                     std::string* p_pError) {
    const std::string strTag = "tag '" + std::string(p_Tag.name) + "' (" + TypeText(p_Tag) + ")";
    if (p_Tag.type == VORANT_TAG_SUBMSG) {
        *p_pError = strTag + " is a sub-message and takes no value, got '" + p_strUtf8 +
                    "' (set its fields: " + p_Tag.name + ".NAME=VALUE)";
        return false;
    }
    // The message reader drops these blanks around every value, text too:
    // what is left is what arrives.
    const std::string strValue = Trimmed(p_strUtf8);
    if (strValue.empty()) {
        *p_pError = strTag + " needs " + Expected(p_Tag.type) + ", got " +
                    (p_strUtf8.empty() ? "an empty value" : "only blanks") + " (an empty value is not sent)";
        return false;
    }
    if (p_Tag.type == VORANT_TAG_STRING) {
        if (!FromUtf8(p_strUtf8, p_pCanonical)) {
            *p_pError = strTag + ": only ISO-8859-1 characters can travel, got '" + p_strUtf8 + "'";
            return false;
        }
        return true;
    }
    Parsed eParsed = PARSED_BAD;
    switch (p_Tag.type) {
        case VORANT_TAG_INT: eParsed = ParseInt(strValue, p_pCanonical); break;
        case VORANT_TAG_DBL: eParsed = ParseDouble(strValue, p_pCanonical); break;
        case VORANT_TAG_BOOL: eParsed = ParseBool(strValue, p_pCanonical); break;
        case VORANT_TAG_DATE:
            eParsed = IsCalendarDate(strValue) ? PARSED_OK : PARSED_BAD;
            *p_pCanonical = strValue;
            break;
        default: break;
    }
    if (eParsed == PARSED_BAD)
        *p_pError = strTag + " needs " + Expected(p_Tag.type) + ", got '" + p_strUtf8 + "'";
    else if (eParsed == PARSED_OUT_OF_RANGE)
        *p_pError = strTag + " is out of range: it needs " + Range(p_Tag.type) + ", got '" + p_strUtf8 + "'";
    return eParsed == PARSED_OK;
}
