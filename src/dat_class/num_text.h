// Locale-independent number texts.
//
// Every number the library writes or reads as text (message XML, dumps, Repr,
// dates) goes through here, so that an application that calls setlocale with
// a comma-decimal locale still gets '.' and the same bytes as the C locale.
// Writers fill a caller's buffer (no heap) and always zero-terminate it.
//
// Texts are byte-identical to the C locale's printf output, with one rule of
// our own: an exponent has at least three digits ("1.250000000000000e+000",
// "1.000000000000000e-001"). Infinities and NaNs print as printf does
// ("inf", "-inf", "nan", "-nan").
#ifndef VORANT_DAT_CLASS_NUM_TEXT_H
#define VORANT_DAT_CLASS_NUM_TEXT_H

#include <cstdint>

namespace vorant {
namespace num_text {

// Buffer sizes, terminator included, that always suffice.
constexpr int kIntSize = 12;    // "-2147483648"
constexpr int kInt64Size = 21;  // "-9223372036854775808"

// Precisions above this are lowered to it: no double has a nonzero digit that
// far out, and it keeps every text a bounded size.
constexpr int kMaxPrec = 1100;

// Precision used for a negative one, as printf does for "%.*e" / "%.*f".
constexpr int kDefaultPrec = 6;

constexpr int EffectivePrec(int p_iPrec) {
    return p_iPrec < 0 ? kDefaultPrec : (p_iPrec > kMaxPrec ? kMaxPrec : p_iPrec);
}
// "-d.<prec digits>e+ddd" and terminator.
constexpr int ExpSize(int p_iPrec) { return EffectivePrec(p_iPrec) + 9; }
// "-<309 digits>.<prec digits>" and terminator.
constexpr int FixedSize(int p_iPrec) { return EffectivePrec(p_iPrec) + 312; }
// The "%.15e" form of message XML and dumps.
constexpr int kDblSize = ExpSize(15);

// "%d" of p_iValue; p_szBuf holds at least kIntSize bytes. Returns the length.
int WriteInt(char* p_szBuf, int p_iValue);
// "%lld" of p_lValue; p_szBuf holds at least kInt64Size bytes. Returns the length.
int WriteInt64(char* p_szBuf, int64_t p_lValue);

// "%0*lld" of p_lValue with p_iWidth at most kInt64Size - 1 (zero padding
// after the sign: -5 in width 4 gives "-005"); p_szBuf holds at least
// kInt64Size bytes. Returns the length.
int WritePadded(char* p_szBuf, int64_t p_lValue, int p_iWidth);

// "%.*e" of p_dValue with an exponent of at least three digits. Returns the
// length, or -1 (and an empty text when p_iSize > 0) when p_iSize bytes are
// too few; ExpSize(p_iPrec) always suffices.
int WriteExp(char* p_szBuf, int p_iSize, double p_dValue, int p_iPrec);
// "%.15e" of p_dValue into a buffer of at least kDblSize bytes.
inline int WriteDbl(char* p_szBuf, double p_dValue) { return WriteExp(p_szBuf, kDblSize, p_dValue, 15); }
// "%.*f" of p_dValue. Returns the length, or -1 (empty text) when p_iSize
// bytes are too few; FixedSize(p_iPrec) always suffices.
int WriteFixed(char* p_szBuf, int p_iSize, double p_dValue, int p_iPrec);

// The p_iLen digits at p_szDigits with ',' between groups of three counted
// from the right: "1234567" gives "1,234,567". p_szBuf holds at least
// GroupedSize(p_iLen) bytes. Returns the length.
constexpr int GroupedSize(int p_iLen) { return p_iLen + p_iLen / 3 + 1; }
int WriteGrouped(char* p_szBuf, const char* p_szDigits, int p_iLen);

// atoi in the C locale: leading blanks (" \t\n\v\f\r") skipped, an optional
// sign, decimal digits up to the first other character; no digits gives 0.
// A value beyond the int range is clamped to INT_MAX / INT_MIN. Null gives 0.
int ParseInt(const char* p_szText);

// atof in the C locale: leading blanks skipped, then the longest prefix that
// strtod accepts (decimal with '.', hexadecimal, "inf"/"infinity", "nan",
// "nan(...)", with an optional sign); no number gives 0.0. Overflow gives
// +-HUGE_VAL, underflow the nearest denormal or zero. Null gives 0.0.
double ParseDbl(const char* p_szText);

}  // namespace num_text
}  // namespace vorant

#endif  // VORANT_DAT_CLASS_NUM_TEXT_H
