// CInt: nullable 32-bit int with wrapping arithmetic.
#include <climits>
#include <cstdint>

#include "dat_class/num_text.h"
#include "vorant/exception.hpp"
#include "vorant/scalars.hpp"

namespace {

// Two's-complement wrapping without signed overflow.
int Wrap(uint32_t p_uValue) { return static_cast<int>(p_uValue); }
int Add(int a, int b) { return Wrap(static_cast<uint32_t>(a) + static_cast<uint32_t>(b)); }
int Sub(int a, int b) { return Wrap(static_cast<uint32_t>(a) - static_cast<uint32_t>(b)); }
int Mul(int a, int b) { return Wrap(static_cast<uint32_t>(a) * static_cast<uint32_t>(b)); }

int Div(int a, int b) {
    if (b == 0)
        throw CException("operator/ : Divided by zero Exception", 0);
    if (b == -1)
        return Sub(0, a);  // INT_MIN / -1 wraps to INT_MIN
    return a / b;
}

int Mod(int a, int b) {
    if (b == 0)
        throw CException("operator% : Divided by zero Exception", 0);
    if (b == -1)
        return 0;
    return a % b;
}

}  // namespace

CInt& CInt::operator=(int p_iValue) {
    m_iValue = p_iValue;
    m_bValid = true;
    return *this;
}

void CInt::Init() {
    m_iValue = 0;
    m_bValid = false;
}

void CInt::SetNull() { Init(); }

CString CInt::Repr() const {
    if (!m_bValid)
        return CString("<CInt: unset>");
    char szNum[vorant::num_text::kIntSize];
    vorant::num_text::WriteInt(szNum, m_iValue);
    return CFormat("<CInt: %s>", szNum);
}

CString CInt::ToFmtStr(bool p_bCommas) const {
    using namespace vorant::num_text;
    char szNum[kInt64Size];
    if (!p_bCommas || (m_iValue >= -999 && m_iValue <= 999)) {
        WriteInt(szNum, m_iValue);
        return CString(szNum);
    }
    // The magnitude in 64 bits, so that INT_MIN has one.
    int64_t lValue = m_iValue;
    int iLen = WriteInt64(szNum, lValue < 0 ? -lValue : lValue);
    char szOut[1 + GroupedSize(kInt64Size)];
    char* p = szOut;
    if (lValue < 0)
        *p++ = '-';
    WriteGrouped(p, szNum, iLen);
    return CString(szOut);
}

CInt CInt::operator+(const CInt& p_Other) const { return CInt(Add(m_iValue, p_Other.m_iValue)); }
CInt CInt::operator+(int p_iValue) const { return CInt(Add(m_iValue, p_iValue)); }
CInt CInt::operator-(const CInt& p_Other) const { return CInt(Sub(m_iValue, p_Other.m_iValue)); }
CInt CInt::operator-(int p_iValue) const { return CInt(Sub(m_iValue, p_iValue)); }
CInt CInt::operator*(const CInt& p_Other) const { return CInt(Mul(m_iValue, p_Other.m_iValue)); }
CInt CInt::operator*(int p_iValue) const { return CInt(Mul(m_iValue, p_iValue)); }
CInt CInt::operator/(const CInt& p_Other) const { return CInt(Div(m_iValue, p_Other.m_iValue)); }
CInt CInt::operator/(int p_iValue) const { return CInt(Div(m_iValue, p_iValue)); }
CInt CInt::operator%(const CInt& p_Other) const { return CInt(Mod(m_iValue, p_Other.m_iValue)); }
CInt CInt::operator%(int p_iValue) const { return CInt(Mod(m_iValue, p_iValue)); }

CInt& CInt::operator+=(const CInt& p_Other) { return *this = Add(m_iValue, p_Other.m_iValue); }
CInt& CInt::operator+=(int p_iValue) { return *this = Add(m_iValue, p_iValue); }
CInt& CInt::operator-=(const CInt& p_Other) { return *this = Sub(m_iValue, p_Other.m_iValue); }
CInt& CInt::operator-=(int p_iValue) { return *this = Sub(m_iValue, p_iValue); }
CInt& CInt::operator*=(const CInt& p_Other) { return *this = Mul(m_iValue, p_Other.m_iValue); }
CInt& CInt::operator*=(int p_iValue) { return *this = Mul(m_iValue, p_iValue); }
CInt& CInt::operator/=(const CInt& p_Other) { return *this = Div(m_iValue, p_Other.m_iValue); }
CInt& CInt::operator/=(int p_iValue) { return *this = Div(m_iValue, p_iValue); }
CInt& CInt::operator%=(const CInt& p_Other) { return *this = Mod(m_iValue, p_Other.m_iValue); }
CInt& CInt::operator%=(int p_iValue) { return *this = Mod(m_iValue, p_iValue); }

CInt CInt::operator-() {
    m_iValue = Sub(0, m_iValue);
    return *this;
}
