// Test hook: makes a chosen array `new` of this test program fail.
#ifndef VORANT_TESTS_DAT_CLASS_ALLOC_FAULT_H
#define VORANT_TESTS_DAT_CLASS_ALLOC_FAULT_H

namespace alloc_fault {

// The p_iNth next `new T[n]` (1: the very next) fails as if memory had run
// out: std::bad_alloc, or null for the nothrow form. 0 disarms.
void FailArrayNew(int p_iNth);

}  // namespace alloc_fault

#endif  // VORANT_TESTS_DAT_CLASS_ALLOC_FAULT_H
