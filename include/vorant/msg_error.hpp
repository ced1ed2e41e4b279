// vorant: the library's error-code table and the per-object last error.
#ifndef VORANT_MSG_ERROR_HPP
#define VORANT_MSG_ERROR_HPP

#include "vorant/export.h"

// Codes of the error table. Failures are reported as these negative values;
// MA_GetErrorStr gives their texts.
enum MaErrorCode : int {
    MA_OK = 0,
    MA_ERR_NO_DATA = -1,
    MA_ERR_MEMORY = -11,
    MA_ERR_NULL_PARAM = -12,
    MA_ERR_TAGDIC = -13,
    MA_ERR_TAGNUM_BOUNDARY = -14,
    MA_ERR_MSGNUM_BOUNDARY = -15,
    MA_ERR_SUBMSG_BOUNDARY = -16,
    MA_ERR_TAG_TYPE = -17,
    MA_ERR_TAG_NOT_DEFINED = -18,
    MA_ERR_MSG_NOT_DEFINED = -19,
    MA_ERR_MSG_TAG_NOT_DEFINED = -20,
    MA_ERR_XML_PARSE = -21,
    MA_ERR_DUPLICATED_MSG = -22,
    MA_ERR_DUPLICATED_TAG = -23,
    MA_ERR_MSG_ASSERT_FORMAT = -24,
    MA_ERR_TAG_RESTRICTION_FORMAT = -25,
    MA_ERR_XML_INIT = -26,
    MA_ERR_ARRAY_INDEX = -27,
    MA_ERR_SERVICE_INPUT = -28,
    MA_ERR_IMPORT_DICTIONARY = -29,
    MA_ERR_STATEMENT_ID = -30,
    MA_ERR_JSON_PARSE = -31,
    MA_ERR_FILE_NOT_FOUND = -32,
    MA_ERR_SOCKET = -33,
    MA_ERR_CONFIG_FILE = -34,
    MA_ERR_NOT_INITIALIZED = -35,
    MA_ERR_DICTIONARY_LOAD = -36
};

// The table text for the magnitude of p_iCode; "Unknown error" outside the
// table. Static text, never null.
VORANT_API const char* MA_GetErrorStr(int p_iCode);

// Holds an object's last error: code and "MSG_Error(%d) : %s {%s}" text.
// Owns its record (allocated on the first error); copies clone it.
class VORANT_API CLastError {
public:
    CLastError();
    CLastError(const CLastError& p_Other);
    CLastError(CLastError&& p_Other) noexcept;
    CLastError& operator=(const CLastError& p_Other);
    CLastError& operator=(CLastError&& p_Other) noexcept;
    ~CLastError();

    // The full text of the last error, "" when none was set. Owned by this
    // object; valid until the next error is set or the object dies.
    char* GetLastError() const;
    // The code of the last error, 0 when none was set.
    int GetLastErrorCode() const;

protected:
    // Records p_iCode with the printf-style details p_szFormat.
    void SetLastError(int p_iCode, const char* p_szFormat, ...) __attribute__((format(printf, 3, 4)));

private:
    struct Error;
    Error* m_pError;
};

#endif  // VORANT_MSG_ERROR_HPP
