#include <climits>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>

#include "dat_class/alloc_failure.h"
#include "vorant/cstring.hpp"

namespace {

const char kUnit[] = "dat_class/cstring";
const int kFormatStep = 512;

// Formats into a fresh buffer of 512, 1024, ... bytes, the first step the
// result fits below. Returns the buffer (owned by the caller) or null with
// the negative result when the format cannot be rendered.
char* FormatToNewBuffer(const char* p_szFormat, va_list p_Args, int* p_piResult, int* p_piBufferSize) {
    *p_piResult = -1;
    if (!p_szFormat)
        return nullptr;
    int iSize = kFormatStep;
    for (;;) {
        // clang-format off
        std::unique_ptr<char[]> pBuffer(VORANT_NEW(kUnit, char[iSize+1]));
        // clang-format on
        memset(pBuffer.get(), 0, static_cast<size_t>(iSize) + 1);
        va_list args;
        va_copy(args, p_Args);
        int iResult = vsnprintf(pBuffer.get(), static_cast<size_t>(iSize), p_szFormat, args);
        va_end(args);
        *p_piResult = iResult;
        if (iResult < 0)
            return nullptr;
        if (iResult < iSize) {
            *p_piBufferSize = iSize + 1;
            return pBuffer.release();
        }
        // Straight to the first 512-byte step that holds the result.
        int64_t iNext = (static_cast<int64_t>(iResult) / kFormatStep + 1) * kFormatStep;
        if (iNext >= INT_MAX)
            vorant::ThrowAllocFailure(kUnit, __LINE__, "char[iSize+1]", std::bad_array_new_length());
        iSize = static_cast<int>(iNext);
    }
}

}  // namespace

int CString::Format(const char* p_szFormat, ...) {
    va_list args;
    va_start(args, p_szFormat);
    int iResult = 0;
    int iBufferSize = 0;
    char* pBuffer;
    try {
        pBuffer = FormatToNewBuffer(p_szFormat, args, &iResult, &iBufferSize);
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
    char szShort[kFormatStep];
    int iResult = p_szFormat ? vsnprintf(szShort, sizeof szShort, p_szFormat, args) : -1;
    va_end(args);
    if (iResult < 0)
        return CString();
    if (iResult < kFormatStep)
        return CString(szShort);

    va_start(args, p_szFormat);
    int iBufferSize = 0;
    std::unique_ptr<char[]> pBuffer;
    try {
        pBuffer.reset(FormatToNewBuffer(p_szFormat, args, &iResult, &iBufferSize));
    } catch (...) {
        va_end(args);
        throw;
    }
    va_end(args);
    return CString(pBuffer.get());
}
