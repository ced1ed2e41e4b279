// CDbl: nullable double and its locale-independent texts.
#include <climits>
#include <cmath>
#include <cstring>

#include "dat_class/num_text.h"
#include "vorant/exception.hpp"
#include "vorant/scalars.hpp"

namespace {

double Div(double a, double b) {
    if (b == 0.0)
        throw CException("operator/ : Divided by zero Exception", 0);
    return a / b;
}

// Decimals a formatted CDbl shows at most.
const int kMaxFmtPrec = 15;

}  // namespace

CDbl& CDbl::operator=(double p_dValue) {
    m_dValue = p_dValue;
    m_bValid = true;
    return *this;
}

void CDbl::Init() {
    m_dValue = 0.0;
    m_bValid = false;
}

void CDbl::SetNull() { Init(); }

int CDbl::ToInt() const {
    if (std::isnan(m_dValue))
        return 0;
    if (m_dValue >= 2147483648.0)
        return INT_MAX;
    if (m_dValue <= -2147483649.0)
        return INT_MIN;
    return static_cast<int>(m_dValue);
}

CString CDbl::Repr(char p_cFmt, int p_iPrec) const {
    using namespace vorant::num_text;
    if (!m_bValid)
        return CString("<CDbl: unset>");
    char szNum[FixedSize(kMaxPrec)];
    if (p_cFmt == 'e')
        WriteExp(szNum, sizeof szNum, m_dValue, p_iPrec);
    else
        WriteFixed(szNum, sizeof szNum, m_dValue, p_iPrec);
    return CFormat("<CDbl: %s>", szNum);
}

CString CDbl::ToFmtStr(int p_iPrec, bool p_bCommas) const {
    using namespace vorant::num_text;
    bool bTrim = p_iPrec < 0;
    int iPrec = bTrim ? (p_iPrec == INT_MIN ? INT_MAX : -p_iPrec) : p_iPrec;
    if (iPrec > kMaxFmtPrec)
        iPrec = kMaxFmtPrec;

    char szNum[FixedSize(kMaxFmtPrec)];
    int iLen = WriteFixed(szNum, sizeof szNum, std::fabs(m_dValue), iPrec);
    const char* pDot = static_cast<const char*>(memchr(szNum, '.', iLen));
    int iIntLen = pDot ? static_cast<int>(pDot - szNum) : iLen;
    const char* pFrac = pDot ? pDot + 1 : szNum + iLen;
    int iFracLen = static_cast<int>(szNum + iLen - pFrac);
    if (bTrim) {
        while (iFracLen > 0 && pFrac[iFracLen - 1] == '0')
            --iFracLen;
    }

    char szOut[1 + GroupedSize(FixedSize(kMaxFmtPrec))];
    char* p = szOut;
    if (m_dValue < 0.0)
        *p++ = '-';
    if (p_bCommas && iIntLen >= 4) {
        p += WriteGrouped(p, szNum, iIntLen);
    } else {
        memcpy(p, szNum, iIntLen);
        p += iIntLen;
    }
    if (iFracLen > 0) {
        *p++ = '.';
        memcpy(p, pFrac, iFracLen);
        p += iFracLen;
    }
    *p = 0;
    return CString(szOut);
}

CDbl CDbl::operator+(const CDbl& p_Other) const { return CDbl(m_dValue + p_Other.m_dValue); }
CDbl CDbl::operator+(double p_dValue) const { return CDbl(m_dValue + p_dValue); }
CDbl CDbl::operator-(const CDbl& p_Other) const { return CDbl(m_dValue - p_Other.m_dValue); }
CDbl CDbl::operator-(double p_dValue) const { return CDbl(m_dValue - p_dValue); }
CDbl CDbl::operator*(const CDbl& p_Other) const { return CDbl(m_dValue * p_Other.m_dValue); }
CDbl CDbl::operator*(double p_dValue) const { return CDbl(m_dValue * p_dValue); }
CDbl CDbl::operator/(const CDbl& p_Other) const { return CDbl(Div(m_dValue, p_Other.m_dValue)); }
CDbl CDbl::operator/(double p_dValue) const { return CDbl(Div(m_dValue, p_dValue)); }

CDbl& CDbl::operator+=(const CDbl& p_Other) { return *this = m_dValue + p_Other.m_dValue; }
CDbl& CDbl::operator+=(double p_dValue) { return *this = m_dValue + p_dValue; }
CDbl& CDbl::operator-=(const CDbl& p_Other) { return *this = m_dValue - p_Other.m_dValue; }
CDbl& CDbl::operator-=(double p_dValue) { return *this = m_dValue - p_dValue; }
CDbl& CDbl::operator*=(const CDbl& p_Other) { return *this = m_dValue * p_Other.m_dValue; }
CDbl& CDbl::operator*=(double p_dValue) { return *this = m_dValue * p_dValue; }
CDbl& CDbl::operator/=(const CDbl& p_Other) { return *this = Div(m_dValue, p_Other.m_dValue); }
CDbl& CDbl::operator/=(double p_dValue) { return *this = Div(m_dValue, p_dValue); }

CDbl CDbl::operator-() {
    m_dValue *= -1.0;
    return *this;
}
