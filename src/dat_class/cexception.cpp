#include "vorant/exception.hpp"

#include <cstdarg>
#include <cstdio>
#include <cstring>

CException::CException() : m_iCode(0) { memset(m_szText, 0, sizeof m_szText); }

CException::CException(const char* p_szText, int p_iCode) : m_iCode(p_iCode) {
    size_t iLength = p_szText ? strnlen(p_szText, TEXT_SIZE - 1) : 0;
    if (iLength)
        memcpy(m_szText, p_szText, iLength);
    m_szText[iLength] = '\0';
}

CException::CException(int p_iCode, const char* p_szFormat, ...) : m_iCode(p_iCode) {
    m_szText[0] = '\0';
    if (!p_szFormat)
        return;
    va_list args;
    va_start(args, p_szFormat);
    // vsnprintf cuts to TEXT_SIZE - 1 characters and always terminates.
    if (vsnprintf(m_szText, TEXT_SIZE, p_szFormat, args) < 0)
        m_szText[0] = '\0';
    va_end(args);
}
