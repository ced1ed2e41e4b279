// CDateArray: the value array of dates.
#include "dat_class/value_array.h"

namespace vorant {

template <>
struct ValueArrayTraits<CDate> : ValueArrayDefaults<CDate> {
    static constexpr const char* kClass = "CDateArray";
    static constexpr const char* kRepr = "CDateArr";
    static constexpr const char* kElement = "CDate";
    static void Append(std::string& p_Out, const CDate& p_Value) { p_Out += p_Value.ToStr(); }
    // A set date of eight '0' characters.
    static CDate Vacated() { return CDate("00000000"); }
};

}  // namespace vorant

template class CValueArray<CDate>;
