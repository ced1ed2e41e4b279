// The text form shared by every array class.
#ifndef VORANT_DAT_CLASS_ARRAY_REPR_H
#define VORANT_DAT_CLASS_ARRAY_REPR_H

#include <string>

#include "dat_class/num_text.h"
#include "vorant/cstring.hpp"

namespace vorant {

// Appends the p_iSize elements, written by p_fnAppend(out, index), with
// p_szSep (null counts as "") between neighbours.
template <typename AppendElement>
void AppendJoined(std::string& p_Out, int p_iSize, const char* p_szSep, AppendElement p_fnAppend) {
    const char* szSep = p_szSep ? p_szSep : "";
    for (int i = 0; i < p_iSize; ++i) {
        if (i > 0)
            p_Out += szSep;
        p_fnAppend(p_Out, i);
    }
}

// "<Name: unset>" for an empty array; otherwise the optional header
// "Name:(size/capacity)sep" followed by the joined elements.
template <typename AppendElement>
CString ArrayRepr(const char* p_szName, int p_iSize, int p_iCapacity, const char* p_szSep, bool p_bHeader,
                  AppendElement p_fnAppend) {
    std::string strOut;
    if (p_iSize <= 0) {
        strOut.append("<").append(p_szName).append(": unset>");
        return CString(strOut.c_str());
    }
    if (p_bHeader) {
        char szNum[num_text::kIntSize];
        strOut.append(p_szName).append(":(");
        strOut.append(szNum, num_text::WriteInt(szNum, p_iSize)).append("/");
        strOut.append(szNum, num_text::WriteInt(szNum, p_iCapacity)).append(")");
        strOut.append(p_szSep ? p_szSep : "");
    }
    AppendJoined(strOut, p_iSize, p_szSep, p_fnAppend);
    return CString(strOut.c_str());
}

}  // namespace vorant

#endif  // VORANT_DAT_CLASS_ARRAY_REPR_H
