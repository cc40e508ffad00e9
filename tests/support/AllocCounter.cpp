#include "tests/support/AllocCounter.h"

#include <cstdlib>
#include <new>

namespace {
thread_local std::size_t tAllocations = 0;
thread_local std::size_t tBytes = 0;
thread_local long tFailCountdown = -1;
thread_local bool tFailed = false;
}

namespace ringstill::test {
std::size_t AllocationCount() { return tAllocations; }
std::size_t AllocatedBytes() { return tBytes; }
void AddAllocatedBytes(std::size_t bytes) { tBytes += bytes; }

void FailAllocationAfter(long after)
{
    tFailCountdown = after < 0 ? -1 : after;
    tFailed = false;
}

bool AllocationFailureHappened() { return tFailed; }

bool TakeAllocationFailure()
{
    if (tFailCountdown < 0)
        return false;
    if (tFailCountdown-- > 0)
        return false;
    tFailed = true;
    return true;
}
}

// Replacing operator new catches every C++ allocation. The C allocator is
// hooked as well where glibc allows it and no sanitizer owns malloc.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define RINGSTILL_HOOK_MALLOC 0
#elif defined(__GLIBC__)
#define RINGSTILL_HOOK_MALLOC 1
#else
#define RINGSTILL_HOOK_MALLOC 0
#endif

#if RINGSTILL_HOOK_MALLOC
extern "C" {
void* __libc_malloc(std::size_t);
void* __libc_calloc(std::size_t, std::size_t);
void* __libc_realloc(void*, std::size_t);
void __libc_free(void*);

void* malloc(std::size_t size)
{
    ++tAllocations;
    tBytes += size;
    return __libc_malloc(size);
}
void* calloc(std::size_t n, std::size_t size)
{
    ++tAllocations;
    tBytes += n * size;
    return __libc_calloc(n, size);
}
void* realloc(void* p, std::size_t size)
{
    ++tAllocations;
    tBytes += size;
    return __libc_realloc(p, size);
}
void free(void* p) { __libc_free(p); }
}
static void* CountedAlloc(std::size_t size)
{
    tBytes += size;
    return __libc_malloc(size == 0 ? 1 : size);
}
static void CountedFree(void* p) { __libc_free(p); }
#else
static void* CountedAlloc(std::size_t size)
{
    ++tAllocations;
    tBytes += size;
    return std::malloc(size == 0 ? 1 : size);
}
static void CountedFree(void* p) { std::free(p); }
#endif

static void* CountedAlignedAlloc(std::size_t size, std::align_val_t align)
{
    ++tAllocations;
    tBytes += size;
    const std::size_t a = static_cast<std::size_t>(align) < sizeof(void*) ? sizeof(void*) : static_cast<std::size_t>(align);
#ifdef _WIN32
    // The Windows C library has no posix_memalign; its aligned blocks need their own free.
    return _aligned_malloc(size == 0 ? 1 : size, a);
#else
    void* p = nullptr;
    if (posix_memalign(&p, a, size == 0 ? 1 : size) != 0)
        return nullptr;
    return p;
#endif
}

static void AlignedFree(void* p)
{
#ifdef _WIN32
    _aligned_free(p);
#else
    std::free(p);
#endif
}

static void* CheckedAlloc(std::size_t size)
{
#if RINGSTILL_HOOK_MALLOC
    ++tAllocations;
#endif
    if (ringstill::test::TakeAllocationFailure())
        throw std::bad_alloc();
    if (void* p = CountedAlloc(size))
        return p;
    throw std::bad_alloc();
}

void* operator new(std::size_t size) { return CheckedAlloc(size); }
void* operator new[](std::size_t size) { return CheckedAlloc(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
#if RINGSTILL_HOOK_MALLOC
    ++tAllocations;
#endif
    if (ringstill::test::TakeAllocationFailure())
        return nullptr;
    return CountedAlloc(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept
{
#if RINGSTILL_HOOK_MALLOC
    ++tAllocations;
#endif
    if (ringstill::test::TakeAllocationFailure())
        return nullptr;
    return CountedAlloc(size);
}
void* operator new(std::size_t size, std::align_val_t a)
{
    if (ringstill::test::TakeAllocationFailure())
        throw std::bad_alloc();
    if (void* p = CountedAlignedAlloc(size, a))
        return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size, std::align_val_t a)
{
    if (ringstill::test::TakeAllocationFailure())
        throw std::bad_alloc();
    if (void* p = CountedAlignedAlloc(size, a))
        return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { CountedFree(p); }
void operator delete[](void* p) noexcept { CountedFree(p); }
void operator delete(void* p, std::size_t) noexcept { CountedFree(p); }
void operator delete[](void* p, std::size_t) noexcept { CountedFree(p); }
void operator delete(void* p, std::align_val_t) noexcept { AlignedFree(p); }
void operator delete[](void* p, std::align_val_t) noexcept { AlignedFree(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { AlignedFree(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { AlignedFree(p); }
