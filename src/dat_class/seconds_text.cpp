#include "dat_class/seconds_text.h"

#include <climits>

namespace vorant {
namespace seconds_text {

namespace {

bool IsDigit(char p_c) { return p_c >= '0' && p_c <= '9'; }

}  // namespace

bool ParseMillis(const char* p_szText, int* p_piMillis) {
    if (p_szText == nullptr)
        return false;
    const char* p = p_szText;
    long long llWhole = 0, llFraction = 0, llScale = 1;
    bool bDigits = false;
    for (; IsDigit(*p); ++p, bDigits = true) {
        llWhole = llWhole * 10 + (*p - '0');
        if (llWhole > INT_MAX / 1000)
            return false;
    }
    if (*p == '.') {
        for (++p; IsDigit(*p); ++p, bDigits = true) {
            if (llScale < 1000000) {
                llFraction = llFraction * 10 + (*p - '0');
                llScale *= 10;
            }
        }
    }
    if (!bDigits || *p != '\0')
        return false;
    const long long llMillis = llWhole * 1000 + (llFraction * 1000 + llScale / 2) / llScale;
    if (llMillis > INT_MAX)
        return false;
    *p_piMillis = static_cast<int>(llMillis);
    return true;
}

}  // namespace seconds_text
}  // namespace vorant
