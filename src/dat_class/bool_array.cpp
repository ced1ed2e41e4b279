// CBoolArray: the value array of bools.
#include "dat_class/value_array.h"

namespace vorant {

template <>
struct ValueArrayTraits<bool> : ValueArrayDefaults<bool> {
    static constexpr const char* kClass = "CBoolArray";
    static constexpr const char* kRepr = "CBoolArr";
    static constexpr const char* kElement = "bool";
    static void Append(std::string& p_Out, bool p_bValue) { p_Out += p_bValue ? 'Y' : 'N'; }
};

}  // namespace vorant

template class CValueArray<bool>;
