#include "field_value.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "msg/msg_info.h"

namespace {

std::string Trimmed(const std::string& p_strText) {
    const char* kBlanks = " \t\r\n";
    size_t first = p_strText.find_first_not_of(kBlanks);
    if (first == std::string::npos)
        return "";
    size_t last = p_strText.find_last_not_of(kBlanks);
    return p_strText.substr(first, last - first + 1);
}

bool ParseInt(const std::string& p_strText, std::string* p_pCanonical) {
    if (p_strText.empty())
        return false;
    errno = 0;
    char* end = nullptr;
    long long value = std::strtoll(p_strText.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || value < -2147483648LL || value > 2147483647LL)
        return false;
    *p_pCanonical = std::to_string(value);
    return true;
}

bool ParseDouble(const std::string& p_strText, std::string* p_pCanonical) {
    if (p_strText.empty())
        return false;
    // Only decimal numbers: no hex, inf or nan, which a reader of the message
    // would not expect from a number field.
    for (char c : p_strText) {
        if (!((c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E'))
            return false;
    }
    errno = 0;
    char* end = nullptr;
    double value = std::strtod(p_strText.c_str(), &end);
    if (errno != 0 || *end != '\0' || !std::isfinite(value))
        return false;
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", value);
    *p_pCanonical = text;
    return true;
}

bool ParseBool(const std::string& p_strText, std::string* p_pCanonical) {
    if (p_strText == "true" || p_strText == "1")
        *p_pCanonical = "true";
    else if (p_strText == "false" || p_strText == "0")
        *p_pCanonical = "false";
    else
        return false;
    return true;
}

const char* Expected(int p_iType) {
    switch (p_iType) {
        case TAG_TYPE_INT: return "an integer";
        case TAG_TYPE_DBL: return "a number";
        case TAG_TYPE_BOOL: return "true, false, 1 or 0";
        case TAG_TYPE_DATE: return "a calendar date yyyymmdd";
        default: return "a value";
    }
}

}  // namespace

std::string TypeText(const CTagInfo& p_Tag) {
    switch (p_Tag.m_iType) {
        case TAG_TYPE_STRING: return "string";
        case TAG_TYPE_INT: return "integer";
        case TAG_TYPE_DBL: return "double";
        case TAG_TYPE_BOOL: return "bool";
        case TAG_TYPE_DATE: return "date";
        case TAG_TYPE_SUBMSG: return "m" + std::to_string(p_Tag.m_iSubMsg);
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
    const int ymd = std::atoi(p_strText.c_str());
    const int year = ymd / 10000, month = ymd / 100 % 100, day = ymd % 100;
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (year < 1 || month < 1 || month > 12 || day < 1)
        return false;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return day <= kDays[month - 1] + (month == 2 && leap ? 1 : 0);
}

bool CheckFieldValue(const CTagInfo& p_Tag, const std::string& p_strText, std::string* p_pCanonical,
                     std::string* p_pError) {
    const std::string strName = p_Tag.m_strName.ToStr();
    if (p_Tag.m_iType == TAG_TYPE_SUBMSG) {
        *p_pError = "tag '" + strName + "' (" + TypeText(p_Tag) + ") is a sub-message and takes no value, got '" +
                    p_strText + "' (set its fields: " + strName + ".NAME=VALUE)";
        return false;
    }
    if (p_Tag.m_iType == TAG_TYPE_STRING) {
        *p_pCanonical = p_strText;
        return true;
    }
    const std::string strValue = Trimmed(p_strText);
    bool bOk = false;
    switch (p_Tag.m_iType) {
        case TAG_TYPE_INT: bOk = ParseInt(strValue, p_pCanonical); break;
        case TAG_TYPE_DBL: bOk = ParseDouble(strValue, p_pCanonical); break;
        case TAG_TYPE_BOOL: bOk = ParseBool(strValue, p_pCanonical); break;
        case TAG_TYPE_DATE:
            bOk = IsCalendarDate(strValue);
            *p_pCanonical = strValue;
            break;
        default: break;
    }
    if (!bOk)
        *p_pError = "tag '" + strName + "' (" + TypeText(p_Tag) + ") needs " + Expected(p_Tag.m_iType) + ", got '" +
                    p_strText + "'";
    return bOk;
}
