#include <cstdarg>
#include <cstring>

#include "dat_class/text_format.h"
#include "vorant/cstring.hpp"

namespace {

// A string's own buffer: 512, 1024, ... bytes, the first step the text fits
// below, and one zero byte more.
const vorant::text_format::CSteps kStringSteps = {512, "dat_class/cstring", "char[iSize+1]", 1};

}  // namespace

int CString::Format(const char* p_szFormat, ...) {
    va_list args;
    va_start(args, p_szFormat);
    int iResult = 0;
    int iBufferSize = 0;
    char* pBuffer;
    try {
        pBuffer = vorant::text_format::FormatToNewBuffer(kStringSteps, p_szFormat, args, &iResult, &iBufferSize);
    } catch (...) {
        va_end(args);
        throw;
    }
    va_end(args);
    if (!pBuffer) {
        MakeEmptyString();
        return iResult;
    }
    // The old text is freed only now: it may be one of the arguments.
    delete[] m_pData;
    m_pData = pBuffer;
    m_iBufferSize = iBufferSize;
    m_iSize = static_cast<int>(strnlen(pBuffer, static_cast<size_t>(iBufferSize)));
    return iResult;
}

CString CFormat(const char* p_szFormat, ...) {
    va_list args;
    va_start(args, p_szFormat);
    vorant::text_format::CFormatted text(kStringSteps, p_szFormat, args);
    va_end(args);
    return text.Take();
}
