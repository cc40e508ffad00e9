#include "vst3/HostRunLoop.h"

#include "framework/Timer.h"
#include "vst3/Guard.h"

#include "pluginterfaces/gui/iplugview.h"

#include <atomic>

using namespace Steinberg;

namespace iplug {
namespace {

// The idle timers' period.
constexpr Linux::TimerInterval kTickMs = kIdleTimerMs;

// What the run loop calls. Reference counted on its own: a host may keep a reference past
// unregistering, and a tick after that pumps nothing of a plug-in that is gone.
class IdleTimerHandler final : public Linux::ITimerHandler
{
public:
    // The host's run loop calls this: nothing may leave it.
    void PLUGIN_API onTimer() override
    {
        ringstill::vst3::GuardedCall([] { PumpTimers(); });
    }

    tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override
    {
        if (obj == nullptr)
            return kInvalidArgument;
        QUERY_INTERFACE(iid, obj, FUnknown::iid, Linux::ITimerHandler)
        QUERY_INTERFACE(iid, obj, Linux::ITimerHandler::iid, Linux::ITimerHandler)
        *obj = nullptr;
        return kNoInterface;
    }
    uint32 PLUGIN_API addRef() override { return ++refs; }
    uint32 PLUGIN_API release() override
    {
        const uint32 remaining = --refs;
        if (remaining == 0)
            delete this;
        return remaining;
    }

private:
    ~IdleTimerHandler() = default;

    std::atomic<uint32> refs {1};
};

class LinuxRunLoopTicks final : public HostRunLoopTicks
{
public:
    explicit LinuxRunLoopTicks(IPtr<Linux::IRunLoop> runLoop) : runLoop(std::move(runLoop)) {}

    bool Register() { return registered = runLoop->registerTimer(handler, kTickMs) == kResultTrue; }

    ~LinuxRunLoopTicks() override
    {
        if (registered)
            runLoop->unregisterTimer(handler);
        handler->release();
    }

private:
    IPtr<Linux::IRunLoop> runLoop;
    IdleTimerHandler* handler = new IdleTimerHandler();
    bool registered = false;
};

} // namespace

std::unique_ptr<HostRunLoopTicks> TickIdleTimersOnHostRunLoop(FUnknown* host)
{
    if (host == nullptr)
        return nullptr;
    void* found = nullptr;
    if (host->queryInterface(Linux::IRunLoop::iid, &found) != kResultOk || found == nullptr)
        return nullptr;
    auto ticks = std::make_unique<LinuxRunLoopTicks>(owned(static_cast<Linux::IRunLoop*>(found)));
    if (!ticks->Register())
        return nullptr;
    return ticks;
}

} // namespace iplug
