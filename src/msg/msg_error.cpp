#include "vorant/msg_error.hpp"

#include <climits>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <utility>

#include "dat_class/alloc_failure.h"
#include "dat_class/text_format.h"
#include "vorant/cstring.hpp"

namespace {

const char kUnit[] = "msg_error";
const int kTableSize = 50;
// The caller's details, formatted in 1024-byte steps without an upper limit.
const vorant::text_format::CSteps kDetailSteps = {1024, kUnit, "char[iLen]", 0};
const char kUnknown[] = "Unknown error";

// Slots 37 to 49 are unused; they read as the fallback text.
const char* const kErrorTexts[kTableSize] = {
    kUnknown,
    "No Data found",
    "N/A",
    "N/A",
    "N/A",
    "N/A",
    "N/A",
    "N/A",
    "N/A",
    "N/A",
    "N/A",
    "Memory error",
    "Parameter is NULL",
    "TagDic error",
    "Out of tagnum boundary",
    "Out of msgnum boundary",
    "Out of submsg bounaryd",
    "Invalid tag type",
    "Not defined tag in dictionary",
    "Not defined msg in dictionary",
    "Not defined tag in msg dictionary",
    "XML parsing failed",
    "Duplicated message defined",
    "Duplicated tag defined",
    "Invalid msg assert format",
    "Invalid tag restriction format",
    "Xerces(XML parser) initialization error",
    "Out of index boundary in array",
    "Invalid input msg of service",
    "Import dictionary error",
    "Undefined statment id",
    "JSON parsing failed",
    "File not found",
    "Socket error",
    "Config file error",
    "Not Initialized",
    "Dictionary loading failed",
    kUnknown,
    kUnknown,
    kUnknown,
    kUnknown,
    kUnknown,
    kUnknown,
    kUnknown,
    kUnknown,
    kUnknown,
    kUnknown,
    kUnknown,
    kUnknown,
    kUnknown,
};

char g_szNoError[1] = {'\0'};

}  // namespace

const char* MA_GetErrorStr(int p_iCode) {
    if (p_iCode == INT_MIN)
        return kUnknown;
    int iIndex = p_iCode < 0 ? -p_iCode : p_iCode;
    return iIndex < kTableSize ? kErrorTexts[iIndex] : kUnknown;
}

// The record of the last error.
struct CLastError::Error {
    int m_iCode = 0;
    CString m_strText;
};

CLastError::CLastError() : m_pError(nullptr) {}

CLastError::CLastError(const CLastError& p_Other)
    : m_pError(p_Other.m_pError ? VORANT_NEW(kUnit, Error(*p_Other.m_pError)) : nullptr) {}

CLastError::CLastError(CLastError&& p_Other) noexcept : m_pError(p_Other.m_pError) { p_Other.m_pError = nullptr; }

CLastError& CLastError::operator=(const CLastError& p_Other) {
    if (this == &p_Other)
        return *this;
    if (!p_Other.m_pError) {
        delete m_pError;
        m_pError = nullptr;
    } else if (m_pError) {
        m_pError->m_strText = p_Other.m_pError->m_strText;
        m_pError->m_iCode = p_Other.m_pError->m_iCode;
    } else {
        m_pError = VORANT_NEW(kUnit, Error(*p_Other.m_pError));
    }
    return *this;
}

CLastError& CLastError::operator=(CLastError&& p_Other) noexcept {
    std::swap(m_pError, p_Other.m_pError);
    return *this;
}

CLastError::~CLastError() {
    delete m_pError;
    m_pError = nullptr;
}

char* CLastError::GetLastError() const { return m_pError ? static_cast<char*>(m_pError->m_strText) : g_szNoError; }

int CLastError::GetLastErrorCode() const { return m_pError ? m_pError->m_iCode : 0; }

void CLastError::SetLastError(int p_iCode, const char* p_szFormat, ...) {
    if (!m_pError)
        m_pError = VORANT_NEW(kUnit, Error);
    m_pError->m_iCode = p_iCode;

    va_list args;
    va_start(args, p_szFormat);
    vorant::text_format::CFormatted details(kDetailSteps, p_szFormat, args);
    va_end(args);
    const CString strDetails = details.Take();
    m_pError->m_strText = CFormat("MSG_Error(%d) : %s {%s}", p_iCode, MA_GetErrorStr(p_iCode), strDetails.ToStr());
}
