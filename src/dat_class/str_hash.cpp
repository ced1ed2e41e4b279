// CStrHash: strings by key.
#include "dat_class/hash_bag.h"

template class CHashBag<CStrArray, const char*, CString>;
