// Adaptive Auto Catch's decisions on scripted cases, with a channel's bank in a small feedback loop:
// microphone = source + gain x resonance(loudspeaker delayed), loudspeaker = the bank's output. The
// resonance gives the loop one frequency above unity gain, as a room's strongest mode does.
#include "effect/DspKernels.h"
#include "effect/NotchBank.h"
#include "tests/support/AllocCounter.h"
#include "tests/support/ReferenceDsp.h"
#include "tests/support/TestSignals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <utility>
#include <vector>

using namespace ringstill;
using ringstill::test::Noise;

namespace {

constexpr double kRate = 48000.0;
constexpr int kBlock = 64;
constexpr double kHowlHz = 1000.0;

// A resonator of unity peak gain (the cookbook band-pass with 0 dB peak), in double precision.
struct Resonance
{
    double b0 = 0, b2 = 0, a1 = 0, a2 = 0, x1 = 0, x2 = 0, y1 = 0, y2 = 0;

    Resonance(double hz, double q)
    {
        const double w = 2.0 * M_PI * hz / kRate;
        const double alpha = std::sin(w) / (2.0 * q);
        const double a0 = 1.0 + alpha;
        b0 = alpha / a0;
        b2 = -alpha / a0;
        a1 = -2.0 * std::cos(w) / a0;
        a2 = (1.0 - alpha) / a0;
    }
    double Run(double x)
    {
        const double y = b0 * x + b2 * x2 - a1 * y1 - a2 * y2;
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
        return y;
    }
};

class AdaptiveLoop : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ConfigureBank(bank, kRate);
        bank.autoCatch = AutoCatchMode::Adaptive;
    }

    // Loop gain at the resonance in dB over unity; -100 opens the loop.
    void CloseLoop(double overUnityDb, double hz = kHowlHz, double delayMs = 6.0, double q = 20.0)
    {
        gain = overUnityDb <= -100.0 ? 0.0 : std::pow(10.0, overUnityDb / 20.0);
        resonance = Resonance(hz, q);
        // The loudspeaker's last `delay` samples: the oldest block is what returns now.
        delay = std::max<std::size_t>(kBlock, static_cast<std::size_t>(delayMs * kRate / 1000.0));
        speaker.assign(delay, 0.0f);
    }

    // Runs seconds of loop, block by block; `watch` sees every block's microphone input.
    void Run(double seconds, const std::function<void(const std::vector<float>&)>& watch = {})
    {
        const auto blocks = static_cast<long>(seconds * kRate / kBlock);
        for (long b = 0; b < blocks; ++b)
        {
            for (int i = 0; i < kBlock; ++i)
            {
                const double returned = gain * resonance.Run(speaker[static_cast<std::size_t>(i)]);
                // A loudspeaker that clips softly keeps a howl finite.
                mic[static_cast<std::size_t>(i)] =
                    static_cast<float>(source(clock + i) + 0.5 * std::tanh(returned / 0.5));
            }
            block = mic;
            ProcessBankBlock(bank, block.data(), kBlock);
            std::rotate(speaker.begin(), speaker.begin() + kBlock, speaker.end());
            std::copy(block.begin(), block.end(), speaker.end() - kBlock);
            clock += kBlock;
            if (watch)
                watch(mic);
        }
    }

    // Input level (dB) at hz over the last second of microphone samples seen by Track.
    double ToneDb(const std::vector<float>& x, double hz) const
    {
        return 20.0 * std::log10(test::ToneAmplitude(x.data(), static_cast<int>(x.size()), hz, kRate) + 1e-12);
    }

    const Notch* AutoSlotNear(double hz, double within = 30.0) const
    {
        for (const Notch& slot : bank.slots)
            if (slot.active && !slot.manual && std::fabs(slot.frequency - hz) < within)
                return &slot;
        return nullptr;
    }

    const AdaptiveNotch& StateOf(const Notch* slot) const
    {
        return bank.adaptive.notches[static_cast<std::size_t>(slot - bank.slots.data())];
    }

    // Lets the loop howl 3 dB over unity for 2 s: the notch that holds it, kept, or nullptr.
    const Notch* KeepAHowl()
    {
        CloseLoop(+3.0);
        Run(2.0);
        const Notch* slot = AutoSlotNear(kHowlHz);
        return slot != nullptr && StateOf(slot).phase == AdaptivePhase::Kept ? slot : nullptr;
    }

    // Runs seconds of loop and returns when an automatic notch at hz went in and when it came out
    // again, -1 for what did not happen; widened, when given, tells whether it widened while in.
    std::pair<double, double> RunUntilLifted(double seconds, double hz, bool* widened = nullptr)
    {
        double placedAt = -1.0, liftedAt = -1.0;
        Run(seconds, [&](const std::vector<float>&) {
            const double now = static_cast<double>(clock) / kRate;
            const Notch* slot = AutoSlotNear(hz);
            const bool in = slot != nullptr && slot->targetDepth < 0.0f;
            if (in && placedAt < 0.0)
                placedAt = now;
            if (in && widened != nullptr && slot->q < 0.5f * bank.autoQ)
                *widened = true;
            if (placedAt >= 0.0 && liftedAt < 0.0 && !in)
                liftedAt = now;
        });
        return {placedAt, liftedAt};
    }

    // A room whose kept howls took 200 ms to start falling.
    void MakeTheRoomSlow() { bank.adaptive.slowestCollapse = static_cast<std::int32_t>(0.2 * kRate / bank.hopSize); }

    NotchBank bank;
    std::function<double(std::int64_t)> source = [this](std::int64_t) { return noise.Next(1e-3f); };
    Noise noise;
    std::int64_t clock = 0;
    double gain = 0.0;
    Resonance resonance{kHowlHz, 20.0};
    std::size_t delay = 0;
    std::vector<float> speaker;
    std::vector<float> block = std::vector<float>(kBlock), mic = std::vector<float>(kBlock);
};

// Where and how fast the loop howls: a room's strongest mode, also below and above the band the
// classic detector searches, and loops from a wedge's few milliseconds to a hall's tens.
struct HowlCase
{
    double hz;
    double delayMs;
};

class AdaptiveHowl : public AdaptiveLoop, public ::testing::WithParamInterface<HowlCase>
{
};

TEST_P(AdaptiveHowl, CollapsesUnderItsTrialNotchAndIsKept)
{
    const HowlCase c = GetParam();
    CloseLoop(+3.0, c.hz, c.delayMs);
    std::vector<float> last;
    float triedAt = 0.0f; // the deepest cut while on trial
    Run(3.0, [&](const std::vector<float>& mic) {
        last.insert(last.end(), mic.begin(), mic.end());
        for (const Notch& s : bank.slots)
            if (s.active && StateOf(&s).phase == AdaptivePhase::Trial)
                triedAt = std::min(triedAt, s.targetDepth);
    });
    const Notch* slot = AutoSlotNear(c.hz, std::max(30.0, 0.03 * c.hz));
    ASSERT_NE(slot, nullptr) << "the howl got no notch";
    EXPECT_EQ(StateOf(slot).phase, AdaptivePhase::Kept);
    // Auto Cut is the depth it is tried at; once the loop has proved it a howl it holds deeper.
    EXPECT_EQ(triedAt, bank.autoCutDb);
    EXPECT_EQ(slot->targetDepth, bank.autoCutDb - kAdaptiveKeptDeeperDb);
    // The loop is held: the last half second at the microphone is far below the howl's peak.
    const std::size_t half = static_cast<std::size_t>(0.5 * kRate);
    std::vector<float> tail(last.end() - static_cast<std::ptrdiff_t>(half), last.end());
    float peak = 0.0f;
    for (float v : last)
        peak = std::max(peak, std::fabs(v));
    EXPECT_LT(ToneDb(tail, c.hz), 20.0 * std::log10(peak) - 20.0);
}

INSTANTIATE_TEST_SUITE_P(Rooms, AdaptiveHowl,
                         ::testing::Values(HowlCase{1000.0, 6.0}, HowlCase{100.0, 10.0}, HowlCase{50.0, 20.0},
                                           HowlCase{4000.0, 30.0}, HowlCase{15000.0, 2.0}),
                         [](const ::testing::TestParamInfo<HowlCase>& info) {
                             return std::to_string(static_cast<int>(info.param.hz)) + "Hz_"
                                    + std::to_string(static_cast<int>(info.param.delayMs)) + "ms";
                         });

TEST_F(AdaptiveLoop, ToneThatDoesNotCollapseIsLiftedAndRememberedAsASource)
{
    // Open loop: a pure tone that grows like a howl and then holds, as a sung note might.
    CloseLoop(-100.0);
    source = [this](std::int64_t i) {
        const double t = static_cast<double>(i) / kRate;
        const double db = std::min(-60.0 + 80.0 * t, -20.0);
        return noise.Next(1e-3f) + std::pow(10.0, db / 20.0) * std::sin(2.0 * M_PI * 1234.5 * t);
    };
    const auto [placedAt, liftedAt] = RunUntilLifted(3.0, 1234.5);
    ASSERT_GE(placedAt, 0.0) << "a tone growing like a howl should be tried";
    ASSERT_GE(liftedAt, 0.0) << "the note kept its notch";
    EXPECT_LT(liftedAt - placedAt, 1.1);
    EXPECT_EQ(AutoSlotNear(1234.5), nullptr) << "tried again while remembered as a source";
    const bool remembered = std::any_of(bank.adaptive.sources.begin(), bank.adaptive.sources.end(),
                                        [](const AdaptiveSource& s) { return s.frames > 0 && std::fabs(s.frequency - 1234.5f) < 5.0f; });
    EXPECT_TRUE(remembered);
}

// A note tried in a room whose howls fell quickly, or in a slow one, where a kept howl took 200 ms
// to start falling. A held note is lifted as soon as its tone has not moved for 300 ms. A tone
// standing out as far as only a howl does, that moved onto the trial notch's skirt (the notch
// widens, as for a howl) and then faded 6 dB and held there, is lifted once it has fallen no
// further for 0.1 s. In the slow room both trials run their full course.
struct NoteCase
{
    const char* name;
    bool fadesOnTheSkirt;
    bool slowRoom;
    double liftedWithin; // quick room: at most this long after it went in; slow room: longer
};

class AdaptiveNote : public AdaptiveLoop, public ::testing::WithParamInterface<NoteCase>
{
};

TEST_P(AdaptiveNote, IsLiftedEarlyUnlessTheRoomsHowlsFallLate)
{
    const NoteCase c = GetParam();
    if (c.slowRoom)
        MakeTheRoomSlow();
    CloseLoop(-100.0);
    const double hz = c.fadesOnTheSkirt ? kHowlHz : 1234.5;
    const double skirtHz = hz + 2.5 * bank.binWidthHz;
    source = [this, c, hz, skirtHz](std::int64_t i) {
        const double t = static_cast<double>(i) / kRate;
        if (!c.fadesOnTheSkirt)
            return noise.Next(1e-3f) + (t > 0.2 ? 0.05 : 0.0) * std::sin(2.0 * M_PI * hz * t);
        const Notch* slot = AutoSlotNear(hz);
        const double a = t > 0.2 ? 0.3 : 0.0;
        if (slot == nullptr || slot->targetDepth == 0.0f)
            return noise.Next(1e-3f) + a * std::sin(2.0 * M_PI * hz * t);
        if (slot->q >= 0.5f * bank.autoQ)
            return noise.Next(1e-3f) + a * std::sin(2.0 * M_PI * skirtHz * t);
        return noise.Next(1e-3f) + 0.5 * a * std::sin(2.0 * M_PI * hz * t);
    };
    bool widened = false;
    const auto [placedAt, liftedAt] = RunUntilLifted(2.0, hz, &widened);
    ASSERT_GE(placedAt, 0.0) << "a tone standing far out this long should be tried";
    ASSERT_EQ(widened, c.fadesOnTheSkirt) << "only the tone's move onto the skirt should widen the notch";
    ASSERT_GE(liftedAt, 0.0) << "the note kept its notch";
    if (c.slowRoom)
        EXPECT_GT(liftedAt - placedAt, c.liftedWithin);
    else
        EXPECT_LT(liftedAt - placedAt, c.liftedWithin);
}

INSTANTIATE_TEST_SUITE_P(HeldOrFadedInAQuickOrSlowRoom, AdaptiveNote,
                         ::testing::Values(NoteCase{"HeldQuickRoom", false, false, 0.35},
                                           NoteCase{"HeldSlowRoom", false, true, 0.4},
                                           NoteCase{"StalledFadeQuickRoom", true, false, 0.45},
                                           NoteCase{"StalledFadeSlowRoom", true, true, 0.6}),
                         [](const ::testing::TestParamInfo<NoteCase>& info) { return std::string(info.param.name); });

// A held note that ends 0.1 s after its trial notch went in, its fall the size of a collapse. With an
// octave partial (1 % sharp, too far off for the harmonic test) that ends with it, it is a note; a
// lone tone that falls under the notch is what a howl does.
class AdaptiveEndingNote : public AdaptiveLoop, public ::testing::WithParamInterface<bool>
{
};

TEST_P(AdaptiveEndingNote, IsLiftedWhenItsOctaveEndsWithIt)
{
    const bool octave = GetParam();
    constexpr double kNoteHz = 781.0;
    double endsAt = 1e9;
    CloseLoop(-100.0);
    source = [&](std::int64_t i) {
        const double t = static_cast<double>(i) / kRate;
        const double on = t > 0.2 && t < endsAt ? 0.05 : 0.0;
        return noise.Next(1e-3f) + on * std::sin(2.0 * M_PI * kNoteHz * t)
               + (octave ? 0.7 * on : 0.0) * std::sin(2.0 * M_PI * 2.0 * kNoteHz * 1.01 * t);
    };
    bool placed = false, kept = false;
    Run(2.0, [&](const std::vector<float>&) {
        const Notch* slot = AutoSlotNear(kNoteHz);
        if (slot != nullptr && !placed)
        {
            placed = true;
            endsAt = static_cast<double>(clock) / kRate + 0.1;
        }
        kept = kept || (slot != nullptr && StateOf(slot).phase == AdaptivePhase::Kept);
    });
    ASSERT_TRUE(placed) << "a note standing far out this long should be tried";
    EXPECT_EQ(kept, !octave);
}

INSTANTIATE_TEST_SUITE_P(WithOctaveOrAlone, AdaptiveEndingNote, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "NoteWithItsOctave" : "LoneTone"; });

// Open loop: a tone rises like a howl 10 dB below a steady louder one near a third of its frequency.
// An ensemble's note, its fundamental's peak 0.7 bins off the exact third; a piano's treble note,
// its third partial 3.5 % sharp; the same, but a notch holds the louder tone, as it holds a howl.
struct PartialCase
{
    const char* name;
    double partialHz;
    double fundamentalHz; // 0: 0.7 bins above a third of the partial
    bool notched;
};

class AdaptivePartial : public AdaptiveLoop, public ::testing::WithParamInterface<PartialCase>
{
};

TEST_P(AdaptivePartial, UpperPartialOfALouderNoteIsNotTriedUnlessANotchHoldsTheLouderTone)
{
    const PartialCase c = GetParam();
    const double fundamentalHz = c.fundamentalHz > 0.0 ? c.fundamentalHz : c.partialHz / 3.0 + 0.7 * bank.binWidthHz;
    if (c.notched)
    {
        Notch& held = bank.slots[0];
        held.active = true;
        held.manual = true;
        held.frequency = static_cast<float>(fundamentalHz);
        held.targetDepth = -18.0f;
        held.q = 25.0f;
    }
    CloseLoop(-100.0);
    const double partialHz = c.partialHz;
    source = [this, partialHz, fundamentalHz](std::int64_t i) {
        const double t = static_cast<double>(i) / kRate;
        const double db = std::min(-60.0 + 80.0 * t, -20.0);
        return noise.Next(1e-3f) + std::pow(10.0, -10.0 / 20.0) * std::sin(2.0 * M_PI * fundamentalHz * t)
               + std::pow(10.0, db / 20.0) * std::sin(2.0 * M_PI * partialHz * t);
    };
    bool tried = false;
    Run(3.0, [&](const std::vector<float>&) { tried = tried || AutoSlotNear(partialHz) != nullptr; });
    EXPECT_EQ(tried, c.notched);
}

INSTANTIATE_TEST_SUITE_P(EnsembleOrStiffString, AdaptivePartial,
                         ::testing::Values(PartialCase{"Ensemble", 2175.0, 0.0, false},
                                           PartialCase{"StiffString", 4602.0, 4602.0 / 3.0 / 1.035, false},
                                           PartialCase{"NotchedStiffString", 4602.0, 4602.0 / 3.0 / 1.035, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// A notch 2.5 bins below the howl, the user's or one of the mode's own: the classic detector
// would only keep it alive.
class AdaptiveBeside : public AdaptiveLoop, public ::testing::WithParamInterface<bool>
{
};

TEST_P(AdaptiveBeside, HowlBesideAnExistingNotchGetsItsOwn)
{
    const bool manual = GetParam();
    Notch& beside = bank.slots[0];
    beside.active = true;
    beside.manual = manual;
    beside.frequency = static_cast<float>(kHowlHz - 2.5 * bank.binWidthHz);
    beside.targetDepth = -18.0f;
    beside.q = 25.0f;
    CloseLoop(+3.0);
    std::vector<float> last;
    Run(3.0, [&](const std::vector<float>& mic) {
        last.insert(last.end(), mic.begin(), mic.end());
        if (last.size() > static_cast<std::size_t>(0.5 * kRate))
            last.erase(last.begin(), last.begin() + kBlock);
    });
    const Notch* slot = AutoSlotNear(kHowlHz, bank.binWidthHz);
    ASSERT_NE(slot, nullptr);
    EXPECT_NE(slot, &bank.slots[0]) << "the howl needs a notch of its own";
    EXPECT_EQ(StateOf(slot).phase, AdaptivePhase::Kept);
    EXPECT_EQ(bank.slots[0].manual, manual) << "the user's notch is never taken over";
    EXPECT_TRUE(bank.slots[0].active);
    EXPECT_LT(ToneDb(last, kHowlHz), -30.0);
}

INSTANTIATE_TEST_SUITE_P(ManualOrAutomatic, AdaptiveBeside, ::testing::Bool());

// A trial notch's tone moves 2.5 bins up and stays there, and dies away once the notch covers that
// too: as a howl does on the skirt of a notch that bent a broad mode's phase. The tone grew like a
// howl, or stood out as far as only a howl does (57 dB here): the notch widens and is kept. It stood
// out as a note does (26 dB): that reads as a voice gliding away, and the trial ends. But when what
// appears beside it is 26 dB fainter, the tone has collapsed as a howl does and the bins beside it
// merely rose from far below: kept, as it is.
enum class SkirtOutcome
{
    Widened,
    Kept,
    Lifted,
};

struct SkirtCase
{
    const char* name;
    bool grows;
    double amplitude; // the tone's peak amplitude at the microphone
    double besideShare; // the moved tone's amplitude for the tone's
    SkirtOutcome outcome;
};

class AdaptiveSkirt : public AdaptiveLoop, public ::testing::WithParamInterface<SkirtCase>
{
};

TEST_P(AdaptiveSkirt, HowlPushedOntoTheTrialNotchsSkirtWidensItAndNoteGlidingAwayDoesNot)
{
    const SkirtCase c = GetParam();
    CloseLoop(-100.0);
    const double skirtHz = kHowlHz + 2.5 * bank.binWidthHz;
    source = [this, c, skirtHz](std::int64_t i) {
        const double t = static_cast<double>(i) / kRate;
        const double a = c.grows ? c.amplitude * std::pow(10.0, std::min(0.0, 300.0 * t - 60.0) / 20.0)
                                 : (t > 0.2 ? c.amplitude : 0.0);
        const Notch* slot = AutoSlotNear(kHowlHz);
        if (slot != nullptr && slot->targetDepth < 0.0f)
        {
            if (slot->q < 0.5f * bank.autoQ)
                return static_cast<double>(noise.Next(1e-3f));
            return noise.Next(1e-3f) + c.besideShare * a * std::sin(2.0 * M_PI * skirtHz * t);
        }
        return noise.Next(1e-3f) + a * std::sin(2.0 * M_PI * kHowlHz * t);
    };
    bool tried = false;
    Run(2.0, [&](const std::vector<float>&) { tried = tried || AutoSlotNear(kHowlHz) != nullptr; });
    ASSERT_TRUE(tried);
    const Notch* slot = AutoSlotNear(kHowlHz);
    const bool remembered = std::any_of(bank.adaptive.sources.begin(), bank.adaptive.sources.end(),
                                        [](const AdaptiveSource& s) { return s.frames > 0 && std::fabs(s.frequency - kHowlHz) < 60.0; });
    if (c.outcome != SkirtOutcome::Lifted)
    {
        ASSERT_NE(slot, nullptr) << "the howl's notch was lifted";
        EXPECT_EQ(StateOf(slot).phase, AdaptivePhase::Kept);
        EXPECT_EQ(slot->q < 0.5f * bank.autoQ, c.outcome == SkirtOutcome::Widened);
        EXPECT_FALSE(remembered) << "the howl was taken for a voice gliding away";
    }
    else
    {
        EXPECT_TRUE(slot == nullptr || slot->targetDepth == 0.0f) << "the note kept its notch";
        EXPECT_TRUE(remembered);
    }
}

INSTANTIATE_TEST_SUITE_P(GrewOrStood, AdaptiveSkirt,
                         ::testing::Values(SkirtCase{"Grew", true, 0.1, 1.0, SkirtOutcome::Widened},
                                           SkirtCase{"StoodFarOut", false, 0.3, 1.0, SkirtOutcome::Widened},
                                           SkirtCase{"StoodLikeANote", false, 0.001, 1.0, SkirtOutcome::Lifted},
                                           SkirtCase{"StoodAndFellWithFaintSide", false, 0.001, 0.05, SkirtOutcome::Kept}),
                         [](const ::testing::TestParamInfo<SkirtCase>& info) { return std::string(info.param.name); });

// A kept notch is held for the minute after its catch and then lifted slowly. While the loop is
// still there it comes nearer unity as the cut lifts, its tone rises out of the level it had while
// held, and the notch must be back while the howl is still quiet; held again, it lifts next time no
// further than 3 dB short of the cut it came back at, and the howl stays away. Once the engineer
// has lowered the gain it lifts away for good.
struct LiftCase
{
    const char* name;
    double loopAfterCatchDb;
    bool loopStays;
};

class AdaptiveLift : public AdaptiveLoop, public ::testing::WithParamInterface<LiftCase>
{
};

TEST_P(AdaptiveLift, ComesBackBeforeTheHowlIsAudibleAndNextTimeStopsShortOfIt)
{
    const Notch* slot = KeepAHowl();
    ASSERT_NE(slot, nullptr) << "the howl should be caught and its notch kept";
    const float kept = StateOf(slot).keptDepthDb;
    CloseLoop(GetParam().loopAfterCatchDb);
    double firstLiftAt = -1.0, loudestDb = -300.0;
    int returns = 0;
    bool inLift = false;
    float shallowest = kept;           // of the lift under way
    float cameBackAt = 0.0f;           // the shallowest cut of the first lift
    float shallowestAfter = kept;      // after the first return
    std::vector<float> window;
    Run(215.0, [&](const std::vector<float>& mic) {
        window.insert(window.end(), mic.begin(), mic.end());
        if (window.size() >= 2048)
        {
            loudestDb = std::max(loudestDb, ToneDb(window, kHowlHz));
            window.clear();
        }
        const Notch* s = AutoSlotNear(kHowlHz);
        if (s == nullptr)
            return;
        if (returns > 0)
            shallowestAfter = std::max(shallowestAfter, s->targetDepth);
        if (s->targetDepth > kept + 0.5f)
        {
            if (firstLiftAt < 0.0)
                firstLiftAt = static_cast<double>(clock) / kRate;
            inLift = true;
            shallowest = std::max(shallowest, s->targetDepth);
        }
        else if (inLift && s->targetDepth <= kept)
        {
            if (++returns == 1)
                cameBackAt = shallowest;
            inLift = false;
            shallowest = kept;
        }
    });
    ASSERT_GE(firstLiftAt, 0.0) << "a kept notch should lift after a while";
    EXPECT_GT(firstLiftAt, 60.0) << "it lifted within the minute after its catch";
    const Notch* last = AutoSlotNear(kHowlHz);
    if (GetParam().loopStays)
    {
        EXPECT_TRUE(last != nullptr && last->targetDepth < 0.0f) << "the notch left while its loop was still there";
        EXPECT_EQ(returns, 1) << "the returning howl did not bring its notch back, or came back again";
        EXPECT_NEAR(shallowestAfter, cameBackAt - 3.0f, 0.25f) << "the second lift did not stop short of the first";
        // Quiet: well under the level a howl reaches (the loudspeaker clips at 0.5, -6 dBFS).
        EXPECT_LT(loudestDb, -40.0);
    }
    else
    {
        EXPECT_EQ(returns, 0) << "a chance rise of the noise brought the notch back";
        EXPECT_TRUE(last == nullptr || last->targetDepth == 0.0f) << "the notch was not lifted away";
    }
}

INSTANTIATE_TEST_SUITE_P(LoopStaysOrGainLowered, AdaptiveLift,
                         ::testing::Values(LiftCase{"LoopStays", +3.0, true}, LiftCase{"GainLowered", -6.0, false}),
                         [](const ::testing::TestParamInfo<LiftCase>& info) { return std::string(info.param.name); });

// After a howl is kept, its tone grows through the notch again: the loop gained 18 dB (the cut is no
// longer enough, and the deeper one must stand), or the loop is gone and a note is played there
// (the deeper cut does nothing to it and must be undone).
struct RenewalCase
{
    const char* name;
    bool loopGains;
};

class AdaptiveRenewal : public AdaptiveLoop, public ::testing::WithParamInterface<RenewalCase>
{
protected:
    // The detector's level of a tone at kHowlHz less its level in dBFS, read off a bank of its own
    // that follows a steady -40 dBFS tone without placing anything.
    static float DetectorScaleDb()
    {
        NotchBank probe;
        ConfigureBank(probe, kRate);
        probe.autoCatch = AutoCatchMode::Adaptive;
        probe.hold = true;
        std::vector<float> x(kBlock);
        for (std::int64_t i = 0; i < static_cast<std::int64_t>(0.3 * kRate); i += kBlock)
        {
            for (int j = 0; j < kBlock; ++j)
                x[static_cast<std::size_t>(j)] =
                    static_cast<float>(0.01 * std::sin(2.0 * M_PI * kHowlHz * static_cast<double>(i + j) / kRate));
            ProcessBankBlock(probe, x.data(), kBlock);
        }
        for (const AdaptiveTrack& t : probe.adaptive.tracks)
            if (t.active && std::fabs(t.frequency - kHowlHz) < probe.binWidthHz)
                return t.levelDb[static_cast<std::size_t>((t.frames - 1) & (kAdaptiveHistory - 1))] + 40.0f;
        ADD_FAILURE() << "the probe followed no tone at " << kHowlHz << " Hz";
        return 0.0f;
    }
};

TEST_P(AdaptiveRenewal, StandsForAHowlAndIsUndoneForANote)
{
    bank.autoCutDb = -18.0f + kAdaptiveKeptDeeperDb; // kept at -18 dB
    const Notch* slot = KeepAHowl();
    ASSERT_NE(slot, nullptr) << "the howl should be caught and its notch kept";
    const float kept = StateOf(slot).keptDepthDb;
    const std::int64_t start = clock;
    if (GetParam().loopGains)
        CloseLoop(+21.0);
    else
    {
        // The note rises as fast as a howl to just under the level the howl had when its notch went
        // in (any further and it would look like a howl the cut cannot hold), then holds.
        CloseLoop(-100.0);
        const double plateauDb = StateOf(slot).howlLevelDb - DetectorScaleDb() - 1.5;
        source = [this, start, plateauDb](std::int64_t i) {
            const double t = static_cast<double>(i - start) / kRate;
            const double db = std::min(-100.0 + 80.0 * t, plateauDb);
            return noise.Next(1e-3f) + std::pow(10.0, db / 20.0) * std::sin(2.0 * M_PI * kHowlHz * t);
        };
    }
    float deepest = 0.0f;
    std::vector<float> last;
    Run(4.0, [&](const std::vector<float>& mic) {
        deepest = std::min(deepest, slot->targetDepth);
        last.insert(last.end(), mic.begin(), mic.end());
        if (last.size() > static_cast<std::size_t>(0.5 * kRate))
            last.erase(last.begin(), last.begin() + kBlock);
    });
    ASSERT_LT(deepest, kept - 1.0f) << "the tone growing through the notch should renew its need";
    ASSERT_TRUE(slot->active);
    if (GetParam().loopGains)
    {
        EXPECT_LT(StateOf(slot).keptDepthDb, kept - 1.0f) << "the deeper cut the howl needs was undone";
        EXPECT_LT(ToneDb(last, kHowlHz), -30.0);
    }
    else
    {
        EXPECT_EQ(StateOf(slot).keptDepthDb, kept) << "a note deepened the notch for good";
        EXPECT_GE(slot->targetDepth, kept);
    }
}

INSTANTIATE_TEST_SUITE_P(HowlOrNote, AdaptiveRenewal,
                         ::testing::Values(RenewalCase{"LoopGains", true}, RenewalCase{"NotePlayed", false}),
                         [](const auto& info) { return std::string(info.param.name); });

// What rings rather than howls, so that its peak wanders and breaks up from frame to frame: a loop at
// unity gain in a long room, at the lowest Sensitivity, where no tone of it stands out far enough
// for long enough to be tried; or a band of noise in the programme. Averaged, both stand out and are
// tried: the loop's ringing collapses under its notch and is kept, the band is lifted and remembered.
// A low loop that rings between two of the analysis's bins stands out only in the low band's finer
// ones; ringing barely above the programme in the analysis's bins, its fall under the notch may not
// show there, and only its being tried is asked of it.
struct RingingCase
{
    const char* name;
    bool loop;
    double hz;
    double delayMs; // the loop's crossing falls on the resonance
    bool judged;    // its fall under the notch shows in the analysis's bins
};

class AdaptiveRinging : public AdaptiveLoop, public ::testing::WithParamInterface<RingingCase>
{
};

TEST_P(AdaptiveRinging, IsTriedFromTheAverageAndKeptOnlyWhenTheLoopRings)
{
    const RingingCase c = GetParam();
    Resonance band(c.hz, 40.0);
    Noise bandNoise(12345);
    if (c.loop)
    {
        bank.sensitivity = 0.0f;
        CloseLoop(0.0, c.hz, c.delayMs);
    }
    else
    {
        CloseLoop(-100.0);
        source = [&, this](std::int64_t) { return noise.Next(1e-3f) + band.Run(bandNoise.Next(0.03f)); };
    }
    double triedAt = -1.0;
    std::vector<float> before, after;
    Run(10.0, [&](const std::vector<float>& mic) {
        const Notch* slot = AutoSlotNear(c.hz);
        if (slot != nullptr && triedAt < 0.0)
            triedAt = static_cast<double>(clock) / kRate;
        std::vector<float>& into = triedAt < 0.0 ? before : after;
        into.insert(into.end(), mic.begin(), mic.end());
        if (into.size() > static_cast<std::size_t>(kRate))
            into.erase(into.begin(), into.begin() + kBlock);
    });
    ASSERT_GE(triedAt, 0.0) << "never tried";
    EXPECT_LT(triedAt, 8.0) << "tried only once it stood out as a tone";
    if (!c.judged)
        return;
    const Notch* slot = AutoSlotNear(c.hz);
    if (c.loop)
    {
        ASSERT_NE(slot, nullptr);
        EXPECT_EQ(StateOf(slot).phase, AdaptivePhase::Kept);
        EXPECT_LT(ToneDb(after, c.hz), ToneDb(before, c.hz) - 10.0);
    }
    else
    {
        EXPECT_TRUE(slot == nullptr || slot->targetDepth == 0.0f) << "the band kept a notch";
        EXPECT_TRUE(std::any_of(bank.adaptive.sources.begin(), bank.adaptive.sources.end(),
                                [&](const AdaptiveSource& s) { return std::fabs(s.frequency - c.hz) < 30.0f; }));
    }
}

INSTANTIATE_TEST_SUITE_P(LoopOrProgramme, AdaptiveRinging,
                         ::testing::Values(RingingCase{"LoopAtUnity", true, 900.0, 40.0, true},
                                           RingingCase{"BandOfNoise", false, 900.0, 40.0, true},
                                           RingingCase{"LowLoopBetweenBins", true, 128.9, 5000.0 / 128.9, false}),
                         [](const auto& info) { return std::string(info.param.name); });

// A hall's howl falls slowly under its notch, the room's reverberation feeding it; the programme
// pausing meanwhile, its surroundings fall faster than it does. A howl standing out as far as no
// note does is still kept: its fall is its own, and its holding up is not a swell.
TEST_F(AdaptiveLoop, SlowlyFallingHowlIsKeptThoughTheProgrammePausesAroundIt)
{
    CloseLoop(+3.0, kHowlHz, 30.0, 1000.0);
    bool paused = false;
    source = [&, this](std::int64_t) { return noise.Next(paused ? 1e-6f : 1e-4f); };
    bank.hold = true; // the howl builds up untouched
    Run(5.0);
    bank.hold = false;
    double placedAt = -1.0, liftedAt = -1.0;
    Run(3.0, [&](const std::vector<float>&) {
        const Notch* slot = AutoSlotNear(kHowlHz);
        const double now = static_cast<double>(clock) / kRate;
        if (slot != nullptr && slot->targetDepth < 0.0f && placedAt < 0.0)
            placedAt = now;
        paused = placedAt >= 0.0;
        if (placedAt >= 0.0 && liftedAt < 0.0 && (slot == nullptr || slot->targetDepth == 0.0f))
            liftedAt = now;
    });
    ASSERT_GE(placedAt, 0.0) << "never tried";
    EXPECT_LT(liftedAt, 0.0) << "lifted after " << liftedAt - placedAt << " s";
    const Notch* slot = AutoSlotNear(kHowlHz);
    ASSERT_NE(slot, nullptr);
    EXPECT_EQ(StateOf(slot).phase, AdaptivePhase::Kept);
}

// A loop just above unity in loud noise: its howl, clipped by the loudspeaker, stands only some 15 to
// 20 dB out of the noise, and the noise's chance peaks beside it rise nearly as far. Once the tone
// has fallen under its notch they are not the tone gliding away: its first trial keeps it.
struct NoisyRingCase
{
    const char* name;
    double hz;
    double q;
    float noise; // the programme's peak amplitude
};

class AdaptiveNoisyRing : public AdaptiveLoop, public ::testing::WithParamInterface<NoisyRingCase>
{
};

TEST_P(AdaptiveNoisyRing, IsKeptOnItsFirstTrial)
{
    const NoisyRingCase c = GetParam();
    CloseLoop(+1.0, c.hz, 10000.0 / c.hz, c.q);
    source = [&, this](std::int64_t) { return noise.Next(c.noise); };
    const auto [placedAt, liftedAt] = RunUntilLifted(10.0, c.hz);
    ASSERT_GE(placedAt, 0.0) << "never tried";
    EXPECT_LT(liftedAt, 0.0) << "tried at " << placedAt << " s and lifted after " << liftedAt - placedAt << " s";
    const Notch* slot = AutoSlotNear(c.hz);
    ASSERT_NE(slot, nullptr);
    EXPECT_EQ(StateOf(slot).phase, AdaptivePhase::Kept);
}

INSTANTIATE_TEST_SUITE_P(BroadOrNarrowMode, AdaptiveNoisyRing,
                         ::testing::Values(NoisyRingCase{"Broad400Hz", 400.0, 20.0, 0.5f},
                                           NoisyRingCase{"Narrow1kHz", 1000.0, 50.0, 0.5f}),
                         [](const auto& info) { return std::string(info.param.name); });

// The peaks Adaptive follows, picked by each instruction set's kernel: exactly the bins the plain
// definition gives, on noise, ties, zeros, overflowing values, and ranges that start below bin 3 or
// end in a register's tail.
class AdaptivePeakPaths : public ::testing::TestWithParam<SimdPath>
{
};

TEST_P(AdaptivePeakPaths, ClearPeaksAreThePlainDefinitionsBins)
{
    RINGSTILL_SKIP_UNLESS_RUNNABLE(GetParam());
    const DspKernels& kernels = KernelsFor(GetParam());
    Noise noise(7);
    std::vector<float> mag(1030);
    for (std::size_t i = 0; i < mag.size(); ++i)
        mag[i] = std::fabs(noise.Next(1.0f)) * (i % 37 == 5 ? 50.0f : 1.0f);
    // A maximum at bin 2 that bin 0, its bin three down, keeps from standing clear.
    const float start[] = {3.0f, 0.5f, 9.0f, 0.5f, 0.5f, 0.5f};
    std::copy(std::begin(start), std::end(start), mag.begin());
    mag[100] = mag[101] = 40.0f; // a flat top: its first bin only
    std::fill(mag.begin() + 300, mag.begin() + 340, 0.0f);
    mag[320] = 1.0f;
    mag[500] = std::numeric_limits<float>::infinity();
    mag[700] = 3e38f; // four times it overflows
    const float ratio = 4.0f;
    for (const auto& [lo, hi] : {std::pair{2, 1026}, std::pair{3, 1000}, std::pair{2, 2}, std::pair{5, 12}, std::pair{999, 1026}})
    {
        std::vector<int> expected;
        for (int k = lo; k <= hi; ++k)
        {
            const float m = mag[static_cast<std::size_t>(k)];
            if (m > mag[static_cast<std::size_t>(k - 1)] && m >= mag[static_cast<std::size_t>(k + 1)] && m > 0.0f
                && m > ratio * mag[static_cast<std::size_t>(std::max(0, k - 3))] && m > ratio * mag[static_cast<std::size_t>(k + 3)])
                expected.push_back(k);
        }
        std::vector<int> bins(mag.size());
        bins.resize(static_cast<std::size_t>(kernels.findClearPeaks(mag.data(), lo, hi, ratio, bins.data())));
        EXPECT_EQ(bins, expected) << "bins " << lo << " to " << hi;
    }
}

INSTANTIATE_TEST_SUITE_P(EveryPath, AdaptivePeakPaths, ::testing::ValuesIn(kAllSimdPaths), test::PathTestName);

TEST_F(AdaptiveLoop, NeverAllocatesWhileCatchingTryingAndLifting)
{
    CloseLoop(+6.0);
    source = [this](std::int64_t i) {
        const double t = static_cast<double>(i) / kRate;
        return noise.Next(1e-3f) + 0.05 * std::sin(2.0 * M_PI * 3100.0 * t) * (t > 0.5 ? 1.0 : 0.0);
    };
    Run(0.2); // settle outside the count
    test::AllocationScope scope;
    Run(3.0);
    EXPECT_EQ(scope.Count(), 0u);
    EXPECT_NE(AutoSlotNear(kHowlHz), nullptr);
}

TEST_F(AdaptiveLoop, HoldFreezesPlacingAndLifting)
{
    bank.hold = true;
    CloseLoop(+3.0);
    Run(1.5);
    EXPECT_EQ(AutoSlotNear(kHowlHz), nullptr) << "placed while held";
}

TEST_F(AdaptiveLoop, SwitchingModesKeepsManualNotchesAndAdoptsAutomaticOnes)
{
    Notch& manual = bank.slots[3];
    manual.active = true;
    manual.manual = true;
    manual.frequency = 500.0f;
    manual.targetDepth = -12.0f;
    bank.autoCatch = AutoCatchMode::Classic;
    CloseLoop(+3.0);
    Run(1.5);
    const Notch* slot = AutoSlotNear(kHowlHz, 40.0);
    ASSERT_NE(slot, nullptr) << "the classic detector should catch this howl";
    bank.autoCatch = AutoCatchMode::Adaptive;
    Run(0.5);
    EXPECT_TRUE(bank.slots[3].active && bank.slots[3].manual);
    EXPECT_FLOAT_EQ(bank.slots[3].targetDepth, -12.0f);
    ASSERT_NE(AutoSlotNear(kHowlHz, 40.0), nullptr);
    EXPECT_EQ(StateOf(AutoSlotNear(kHowlHz, 40.0)).phase, AdaptivePhase::Kept);
}

} // namespace
