// CPtrHash: items by key, owned while the adopt flag is set.
#include "dat_class/hash_bag.h"

template class CHashBag<CPtrArray, CPtrArrayItem*, CPtrArrayItem*>;

CPtrArrayItem* CPtrHash::Get(const char* p_szKey) const {
    const CPtrArray* pList = FindList(p_szKey);
    return pList && pList->GetSize() > 0 ? pList->GetAt(0) : nullptr;
}

void CPtrHash::SetAdoptFlag(bool p_bAdopt) {
    m_bAdopt = p_bAdopt;
    SetListsAdopt(p_bAdopt);
}
