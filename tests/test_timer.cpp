#include "framework/IPlugAPIBase.h"
#include "framework/Timer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#endif

using namespace iplug;
using namespace std::chrono_literals;

namespace {

PluginConfig IdleConfig()
{
    PluginConfig c;
    c.nParams = 1;
    c.nPresets = 1;
    c.hasEditor = true;
    return c;
}

// A plug-in with an editor, its idle timer started: records what each tick delivers, -1 for
// an idle update and the note number of each message forwarded to the editor.
class IdlePlugin : public IPlugAPIBase
{
public:
    IdlePlugin() : IPlugAPIBase(IdleConfig()) { StartIdleTimer(); }
    void IdleUpdate() override { events.push_back(-1); }
    void SendMidiMsgToEditor(const MidiMessage& m) override { events.push_back(m.data1); }
    int IdleUpdates() const { return static_cast<int>(std::count(events.begin(), events.end(), -1)); }
    std::vector<int> events;
};

// A timer whose first tick destroys it and creates another timer in its place.
struct SelfReplacingTimer
{
    SelfReplacingTimer(int periodMs, int replacementPeriodMs) : replacementPeriodMs(replacementPeriodMs)
    {
        self = Timer::Create([this] { ReplaceItself(); }, periodMs);
    }
    SelfReplacingTimer(const SelfReplacingTimer&) = delete;
    SelfReplacingTimer& operator=(const SelfReplacingTimer&) = delete;

    void ReplaceItself()
    {
        ++selfTicks;
        self.reset();
        created = Timer::Create([this] { ++createdTicks; }, replacementPeriodMs);
    }

    const int replacementPeriodMs;
    std::unique_ptr<Timer> self;
    std::unique_ptr<Timer> created;
    int selfTicks = 0;
    int createdTicks = 0;
};

} // namespace

// The due-time behaviour belongs to the run-loop driven timers; Windows timers are
// ticked by the system and are exercised under wine.
#ifndef _WIN32

namespace {

// Far enough ahead that every live timer is due.
TimerClock::time_point Later(std::chrono::milliseconds ahead = 1000ms) { return TimerClock::now() + ahead; }

} // namespace

TEST(Timer, IsNotDueBeforeItsPeriod)
{
    int ticks = 0;
    auto timer = Timer::Create([&] { ++ticks; }, 20);
    ASSERT_NE(timer, nullptr);
    EXPECT_EQ(timer->PeriodMs(), 20);
    PumpTimers(TimerClock::now());
    EXPECT_EQ(ticks, 0);
    PumpTimers(Later(25ms));
    EXPECT_EQ(ticks, 1);
}

TEST(Timer, TicksOncePerPumpAndIsDueAgainOnePeriodLater)
{
    int ticks = 0;
    auto timer = Timer::Create([&] { ++ticks; }, 20);
    const auto t = Later();
    PumpTimers(t);
    EXPECT_EQ(ticks, 1) << "missed periods are not made up";
    PumpTimers(t + 10ms);
    EXPECT_EQ(ticks, 1);
    PumpTimers(t + 20ms);
    EXPECT_EQ(ticks, 2);
}

TEST(Timer, AStoppedOrDestroyedTimerNeverTicksAgain)
{
    int ticks = 0;
    const int before = LiveTimerCount();
    auto timer = Timer::Create([&] { ++ticks; }, 20);
    EXPECT_EQ(LiveTimerCount(), before + 1);
    timer->Stop();
    timer->Stop();
    PumpTimers(Later());
    EXPECT_EQ(ticks, 0);
    EXPECT_EQ(LiveTimerCount(), before);
    auto other = Timer::Create([&] { ++ticks; }, 20);
    other.reset();
    EXPECT_EQ(PumpTimers(Later()), 0);
    EXPECT_EQ(ticks, 0);
}

TEST(Timer, ACallbackMayDestroyItsOwnTimerAndCreateAnother)
{
    SelfReplacingTimer t(20, 500);
    EXPECT_EQ(PumpTimers(Later(25ms)), 1) << "a timer created during a pump waits for its period";
    EXPECT_EQ(t.selfTicks, 1);
    EXPECT_EQ(t.self, nullptr);
    PumpTimers(Later(2000ms));
    EXPECT_EQ(t.selfTicks, 1);
    EXPECT_EQ(t.createdTicks, 1);
}

TEST(Timer, EveryDueTimerRunsInOnePump)
{
    std::vector<int> order;
    auto a = Timer::Create([&] { order.push_back(1); }, 20);
    auto b = Timer::Create([&] { order.push_back(2); }, 50);
    auto c = Timer::Create([&] { order.push_back(3); }, 20);
    EXPECT_EQ(PumpTimers(Later(30ms)), 2);
    EXPECT_EQ(order, (std::vector<int>{1, 3}));
}

TEST(IdleTimer, TicksThePluginsIdleUpdate)
{
    IdlePlugin plugin;
    ASSERT_NE(plugin.GetTimer(), nullptr);
    EXPECT_EQ(plugin.GetTimer()->PeriodMs(), kIdleTimerMs);
    PumpTimers(Later(25ms));
    EXPECT_EQ(plugin.events, (std::vector<int>{-1}));
}

TEST(IdleTimer, DestroyingThePluginRemovesItsTimer)
{
    const int before = LiveTimerCount();
    {
        IdlePlugin plugin;
        EXPECT_EQ(LiveTimerCount(), before + 1);
    }
    EXPECT_EQ(LiveTimerCount(), before);
    EXPECT_EQ(PumpTimers(Later()), 0);
}

TEST(IdleTimer, ReplacingTheTimerDestroysThePreviousOne)
{
    IdlePlugin plugin;
    const int live = LiveTimerCount();
    int ticks = 0;
    plugin.SetTimer(Timer::Create([&] { ++ticks; }, 20));
    EXPECT_EQ(LiveTimerCount(), live);
    PumpTimers(Later());
    EXPECT_EQ(ticks, 1);
    EXPECT_TRUE(plugin.events.empty());
}

TEST(IdleTimer, TheTickForwardsQueuedMessagesToTheEditorBeforeIdleUpdate)
{
    IdlePlugin plugin;
    MidiMessage m;
    m.data1 = 60;
    plugin.MidiFromProcessor().Push(m);
    m.data1 = 62;
    plugin.MidiFromProcessor().Push(m);
    plugin.TimerTick();
    EXPECT_EQ(plugin.events, (std::vector<int>{60, 62, -1}));
    EXPECT_EQ(plugin.MidiFromProcessor().ElementsAvailable(), 0);
}

// Hosts create and destroy plug-ins (and so their timers) on threads other than the
// one whose run loop pumps the timers.
TEST(TimerListConcurrency, TimersComeAndGoOnOtherThreadsWhilePumping)
{
    constexpr int kThreads = 4;
    constexpr int kRounds = 300;
    const int before = LiveTimerCount();
    std::atomic<int> ticks{0};
    std::atomic<int> lateTicks{0};
    std::atomic<int> finished{0};

    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&] {
            for (int r = 0; r < kRounds; ++r)
            {
                auto alive = std::make_shared<std::atomic<bool>>(true);
                auto timer = Timer::Create(
                    [&ticks, &lateTicks, alive] {
                        ticks.fetch_add(1);
                        if (!alive->load())
                            lateTicks.fetch_add(1);
                    },
                    1);
                if (r % 3 == 0)
                    std::this_thread::sleep_for(std::chrono::microseconds(200));
                timer.reset(); // after this the callback must not run
                alive->store(false);
            }
            finished.fetch_add(1);
        });

    while (finished.load() < kThreads)
        PumpTimers(Later());
    for (auto& t : threads)
        t.join();

    EXPECT_EQ(lateTicks.load(), 0);
    EXPECT_GT(ticks.load(), 0) << "some timers were due while alive";
    EXPECT_EQ(LiveTimerCount(), before);
}

#endif // _WIN32

// Windows timers are system timers ticked by the message loop of the thread that created
// them; these tests run that loop themselves (under wine in CI).
#ifdef _WIN32

namespace {

// Generous: a timer that has not ticked by then has lost its ticks.
constexpr auto kPatience = 5000ms;

// Runs the calling thread's timer messages until done() holds; false when out of patience.
template <typename Done>
bool PumpUntil(Done done, std::chrono::milliseconds patience = kPatience)
{
    const auto deadline = TimerClock::now() + patience;
    while (!done())
    {
        if (TimerClock::now() > deadline)
            return false;
        PumpTimers();
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

// Runs the calling thread's timer messages for a while; returns how many were dispatched.
int PumpFor(std::chrono::milliseconds span)
{
    int messages = 0;
    const auto end = TimerClock::now() + span;
    while (TimerClock::now() < end)
    {
        messages += PumpTimers();
        std::this_thread::sleep_for(1ms);
    }
    return messages;
}

} // namespace

TEST(Timer, TicksRepeatedlyOnTheThreadThatCreatedIt)
{
    int ticks = 0;
    DWORD tickThread = 0;
    auto timer = Timer::Create(
        [&] {
            ++ticks;
            tickThread = ::GetCurrentThreadId();
        },
        20);
    ASSERT_NE(timer, nullptr);
    EXPECT_EQ(timer->PeriodMs(), 20);
    EXPECT_TRUE(PumpUntil([&] { return ticks >= 3; }));
    EXPECT_EQ(tickThread, ::GetCurrentThreadId());
}

TEST(Timer, AStoppedOrDestroyedTimerNeverTicksAgain)
{
    int ticks = 0;
    const int before = LiveTimerCount();
    auto timer = Timer::Create([&] { ++ticks; }, 5);
    EXPECT_EQ(LiveTimerCount(), before + 1);
    ASSERT_TRUE(PumpUntil([&] { return ticks >= 1; }));
    timer->Stop();
    timer->Stop();
    const int stoppedAt = ticks;
    PumpFor(100ms);
    EXPECT_EQ(ticks, stoppedAt);
    EXPECT_EQ(LiveTimerCount(), before);
    timer.reset();
    EXPECT_EQ(PumpFor(50ms), 0) << "no system timer left behind";
}

TEST(Timer, ACallbackMayDestroyItsOwnTimerAndCreateAnother)
{
    SelfReplacingTimer t(5, 5);
    ASSERT_TRUE(PumpUntil([&] { return t.createdTicks >= 2; }));
    EXPECT_EQ(t.selfTicks, 1);
    EXPECT_EQ(t.self, nullptr);
}

// Hosts destroy plug-ins, and so their timers, on threads other than the UI thread.
TEST(Timer, ATimerDestroyedOnAnotherThreadEndsItsSystemTimerAtItsNextTick)
{
    auto ticks = std::make_shared<std::atomic<int>>(0);
    auto timer = Timer::Create([ticks] { ticks->fetch_add(1); }, 5);
    ASSERT_TRUE(PumpUntil([&] { return ticks->load() >= 1; }));
    std::thread([&] { timer.reset(); }).join();
    const int destroyedAt = ticks->load();
    PumpFor(100ms);
    EXPECT_EQ(ticks->load(), destroyedAt);
    EXPECT_EQ(PumpFor(100ms), 0) << "the orphaned system timer is still ticking";
}

TEST(IdleTimer, TicksThePluginsIdleUpdateThroughTheMessageLoop)
{
    IdlePlugin plugin;
    ASSERT_NE(plugin.GetTimer(), nullptr);
    EXPECT_EQ(plugin.GetTimer()->PeriodMs(), kIdleTimerMs);
    EXPECT_TRUE(PumpUntil([&] { return plugin.IdleUpdates() >= 2; }));
}

// Several UI threads, each with its own message loop, create and destroy timers while their
// own and each other's timers tick; some timers are destroyed by a thread that did not create
// them. Every timer must tick on its creator's thread only, never after its destruction, and
// none may lose its ticks (which happens when two threads' system ids are mixed up).
TEST(TimerListConcurrency, ThreadsCreateAndDestroyTimersWhileTheirMessageLoopsTick)
{
    constexpr int kThreads = 4;
    constexpr int kRounds = 25;
    const int before = LiveTimerCount();
    std::atomic<int> wrongThread{0};
    std::atomic<int> lateTicks{0};
    std::atomic<int> lostTimers{0};
    std::atomic<int> finished{0};

    // A timer created on one thread and destroyed by whichever thread finds it first.
    struct Handoff
    {
        std::unique_ptr<Timer> timer;
        std::shared_ptr<std::atomic<bool>> alive;
    };
    std::mutex binLock;
    std::vector<Handoff> bin;

    auto makeTimer = [&](std::shared_ptr<std::atomic<int>> ticks, std::shared_ptr<std::atomic<bool>> alive, int periodMs) {
        const DWORD creator = ::GetCurrentThreadId();
        return Timer::Create(
            [&wrongThread, &lateTicks, ticks, alive, creator] {
                if (::GetCurrentThreadId() != creator)
                    wrongThread.fetch_add(1);
                if (!alive->load())
                    lateTicks.fetch_add(1);
                ticks->fetch_add(1);
            },
            periodMs);
    };

    auto destroyBin = [&] {
        std::vector<Handoff> taken;
        {
            std::lock_guard<std::mutex> guard(binLock);
            taken.swap(bin);
        }
        for (Handoff& h : taken)
        {
            h.timer.reset(); // after this the callback must not run
            h.alive->store(false);
        }
    };

    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            auto steadyTicks = std::make_shared<std::atomic<int>>(0);
            auto steadyAlive = std::make_shared<std::atomic<bool>>(true);
            auto steady = makeTimer(steadyTicks, steadyAlive, 10);
            if (!steady)
                lostTimers.fetch_add(1);
            for (int r = 0; r < kRounds; ++r)
            {
                destroyBin();
                const int count = 1 + (r + t) % 3;
                std::vector<std::unique_ptr<Timer>> own;
                std::vector<std::shared_ptr<std::atomic<int>>> ticks;
                std::vector<std::shared_ptr<std::atomic<bool>>> alive;
                for (int i = 0; i < count; ++i)
                {
                    ticks.push_back(std::make_shared<std::atomic<int>>(0));
                    alive.push_back(std::make_shared<std::atomic<bool>>(true));
                    own.push_back(makeTimer(ticks.back(), alive.back(), 1 + (i + r) % 5));
                }
                auto handedTicks = std::make_shared<std::atomic<int>>(0);
                auto handedAlive = std::make_shared<std::atomic<bool>>(true);
                Handoff handed{makeTimer(handedTicks, handedAlive, 2), handedAlive};
                {
                    std::lock_guard<std::mutex> guard(binLock);
                    bin.push_back(std::move(handed));
                }
                const bool allTicked = PumpUntil([&] {
                    for (auto& n : ticks)
                        if (n->load() == 0)
                            return false;
                    return true;
                });
                if (!allTicked)
                    lostTimers.fetch_add(1);
                for (int i = 0; i < count; ++i)
                {
                    own[std::size_t(i)].reset();
                    alive[std::size_t(i)]->store(false);
                }
            }
            // The long-lived timer still ticks after all the churn.
            const int sofar = steadyTicks->load();
            if (!PumpUntil([&] { return steadyTicks->load() > sofar; }))
                lostTimers.fetch_add(1);
            steady.reset();
            steadyAlive->store(false);
            finished.fetch_add(1);
            // Stay responsive until every thread is done, so handed-off timers keep ticking.
            PumpUntil([&] { return finished.load() == kThreads; });
            PumpFor(20ms); // let orphaned system timers end themselves
        });

    for (auto& t : threads)
        t.join();
    destroyBin();

    EXPECT_EQ(wrongThread.load(), 0) << "a tick ran another thread's timer";
    EXPECT_EQ(lateTicks.load(), 0) << "a timer ticked after its destruction";
    EXPECT_EQ(lostTimers.load(), 0) << "a timer never ticked";
    EXPECT_EQ(LiveTimerCount(), before);
}

#endif // _WIN32
