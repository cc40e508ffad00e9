#include "effect/FeedbackDetector.h"
#include "effect/NotchBank.h"
#include "tests/support/ReferenceDsp.h"
#include "tests/support/TestSignals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <string>
#include <vector>

using namespace ringstill;
using ringstill::test::Noise;
using ringstill::test::Tone;

namespace {

// Runs realistic input (tones over a noise floor) through a bank, frame by
// frame: blocks are one hop long, so every block after the first N samples
// ends with exactly one analysis frame.
class Detector : public ::testing::Test
{
protected:
    void SetUp() override { Configure(48000.0); }

    void Configure(double rate)
    {
        ConfigureBank(bank, rate);
        bank.autoCutDb = -24.0f;
        bank.autoQ = 12.0f;
        clock = 0;
        frames = 0;
    }

    void AddTone(double frequency, double amplitude)
    {
        tones.push_back(Tone{frequency, [amplitude](std::int64_t) { return amplitude; }});
    }

    // Amplitude that grows by `perFrame` each hop, from `start` at the first sample.
    void AddGrowingTone(double frequency, double start, double perFrame)
    {
        const double hop = bank.hopSize;
        tones.push_back(Tone{frequency, [=](std::int64_t i) { return start * std::pow(perFrame, i / hop); }});
    }

    void RunFrames(int count)
    {
        for (int f = 0; f < count; ++f)
        {
            const int n = frames == 0 ? bank.analysisSize - bank.analysisFill : bank.hopSize;
            block.resize(static_cast<std::size_t>(n));
            for (int i = 0; i < n; ++i)
            {
                float v = silent ? 0.0f : noise.Next(noiseRms);
                for (const Tone& t : tones)
                    v += t.At(clock + i, bank.sampleRate);
                block[static_cast<std::size_t>(i)] = v;
            }
            clock += n;
            ProcessBankBlock(bank, block.data(), n);
            ++frames;
        }
    }

    // Runs until a notch sits near `frequency` or `limit` frames have run;
    // returns the frame count at placement, or -1.
    int FramesUntilNotchNear(double frequency, int limit)
    {
        for (int f = 0; f < limit; ++f)
        {
            RunFrames(1);
            if (SlotNear(frequency) != nullptr)
                return frames;
        }
        return -1;
    }

    const Notch* SlotNear(double frequency, double within = 10.0) const
    {
        for (const Notch& s : bank.slots)
            if (s.active && std::fabs(s.frequency - frequency) < within)
                return &s;
        return nullptr;
    }

    const FeedbackTrack* TrackNear(double frequency, double within = 20.0) const
    {
        for (const FeedbackTrack& t : bank.tracks)
            if (t.active && std::fabs(t.frequency - frequency) < within)
                return &t;
        return nullptr;
    }

    // Largest magnitude over the band mean in the last frame's spectrum.
    float PeakOverMean() const
    {
        const SearchBand band = SearchBandFor(bank.analysisSize, bank.sampleRate);
        float sum = 0.0f, peak = 0.0f;
        for (int k = band.lo; k <= band.hi; ++k)
        {
            sum += bank.spectrum[static_cast<std::size_t>(k)];
            peak = std::max(peak, bank.spectrum[static_cast<std::size_t>(k)]);
        }
        return peak / (sum / static_cast<float>(band.hi - band.lo + 1));
    }

    Notch& Place(int index, float frequency, bool manual, std::int32_t age = 0)
    {
        Notch& s = bank.slots[static_cast<std::size_t>(index)];
        s.active = true;
        s.manual = manual;
        s.frequency = frequency;
        s.depth = s.targetDepth = -18.0f;
        s.age = age;
        return s;
    }

    void FillAnalysisBuffer(const std::vector<Tone>& with)
    {
        for (int i = 0; i < bank.analysisSize; ++i)
        {
            float v = noise.Next(noiseRms);
            for (const Tone& t : with)
                v += t.At(clock + i, bank.sampleRate);
            bank.analysisBuffer[static_cast<std::size_t>(i)] = v;
        }
        clock += bank.analysisSize;
    }

    NotchBank bank;
    Noise noise;
    std::vector<Tone> tones;
    std::vector<float> block;
    float noiseRms = 0.01f;
    bool silent = false;
    std::int64_t clock = 0;
    int frames = 0;
};

} // namespace

// ---- Decision constants ---------------------------------------------------

TEST(DetectorConstants, FollowSensitivityBetweenItsEnds)
{
    const DetectorThresholds none = ThresholdsFor(0.0f, 23.4375f);
    EXPECT_EQ(none.candidateFactor, 28.0f);
    EXPECT_EQ(none.strongFactor, 120.0f);
    EXPECT_EQ(none.riseLength, 5);
    EXPECT_EQ(none.riseFactor, 1.8f);

    const DetectorThresholds half = ThresholdsFor(0.5f, 23.4375f);
    EXPECT_EQ(half.candidateFactor, 20.0f);
    EXPECT_EQ(half.strongFactor, 87.5f);
    EXPECT_EQ(half.riseLength, 4);
    EXPECT_NEAR(half.riseFactor, 1.575f, 1e-6f);

    const DetectorThresholds full = ThresholdsFor(1.0f, 23.4375f);
    EXPECT_EQ(full.candidateFactor, 12.0f);
    EXPECT_EQ(full.strongFactor, 55.0f);
    EXPECT_EQ(full.riseLength, 3);
    EXPECT_EQ(full.riseFactor, 1.8f - 0.44999992847442627f);
    EXPECT_NEAR(full.riseFactor, 1.35f, 1e-6f);
}

TEST(DetectorConstants, MatchDistanceIsOneAndAHalfBinsButAtLeast30Hz)
{
    EXPECT_NEAR(ThresholdsFor(0.5f, 48000.0f / 2048.0f).matchDistanceHz, 35.16f, 0.01f);
    EXPECT_NEAR(ThresholdsFor(0.5f, 44100.0f / 2048.0f).matchDistanceHz, 32.30f, 0.01f);
    EXPECT_EQ(ThresholdsFor(0.5f, 15.625f).matchDistanceHz, 30.0f);
}

TEST(DetectorConstants, SearchBandSpans150HzTo12kHz)
{
    EXPECT_EQ(SearchBandFor(2048, 48000.0).lo, 6);
    EXPECT_EQ(SearchBandFor(2048, 48000.0).hi, 512);
    EXPECT_EQ(SearchBandFor(2048, 44100.0).lo, 6);
    EXPECT_EQ(SearchBandFor(2048, 44100.0).hi, 557);
    EXPECT_EQ(SearchBandFor(1024, 16000.0).hi, 1024 / 2 - 3);
    EXPECT_EQ(SearchBandFor(1024, 1000.0).lo, 153);
}

TEST(DetectorConstants, AnalysisSizeRoundsToTheNearestPowerOfTwoWithinLimits)
{
    EXPECT_EQ(AnalysisSizeFor(48000.0), 2048);
    EXPECT_EQ(AnalysisSizeFor(44100.0), 2048);
    EXPECT_EQ(AnalysisSizeFor(16000.0), 1024);
    EXPECT_EQ(AnalysisSizeFor(192000.0), 8192);
    EXPECT_EQ(AnalysisSizeFor(768000.0), 16384);
    EXPECT_EQ(AnalysisSizeFor(10.0), 1024);
    // c = 1536 sits as close to 1024 as to 2048: the smaller power wins.
    EXPECT_EQ(AnalysisSizeFor(1536 * 23.4), 1024);
    EXPECT_EQ(AnalysisSizeFor(1537 * 23.4), 2048);
}

// ---- Placing notches ------------------------------------------------------

TEST_F(Detector, SteadyStrongToneIsNotchedOnItsEighthHit)
{
    AddTone(2500.0, 0.2);
    RunFrames(7);
    EXPECT_GT(PeakOverMean(), ThresholdsFor(bank.sensitivity, bank.binWidthHz).strongFactor);
    EXPECT_EQ(CountActiveNotches(bank), 0);
    ASSERT_NE(TrackNear(2500.0), nullptr);
    EXPECT_EQ(TrackNear(2500.0)->hits, 7);

    RunFrames(1);
    ASSERT_EQ(CountActiveNotches(bank), 1);
    const Notch& s = bank.slots[0];
    EXPECT_EQ(KindOf(s), NotchKind::Auto);
    EXPECT_NEAR(s.frequency, 2500.0f, 0.25f * bank.binWidthHz);
    EXPECT_EQ(s.targetDepth, -24.0f);
    EXPECT_EQ(s.q, 12.0f);
    EXPECT_EQ(s.age, 0);
    EXPECT_EQ(TrackNear(2500.0), nullptr); // judged tracks end
}

TEST_F(Detector, RisingToneIsNotchedThoughItIsNeverStrong)
{
    AddGrowingTone(1500.0, 0.015, 1.15); // +1.2 dB per frame
    const float strong = ThresholdsFor(bank.sensitivity, bank.binWidthHz).strongFactor;
    int placedAt = -1;
    for (int f = 1; f <= 12 && placedAt < 0; ++f)
    {
        RunFrames(1);
        ASSERT_LT(PeakOverMean(), strong) << "frame " << f;
        if (SlotNear(1500.0) != nullptr)
            placedAt = f;
    }
    EXPECT_EQ(placedAt, 5); // born in frame 1, four rising matches after it
    EXPECT_NEAR(SlotNear(1500.0)->frequency, 1500.0f, 0.25f * bank.binWidthHz);
}

TEST_F(Detector, SteadyToneThatIsNotStrongIsFollowedButLeftAlone)
{
    AddTone(1500.0, 0.02);
    int longest = 0;
    std::vector<int> dropped;
    for (int f = 0; f < 250; ++f)
    {
        RunFrames(1);
        if (const FeedbackTrack* t = TrackNear(1500.0))
            longest = std::max(longest, static_cast<int>(t->hits));
        else
            dropped.push_back(frames);
    }
    EXPECT_EQ(CountActiveNotches(bank), 0);
    // Dropped at its 81st hit, then followed afresh from the next frame.
    EXPECT_EQ(longest, 80);
    EXPECT_EQ(dropped, (std::vector<int>{81, 162, 243}));
}

TEST_F(Detector, MoreSensitiveSettingsStartTracksOnWeakerPeaks)
{
    AddTone(1800.0, 0.0085);
    bank.sensitivity = 1.0f;
    RunFrames(3);
    const float ratio = PeakOverMean();
    ASSERT_GT(ratio, 13.0f);
    ASSERT_LT(ratio, 26.0f);
    EXPECT_NE(TrackNear(1800.0), nullptr);

    bank.sensitivity = 0.0f;
    RunFrames(6); // the old track runs out of matches
    EXPECT_EQ(TrackNear(1800.0), nullptr);
    EXPECT_EQ(CountActiveNotches(bank), 0);
}

TEST_F(Detector, NeverPlacesASecondNotchWithinTwiceTheMatchDistance)
{
    Notch& existing = Place(0, 1000.0f, false, 50);
    AddTone(1060.0, 0.2);
    for (int f = 0; f < 30; ++f)
    {
        RunFrames(1);
        ASSERT_EQ(existing.age, 0) << "the tone keeps the nearby notch alive";
        ASSERT_EQ(TrackNear(1060.0), nullptr) << "and never feeds a track";
    }
    EXPECT_EQ(CountActiveNotches(bank), 1);
    EXPECT_EQ(existing.frequency, 1000.0f); // never moved
    EXPECT_EQ(existing.targetDepth, -18.0f);

    tones.clear();
    AddTone(1100.0, 0.2);
    EXPECT_GT(FramesUntilNotchNear(1100.0, 20), 0);
    EXPECT_EQ(CountActiveNotches(bank), 2);
}

TEST_F(Detector, FullBankHandsTheAutomaticSlotLongestUnseenToANewTone)
{
    for (int i = 0; i < kMaxNotches; ++i)
        Place(i, 3000.0f + 250.0f * i, false, 10);
    bank.slots[6].age = 400;
    bank.slots[13].age = 400; // a tie: the lower index goes
    AddTone(1000.0, 0.2);
    EXPECT_EQ(FramesUntilNotchNear(1000.0, 20), 8);
    const Notch& taken = bank.slots[6];
    EXPECT_NEAR(taken.frequency, 1000.0f, 6.0f);
    EXPECT_EQ(taken.targetDepth, -24.0f);
    EXPECT_EQ(taken.q, 12.0f);
    // It moves from its present cut, not from zero: one ramp step from -18 to -24.
    EXPECT_NEAR(taken.depth, -21.6f, 1e-4f);
    EXPECT_EQ(bank.slots[13].frequency, 3000.0f + 250.0f * 13);
    EXPECT_EQ(CountActiveNotches(bank), kMaxNotches);
}

TEST_F(Detector, TwentyManualNotchesLeaveNoRoomForAnAutomaticOne)
{
    for (int i = 0; i < kMaxNotches; ++i)
        Place(i, 3000.0f + 250.0f * i, true, 1000);
    AddTone(1000.0, 0.2);
    EXPECT_EQ(FramesUntilNotchNear(1000.0, 40), -1);
    for (int i = 0; i < kMaxNotches; ++i)
    {
        EXPECT_EQ(bank.slots[static_cast<std::size_t>(i)].frequency, 3000.0f + 250.0f * i);
        EXPECT_TRUE(bank.slots[static_cast<std::size_t>(i)].manual);
    }
}

TEST_F(Detector, PeaksOutsideTheSearchBandAreNeverTracked)
{
    AddTone(100.0, 0.2);
    AddTone(12600.0, 0.2);
    RunFrames(40);
    EXPECT_EQ(TrackNear(100.0, 30.0), nullptr);
    EXPECT_EQ(TrackNear(12600.0, 30.0), nullptr);
    EXPECT_EQ(CountActiveNotches(bank), 0);
}

TEST_F(Detector, SearchBandAt44kHzEndsJustBelow12kHz)
{
    Configure(44100.0);
    AddTone(12200.0, 0.2);
    AddTone(11500.0, 0.2);
    RunFrames(20);
    EXPECT_NE(SlotNear(11500.0), nullptr);
    EXPECT_EQ(SlotNear(12200.0, 50.0), nullptr);
    EXPECT_EQ(CountActiveNotches(bank), 1);
}

TEST_F(Detector, TrackEndsAfterFiveFramesWithoutAMatch)
{
    FillAnalysisBuffer({Tone{2000.0, [](std::int64_t) { return 0.02; }}});
    AnalyseFrame(bank);
    ASSERT_NE(TrackNear(2000.0), nullptr);
    for (int miss = 1; miss <= 4; ++miss)
    {
        FillAnalysisBuffer({});
        AnalyseFrame(bank);
        ASSERT_NE(TrackNear(2000.0), nullptr) << "miss " << miss;
        EXPECT_EQ(TrackNear(2000.0)->misses, miss);
    }
    FillAnalysisBuffer({});
    AnalyseFrame(bank);
    EXPECT_EQ(TrackNear(2000.0), nullptr);
}

TEST_F(Detector, IgnoresNewPeaksWhileEveryTrackIsInUse)
{
    for (int i = 0; i < kMaxTracks; ++i)
    {
        FeedbackTrack& t = bank.tracks[static_cast<std::size_t>(i)];
        t.active = true;
        t.frequency = 5000.0f + 100.0f * i;
        t.hits = 1;
    }
    FillAnalysisBuffer({Tone{1000.0, [](std::int64_t) { return 0.2; }}});
    AnalyseFrame(bank);
    EXPECT_EQ(TrackNear(1000.0), nullptr);
    EXPECT_EQ(bank.tracks[0].frequency, 5000.0f);
}

// ---- Hold, silence and release --------------------------------------------

TEST_F(Detector, HoldFollowsTonesButNeitherPlacesNorReleases)
{
    bank.hold = true;
    Notch& old = Place(0, 5000.0f, false, 10000);
    AddTone(1000.0, 0.2);
    bool tracked = false;
    for (int f = 0; f < 40; ++f)
    {
        RunFrames(1);
        tracked = tracked || TrackNear(1000.0) != nullptr;
    }
    EXPECT_TRUE(tracked);
    EXPECT_EQ(SlotNear(1000.0), nullptr);
    EXPECT_EQ(old.targetDepth, -18.0f);
    EXPECT_GT(old.age, bank.releaseFrames);

    bank.hold = false;
    RunFrames(1);
    EXPECT_EQ(old.targetDepth, 0.0f);
    EXPECT_GT(FramesUntilNotchNear(1000.0, 10), 0);
}

TEST_F(Detector, DigitalSilenceFreezesAgesUntilSoundReturns)
{
    Notch& s = Place(0, 5000.0f, false, bank.releaseFrames);
    silent = true;
    RunFrames(1000); // more than five seconds
    EXPECT_EQ(s.age, bank.releaseFrames);
    EXPECT_EQ(s.targetDepth, -18.0f);

    silent = false;
    RunFrames(1);
    EXPECT_EQ(s.age, bank.releaseFrames + 1);
    EXPECT_EQ(s.targetDepth, 0.0f);
}

TEST_F(Detector, AutomaticNotchIsReleasedThreeSecondsAfterItsToneWasLastSeen)
{
    Notch& s = Place(0, 4000.0f, false, 0);
    Notch& manual = Place(1, 6000.0f, true, 0);
    RunFrames(bank.releaseFrames); // noise only: 562 frames, three seconds
    EXPECT_EQ(s.targetDepth, -18.0f);
    RunFrames(1);
    EXPECT_EQ(s.targetDepth, 0.0f);
    EXPECT_EQ(manual.targetDepth, -18.0f); // manual notches stay
    RunFrames(15);
    EXPECT_FALSE(s.active);
    EXPECT_TRUE(manual.active);
}

TEST_F(Detector, HowlThatStopsLosesItsNotchAboutThreeSecondsLater)
{
    const std::int64_t stop = 48000;
    tones.push_back(Tone{3200.0, [stop](std::int64_t i) { return i < stop ? 0.3 : 0.0; }});
    ASSERT_GT(FramesUntilNotchNear(3200.0, 20), 0);
    const Notch* s = SlotNear(3200.0);
    while (s->targetDepth != 0.0f && frames < 2000)
        RunFrames(1);
    const double releasedAfter = static_cast<double>(clock - stop) / bank.sampleRate;
    EXPECT_GT(releasedAfter, 3.0);
    EXPECT_LT(releasedAfter, 3.1);
}

// ---- Bad input ------------------------------------------------------------

TEST_F(Detector, NonFiniteSamplesNeverPlaceANotch)
{
    // A steady tone that is followed but not strong. A gap of digital zeros in
    // it makes its level climb back like feedback and earns a notch ...
    auto run = [this](float gapValue) {
        Configure(48000.0);
        noise = Noise(7);
        tones.clear();
        AddTone(1500.0, 0.02);
        RunFrames(30);
        std::vector<float> gap(1024, gapValue);
        ProcessBankBlock(bank, gap.data(), 1024);
        EXPECT_TRUE(std::all_of(gap.begin(), gap.end(), [](float v) { return std::isfinite(v); }));
        clock += 1024;
        frames = 1; // the next block is a hop again
        RunFrames(200);
        return CountActiveNotches(bank);
    };
    EXPECT_EQ(run(0.0f), 1);
    // ... while the same gap of bad samples is forgotten, not mistaken for a tone.
    EXPECT_EQ(run(std::nanf("")), 0);
    EXPECT_EQ(run(INFINITY), 0);
}

// ---- The fast analysis against the first scalar code, bit for bit ----------

namespace {

using ringstill::test::ReferenceFeedDetector;
using ringstill::test::SameDetectorState;
using ringstill::test::SameFloats;

struct PathAndRate
{
    SimdPath path;
    double rate;
};

void PrintTo(const PathAndRate& p, std::ostream* os)
{
    *os << SimdPathName(p.path) << " at " << p.rate << " Hz";
}

std::string PathAndRateName(const ::testing::TestParamInfo<PathAndRate>& info)
{
    return std::string(SimdPathName(info.param.path)) + "_" + std::to_string(static_cast<int>(info.param.rate));
}

std::vector<PathAndRate> EveryPathAndRate()
{
    std::vector<PathAndRate> all;
    for (SimdPath path : kAllSimdPaths)
        for (double rate : {44100.0, 48000.0, 88200.0, 96000.0, 192000.0})
            all.push_back({path, rate});
    return all;
}

// Block lengths around every edge the feeding has: one sample, a hop, a frame.
std::vector<int> EdgeBlockSizes(const NotchBank& bank)
{
    const int hop = bank.hopSize, size = bank.analysisSize;
    return {1, 2, hop - 1, hop, hop + 1, 3, size - 1, size, size + 1, 64, 512, 4096, 127, 7 * hop};
}

// Three and a half seconds of noise with tones that grow, hold, stop and come
// back, then stretches a real input can bring: silence, negative zeros,
// subnormal noise, levels whose spectra overflow, and samples that are not
// numbers. Settings change along the way.
class DetectorSource
{
public:
    explicit DetectorSource(double rate) : rate(rate) {}

    float Sample(std::int64_t i)
    {
        const double t = static_cast<double>(i) / rate;
        const int stretch = static_cast<int>(t / 0.25);
        float v = noise.Next(0.01f);
        auto tone = [&](double hz, double level) {
            return static_cast<float>(level * std::sin(2.0 * M_PI * hz * static_cast<double>(i) / rate));
        };
        const double growth = std::pow(1.04, std::fmod(t, 0.25) * 187.5);
        if (stretch % 4 != 3)
            for (int k = 0; k < 3; ++k)
                v += tone(400.0 + 3100.0 * k + 230.0 * stretch, 0.02 * growth);
        v += tone(2500.0, stretch < 6 ? 0.08 : 0.0);
        v += tone(640.0 + 23.0 * stretch, 0.05);
        switch (stretch)
        {
        case 8: return 0.0f;
        case 9: return -0.0f;
        case 10: return v * 1e-38f;
        case 11: return v * 3e37f;
        case 12: return (i % 997 == 0) ? std::numeric_limits<float>::quiet_NaN()
                                       : (i % 1409 == 0 ? -std::numeric_limits<float>::infinity() : v);
        default: return v;
        }
    }

    static void Settings(NotchBank& bank, int block)
    {
        bank.sensitivity = static_cast<float>(block % 5) * 0.25f;
        bank.hold = block % 23 > 18;
        bank.autoCutDb = -18.0f - static_cast<float>(block % 3);
        bank.autoQ = 20.0f + static_cast<float>(block % 7);
    }

private:
    double rate;
    Noise noise;
};

class DetectorPaths : public ::testing::TestWithParam<PathAndRate>
{
};

} // namespace

TEST_P(DetectorPaths, EveryFrameMatchesTheScalarCodeAtEveryBlockSize)
{
    RINGSTILL_SKIP_UNLESS_RUNNABLE(GetParam().path);
    const double rate = GetParam().rate;
    NotchBank fast, reference;
    {
        test::ScopedSimdPath forced(GetParam().path);
        ConfigureBank(fast, rate);
    }
    ConfigureBank(reference, rate);
    // Automatic notches are released within the run.
    fast.releaseFrames = reference.releaseFrames = 60;
    ASSERT_EQ(fast.fft.Size(), fast.analysisSize);
    ASSERT_EQ(fast.fft.Path(), GetParam().path);

    DetectorSource source(rate);
    const std::vector<int> sizes = EdgeBlockSizes(fast);
    std::vector<float> a, b;
    std::int64_t clock = 0;
    int placed = 0, block = 0;
    while (clock < static_cast<std::int64_t>(3.5 * rate))
    {
        const int n = sizes[static_cast<std::size_t>(block) % sizes.size()];
        a.resize(static_cast<std::size_t>(n));
        for (int i = 0; i < n; ++i)
            a[static_cast<std::size_t>(i)] = source.Sample(clock + i);
        b = a;
        DetectorSource::Settings(fast, block);
        DetectorSource::Settings(reference, block);
        const auto before = reference.slots;
        FeedDetector(fast, a.data(), n);
        ReferenceFeedDetector(reference, b.data(), n);
        for (std::size_t i = 0; i < before.size(); ++i)
            placed += reference.slots[i].active && reference.slots[i].age == 0
                      && (!before[i].active || before[i].frequency != reference.slots[i].frequency);
        ASSERT_TRUE(SameFloats(a.data(), b.data(), a.size())) << "block " << block;
        ASSERT_TRUE(SameDetectorState(fast, reference)) << "block " << block << " at sample " << clock;
        UpdateNotchFilters(fast);
        UpdateNotchFilters(reference);
        clock += n;
        ++block;
    }
    // The run did what it is meant to compare: it placed and released notches.
    EXPECT_GT(placed, 10);
    RecordProperty("notchesPlaced", placed);
}

INSTANTIATE_TEST_SUITE_P(EveryPathAndRate, DetectorPaths, ::testing::ValuesIn(EveryPathAndRate()), PathAndRateName);

TEST(DetectorFrame, RunsTheScalarCodeStepsOnAFrameOfOverflowingSpectraAndOnSilence)
{
    // A frame whose band mean is infinite or not a number finds no candidate,
    // ages nothing that silence would not, and leaves both codes in step.
    for (float level : {3e38f, 0.0f, 1e-44f})
    {
        NotchBank fast, reference;
        ConfigureBank(fast, 48000.0);
        ConfigureBank(reference, 48000.0);
        for (NotchBank* bank : {&fast, &reference})
        {
            bank->slots[3].active = true;
            bank->slots[3].frequency = 1000.0f;
            for (int i = 0; i < bank->analysisSize; ++i)
                bank->analysisBuffer[static_cast<std::size_t>(i)] = (i % 2 == 0 ? level : -level);
        }
        AnalyseFrame(fast);
        test::ReferenceAnalyseFrame(reference);
        EXPECT_TRUE(SameDetectorState(fast, reference)) << level;
    }
}
