// vorant: the library's error-code table and the per-object last error.
//
// Threads: MA_GetErrorStr runs on any thread; a CLastError belongs to its
// object and serves that object's thread.
#ifndef VORANT_MSG_ERROR_HPP
#define VORANT_MSG_ERROR_HPP

#include "vorant/codes.h"
#include "vorant/export.h"

// The table text (MaErrorCode, vorant/codes.h) for the magnitude of p_iCode; "Unknown error" outside the
// table. Static text, never null.
VORANT_API const char* MA_GetErrorStr(int p_iCode);

// Holds an object's last error: code and "MSG_Error(%d) : %s {%s}" text.
// Owns its record (allocated on the first error); copies clone it and raise
// CException MA_ERR_MEMORY when the clone cannot be allocated.
class VORANT_API CLastError {
public:
    CLastError();
    CLastError(const CLastError& p_Other);
    CLastError(CLastError&& p_Other) noexcept;
    CLastError& operator=(const CLastError& p_Other);
    CLastError& operator=(CLastError&& p_Other) noexcept;
    ~CLastError();

    // The full text of the last error, "" when none was set. Owned by this
    // object; valid until the next error is set or the object dies. Read
    // only: the "" of an object without error is shared.
    char* GetLastError() const;
    // The code of the last error, 0 when none was set.
    int GetLastErrorCode() const;

protected:
    // Records p_iCode with the printf-style details p_szFormat, replacing the
    // last error. Raises CException MA_ERR_MEMORY when memory runs out.
    void SetLastError(int p_iCode, const char* p_szFormat, ...) __attribute__((format(printf, 3, 4)));

private:
    struct Error;
    Error* m_pError;
};

#endif  // VORANT_MSG_ERROR_HPP
