// Locale-independent number texts: std::to_chars / std::from_chars, which
// ignore the process locale, with strtod_l in the C locale for the rare
// inputs from_chars does not cover (hexadecimal, out of range).
#include "dat_class/num_text.h"

#include <locale.h>
#include <charconv>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace vorant {
namespace num_text {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

const char* SkipBlanks(const char* p) {
    while (IsBlank(*p))
        ++p;
    return p;
}

double StrtodC(const char* p_szText) {
    static const locale_t s_cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    if (s_cLocale == static_cast<locale_t>(0))
        return strtod(p_szText, nullptr);
    return strtod_l(p_szText, nullptr, s_cLocale);
}

int Fail(char* p_szBuf, int p_iSize) {
    if (p_iSize > 0)
        p_szBuf[0] = 0;
    return -1;
}

}  // namespace

int WriteInt(char* p_szBuf, int p_iValue) {
    std::to_chars_result r = std::to_chars(p_szBuf, p_szBuf + kIntSize - 1, p_iValue);
    *r.ptr = 0;
    return static_cast<int>(r.ptr - p_szBuf);
}

int WriteInt64(char* p_szBuf, int64_t p_lValue) {
    std::to_chars_result r = std::to_chars(p_szBuf, p_szBuf + kInt64Size - 1, p_lValue);
    *r.ptr = 0;
    return static_cast<int>(r.ptr - p_szBuf);
}

int WritePadded(char* p_szBuf, int64_t p_lValue, int p_iWidth) {
    char szDigits[kInt64Size];
    int iLen = WriteInt64(szDigits, p_lValue);
    const char* pDigits = szDigits;
    char* p = p_szBuf;
    if (*pDigits == '-') {
        *p++ = *pDigits++;
        --iLen;
    }
    for (int i = iLen + static_cast<int>(p - p_szBuf); i < p_iWidth; ++i)
        *p++ = '0';
    memcpy(p, pDigits, iLen);
    p += iLen;
    *p = 0;
    return static_cast<int>(p - p_szBuf);
}

int WriteExp(char* p_szBuf, int p_iSize, double p_dValue, int p_iPrec) {
    if (p_iSize < 1)
        return Fail(p_szBuf, p_iSize);
    std::to_chars_result r =
        std::to_chars(p_szBuf, p_szBuf + p_iSize - 1, p_dValue, std::chars_format::scientific, EffectivePrec(p_iPrec));
    if (r.ec != std::errc())
        return Fail(p_szBuf, p_iSize);
    int iLen = static_cast<int>(r.ptr - p_szBuf);
    // A two-digit exponent "e+dd" gets a leading zero digit.
    if (iLen >= 4 && p_szBuf[iLen - 4] == 'e') {
        if (iLen + 1 > p_iSize - 1)
            return Fail(p_szBuf, p_iSize);
        p_szBuf[iLen] = p_szBuf[iLen - 1];
        p_szBuf[iLen - 1] = p_szBuf[iLen - 2];
        p_szBuf[iLen - 2] = '0';
        ++iLen;
    }
    p_szBuf[iLen] = 0;
    return iLen;
}

int WriteFixed(char* p_szBuf, int p_iSize, double p_dValue, int p_iPrec) {
    if (p_iSize < 1)
        return Fail(p_szBuf, p_iSize);
    std::to_chars_result r =
        std::to_chars(p_szBuf, p_szBuf + p_iSize - 1, p_dValue, std::chars_format::fixed, EffectivePrec(p_iPrec));
    if (r.ec != std::errc())
        return Fail(p_szBuf, p_iSize);
    *r.ptr = 0;
    return static_cast<int>(r.ptr - p_szBuf);
}

int WriteGrouped(char* p_szBuf, const char* p_szDigits, int p_iLen) {
    char* p = p_szBuf;
    int iHead = p_iLen % 3;
    if (iHead == 0 && p_iLen > 0)
        iHead = 3;
    for (int i = 0; i < p_iLen; ++i) {
        if (i > 0 && (i - iHead) % 3 == 0)
            *p++ = ',';
        *p++ = p_szDigits[i];
    }
    *p = 0;
    return static_cast<int>(p - p_szBuf);
}

int ParseInt(const char* p_szText) {
    if (p_szText == nullptr)
        return 0;
    const char* p = SkipBlanks(p_szText);
    bool bNeg = false;
    if (*p == '+' || *p == '-')
        bNeg = (*p++ == '-');
    // Accumulate the magnitude, held just past INT_MAX + 1 once it overflows.
    const int64_t lLimit = static_cast<int64_t>(INT_MAX) + 2;
    int64_t lMag = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        if (lMag < lLimit)
            lMag = lMag * 10 + (*p - '0');
    }
    int64_t lValue = bNeg ? -lMag : lMag;
    if (lValue > INT_MAX)
        return INT_MAX;
    if (lValue < INT_MIN)
        return INT_MIN;
    return static_cast<int>(lValue);
}

double ParseDbl(const char* p_szText) {
    if (p_szText == nullptr)
        return 0.0;
    const char* pStart = SkipBlanks(p_szText);
    const char* p = pStart;
    bool bNeg = false;
    if (*p == '+' || *p == '-')
        bNeg = (*p++ == '-');
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X'))
        return StrtodC(pStart);
    double dValue = 0.0;
    std::from_chars_result r = std::from_chars(p, p + strlen(p), dValue, std::chars_format::general);
    if (r.ec == std::errc::result_out_of_range)
        return StrtodC(pStart);
    if (r.ec != std::errc())
        return 0.0;
    return bNeg ? -dValue : dValue;
}

}  // namespace num_text
}  // namespace vorant
