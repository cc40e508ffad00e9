#include "effect/NoReverb.h"
#include "tests/support/AllocCounter.h"
#include "tests/support/ReferenceDsp.h"
#include "tests/support/TestSignals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <vector>

using namespace ringstill;

namespace {

class NoReverb : public ::testing::Test
{
protected:
    // The channels are 24 kB each; keep them off the stack.
    std::unique_ptr<NoReverbChannel> channel = std::make_unique<NoReverbChannel>();

    std::unique_ptr<NoReverbChannel> Fresh(float amount) const
    {
        auto c = std::make_unique<NoReverbChannel>();
        c->Prepare(48000.0);
        c->amount = amount;
        return c;
    }

    static std::vector<float> Run(NoReverbChannel& c, const std::vector<float>& x)
    {
        std::vector<float> y(x.size());
        for (std::size_t i = 0; i < x.size(); ++i)
            y[i] = c.ProcessSample(x[i]);
        return y;
    }

    static std::vector<float> Tone(std::size_t n, double hz, float level)
    {
        std::vector<float> x(n);
        for (std::size_t i = 0; i < n; ++i)
            x[i] = level * static_cast<float>(std::sin(2.0 * M_PI * hz * static_cast<double>(i) / 48000.0));
        return x;
    }

    // One frame over an input ring holding a single impulse at frame position
    // p (0 = oldest), with every bin's average set to `averageScale` times the
    // impulse's flat magnitude. Returns the frame's gain, read from the
    // accumulator against the ungained value.
    float ImpulseFrameGain(float amount, float averageScale, int p = 300)
    {
        auto c = Fresh(amount);
        c->inputRing[static_cast<std::size_t>(p)] = 1.0f; // write index 0: ring order is frame order
        const float magnitude = c->window[static_cast<std::size_t>(p)];
        c->average.fill(magnitude * averageScale);
        ProcessNoReverbFrame(*c);
        const float ungained = c->window[static_cast<std::size_t>(p)] * c->window[static_cast<std::size_t>(p)] / c->normaliser;
        // The frame's samples 0..127 went to the output ring, the rest moved down by one hop.
        const float value = p < kNoReverbHop ? c->outputRing[static_cast<std::size_t>(p)]
                                             : c->accumulator[static_cast<std::size_t>(p - kNoReverbHop)];
        return value / ungained;
    }
};

} // namespace

// --- preparation ----------------------------------------------------------------

TEST_F(NoReverb, PreparationBuildsTheWindowAndItsOverlapNormaliser)
{
    channel->Prepare(44100.0);
    EXPECT_EQ(channel->window[0], 0.0f);
    EXPECT_NEAR(channel->window[255], 1.0f, 1e-4f);
    EXPECT_NEAR(channel->window[100], channel->window[411], 1e-6f);
    const float sum = channel->window[0] * channel->window[0] + channel->window[128] * channel->window[128] +
                      channel->window[256] * channel->window[256] + channel->window[384] * channel->window[384];
    EXPECT_EQ(channel->normaliser, sum);
    EXPECT_NEAR(channel->normaliser, 1.4969f, 1e-4f);
    EXPECT_EQ(channel->latency, 512);
    EXPECT_EQ(channel->sampleRate, 44100.0);
    channel->Prepare(0.0);
    EXPECT_EQ(channel->sampleRate, 48000.0);
}

// --- timing ------------------------------------------------------------------------

TEST_F(NoReverb, TheFirst127OutputSamplesAreZero)
{
    auto c = Fresh(1.0f);
    const std::vector<float> y = Run(*c, test::WhiteNoise(127, 0.5, 2));
    EXPECT_TRUE(std::all_of(y.begin(), y.end(), [](float v) { return v == 0.0f; }));
    EXPECT_EQ(c->outputCount, 0);
    c->ProcessSample(0.1f);
    EXPECT_EQ(c->outputCount, kNoReverbHop - 1);
}

TEST_F(NoReverb, OutputSampleTIsBuiltFromInputSampleTMinus511)
{
    // With every gain at 1 the frame chain is a pure delay: an impulse comes
    // out 511 samples later and nowhere else, at any position within the hop.
    for (int at : {600, 601, 663, 727, 1000})
    {
        auto c = Fresh(0.0f);
        std::vector<float> x(2000, 0.0f);
        x[static_cast<std::size_t>(at)] = 1.0f;
        const std::vector<float> y = Run(*c, x);
        for (std::size_t t = 0; t < y.size(); ++t)
        {
            if (t == static_cast<std::size_t>(at + 511))
                EXPECT_NEAR(y[t], 1.0f, 0.02f) << at;
            else
                ASSERT_NEAR(y[t], 0.0f, 1e-5f) << at << " " << t;
        }
    }
}

// --- gains ---------------------------------------------------------------------------

TEST_F(NoReverb, ABinAtOrBelowItsAverageGetsTheFloorGain)
{
    EXPECT_NEAR(ImpulseFrameGain(1.0f, 1.0f), 0.25f, 1e-4f);
    EXPECT_NEAR(ImpulseFrameGain(1.0f, 3.0f), 0.25f, 1e-4f);
}

TEST_F(NoReverb, HalfAmountRaisesTheFloorTo0625)
{
    EXPECT_NEAR(ImpulseFrameGain(0.5f, 1.0f), 0.625f, 1e-4f);
}

TEST_F(NoReverb, ABinRisingAboveFourThirdsOfItsAverageGetsMoreThanTheFloor)
{
    // ratio = (mag - avg) / mag
    EXPECT_NEAR(ImpulseFrameGain(1.0f, 1.0f / 1.5f), 1.0f / 3.0f, 1e-4f);
    EXPECT_NEAR(ImpulseFrameGain(1.0f, 0.75f), 0.25f, 1e-4f);
    EXPECT_NEAR(ImpulseFrameGain(1.0f, 0.5f), 0.5f, 1e-4f);
}

TEST_F(NoReverb, AnOnsetFarAboveItsAveragePassesAlmostUnchanged)
{
    EXPECT_NEAR(ImpulseFrameGain(1.0f, 0.0f), 1.0f, 1e-4f);
    EXPECT_NEAR(ImpulseFrameGain(1.0f, 0.02f), 0.98f, 1e-4f);
}

TEST_F(NoReverb, AveragesFollowTheMagnitudeOnlyWhileOn)
{
    auto on = Fresh(1.0f);
    on->inputRing[300] = 1.0f;
    on->average.fill(0.5f);
    ProcessNoReverbFrame(*on);
    EXPECT_FLOAT_EQ(on->average[17], 0.12f * on->window[300] + 0.88f * 0.5f);

    auto off = Fresh(0.0f);
    off->inputRing[300] = 1.0f;
    off->average.fill(0.5f);
    ProcessNoReverbFrame(*off);
    EXPECT_EQ(off->average[17], 0.5f);
}

TEST_F(NoReverb, ASteadyToneSettlesAtTheFloorGain)
{
    const std::vector<float> x = Tone(24000, 1000.0, 0.5f);
    for (float amount : {1.0f, 0.5f})
    {
        auto reference = Fresh(0.0f);
        auto cut = Fresh(amount);
        const std::vector<float> dry = Run(*reference, x);
        const std::vector<float> wet = Run(*cut, x);
        const float floor = 1.0f - (1.0f - kNoReverbFloorGain) * amount;
        // After a few dozen frames every bin sits at its average.
        for (std::size_t t = 12000; t < x.size(); ++t)
            ASSERT_NEAR(wet[t], floor * dry[t], 1e-4f) << amount << " " << t;
    }
}

TEST_F(NoReverb, AToneBurstAfterSilencePassesAtItsStartAndIsCutOnceSteady)
{
    std::vector<float> x(4096, 0.0f);
    const std::vector<float> burst = Tone(20000, 440.0, 0.5f);
    x.insert(x.end(), burst.begin(), burst.end());
    auto reference = Fresh(0.0f);
    auto cut = Fresh(1.0f);
    const std::vector<float> dry = Run(*reference, x);
    const std::vector<float> wet = Run(*cut, x);
    const std::size_t onset = 4096 + 511;
    const double start = test::Energy(wet, onset, onset + 128) / test::Energy(dry, onset, onset + 128);
    const double steady = test::Energy(wet, onset + 12000, onset + 14000) / test::Energy(dry, onset + 12000, onset + 14000);
    EXPECT_GT(start, 0.6);                                  // mostly kept
    EXPECT_NEAR(steady, 0.25 * 0.25, 0.002);                // -12 dB
}

// --- state and input --------------------------------------------------------------------

TEST_F(NoReverb, NonFiniteInputCountsAsSilenceAndDoesNotPoisonTheState)
{
    std::vector<float> clean = test::WhiteNoise(6000, 0.3, 6);
    std::vector<float> dirty = clean;
    for (std::size_t i = 2000; i < 2050; ++i)
    {
        clean[i] = 0.0f;
        dirty[i] = (i % 2) ? std::numeric_limits<float>::quiet_NaN() : -std::numeric_limits<float>::infinity();
    }
    auto a = Fresh(1.0f);
    auto b = Fresh(1.0f);
    const std::vector<float> expected = Run(*a, clean);
    const std::vector<float> y = Run(*b, dirty);
    EXPECT_EQ(y, expected);
    EXPECT_TRUE(std::all_of(b->average.begin(), b->average.end(), [](float v) { return std::isfinite(v); }));
}

TEST_F(NoReverb, ProcessingAllocatesNothingAtAnyAmount)
{
    const std::vector<float> x = test::WhiteNoise(2048, 0.3, 8);
    for (float amount : {0.0f, 0.5f, 1.0f})
    {
        auto c = Fresh(amount);
        test::AllocationScope scope;
        float sum = 0.0f;
        for (float v : x)
            sum += c->ProcessSample(v);
        EXPECT_EQ(scope.Count(), 0u) << amount;
        EXPECT_TRUE(std::isfinite(sum));
    }
}

// ---- The fast frame against the first scalar code, bit for bit -------------

namespace {

using test::ReferenceNoReverbSample;
using test::SameFloats;

::testing::AssertionResult SameChannelState(const NoReverbChannel& a, const NoReverbChannel& b)
{
    if (a.writeIndex != b.writeIndex || a.hopCounter != b.hopCounter || a.readIndex != b.readIndex
        || a.outputWriteIndex != b.outputWriteIndex || a.outputCount != b.outputCount)
        return ::testing::AssertionFailure() << "indices or counters differ";
    if (auto r = SameFloats(a.average.data(), b.average.data(), a.average.size()); !r)
        return r << " (average)";
    if (auto r = SameFloats(a.accumulator.data(), b.accumulator.data(), a.accumulator.size()); !r)
        return r << " (accumulator)";
    if (auto r = SameFloats(a.outputRing.data(), b.outputRing.data(), a.outputRing.size()); !r)
        return r << " (output ring)";
    return SameFloats(a.inputRing.data(), b.inputRing.data(), a.inputRing.size());
}

// Speech-like sound with a reverberant tail, the amount switched on and off,
// then subnormal and non-finite samples, and last levels whose spectra overflow.
float NoReverbSource(std::int64_t i, const std::vector<float>& speech)
{
    const float v = speech[static_cast<std::size_t>(i) % speech.size()];
    const std::int64_t stretch = i / 6000;
    if (stretch == 6)
        return v * 1e-39f;
    if (stretch == 7)
        return i % 101 == 0 ? std::numeric_limits<float>::quiet_NaN() : v;
    if (stretch >= 9)
        return v * 3e38f;
    return v;
}

class NoReverbPaths : public ::testing::TestWithParam<SimdPath>
{
};

} // namespace

TEST_P(NoReverbPaths, BlocksAndSamplesMatchTheScalarCodeAtEveryAmountAndBlockSize)
{
    RINGSTILL_SKIP_UNLESS_RUNNABLE(GetParam());
    auto fast = std::make_unique<NoReverbChannel>();
    auto reference = std::make_unique<NoReverbChannel>();
    {
        test::ScopedSimdPath forced(GetParam());
        fast->Prepare(48000.0);
    }
    reference->Prepare(48000.0);
    ASSERT_EQ(fast->fft.Size(), kNoReverbFrameSize);
    ASSERT_EQ(fast->fft.Path(), GetParam());

    const std::vector<float> speech = test::SpeechLike(9000, 48000.0, 0.2);
    const int sizes[] = {1, 127, 128, 129, 512, 4096, 3, 255, 256, 257, 64};
    const float amounts[] = {1.0f, 0.5f, 0.0f, 0.0005f, 0.3f};
    std::vector<float> a, expected;
    std::int64_t clock = 0;
    for (int block = 0; clock < 60000; ++block)
    {
        const int n = sizes[block % 11];
        fast->amount = reference->amount = amounts[(block / 3) % 5];
        a.resize(static_cast<std::size_t>(n));
        expected.resize(static_cast<std::size_t>(n));
        for (int i = 0; i < n; ++i)
        {
            a[static_cast<std::size_t>(i)] = NoReverbSource(clock + i, speech);
            expected[static_cast<std::size_t>(i)] = ReferenceNoReverbSample(*reference, a[static_cast<std::size_t>(i)]);
        }
        // Both entry points: the block call and the per-sample step.
        if (block % 2 == 0)
            fast->ProcessBlock(a.data(), n);
        else
            for (float& x : a)
                x = fast->ProcessSample(x);
        ASSERT_TRUE(SameFloats(a.data(), expected.data(), a.size())) << "block " << block << " at " << clock;
        ASSERT_TRUE(SameChannelState(*fast, *reference)) << "block " << block;
        clock += n;
    }
    EXPECT_TRUE(std::isnan(fast->average[3]) || std::isinf(fast->average[3])) << "the overflow was reached";
}

INSTANTIATE_TEST_SUITE_P(EveryPath, NoReverbPaths, ::testing::ValuesIn(kAllSimdPaths), test::PathTestName);

TEST_F(NoReverb, BlockProcessingAllocatesNothingAndAnUnpreparedChannelGivesSilence)
{
    auto c = Fresh(1.0f);
    std::vector<float> x = test::WhiteNoise(4096, 0.3, 9);
    test::AllocationScope scope;
    c->ProcessBlock(x.data(), 4096);
    EXPECT_EQ(scope.Count(), 0u);

    // Never prepared (no window yet): silence, exactly as the scalar code gives.
    auto unprepared = std::make_unique<NoReverbChannel>();
    auto reference = std::make_unique<NoReverbChannel>();
    unprepared->amount = reference->amount = 1.0f;
    std::vector<float> y = test::WhiteNoise(1024, 0.3, 10);
    std::vector<float> expected(y.size());
    for (std::size_t i = 0; i < y.size(); ++i)
        expected[i] = ReferenceNoReverbSample(*reference, y[i]);
    unprepared->ProcessBlock(y.data(), 1024);
    EXPECT_TRUE(std::all_of(y.begin(), y.end(), [](float v) { return v == 0.0f; }));
    EXPECT_TRUE(SameFloats(y.data(), expected.data(), y.size()));
    EXPECT_TRUE(SameChannelState(*unprepared, *reference));
}
