// Heap calls made on this thread by a loaded plug-in module as well as by the test binary, so an
// allocation-free check covers the module's own code on every platform. On Linux the module's
// allocations already reach the test binary's counting operator new and malloc; a Windows DLL
// carries its own C++ runtime, so its imports of the C heap functions are pointed at counting
// wrappers instead.
#pragma once

#include "tests/support/AllocCounter.h"

#include <cstddef>

namespace ringstill::test {

// Makes the module holding addressInModule count its heap calls. True once it does (Windows) or
// when nothing is needed for that (elsewhere). Main thread, before the module's code runs on
// other threads.
bool CountModuleHeapCalls(const void* addressInModule);

// malloc, calloc and realloc calls the module made on this thread through its imports (always 0
// where CountModuleHeapCalls has nothing to do).
std::size_t ModuleHeapCalls();

// Allocations between construction and Count(), in the test binary and in the module.
class HeapScope
{
public:
    HeapScope() : moduleStart(ModuleHeapCalls()) {}
    std::size_t Count() const { return own.Count() + ModuleCount(); }
    // Only those the module made through its own imports.
    std::size_t ModuleCount() const { return ModuleHeapCalls() - moduleStart; }

private:
    AllocationScope own;
    std::size_t moduleStart;
};

} // namespace ringstill::test
