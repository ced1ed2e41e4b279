// Seconds as people write them in configuration files and on command lines
// ("10", "0.25", "2.5"), read one strict way everywhere: the library's
// connect_timeout and deadline keys, and the tools' options.
#ifndef VORANT_DAT_CLASS_SECONDS_TEXT_H
#define VORANT_DAT_CLASS_SECONDS_TEXT_H

namespace vorant {
namespace seconds_text {

// Decimal seconds to milliseconds, rounded to the nearest (half up): digits,
// optionally a '.' and more digits (at least one digit in all). Fractions
// beyond microseconds are ignored. False, and *p_piMillis untouched, for a
// null text, anything else (signs, blanks, exponents, "inf") or more
// milliseconds than an int holds. Checking a lower bound, such as "above 0",
// is the caller's.
bool ParseMillis(const char* p_szText, int* p_piMillis);

}  // namespace seconds_text
}  // namespace vorant

#endif  // VORANT_DAT_CLASS_SECONDS_TEXT_H
