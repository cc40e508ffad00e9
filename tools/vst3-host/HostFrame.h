// The host side of an editor view on Linux: the view's IPlugFrame, which also is the host's run
// loop (Linux::IRunLoop) as a VST 3 host on Linux must offer. The run loop polls the registered
// file descriptors and fires the registered timers only while RunFor runs, on the calling (UI)
// thread. resizeView resizes through a callback of the owner and then tells the view (onSize).
// Reference counted; create with new and hold in an IPtr (owned).
#pragma once

#include "tools/vst3-host/RefCounted.h"

#include "pluginterfaces/gui/iplugview.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <vector>

namespace ringstill::vst3host {

class HostFrame final : public Steinberg::IPlugFrame, public Steinberg::Linux::IRunLoop
{
public:
    // Called with the size a view asked for; true to grant it.
    using ResizeFunc = std::function<bool(int width, int height)>;

    HostFrame() = default;

    void SetResizeFunc(ResizeFunc func) { resize = std::move(func); }

    // UI thread. Polls and dispatches for this long; returns how many handler calls were made.
    int RunFor(std::chrono::milliseconds duration);

    std::size_t EventHandlerCount() const { return events.size(); }
    std::size_t TimerCount() const { return timers.size(); }
    // Every size a view asked for, in order.
    const std::vector<Steinberg::ViewRect>& ResizeRequests() const { return requests; }
    // Timer calls and descriptor calls made so far.
    int TimerCalls() const { return timerCalls; }
    int EventCalls() const { return eventCalls; }

    // IPlugFrame
    Steinberg::tresult PLUGIN_API resizeView(Steinberg::IPlugView* view, Steinberg::ViewRect* newSize) override;
    // IRunLoop
    Steinberg::tresult PLUGIN_API registerEventHandler(Steinberg::Linux::IEventHandler* handler,
                                                       Steinberg::Linux::FileDescriptor fd) override;
    Steinberg::tresult PLUGIN_API unregisterEventHandler(Steinberg::Linux::IEventHandler* handler) override;
    Steinberg::tresult PLUGIN_API registerTimer(Steinberg::Linux::ITimerHandler* handler,
                                                Steinberg::Linux::TimerInterval milliseconds) override;
    Steinberg::tresult PLUGIN_API unregisterTimer(Steinberg::Linux::ITimerHandler* handler) override;

    Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override;
    RINGSTILL_HOST_REFCOUNT

private:
    using Clock = std::chrono::steady_clock;
    struct EventEntry
    {
        Steinberg::Linux::IEventHandler* handler;
        int fd;
    };
    struct TimerEntry
    {
        Steinberg::Linux::ITimerHandler* handler;
        std::chrono::milliseconds interval;
        Clock::time_point due;
    };

    ~HostFrame();
    bool HasEventHandler(Steinberg::Linux::IEventHandler* handler, int fd) const;
    bool HasTimer(Steinberg::Linux::ITimerHandler* handler) const;

    RefCount refs;
    ResizeFunc resize;
    std::vector<Steinberg::ViewRect> requests;
    std::vector<EventEntry> events;
    std::vector<TimerEntry> timers;
    int timerCalls = 0;
    int eventCalls = 0;
};

} // namespace ringstill::vst3host
