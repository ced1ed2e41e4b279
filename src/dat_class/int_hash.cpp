// CIntHash: ints by key.
#include "dat_class/hash_bag.h"

template class CHashBag<CIntArray, int, int>;
