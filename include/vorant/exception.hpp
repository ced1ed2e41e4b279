// vorant: the one exception type of the value and container classes.
//
// Threads: a CException is a plain value, thrown by value; any thread.
#ifndef VORANT_EXCEPTION_HPP
#define VORANT_EXCEPTION_HPP

#include "vorant/export.h"

// An error code and a fixed 1024-byte text. Owns no memory: throw by value,
// catch by reference.
class VORANT_API CException {
public:
    enum { TEXT_SIZE = 1024 };

    // Code 0, empty text.
    CException();
    // Copies p_szText cut to 1023 characters; null gives an empty text.
    CException(const char* p_szText, int p_iCode);
    // printf-style text, cut to 1023 characters; a null format gives an empty
    // text.
    CException(int p_iCode, const char* p_szFormat, ...) __attribute__((format(printf, 3, 4)));

    CException(const CException&) = default;
    CException& operator=(const CException&) = default;

    // A code of vorant/codes.h (MaErrorCode), or 0 where only the text says
    // why (index errors of the containers, ...).
    int GetCode() const { return m_iCode; }
    // The text, owned by the exception.
    const char* GetText() const { return m_szText; }

private:
    int m_iCode;
    char m_szText[TEXT_SIZE];
};

#endif  // VORANT_EXCEPTION_HPP
