// An array item that counts the live instances, so that tests see which
// ones a container deleted.
#ifndef VORANT_TESTS_DAT_CLASS_COUNTED_ITEM_H
#define VORANT_TESTS_DAT_CLASS_COUNTED_ITEM_H

#include "vorant/arrays.hpp"

struct CountedItem : CPtrArrayItem {
    static inline int s_iLive = 0;
    CountedItem() { ++s_iLive; }
    ~CountedItem() override { --s_iLive; }
};

#endif  // VORANT_TESTS_DAT_CLASS_COUNTED_ITEM_H
