// The configuration file: "key=value" lines with '#' comments.
#ifndef VORANT_API_CONFIG_H
#define VORANT_API_CONFIG_H

#include "vorant/cstring.hpp"
#include "vorant/hashes.hpp"

// Owns the key/value pairs of one configuration file and the text of its last
// failure. A key given twice keeps both values; lookups return the first.
class CConfig {
public:
    CConfig();

    // 0, or -1 when the file cannot be opened.
    int Load(const char* p_szPath);
    // 0, or -1 when the key is absent.
    int GetString(const char* p_szKey, CString& p_strValue);
    // atoi of the first value; 0, or -1 when the key is absent.
    int GetInt(const char* p_szKey, int* p_piValue);
    CString GetLastError() const { return m_strLastError; }

private:
    // Handles one line as read (at most 2047 characters).
    void ParseLine(char* p_szLine);

    CStrHash m_Pairs;
    CString m_strLastError;
};

#endif  // VORANT_API_CONFIG_H
