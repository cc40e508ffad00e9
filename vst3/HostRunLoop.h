#pragma once
// The host's run loop beside the editor. On Linux the idle timers tick only on the host's run loop,
// which a VST 3 host must hand over through an open editor's frame; many also offer it on their
// component handler or host context. Ticking the idle timers there as well lets the idle tick tell
// the host of a latency change (on its UI thread) while the editor is closed. Windows needs none
// of this: its idle timers are the system's and tick on the UI thread's message loop.
// UI thread only.

#include <memory>

namespace Steinberg {
class FUnknown;
}

namespace iplug {

// Registered with a host's run loop while it exists.
class HostRunLoopTicks
{
public:
    virtual ~HostRunLoopTicks() = default;
};

// Ticks the idle timers every 20 ms on the run loop that host object offers; null when it offers
// none (and always on Windows).
#if defined(_WIN32)
inline std::unique_ptr<HostRunLoopTicks> TickIdleTimersOnHostRunLoop(Steinberg::FUnknown*) { return nullptr; }
#else
std::unique_ptr<HostRunLoopTicks> TickIdleTimersOnHostRunLoop(Steinberg::FUnknown* host);
#endif

} // namespace iplug
