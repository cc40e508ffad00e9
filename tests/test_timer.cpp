#include "framework/IPlugAPIBase.h"
#include "framework/Timer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

using namespace iplug;
using namespace std::chrono_literals;

// The due-time behaviour belongs to the run-loop driven timers; Windows timers are
// ticked by the system and are exercised under wine.
#ifndef _WIN32

namespace {

// Far enough ahead that every live timer is due.
TimerClock::time_point Later(std::chrono::milliseconds ahead = 1000ms) { return TimerClock::now() + ahead; }

PluginConfig IdleConfig()
{
    PluginConfig c;
    c.nParams = 1;
    c.nPresets = 1;
    c.hasEditor = true;
    return c;
}

class IdlePlugin : public IPlugAPIBase
{
public:
    IdlePlugin() : IPlugAPIBase(IdleConfig()) { StartIdleTimer(); }
    void IdleUpdate() override { events.push_back(-1); }
    void SendMidiMsgToEditor(const MidiMessage& m) override { events.push_back(m.data1); }
    std::vector<int> events;
};

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
    std::unique_ptr<Timer> self;
    std::unique_ptr<Timer> created;
    int selfTicks = 0, createdTicks = 0;
    self = Timer::Create(
        [&] {
            ++selfTicks;
            self.reset();
            created = Timer::Create([&] { ++createdTicks; }, 500);
        },
        20);
    EXPECT_EQ(PumpTimers(Later(25ms)), 1) << "a timer created during a pump waits for its period";
    EXPECT_EQ(selfTicks, 1);
    EXPECT_EQ(self, nullptr);
    PumpTimers(Later(2000ms));
    EXPECT_EQ(selfTicks, 1);
    EXPECT_EQ(createdTicks, 1);
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
