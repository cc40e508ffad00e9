// Linux timers: a process-wide list ticked by PumpTimers() from the editor view's
// run-loop handler. No threads and no system timers of our own: Linux hosts only
// allow plug-in UI work on their run loop.
#include "framework/Timer.h"

#include <algorithm>
#include <cstdint>
#include <mutex>
#include <vector>

namespace iplug {
namespace {

class TimerLinux;

struct TimerList
{
    // Recursive: a callback runs under the lock and may stop or create timers.
    std::recursive_mutex lock;
    std::vector<TimerLinux*> timers;
    std::uint64_t nextId = 1;
    std::uint64_t pumpSerial = 0;
};

// Freed when the module unloads, so a host that loads and unloads it keeps no memory of it.
// A timer still alive then (owned by a static object destroyed later) keeps the list instead.
struct TimerListOwner
{
    TimerList* list = new TimerList;
    ~TimerListOwner()
    {
        {
            std::lock_guard<std::recursive_mutex> guard(list->lock);
            if (!list->timers.empty())
                return;
        }
        delete list;
    }
};

TimerList& List()
{
    static TimerListOwner owner;
    return *owner.list;
}

class TimerLinux final : public Timer
{
public:
    TimerLinux(Callback callback, int periodMs) : callback(std::move(callback)), periodMs(std::max(periodMs, 1))
    {
        TimerList& list = List();
        std::lock_guard<std::recursive_mutex> guard(list.lock);
        id = list.nextId++;
        due = TimerClock::now() + std::chrono::milliseconds(this->periodMs);
        list.timers.push_back(this);
    }

    ~TimerLinux() override { Stop(); }

    void Stop() override
    {
        TimerList& list = List();
        std::lock_guard<std::recursive_mutex> guard(list.lock);
        auto it = std::find(list.timers.begin(), list.timers.end(), this);
        if (it != list.timers.end())
            list.timers.erase(it);
    }

    int PeriodMs() const override { return periodMs; }

    Callback callback;
    int periodMs;
    std::uint64_t id = 0;
    TimerClock::time_point due;
    std::uint64_t lastPump = 0;
};

TimerLinux* FindById(TimerList& list, std::uint64_t id)
{
    for (TimerLinux* t : list.timers)
        if (t->id == id)
            return t;
    return nullptr;
}

} // namespace

std::unique_ptr<Timer> Timer::Create(Callback callback, int periodMs)
{
    return std::make_unique<TimerLinux>(std::move(callback), periodMs);
}

int PumpTimers(TimerClock::time_point now)
{
    TimerList& list = List();
    std::lock_guard<std::recursive_mutex> guard(list.lock);
    const std::uint64_t serial = ++list.pumpSerial;
    int ran = 0;
    for (;;)
    {
        // Rescanned after every callback, which may have changed the list.
        TimerLinux* next = nullptr;
        for (TimerLinux* t : list.timers)
            if (t->lastPump != serial && t->due <= now)
            {
                next = t;
                break;
            }
        if (!next)
            break;
        next->lastPump = serial;
        next->due = now + std::chrono::milliseconds(next->periodMs);
        ++ran;
        // The callback may destroy its own timer: run it from a local and give it
        // back only if the timer is still alive.
        const std::uint64_t id = next->id;
        Timer::Callback running = std::move(next->callback);
        if (running)
            running();
        if (TimerLinux* still = FindById(list, id))
            still->callback = std::move(running);
    }
    return ran;
}

int LiveTimerCount()
{
    TimerList& list = List();
    std::lock_guard<std::recursive_mutex> guard(list.lock);
    return int(list.timers.size());
}

} // namespace iplug
