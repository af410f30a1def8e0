#include "tests/support/AllocationCounter.h"

#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace testing_support {

namespace {
std::atomic<size_t> held{0}, peak{0}, base{0};
std::atomic<long long> calls{0};

void Count(void* p) {
    size_t now = held += _msize(p);
    for (size_t old = peak; now > old && !peak.compare_exchange_weak(old, now);) {
    }
}

void* Allocate(size_t n) {
    ++calls;
    void* p = std::malloc(n ? n : 1);
    if (!p) throw std::bad_alloc();
    Count(p);
    return p;
}

void Release(void* p) noexcept {
    if (!p) return;
    held -= _msize(p);
    std::free(p);
}
}  // namespace

size_t AllocatedBytes() { return held; }

long long AllocationCount() { return calls; }

void ResetAllocationPeak() {
    base = held.load();
    peak = base.load();
}

size_t AllocationPeakSinceReset() { return peak - base; }

}  // namespace testing_support

void* operator new(size_t n) { return testing_support::Allocate(n); }
void* operator new[](size_t n) { return testing_support::Allocate(n); }
void* operator new(size_t n, const std::nothrow_t&) noexcept {
    try {
        return testing_support::Allocate(n);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](size_t n, const std::nothrow_t& t) noexcept { return operator new(n, t); }
void operator delete(void* p) noexcept { testing_support::Release(p); }
void operator delete[](void* p) noexcept { testing_support::Release(p); }
void operator delete(void* p, size_t) noexcept { testing_support::Release(p); }
void operator delete[](void* p, size_t) noexcept { testing_support::Release(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { testing_support::Release(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { testing_support::Release(p); }
