// The growth rule shared by every array class.
#ifndef VORANT_DAT_CLASS_ARRAY_GROWTH_H
#define VORANT_DAT_CLASS_ARRAY_GROWTH_H

#include <climits>
#include <cstdint>

namespace vorant {

// From this size on the 1024-slot cap is lifted: a capped step makes n appends
// cost n*n/2048 copies, and a hostile answer can carry millions of items.
constexpr int kUncappedGrowthFrom = 65536;

// A step of an eighth of the size, kept between 4 and 1024 slots below
// kUncappedGrowthFrom elements and a plain eighth above.
inline int GrowStep(int p_iSize) {
    const int iStep = p_iSize / 8;
    if (iStep < 4)
        return 4;
    if (iStep > 1024 && p_iSize < kUncappedGrowthFrom)
        return 1024;
    return iStep;
}

// The capacity GrowBuffer(p_iWanted) moves to: a step of GrowStep(size)
// when p_iWanted is below 1, of p_iWanted otherwise; always above the size
// and never beyond INT_MAX. -1 when the size leaves no room to grow.
inline int GrownCapacity(int p_iSize, int p_iCapacity, int p_iWanted) {
    const int64_t iStep = p_iWanted < 1 ? GrowStep(p_iSize) : p_iWanted;
    int64_t iNew = static_cast<int64_t>(p_iCapacity) + iStep;
    if (iNew <= p_iSize)
        iNew = static_cast<int64_t>(p_iSize) + 1;
    if (iNew > INT_MAX)
        iNew = INT_MAX;
    return iNew > p_iSize ? static_cast<int>(iNew) : -1;
}

}  // namespace vorant

#endif  // VORANT_DAT_CLASS_ARRAY_GROWTH_H
