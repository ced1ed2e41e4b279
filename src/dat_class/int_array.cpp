// CIntArray: the value array of ints.
#include "dat_class/value_array.h"

namespace vorant {

template <>
struct ValueArrayTraits<int> : ValueArrayDefaults<int> {
    static constexpr const char* kClass = "CIntArray";
    static constexpr const char* kRepr = "CIntArr";
    static constexpr const char* kElement = "int";
    static void Append(std::string& p_Out, int p_iValue) {
        char szBuf[num_text::kIntSize];
        p_Out.append(szBuf, num_text::WriteInt(szBuf, p_iValue));
    }
};

}  // namespace vorant

template class CValueArray<int>;
