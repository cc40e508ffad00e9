// Counts heap allocations made by the current thread, so a test can prove that
// an audio-thread path allocates nothing. Linked into every test binary.
#pragma once

#include <cstddef>

namespace ringstill::test {

// Number of operator new / malloc calls made on this thread so far.
std::size_t AllocationCount();

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
