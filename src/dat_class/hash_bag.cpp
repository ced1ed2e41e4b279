// What every keyed hash shares: the key hash and the argument checks.
#include <cstdint>

#include "vorant/exception.hpp"
#include "vorant/hashes.hpp"

int CHashBagBase::HashFunc(const char* p_szKey, int p_iLength) {
    if (!p_szKey)
        return 0;
    uint32_t h = 0;
    for (int i = 0; i < p_iLength; ++i) {
        // Bytes are signed and sign-extended.
        h = (h << 4) + static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(p_szKey[i])));
        const uint32_t g = h & 0xF0000000u;
        if (g != 0) {
            // g shifted right by 24 with its sign bit copied in; this is
            // what makes keys whose hash reaches bit 31 differ from the
            // textbook form, and the stored hashes depend on it.
            const uint32_t iShifted = (g >> 24) | ((g & 0x80000000u) ? 0xFFFFFF00u : 0u);
            h ^= iShifted ^ g;
        }
    }
    return static_cast<int>(h & 0x3FFFFFFFu);
}

void CHashBagBase::CheckKey(const char* p_szKey) {
    if (!p_szKey)
        throw CException("CString::Compare - invalid string", 0);
}

void CHashBagBase::CheckBucketCount(const char* p_szClass, int p_iBuckets) {
    if (p_iBuckets < 1)
        throw CException(0, "%s() Invalid size(%d)", p_szClass, p_iBuckets);
}
