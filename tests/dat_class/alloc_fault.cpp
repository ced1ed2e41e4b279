// The replaceable array forms of operator new and delete, with a countdown
// that lets a test make one allocation fail. Disarmed they behave as usual.
#include "alloc_fault.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<int> g_iCountdown{0};

bool ShouldFail() {
    int iLeft = g_iCountdown.load();
    while (iLeft > 0) {
        if (g_iCountdown.compare_exchange_weak(iLeft, iLeft - 1))
            return iLeft == 1;
    }
    return false;
}

}  // namespace

namespace alloc_fault {

void FailArrayNew(int p_iNth) { g_iCountdown.store(p_iNth > 0 ? p_iNth : 0); }

}  // namespace alloc_fault

void* operator new[](std::size_t p_iSize) {
    void* p = ShouldFail() ? nullptr : std::malloc(p_iSize ? p_iSize : 1);
    if (!p)
        throw std::bad_alloc();
    return p;
}

void* operator new[](std::size_t p_iSize, const std::nothrow_t&) noexcept {
    return ShouldFail() ? nullptr : std::malloc(p_iSize ? p_iSize : 1);
}

void operator delete[](void* p) noexcept { std::free(p); }

void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
