// CDblArray: the value array of doubles.
#include <cmath>

#include "dat_class/value_array.h"

namespace vorant {

template <>
struct ValueArrayTraits<double> : ValueArrayDefaults<double> {
    static constexpr const char* kClass = "CDblArray";
    static constexpr const char* kRepr = "CDblArr";
    static constexpr const char* kElement = "double";
    // "%f", whatever the process locale.
    static void Append(std::string& p_Out, double p_dValue) {
        char szBuf[num_text::FixedSize(6)];
        p_Out.append(szBuf, num_text::WriteFixed(szBuf, sizeof szBuf, p_dValue, 6));
    }
    // A strict order even with NaNs, which go last: sorting with a plain
    // '<' over NaNs is undefined.
    static bool Less(double p_dA, double p_dB) {
        if (std::isnan(p_dA))
            return false;
        return std::isnan(p_dB) || p_dA < p_dB;
    }
};

}  // namespace vorant

template class CValueArray<double>;
