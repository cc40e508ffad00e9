#include "tools/vst3-host/HostFrame.h"

#include <poll.h>

#include <algorithm>

using namespace Steinberg;

namespace ringstill::vst3host {

HostFrame::~HostFrame()
{
    // A plug-in that never unregistered: its handlers get their references back.
    for (EventEntry& e : events)
        e.handler->release();
    for (TimerEntry& t : timers)
        t.handler->release();
}

tresult PLUGIN_API HostFrame::resizeView(IPlugView* view, ViewRect* newSize)
{
    if (view == nullptr || newSize == nullptr)
        return kInvalidArgument;
    requests.push_back(*newSize);
    if (resize && !resize(newSize->getWidth(), newSize->getHeight()))
        return kResultFalse;
    // As hosts do: the window has the new size, then the view is told.
    view->onSize(newSize);
    return kResultTrue;
}

tresult PLUGIN_API HostFrame::registerEventHandler(Linux::IEventHandler* handler, Linux::FileDescriptor fd)
{
    if (handler == nullptr || fd < 0)
        return kInvalidArgument;
    if (HasEventHandler(handler, fd))
        return kResultTrue;
    handler->addRef();
    events.push_back({handler, fd});
    return kResultTrue;
}

tresult PLUGIN_API HostFrame::unregisterEventHandler(Linux::IEventHandler* handler)
{
    if (handler == nullptr)
        return kInvalidArgument;
    bool found = false;
    for (auto it = events.begin(); it != events.end();)
    {
        if (it->handler == handler)
        {
            it->handler->release();
            it = events.erase(it);
            found = true;
        }
        else
        {
            ++it;
        }
    }
    return found ? kResultTrue : kResultFalse;
}

tresult PLUGIN_API HostFrame::registerTimer(Linux::ITimerHandler* handler, Linux::TimerInterval milliseconds)
{
    if (handler == nullptr || milliseconds == 0)
        return kInvalidArgument;
    if (HasTimer(handler))
        return kResultTrue;
    handler->addRef();
    const auto interval = std::chrono::milliseconds(milliseconds);
    timers.push_back({handler, interval, Clock::now() + interval});
    return kResultTrue;
}

tresult PLUGIN_API HostFrame::unregisterTimer(Linux::ITimerHandler* handler)
{
    if (handler == nullptr)
        return kInvalidArgument;
    auto it = std::find_if(timers.begin(), timers.end(), [&](const TimerEntry& t) { return t.handler == handler; });
    if (it == timers.end())
        return kResultFalse;
    it->handler->release();
    timers.erase(it);
    return kResultTrue;
}

bool HostFrame::HasEventHandler(Linux::IEventHandler* handler, int fd) const
{
    return std::any_of(events.begin(), events.end(),
                       [&](const EventEntry& e) { return e.handler == handler && e.fd == fd; });
}

bool HostFrame::HasTimer(Linux::ITimerHandler* handler) const
{
    return std::any_of(timers.begin(), timers.end(), [&](const TimerEntry& t) { return t.handler == handler; });
}

int HostFrame::RunFor(std::chrono::milliseconds duration)
{
    const Clock::time_point end = Clock::now() + duration;
    int calls = 0;
    for (;;)
    {
        Clock::time_point now = Clock::now();
        if (now >= end)
            break;
        Clock::time_point wake = end;
        for (const TimerEntry& t : timers)
            wake = std::min(wake, t.due);
        std::vector<pollfd> fds;
        for (const EventEntry& e : events)
            fds.push_back({e.fd, POLLIN, 0});
        const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(wake - now).count();
        const int ready = poll(fds.data(), nfds_t(fds.size()), int(std::max<long long>(0, wait)));

        // Handlers may unregister (themselves or others) while called: each is looked up again.
        if (ready > 0)
        {
            const std::vector<EventEntry> snapshot = events;
            for (std::size_t i = 0; i < fds.size(); ++i)
            {
                if ((fds[i].revents & (POLLIN | POLLHUP | POLLERR)) == 0)
                    continue;
                const EventEntry e = snapshot[i];
                if (!HasEventHandler(e.handler, e.fd))
                    continue;
                e.handler->addRef();
                e.handler->onFDIsSet(e.fd);
                e.handler->release();
                ++calls;
                ++eventCalls;
            }
        }
        now = Clock::now();
        std::vector<Linux::ITimerHandler*> due;
        for (TimerEntry& t : timers)
        {
            if (t.due > now)
                continue;
            due.push_back(t.handler);
            // Missed periods are not made up.
            t.due += t.interval;
            if (t.due <= now)
                t.due = now + t.interval;
        }
        for (Linux::ITimerHandler* handler : due)
        {
            if (!HasTimer(handler))
                continue;
            handler->addRef();
            handler->onTimer();
            handler->release();
            ++calls;
            ++timerCalls;
        }
    }
    return calls;
}

tresult PLUGIN_API HostFrame::queryInterface(const TUID iid, void** obj)
{
    if (obj == nullptr)
        return kInvalidArgument;
    QUERY_INTERFACE(iid, obj, FUnknown::iid, IPlugFrame)
    QUERY_INTERFACE(iid, obj, IPlugFrame::iid, IPlugFrame)
    QUERY_INTERFACE(iid, obj, Linux::IRunLoop::iid, Linux::IRunLoop)
    *obj = nullptr;
    return kNoInterface;
}

} // namespace ringstill::vst3host
