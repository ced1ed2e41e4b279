#include "dat_class/text_format.h"

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <utility>

#include "dat_class/alloc_failure.h"

namespace vorant {
namespace text_format {

namespace {

const int kStackBytes = 1024;

// The first multiple of the step above p_iLength: room for the text and its
// zero byte.
int StepAbove(const CSteps& p_Steps, int p_iLength) {
    const int64_t llSize = (static_cast<int64_t>(p_iLength) / p_Steps.m_iStep + 1) * p_Steps.m_iStep;
    if (llSize + p_Steps.m_iSpare >= INT_MAX)
        ThrowAllocFailure(p_Steps.m_szUnit, __LINE__, p_Steps.m_szExpr, std::bad_array_new_length());
    return static_cast<int>(llSize);
}

// Formats into buffers of p_iSize bytes and more until the text fits.
char* FormatFrom(const CSteps& p_Steps, int p_iSize, const char* p_szFormat, va_list p_Args, int* p_piLength,
                 int* p_piBufferSize) {
    for (;;) {
        const size_t nBytes = static_cast<size_t>(p_iSize) + static_cast<size_t>(p_Steps.m_iSpare);
        std::unique_ptr<char[]> pBuffer;
        try {
            pBuffer.reset(new char[nBytes]);
        } catch (const std::bad_alloc& e) {
            ThrowAllocFailure(p_Steps.m_szUnit, __LINE__, p_Steps.m_szExpr, e);
        }
        std::memset(pBuffer.get(), 0, nBytes);
        va_list args;
        va_copy(args, p_Args);
        const int iLength = vsnprintf(pBuffer.get(), static_cast<size_t>(p_iSize), p_szFormat, args);
        va_end(args);
        *p_piLength = iLength;
        if (iLength < 0)
            return nullptr;
        if (iLength < p_iSize) {
            *p_piBufferSize = static_cast<int>(nBytes);
            return pBuffer.release();
        }
        p_iSize = StepAbove(p_Steps, iLength);
    }
}

}  // namespace

char* FormatToNewBuffer(const CSteps& p_Steps, const char* p_szFormat, va_list p_Args, int* p_piLength,
                        int* p_piBufferSize) {
    *p_piLength = -1;
    if (!p_szFormat)
        return nullptr;
    return FormatFrom(p_Steps, p_Steps.m_iStep, p_szFormat, p_Args, p_piLength, p_piBufferSize);
}

CString FormatText(const CSteps& p_Steps, const char* p_szFormat, va_list p_Args) {
    if (!p_szFormat)
        return CString();
    char szShort[kStackBytes];
    const int iShort = p_Steps.m_iStep < kStackBytes ? p_Steps.m_iStep : kStackBytes;
    va_list args;
    va_copy(args, p_Args);
    const int iLength = vsnprintf(szShort, static_cast<size_t>(iShort), p_szFormat, args);
    va_end(args);
    if (iLength < 0)
        return CString();
    if (iLength < iShort)
        return CString(szShort);
    int iUnused = 0, iBufferSize = 0;
    std::unique_ptr<char[]> pBuffer(
        FormatFrom(p_Steps, StepAbove(p_Steps, iLength), p_szFormat, p_Args, &iUnused, &iBufferSize));
    return pBuffer ? CString(pBuffer.get()) : CString();
}

CFormatted::CFormatted(const CSteps& p_Steps, const char* p_szFormat, va_list p_Args) {
    try {
        m_strText = FormatText(p_Steps, p_szFormat, p_Args);
    } catch (...) {
        m_pFailure = std::current_exception();
    }
}

CString CFormatted::Take() {
    if (m_pFailure)
        std::rethrow_exception(m_pFailure);
    return std::move(m_strText);
}

}  // namespace text_format
}  // namespace vorant
