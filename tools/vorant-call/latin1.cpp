#include "latin1.h"

std::string ToUtf8(const std::string& p_strLatin1) {
    std::string out;
    out.reserve(p_strLatin1.size());
    for (unsigned char c : p_strLatin1) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

bool FromUtf8(const std::string& p_strUtf8, std::string* p_pLatin1) {
    std::string out;
    for (size_t i = 0; i < p_strUtf8.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(p_strUtf8[i]);
        if (c < 0x80) {
            out += static_cast<char>(c);
            continue;
        }
        // Two-byte sequences of U+0080..U+00FF only.
        if ((c != 0xC2 && c != 0xC3) || i + 1 >= p_strUtf8.size())
            return false;
        const unsigned char next = static_cast<unsigned char>(p_strUtf8[++i]);
        if ((next & 0xC0) != 0x80)
            return false;
        out += static_cast<char>(((c & 0x1F) << 6) | (next & 0x3F));
    }
    *p_pLatin1 = out;
    return true;
}
