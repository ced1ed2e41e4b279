// Strings whose characters live in memory freed with other things (a
// parse's blocks), so that making and ending one costs no heap call.
#ifndef VORANT_DAT_CLASS_PLACED_STRING_H
#define VORANT_DAT_CLASS_PLACED_STRING_H

#include <cstddef>
#include <cstring>
#include <new>

#include "vorant/cstring.hpp"

// Makes and ends such strings; owns nothing. A placed string must never be
// grown, assigned a longer text or destroyed as an ordinary one: its owner
// replaces it by an ordinary string before any change, and ends it with End.
class CPlacedString {
public:
    // The bytes a placed string of p_nLength characters takes: the object,
    // then its characters (an empty one keeps the usual 8-byte buffer).
    static size_t Size(size_t p_nLength) { return sizeof(CString) + CharRoom(p_nLength); }

    // Makes at p_pPlace (Size(p_nLength) bytes, aligned for a CString) the
    // string of p_pText[0..p_nLength); p_nLength is below INT_MAX.
    static CString* Make(void* p_pPlace, const char* p_pText, size_t p_nLength) {
        char* pChars = static_cast<char*>(p_pPlace) + sizeof(CString);
        const size_t nRoom = CharRoom(p_nLength);
        std::memcpy(pChars, p_pText, p_nLength);
        std::memset(pChars + p_nLength, 0, nRoom - p_nLength);
        return new (p_pPlace) CString(CString::CPlaced(), pChars, static_cast<int>(p_nLength), static_cast<int>(nRoom));
    }

    // Ends a placed string; its characters are left where they are.
    static void End(CString* p_pStr) {
        p_pStr->m_pData = nullptr;
        p_pStr->~CString();
    }

private:
    static size_t CharRoom(size_t p_nLength) { return p_nLength == 0 ? 8 : p_nLength + 1; }
};

#endif  // VORANT_DAT_CLASS_PLACED_STRING_H
