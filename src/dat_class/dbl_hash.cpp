// CDblHash: doubles by key.
#include "dat_class/hash_bag.h"

template class CHashBag<CDblArray, double, double>;
