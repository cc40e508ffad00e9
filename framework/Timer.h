// Timer: a periodic callback on the UI thread, used for the plug-in's 20 ms idle
// tick. The plug-in object owns its timer; destroying (or stopping) a timer
// guarantees that its callback is not running and will not run again.
//
// All live timers sit in one process-wide list under one lock; a callback runs
// while that lock is held, so a timer stopped from another thread waits for a
// running callback to finish. A callback may stop or create timers itself.
//
// Windows: each timer is a system timer without a window (SetTimer), ticked by the
// message loop of the thread that created it. It may be stopped on any thread; a
// system timer stopped elsewhere ends at its creator thread's next tick.
// Linux: VST 3 hosts hand the plug-in their run loop only through an open editor
// view, so no system timer exists; the view's run-loop handler calls PumpTimers()
// every 20 ms on the UI thread (tests call it by hand).
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>

namespace iplug {

inline constexpr int kIdleTimerMs = 20;

class Timer
{
public:
    using Callback = std::function<void()>;

    // Any thread (the UI thread in practice). nullptr when the system refused a timer.
    static std::unique_ptr<Timer> Create(Callback callback, int periodMs);

    virtual ~Timer() = default;
    // Idempotent; after it returns the callback will not run again.
    virtual void Stop() = 0;
    virtual int PeriodMs() const = 0;
};

using TimerClock = std::chrono::steady_clock;

// UI thread. Runs every timer that is due at `now`, each at most once per call, and
// returns how many ran. A timer is due one period after its creation or its last
// tick; missed periods are not made up. Windows: dispatches the calling thread's
// pending timer messages instead (the system decides what is due; `now` is unused).
int PumpTimers(TimerClock::time_point now);
inline int PumpTimers() { return PumpTimers(TimerClock::now()); }

// Number of live timers in the process.
int LiveTimerCount();

} // namespace iplug
