#include "effect/EditorFeed.h"
#include "effect/NotchBank.h"
#include "tests/support/TestSignals.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>
#include <vector>

using namespace ringstill;

namespace {

class EditorFeedTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (NotchBank& b : banks)
            ConfigureBank(b, 48000.0);
    }

    void Drain() { ApplyNotchCommands(feed, banks); }

    EditorFeed feed;
    std::array<NotchBank, 2> banks;
};

} // namespace

// ---- Records --------------------------------------------------------------

TEST(EditorFeedRecords, NotchViewIsSixteenBytesAndDefaultsToAFreeSlotWithQ25)
{
    const NotchView view;
    unsigned char bytes[16];
    std::memcpy(bytes, &view, sizeof bytes);
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(bytes[i], 0) << "byte " << i;
    float q;
    std::memcpy(&q, bytes + 12, sizeof q);
    EXPECT_EQ(q, 25.0f);
}

TEST(EditorFeedRecords, FreshFeedStartsEmptyWithNothingSelected)
{
    EditorFeed feed;
    EXPECT_EQ(feed.activeNotchCount.load(), 0);
    EXPECT_EQ(feed.inputPeak.load(), 0.0f);
    EXPECT_EQ(feed.outputPeak.load(), 0.0f);
    EXPECT_EQ(feed.selectedNotch.load(), -1);
    EXPECT_EQ(feed.shownSelection.load(), -2);
    EXPECT_EQ(feed.commands.ElementsAvailable(), 0);

    std::vector<float> spectrum{1.0f};
    float binWidth = 5.0f;
    std::vector<NotchView> views(3);
    ReadEditorView(feed, spectrum, binWidth, views);
    EXPECT_TRUE(spectrum.empty());
    EXPECT_EQ(binWidth, 0.0f);
    EXPECT_TRUE(views.empty());
    EXPECT_EQ(ReadSelectedView(feed, 0).q, 25.0f);
}

// ---- Command ring ---------------------------------------------------------

using EditorFeedRing = EditorFeedTest;

TEST_F(EditorFeedRing, HoldsAtMost255WaitingCommandsAndAppliesThemInOrder)
{
    for (int i = 0; i < 255; ++i)
        PushNotchCommand(feed, NotchCommandType::Set, 0, 100.0f + i, -10.0f);
    EXPECT_EQ(feed.commands.ElementsAvailable(), 255);
    PushNotchCommand(feed, NotchCommandType::Set, 0, 9999.0f, -10.0f); // dropped
    EXPECT_EQ(feed.commands.ElementsAvailable(), 255);

    Drain();
    EXPECT_EQ(feed.commands.ElementsAvailable(), 0);
    EXPECT_EQ(banks[0].slots[0].frequency, 354.0f);
    EXPECT_EQ(banks[1].slots[0].frequency, 354.0f);

    // Room again, across the end of the ring.
    PushNotchCommand(feed, NotchCommandType::Set, 1, 777.0f, -3.0f);
    PushNotchCommand(feed, NotchCommandType::SetWidth, 1, 7.0f);
    EXPECT_EQ(feed.commands.ElementsAvailable(), 2);
    Drain();
    EXPECT_EQ(banks[0].slots[1].frequency, 777.0f);
    EXPECT_EQ(banks[0].slots[1].q, 7.0f);
    EXPECT_EQ(feed.commands.ElementsAvailable(), 0);
}

TEST_F(EditorFeedRing, EveryPushedFieldReachesTheRecord)
{
    PushNotchCommand(feed, NotchCommandType::Add, 13, 1.5f, -2.5f, 3.5f);
    NotchCommand r;
    feed.commands.ForEachWaiting([&](const NotchCommand& waiting) { r = waiting; });
    EXPECT_EQ(r.type, 0);
    EXPECT_EQ(r.slotIndex, 13);
    EXPECT_EQ(r.a, 1.5f);
    EXPECT_EQ(r.b, -2.5f);
    EXPECT_EQ(r.c, 3.5f);
}

TEST_F(EditorFeedRing, ResetDiscardsWaitingCommandsAndKeepsTheSelection)
{
    feed.selectedNotch.store(4);
    feed.shownSelection.store(4);
    PushNotchCommand(feed, NotchCommandType::Add, 0, 1000.0f, -10.0f, 10.0f);
    ResetEditorFeed(feed, &banks[0]);
    EXPECT_EQ(feed.commands.ElementsAvailable(), 0);
    EXPECT_EQ(feed.shownSelection.load(), -2);
    EXPECT_EQ(feed.selectedNotch.load(), 4);
    Drain();
    EXPECT_EQ(CountActiveNotches(banks[0]), 0);
}

// ---- Published views ------------------------------------------------------

using EditorFeedViews = EditorFeedTest;

TEST_F(EditorFeedViews, ResetShapesTheViewsLikeChannelZero)
{
    ResetEditorFeed(feed, &banks[0]);
    std::vector<float> spectrum;
    float binWidth = 0.0f;
    std::vector<NotchView> views;
    ReadEditorView(feed, spectrum, binWidth, views);
    EXPECT_EQ(spectrum, std::vector<float>(1024, 0.0f));
    EXPECT_EQ(binWidth, 23.4375f);
    ASSERT_EQ(views.size(), 20u);
    for (const NotchView& v : views)
        EXPECT_TRUE(v.active == 0 && v.manual == 0 && v.frequency == 0.0f && v.q == 25.0f);
}

TEST_F(EditorFeedViews, PublishesChannelZerosSpectrumAndSlots)
{
    banks[0].slots[2].active = true;
    banks[0].slots[2].manual = true;
    banks[0].slots[2].frequency = 1234.0f;
    banks[0].slots[2].targetDepth = -11.0f;
    banks[0].slots[2].q = 7.0f;
    banks[0].slots[5].active = true;
    banks[0].slots[5].frequency = 300.0f;
    banks[1].slots[9].active = true; // channel 1 is never shown
    banks[0].spectrum[17] = 42.0f;
    feed.notchViews.resize(25); // too long: cut back to 20
    PublishEditorView(feed, banks);

    std::vector<float> spectrum;
    float binWidth = 0.0f;
    std::vector<NotchView> views;
    ReadEditorView(feed, spectrum, binWidth, views);
    EXPECT_EQ(spectrum, banks[0].spectrum);
    EXPECT_EQ(binWidth, banks[0].binWidthHz);
    ASSERT_EQ(views.size(), 20u);
    EXPECT_EQ(views[2].active, 1);
    EXPECT_EQ(views[2].manual, 1);
    EXPECT_EQ(views[2].frequency, 1234.0f);
    EXPECT_EQ(views[2].targetDepth, -11.0f);
    EXPECT_EQ(views[2].q, 7.0f);
    EXPECT_EQ(views[5].active, 1);
    EXPECT_EQ(views[5].manual, 0);
    EXPECT_EQ(views[9].active, 0);

    const NotchView selected = ReadSelectedView(feed, 2);
    EXPECT_EQ(selected.frequency, 1234.0f);
    EXPECT_EQ(ReadSelectedView(feed, 25).active, 0);
    EXPECT_EQ(ReadSelectedView(feed, 25).q, 25.0f);
    EXPECT_EQ(ReadSelectedView(feed, -1).q, 25.0f);
}

TEST_F(EditorFeedViews, HeldLockSkipsOnePublicationAndTheNextOneGoesThrough)
{
    ResetEditorFeed(feed, &banks[0]);
    banks[0].slots[0].active = true;
    banks[0].slots[0].frequency = 500.0f;
    feed.viewLock.store(1); // the editor is reading
    PublishEditorView(feed, banks);
    EXPECT_EQ(feed.viewLock.load(), 1);
    EXPECT_EQ(feed.notchViews[0].active, 0);
    feed.viewLock.store(0);
    PublishEditorView(feed, banks);
    EXPECT_EQ(feed.notchViews[0].active, 1);
    EXPECT_EQ(feed.notchViews[0].frequency, 500.0f);
    EXPECT_EQ(feed.viewLock.load(), 0);
}

TEST_F(EditorFeedViews, NothingIsPublishedWithoutABank)
{
    PublishEditorView(feed, std::span<const NotchBank>());
    EXPECT_TRUE(feed.notchViews.empty());
    EXPECT_TRUE(feed.spectrumView.empty());
}

// ---- Two threads ----------------------------------------------------------

// The editor pushes edits and reads views while the audio thread drains,
// processes a howl and publishes, for real, on two threads.
TEST(EditorFeedConcurrency, EditorAndAudioThreadsExchangeCommandsAndViews)
{
    EditorFeed feed;
    std::array<NotchBank, 2> banks;
    for (NotchBank& b : banks)
        ConfigureBank(b, 48000.0);
    ResetEditorFeed(feed, &banks[0]);

    std::atomic<bool> editorDone{false};
    std::thread audio([&] {
        ringstill::test::Noise noise;
        ringstill::test::Tone howl{2500.0, [](std::int64_t) { return 0.3; }};
        std::vector<float> left(128), right(128);
        std::int64_t clock = 0;
        while (!editorDone.load(std::memory_order_acquire))
        {
            for (int i = 0; i < 128; ++i)
                left[static_cast<std::size_t>(i)] = right[static_cast<std::size_t>(i)] =
                    howl.At(clock + i, 48000.0) + noise.Next(0.02f);
            clock += 128;
            ApplyNotchCommands(feed, banks);
            ProcessBankBlock(banks[0], left.data(), 128);
            ProcessBankBlock(banks[1], right.data(), 128);
            feed.activeNotchCount.exchange(CountActiveNotches(banks[0]) + CountActiveNotches(banks[1]));
            PublishEditorView(feed, banks);
        }
        ApplyNotchCommands(feed, banks); // whatever the editor pushed last
        PublishEditorView(feed, banks);
    });

    // Slot 19 stays manual and only ever moves up in frequency, one step per
    // command, so every view the editor reads must show a frequency that
    // never goes back.
    std::vector<float> spectrum;
    float binWidth = 0.0f;
    std::vector<NotchView> views;
    float lastSeen = 0.0f;
    bool sawAuto = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    int pushed = 0;
    for (; pushed < 3000 && std::chrono::steady_clock::now() < deadline; ++pushed)
    {
        PushNotchCommand(feed, NotchCommandType::Set, 19, 5000.0f + pushed, -12.0f);
        if (pushed % 7 == 0)
            PushNotchCommand(feed, NotchCommandType::SetWidth, 19, 10.0f + (pushed % 40));
        ReadEditorView(feed, spectrum, binWidth, views);
        const NotchView mine = ReadSelectedView(feed, 19);
        // No ASSERT here: returning early would leave the audio thread running.
        if (views.size() != 20u || spectrum.size() != 1024u || (mine.active && !mine.manual)
            || (mine.active && mine.frequency < lastSeen))
        {
            ADD_FAILURE() << "inconsistent view after " << pushed << " commands";
            break;
        }
        if (mine.active)
            lastSeen = mine.frequency;
        for (const NotchView& v : views)
            sawAuto = sawAuto || (v.active && !v.manual && std::fabs(v.frequency - 2500.0f) < 20.0f);
        if (pushed % 50 == 0)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    // The last command must get through: wait for room, then for the audio thread.
    const float last = 5000.0f + pushed;
    while (std::chrono::steady_clock::now() < deadline
           && feed.commands.ElementsAvailable() == feed.commands.Capacity())
        std::this_thread::yield();
    PushNotchCommand(feed, NotchCommandType::Set, 19, last, -12.0f);
    while (std::chrono::steady_clock::now() < deadline && ReadSelectedView(feed, 19).frequency != last)
        std::this_thread::yield();
    while (!sawAuto && std::chrono::steady_clock::now() < deadline)
    {
        ReadEditorView(feed, spectrum, binWidth, views);
        for (const NotchView& v : views)
            sawAuto = sawAuto || (v.active && !v.manual && std::fabs(v.frequency - 2500.0f) < 20.0f);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    editorDone.store(true, std::memory_order_release);
    audio.join();

    EXPECT_EQ(ReadSelectedView(feed, 19).frequency, last);
    EXPECT_TRUE(sawAuto) << "the howl's automatic notch was published";
    EXPECT_GE(feed.activeNotchCount.load(), 4);
    for (int i = 0; i < kMaxNotches; ++i)
    {
        const Notch& l = banks[0].slots[static_cast<std::size_t>(i)];
        const Notch& r = banks[1].slots[static_cast<std::size_t>(i)];
        EXPECT_EQ(l.active, r.active) << "slot " << i;
        EXPECT_EQ(l.frequency, r.frequency) << "slot " << i;
        EXPECT_EQ(l.q, r.q) << "slot " << i;
    }
}
