// vorant: nullable int, double and bool values.
//
// Threads: values hold no shared state: an object serves one thread at a
// time, and different objects may be used on different threads at once.
#ifndef VORANT_SCALARS_HPP
#define VORANT_SCALARS_HPP

#include "vorant/cstring.hpp"
#include "vorant/export.h"

// A 32-bit int with a set flag. A plain value: no heap, copied by value.
// An unset CInt always holds 0. Arithmetic wraps in two's complement and
// always yields a set result; comparisons look at the values only.
class VORANT_API CInt {
public:
    CInt() : m_iValue(0), m_bValid(false) {}
    CInt(int p_iValue) : m_iValue(p_iValue), m_bValid(true) {}
    CInt(const CInt&) = default;
    CInt& operator=(const CInt&) = default;
    CInt& operator=(int p_iValue);
    ~CInt() = default;

    // Value 0, unset.
    void Init();
    void SetNull();
    bool IsValid() const { return m_bValid; }

    // The value, whether set or not.
    operator int() const { return m_iValue; }
    int ToInt() const { return m_iValue; }
    double ToDbl() const { return m_iValue; }

    // "<CInt: %d>" or "<CInt: unset>".
    CString Repr() const;
    // "%d", or with p_bCommas the digits grouped in threes: "-1,234,567".
    CString ToFmtStr(bool p_bCommas) const;

    CInt operator+(const CInt& p_Other) const;
    CInt operator+(int p_iValue) const;
    CInt operator-(const CInt& p_Other) const;
    CInt operator-(int p_iValue) const;
    CInt operator*(const CInt& p_Other) const;
    CInt operator*(int p_iValue) const;
    // Division and remainder truncate toward zero; a zero divisor raises
    // CException 0 "operator/ : Divided by zero Exception" (or "operator% : ...").
    // INT_MIN / -1 gives INT_MIN and INT_MIN % -1 gives 0.
    CInt operator/(const CInt& p_Other) const;
    CInt operator/(int p_iValue) const;
    CInt operator%(const CInt& p_Other) const;
    CInt operator%(int p_iValue) const;

    CInt& operator+=(const CInt& p_Other);
    CInt& operator+=(int p_iValue);
    CInt& operator-=(const CInt& p_Other);
    CInt& operator-=(int p_iValue);
    CInt& operator*=(const CInt& p_Other);
    CInt& operator*=(int p_iValue);
    CInt& operator/=(const CInt& p_Other);
    CInt& operator/=(int p_iValue);
    CInt& operator%=(const CInt& p_Other);
    CInt& operator%=(int p_iValue);

    // A copy, flag included.
    CInt operator+() const { return *this; }
    // Negates this object itself and returns a copy of it.
    CInt operator-();

    bool operator==(const CInt& p_Other) const { return m_iValue == p_Other.m_iValue; }
    bool operator!=(const CInt& p_Other) const { return m_iValue != p_Other.m_iValue; }
    bool operator<(const CInt& p_Other) const { return m_iValue < p_Other.m_iValue; }
    bool operator<=(const CInt& p_Other) const { return m_iValue <= p_Other.m_iValue; }
    bool operator>(const CInt& p_Other) const { return m_iValue > p_Other.m_iValue; }
    bool operator>=(const CInt& p_Other) const { return m_iValue >= p_Other.m_iValue; }
    bool operator==(int p_iValue) const { return m_iValue == p_iValue; }
    bool operator!=(int p_iValue) const { return m_iValue != p_iValue; }
    bool operator<(int p_iValue) const { return m_iValue < p_iValue; }
    bool operator<=(int p_iValue) const { return m_iValue <= p_iValue; }
    bool operator>(int p_iValue) const { return m_iValue > p_iValue; }
    bool operator>=(int p_iValue) const { return m_iValue >= p_iValue; }

private:
    int m_iValue;
    bool m_bValid;
};

// A double with a set flag. A plain value: no heap, copied by value.
// An unset CDbl always holds 0.0. Arithmetic always yields a set result;
// comparisons are exact IEEE comparisons of the values.
class VORANT_API CDbl {
public:
    CDbl() : m_dValue(0.0), m_bValid(false) {}
    CDbl(double p_dValue) : m_dValue(p_dValue), m_bValid(true) {}
    CDbl(int p_iValue) : m_dValue(p_iValue), m_bValid(true) {}
    CDbl(const CDbl&) = default;
    CDbl& operator=(const CDbl&) = default;
    CDbl& operator=(double p_dValue);
    ~CDbl() = default;

    // Value 0.0, unset.
    void Init();
    void SetNull();
    bool IsValid() const { return m_bValid; }

    // The value, whether set or not.
    operator double() const { return m_dValue; }
    double ToDbl() const { return m_dValue; }
    // Truncated toward zero; beyond the int range clamped to INT_MIN / INT_MAX,
    // NaN gives 0.
    int ToInt() const;

    // p_cFmt 'e': "<CDbl: %.*e>" (exponent of at least three digits), any
    // other: "<CDbl: %.*f>"; a negative p_iPrec means printf's default 6.
    // "<CDbl: unset>" when unset. The '.' does not depend on the locale.
    CString Repr(char p_cFmt = 'f', int p_iPrec = -1) const;
    // "%.*f" with at most 15 decimals; a negative p_iPrec asks for -p_iPrec
    // decimals with trailing zeros trimmed; p_bCommas groups the integer
    // digits in threes: (1234567.891, 2, true) gives "1,234,567.89".
    CString ToFmtStr(int p_iPrec, bool p_bCommas) const;

    CDbl operator+(const CDbl& p_Other) const;
    CDbl operator+(double p_dValue) const;
    CDbl operator-(const CDbl& p_Other) const;
    CDbl operator-(double p_dValue) const;
    CDbl operator*(const CDbl& p_Other) const;
    CDbl operator*(double p_dValue) const;
    // A divisor equal to 0.0 (-0.0 too) raises CException 0
    // "operator/ : Divided by zero Exception".
    CDbl operator/(const CDbl& p_Other) const;
    CDbl operator/(double p_dValue) const;

    CDbl& operator+=(const CDbl& p_Other);
    CDbl& operator+=(double p_dValue);
    CDbl& operator-=(const CDbl& p_Other);
    CDbl& operator-=(double p_dValue);
    CDbl& operator*=(const CDbl& p_Other);
    CDbl& operator*=(double p_dValue);
    CDbl& operator/=(const CDbl& p_Other);
    CDbl& operator/=(double p_dValue);

    // A copy, flag included.
    CDbl operator+() const { return *this; }
    // Negates this object itself and returns a copy of it.
    CDbl operator-();

    bool operator==(const CDbl& p_Other) const { return m_dValue == p_Other.m_dValue; }
    bool operator!=(const CDbl& p_Other) const { return m_dValue != p_Other.m_dValue; }
    bool operator<(const CDbl& p_Other) const { return m_dValue < p_Other.m_dValue; }
    bool operator<=(const CDbl& p_Other) const { return m_dValue <= p_Other.m_dValue; }
    bool operator>(const CDbl& p_Other) const { return m_dValue > p_Other.m_dValue; }
    bool operator>=(const CDbl& p_Other) const { return m_dValue >= p_Other.m_dValue; }
    bool operator==(double p_dValue) const { return m_dValue == p_dValue; }
    bool operator!=(double p_dValue) const { return m_dValue != p_dValue; }
    bool operator<(double p_dValue) const { return m_dValue < p_dValue; }
    bool operator<=(double p_dValue) const { return m_dValue <= p_dValue; }
    bool operator>(double p_dValue) const { return m_dValue > p_dValue; }
    bool operator>=(double p_dValue) const { return m_dValue >= p_dValue; }

private:
    double m_dValue;
    bool m_bValid;
};

// A bool with a set flag. A plain value: no heap, copied by value.
// An unset CBool always holds false.
class VORANT_API CBool {
public:
    CBool() : m_bValue(false), m_bValid(false) {}
    CBool(bool p_bValue) : m_bValue(p_bValue), m_bValid(true) {}
    CBool(const CBool&) = default;
    CBool& operator=(const CBool&) = default;
    CBool& operator=(bool p_bValue);
    ~CBool() = default;

    // Value false, unset.
    void SetNull();
    bool IsValid() const { return m_bValid; }

    // The value, whether set or not.
    operator bool() const { return m_bValue; }

    // "<CBool: true>", "<CBool: false>" or "<CBool: unset>".
    CString Repr() const;

    bool operator==(const CBool& p_Other) const { return m_bValue == p_Other.m_bValue; }
    bool operator!=(const CBool& p_Other) const { return m_bValue != p_Other.m_bValue; }
    bool operator==(bool p_bValue) const { return m_bValue == p_bValue; }
    bool operator!=(bool p_bValue) const { return m_bValue != p_bValue; }

private:
    bool m_bValue;
    bool m_bValid;
};

#endif  // VORANT_SCALARS_HPP
