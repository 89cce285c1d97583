#include "HeapCounter.h"

#include <malloc.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>

namespace {

std::atomic<size_t> InUse{0};
std::atomic<size_t> Peak{0};
std::atomic<size_t> UntilFailure{SIZE_MAX};

void Count(void* P)
{
    const size_t now = InUse += malloc_usable_size(P);
    size_t peak = Peak.load();
    while (now > peak && !Peak.compare_exchange_weak(peak, now)) {
    }
}

void* Allocate(size_t N, size_t Align = 0)
{
    if (N == 0) N = 1;
    void* p = Align > alignof(std::max_align_t) ? std::aligned_alloc(Align, (N + Align - 1) / Align * Align)
                                                : std::malloc(N);
    if (p) Count(p);
    return p;
}

void* AllocateOrThrow(size_t N, size_t Align = 0)
{
    size_t left = UntilFailure.load();
    while (left != SIZE_MAX && !UntilFailure.compare_exchange_weak(left, left == 0 ? SIZE_MAX : left - 1)) {
    }
    if (left == 0) throw std::bad_alloc();
    void* p = Allocate(N, Align);
    if (!p) throw std::bad_alloc();
    return p;
}

void Release(void* P) noexcept
{
    if (!P) return;
    InUse -= malloc_usable_size(P);
    std::free(P);
}

} // namespace

size_t HeapInUse() { return InUse.load(); }
size_t HeapPeak() { return Peak.load(); }
void ResetHeapPeak() { Peak = InUse.load(); }
void FailAllocationAfter(size_t Count) { UntilFailure = Count; }

void* operator new(size_t N) { return AllocateOrThrow(N); }
void* operator new[](size_t N) { return AllocateOrThrow(N); }
void* operator new(size_t N, const std::nothrow_t&) noexcept { return Allocate(N); }
void* operator new[](size_t N, const std::nothrow_t&) noexcept { return Allocate(N); }
void* operator new(size_t N, std::align_val_t A) { return AllocateOrThrow(N, static_cast<size_t>(A)); }
void* operator new[](size_t N, std::align_val_t A) { return AllocateOrThrow(N, static_cast<size_t>(A)); }
void operator delete(void* P) noexcept { Release(P); }
void operator delete[](void* P) noexcept { Release(P); }
void operator delete(void* P, size_t) noexcept { Release(P); }
void operator delete[](void* P, size_t) noexcept { Release(P); }
void operator delete(void* P, std::align_val_t) noexcept { Release(P); }
void operator delete[](void* P, std::align_val_t) noexcept { Release(P); }
void operator delete(void* P, size_t, std::align_val_t) noexcept { Release(P); }
void operator delete[](void* P, size_t, std::align_val_t) noexcept { Release(P); }
