// Windows timers: system timers without a window. The system identifies a timer by
// the id SetTimer returned, and that id is only unique on the thread that created the
// timer (wine hands every thread the same first id), so the callback looks a timer up
// by thread and id in the process-wide list under the list's critical section and runs
// it while holding that lock. KillTimer only reaches the calling thread's timers: a
// timer stopped on another thread leaves its system timer to the creator's thread,
// whose next tick finds no timer in the list and kills it there.
#include "framework/Timer.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <algorithm>
#include <vector>

namespace iplug {
namespace {

class TimerWin32;

struct TimerList
{
    TimerList() { InitializeCriticalSection(&lock); }
    CRITICAL_SECTION lock; // re-entrant on its own thread, as the callbacks need
    std::vector<TimerWin32*> timers;
};

// Never destroyed: timers owned by static objects may outlive any static list.
TimerList& List()
{
    static TimerList* list = new TimerList;
    return *list;
}

class ListGuard
{
public:
    explicit ListGuard(TimerList& list) : list(list) { EnterCriticalSection(&list.lock); }
    ~ListGuard() { LeaveCriticalSection(&list.lock); }
    ListGuard(const ListGuard&) = delete;
    ListGuard& operator=(const ListGuard&) = delete;

private:
    TimerList& list;
};

void CALLBACK TimerProc(HWND, UINT, UINT_PTR systemId, DWORD);

class TimerWin32 final : public Timer
{
public:
    TimerWin32(Callback callback, int periodMs) : callback(std::move(callback)), periodMs(std::max(periodMs, 1)) {}

    ~TimerWin32() override { Stop(); }

    bool Start()
    {
        TimerList& list = List();
        ListGuard guard(list);
        systemId = ::SetTimer(nullptr, 0, UINT(periodMs), &TimerProc);
        if (systemId == 0)
            return false;
        threadId = ::GetCurrentThreadId();
        list.timers.push_back(this);
        return true;
    }

    void Stop() override
    {
        TimerList& list = List();
        ListGuard guard(list);
        if (systemId == 0)
            return;
        // From another thread the same id may name one of that thread's own timers.
        if (threadId == ::GetCurrentThreadId())
            ::KillTimer(nullptr, systemId);
        auto it = std::find(list.timers.begin(), list.timers.end(), this);
        if (it != list.timers.end())
            list.timers.erase(it);
        systemId = 0;
    }

    int PeriodMs() const override { return periodMs; }

    Callback callback;
    int periodMs;
    UINT_PTR systemId = 0;
    DWORD threadId = 0;
};

TimerWin32* FindBySystemId(TimerList& list, DWORD threadId, UINT_PTR systemId)
{
    for (TimerWin32* t : list.timers)
        if (t->systemId == systemId && t->threadId == threadId)
            return t;
    return nullptr;
}

void CALLBACK TimerProc(HWND, UINT, UINT_PTR systemId, DWORD)
{
    TimerList& list = List();
    ListGuard guard(list);
    const DWORD threadId = ::GetCurrentThreadId();
    TimerWin32* timer = FindBySystemId(list, threadId, systemId);
    if (!timer)
    {
        // Stopped from another thread, or a message posted before it was stopped here.
        ::KillTimer(nullptr, systemId);
        return;
    }
    // The callback may destroy its own timer: run it from a local.
    Timer::Callback running = std::move(timer->callback);
    if (running)
        running();
    if (TimerWin32* still = FindBySystemId(list, threadId, systemId))
        still->callback = std::move(running);
}

} // namespace

std::unique_ptr<Timer> Timer::Create(Callback callback, int periodMs)
{
    auto timer = std::make_unique<TimerWin32>(std::move(callback), periodMs);
    if (!timer->Start())
        return nullptr;
    return timer;
}

int PumpTimers(TimerClock::time_point)
{
    int ran = 0;
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE))
    {
        ::DispatchMessageW(&msg);
        ++ran;
    }
    return ran;
}

int LiveTimerCount()
{
    TimerList& list = List();
    ListGuard guard(list);
    return int(list.timers.size());
}

} // namespace iplug
