// Reference counting for the host's own heap objects handed to a plug-in: the last release
// deletes. Any thread.
#pragma once

#include "pluginterfaces/base/funknown.h"

#include <atomic>

namespace ringstill::vst3host {

class RefCount
{
public:
    Steinberg::uint32 Add() { return ++count; }
    // True when this was the last reference.
    bool Drop(Steinberg::uint32& remaining)
    {
        remaining = --count;
        return remaining == 0;
    }

private:
    std::atomic<Steinberg::uint32> count {1};
};

} // namespace ringstill::vst3host

// addRef/release over a RefCount member named refs, for classes deleted through themselves.
#define RINGSTILL_HOST_REFCOUNT                                                        \
    Steinberg::uint32 PLUGIN_API addRef() override { return refs.Add(); }              \
    Steinberg::uint32 PLUGIN_API release() override                                    \
    {                                                                                  \
        Steinberg::uint32 remaining = 0;                                               \
        if (refs.Drop(remaining))                                                      \
            delete this;                                                               \
        return remaining;                                                              \
    }
