// Counts heap allocations made by the current thread, so a test can prove that
// an audio-thread path allocates nothing. Linked into every test binary.
#pragma once

#include <cstddef>

namespace ringstill::test {

// Number of operator new / malloc calls made on this thread so far.
std::size_t AllocationCount();
// Bytes those calls asked for (whatever was freed since): an upper bound on what they hold. The C
// allocator's bytes are included where its calls are counted; on Windows a loaded module's own
// heap calls are added once counted (tests/support/ModuleHeap.h).
std::size_t AllocatedBytes();
void AddAllocatedBytes(std::size_t bytes);

// Makes the allocation `after` allocations from now on this thread fail (0: the very next one), as
// when memory runs out: operator new throws std::bad_alloc, its nothrow form returns null. The
// failure happens once and disarms itself; a negative count disarms it before. On Windows a loaded
// module's own heap calls take part too (tests/support/ModuleHeap.h).
void FailAllocationAfter(long after);
// Whether the armed failure has happened since the last FailAllocationAfter.
bool AllocationFailureHappened();
// For the heap hooks: true when this allocation is the one to fail (and records that it did).
bool TakeAllocationFailure();

// Counts allocations between construction and Count().
class AllocationScope
{
public:
    AllocationScope() : start(AllocationCount()) {}
    std::size_t Count() const { return AllocationCount() - start; }

private:
    std::size_t start;
};

} // namespace ringstill::test
