#include "effect/CleanupStage.h"
#include "tests/support/AllocCounter.h"
#include "tests/support/TestSignals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <thread>
#include <vector>

using namespace ringstill;

namespace {

// Runs a whole signal through one channel of a stage in blocks.
std::vector<float> RunBlocks(CleanupStage& stage, std::vector<float> x, int block, int channel = 0)
{
    for (std::size_t start = 0; start < x.size(); start += static_cast<std::size_t>(block))
    {
        const int n = static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(block), x.size() - start));
        stage.ProcessNoNoise(x.data() + start, n, channel);
    }
    return x;
}

// What the denoiser makes of a 48 kHz signal frame by frame, scaled as the
// stage scales it, from a fresh state. Trailing samples short of a frame are dropped.
std::vector<float> DenoisedStream(const std::vector<float>& x)
{
    DenoiserPtr state(CreateDenoiser());
    std::vector<float> out;
    float frame[kDenoiserFrameSize];
    for (std::size_t start = 0; start + kDenoiserFrameSize <= x.size(); start += kDenoiserFrameSize)
    {
        for (int i = 0; i < kDenoiserFrameSize; ++i)
            frame[i] = x[start + static_cast<std::size_t>(i)] * kDenoiserScale;
        EXPECT_TRUE(DenoiseFrame(state.get(), frame, frame));
        for (float v : frame)
            out.push_back(v * kDenoiserInverseScale);
    }
    return out;
}

std::vector<float> NoisySpeech(std::size_t n, double fs)
{
    std::vector<float> x = test::SpeechLike(n, fs, 0.08);
    const std::vector<float> noise = test::WhiteNoise(n, 0.02, 11);
    for (std::size_t i = 0; i < n; ++i)
        x[i] += noise[i];
    return x;
}

class NoNoise : public ::testing::Test
{
protected:
    CleanupStage stage;

    void Configure(double fs, int channels = 1, int maxBlock = 512, float amount = 1.0f)
    {
        stage.ConfigureNoNoise(fs, channels, maxBlock);
        stage.SetNoNoiseAmount(amount);
    }
};

} // namespace

// --- latency --------------------------------------------------------------

TEST_F(NoNoise, LatencyIsTheQueuedFramePlus32AndTheDenoisersOwnFrame)
{
    const struct { double fs; int buffer, total; } cases[] = {
        {48000.0, 512, 512 + 480}, {44100.0, 473, 473 + 441}, {96000.0, 992, 992 + 960}};
    for (const auto& c : cases)
    {
        Configure(c.fs);
        EXPECT_EQ(stage.bufferLatency, c.buffer) << c.fs;
        EXPECT_EQ(stage.NoNoiseLatency(), c.total) << c.fs;
    }
}

TEST_F(NoNoise, FallsBackTo48kHzForARateOfZeroOrLess)
{
    Configure(0.0);
    EXPECT_EQ(stage.sampleRate, 48000.0);
    EXPECT_EQ(stage.bufferLatency, 512);
    Configure(-44100.0, 0);
    EXPECT_EQ(stage.sampleRate, 48000.0);
    EXPECT_EQ(stage.channels.size(), 1u); // always at least one channel
}

TEST_F(NoNoise, ReportedLatencyIsWhereTheWetSignalReallyArrives)
{
    for (double fs : {48000.0, 44100.0})
    {
        Configure(fs);
        const std::vector<float> x = test::SpeechLike(static_cast<std::size_t>(fs * 2.0), fs, 0.1);
        const std::vector<float> y = RunBlocks(stage, x, 256);
        EXPECT_NEAR(test::BestLag(x, y, 1400, static_cast<std::size_t>(fs * 0.5)), stage.NoNoiseLatency(), 2) << fs;
    }
}

// --- output at 48 kHz -------------------------------------------------------

TEST_F(NoNoise, AtFullAmountFromAResetTheOutputIsZerosThenTheDenoisedStream)
{
    Configure(48000.0);
    const std::vector<float> x = NoisySpeech(48000, 48000.0);
    const std::vector<float> y = RunBlocks(stage, x, 256);
    const std::vector<float> wet = DenoisedStream(x);
    for (int i = 0; i < 512; ++i)
        ASSERT_EQ(y[static_cast<std::size_t>(i)], 0.0f) << i;
    for (std::size_t i = 512; i < y.size(); ++i)
        ASSERT_EQ(y[i], wet[i - 512]) << i;
}

TEST_F(NoNoise, AtHalfAmountTheOutputIsTheMeanOfWetAndDelayedDry)
{
    Configure(48000.0, 1, 512, 0.5f);
    const std::vector<float> x = NoisySpeech(48000, 48000.0);
    const std::vector<float> y = RunBlocks(stage, x, 512);
    const std::vector<float> wet = DenoisedStream(x);
    const std::size_t latency = static_cast<std::size_t>(stage.NoNoiseLatency());
    for (std::size_t i = 0; i < y.size(); ++i)
    {
        const float w = i < 512 ? 0.0f : wet[i - 512];
        const float d = i < latency ? 0.0f : x[i - latency];
        ASSERT_EQ(y[i], 0.5f * d + 0.5f * w) << i;
    }
}

TEST_F(NoNoise, SmallBlocksGatherAFrameBeforeTheFirstDenoiserCall)
{
    Configure(48000.0, 1, 64);
    std::vector<float> x = NoisySpeech(4800, 48000.0);
    for (int b = 0; b < 7; ++b)
        stage.ProcessNoNoise(x.data() + b * 64, 64, 0);
    EXPECT_EQ(stage.channels[0].framesDenoised, 0u); // 448 samples so far
    stage.ProcessNoNoise(x.data() + 7 * 64, 64, 0);
    EXPECT_EQ(stage.channels[0].framesDenoised, 1u);
}

TEST_F(NoNoise, BlockSizeDoesNotChangeTheOutput)
{
    const std::vector<float> x = NoisySpeech(9600, 48000.0);
    Configure(48000.0, 1, 4800);
    const std::vector<float> large = RunBlocks(stage, x, 4800);
    Configure(48000.0, 1, 64);
    const std::vector<float> small = RunBlocks(stage, x, 64);
    Configure(48000.0, 1, 64);
    const std::vector<float> odd = RunBlocks(stage, x, 37);
    EXPECT_EQ(small, large);
    EXPECT_EQ(odd, large);
}

// --- other rates ----------------------------------------------------------

TEST_F(NoNoise, At44kHzTheDenoiserStillGetsFramesOf480At48kHz)
{
    Configure(44100.0, 1, 441);
    const std::vector<float> x = NoisySpeech(44100, 44100.0);
    (void)RunBlocks(stage, x, 441);
    const NoNoiseChannel& channel = stage.channels[0];
    // One second at 44.1 kHz is 48000 samples at 48 kHz: 100 frames, less
    // the part of the last one still pending.
    EXPECT_LT(channel.pending.size(), 480u);
    const double resampled = static_cast<double>(channel.framesDenoised) * 480.0 + static_cast<double>(channel.pending.size());
    EXPECT_NEAR(resampled, 48000.0, 2.0);
    EXPECT_GE(channel.framesDenoised, 99u);
}

TEST(LinearResampler, AtEqualRatesReturnsTheStreamUnchanged)
{
    LinearResampler resampler;
    resampler.Configure(1.0, 64);
    std::vector<float> in(200), out;
    for (std::size_t i = 0; i < in.size(); ++i)
        in[i] = static_cast<float>(i + 1);
    resampler.Process(in.data(), 64, out);
    resampler.Process(in.data() + 64, 136, out);
    // One sample stays held for the next call.
    ASSERT_EQ(out.size(), 199u);
    for (std::size_t i = 0; i < out.size(); ++i)
        EXPECT_EQ(out[i], in[i]);
}

TEST(LinearResampler, InterpolatesBetweenNeighboursAcrossCalls)
{
    LinearResampler resampler;
    resampler.Configure(0.5, 8); // doubling the rate
    const float ramp1[] = {2.0f, 4.0f};
    const float ramp2[] = {6.0f};
    std::vector<float> out;
    resampler.Process(ramp1, 2, out);
    resampler.Process(ramp2, 1, out);
    resampler.Process(nullptr, 0, out); // nothing happens
    const std::vector<float> expected = {2.0f, 3.0f, 4.0f, 5.0f};
    EXPECT_EQ(out, expected);
}

// --- amount ----------------------------------------------------------------

TEST_F(NoNoise, AtOrBelowATenthOfAPercentNothingIsTouched)
{
    Configure(48000.0, 1, 512, 0.001f);
    const std::vector<float> x = NoisySpeech(4800, 48000.0);
    EXPECT_EQ(RunBlocks(stage, x, 512), x);
    EXPECT_EQ(stage.channels[0].framesDenoised, 0u);
    stage.SetNoNoiseAmount(-3.0f);
    EXPECT_EQ(RunBlocks(stage, x, 512), x);
    stage.SetNoNoiseAmount(0.0011f);
    EXPECT_NE(RunBlocks(stage, x, 512), x);
}

TEST_F(NoNoise, ResumingContinuesFromTheHeldQueues)
{
    const std::vector<float> x = NoisySpeech(9600, 48000.0);
    const std::vector<float> first(x.begin(), x.begin() + 4800), second(x.begin() + 4800, x.end());

    Configure(48000.0);
    const std::vector<float> continuous = RunBlocks(stage, x, 480);

    Configure(48000.0);
    std::vector<float> resumed = RunBlocks(stage, first, 480);
    stage.SetNoNoiseAmount(0.0f);
    const std::vector<float> gap = test::WhiteNoise(2000, 0.3, 5);
    EXPECT_EQ(RunBlocks(stage, gap, 480), gap); // off: passes untouched
    stage.SetNoNoiseAmount(1.0f);
    const std::vector<float> after = RunBlocks(stage, second, 480);
    resumed.insert(resumed.end(), after.begin(), after.end());
    EXPECT_EQ(resumed, continuous);
}

// --- channels and failures --------------------------------------------------

TEST_F(NoNoise, AChannelOutsideTheListIsLeftUntouched)
{
    Configure(48000.0, 2);
    const std::vector<float> x = NoisySpeech(2048, 48000.0);
    EXPECT_EQ(RunBlocks(stage, x, 512, 2), x);
    EXPECT_EQ(RunBlocks(stage, x, 512, -1), x);
}

TEST_F(NoNoise, ChannelsAreIndependent)
{
    Configure(48000.0, 2);
    const std::vector<float> speech = NoisySpeech(9600, 48000.0);
    const std::vector<float> noise = test::PinkNoise(9600, 0.1, 3);
    std::vector<float> left = speech, right = noise;
    for (std::size_t start = 0; start < speech.size(); start += 240)
    {
        stage.ProcessNoNoise(left.data() + start, 240, 0);
        stage.ProcessNoNoise(right.data() + start, 240, 1);
    }
    Configure(48000.0, 1);
    EXPECT_EQ(RunBlocks(stage, speech, 240), left);
    Configure(48000.0, 1);
    EXPECT_EQ(RunBlocks(stage, noise, 240), right);
}

TEST_F(NoNoise, AChannelWithoutADenoiserPassesItsBlocksThrough)
{
    {
        DenoiserAllocationFailureForTesting outOfMemory;
        Configure(48000.0, 2);
    }
    EXPECT_TRUE(stage.channels[0].failed);
    const std::vector<float> x = NoisySpeech(4800, 48000.0);
    EXPECT_EQ(RunBlocks(stage, x, 512, 0), x);
    EXPECT_EQ(RunBlocks(stage, x, 512, 1), x);

    // The next reset tries again.
    Configure(48000.0, 2);
    EXPECT_FALSE(stage.channels[0].failed);
    EXPECT_NE(RunBlocks(stage, x, 512, 0), x);
}

TEST_F(NoNoise, AfterADenoiserTrapTheChannelPassesThroughUntilTheNextReset)
{
    Configure(48000.0, 2);
    const std::vector<float> x = NoisySpeech(9600, 48000.0);
    std::vector<float> left = x, right = x;
    for (std::size_t start = 0; start < 4800; start += 480)
    {
        stage.ProcessNoNoise(left.data() + start, 480, 0);
        stage.ProcessNoNoise(right.data() + start, 480, 1);
    }
    BreakDenoiserForTesting(stage.channels[0].denoiser.get());
    for (std::size_t start = 4800; start < x.size(); start += 480)
    {
        stage.ProcessNoNoise(left.data() + start, 480, 0);
        stage.ProcessNoNoise(right.data() + start, 480, 1);
    }
    EXPECT_TRUE(stage.channels[0].failed);
    // From the block whose frame trapped on, channel 0 is the plain input.
    for (std::size_t i = 4800; i < x.size(); ++i)
        ASSERT_EQ(left[i], x[i]) << i;
    // The other channel goes on as if nothing had happened.
    Configure(48000.0, 1);
    EXPECT_EQ(RunBlocks(stage, x, 480), right);

    Configure(48000.0, 2);
    EXPECT_FALSE(stage.channels[0].failed);
}

TEST_F(NoNoise, NonFiniteInputCountsAsSilenceAndDoesNotPoisonTheChannel)
{
    std::vector<float> clean = NoisySpeech(19200, 48000.0);
    std::vector<float> dirty = clean;
    for (std::size_t i = 3000; i < 3100; ++i)
    {
        clean[i] = 0.0f;
        dirty[i] = (i % 3 == 0) ? std::numeric_limits<float>::quiet_NaN()
                 : (i % 3 == 1) ? std::numeric_limits<float>::infinity()
                                : -std::numeric_limits<float>::infinity();
    }
    for (float amount : {1.0f, 0.5f})
    {
        Configure(48000.0, 1, 512, amount);
        const std::vector<float> expected = RunBlocks(stage, clean, 512);
        Configure(48000.0, 1, 512, amount);
        const std::vector<float> y = RunBlocks(stage, dirty, 512);
        EXPECT_FALSE(stage.channels[0].failed);
        EXPECT_EQ(y, expected) << amount;
        EXPECT_TRUE(std::all_of(y.begin(), y.end(), [](float v) { return std::isfinite(v); }));
    }
}

// --- real-time safety --------------------------------------------------------

TEST_F(NoNoise, ProcessingAllocatesNothingAtAnyAmount)
{
    for (double fs : {48000.0, 44100.0, 96000.0})
    {
        Configure(fs, 2, 512);
        const std::size_t denoiserBytes = DenoiserMemoryBytes(stage.channels[0].denoiser.get());
        std::vector<float> x = NoisySpeech(512, fs);
        for (float amount : {0.0f, 0.5f, 1.0f})
        {
            stage.SetNoNoiseAmount(amount);
            test::AllocationScope scope;
            for (int block = 0; block < 60; ++block)
                for (int channel = 0; channel < 2; ++channel)
                    stage.ProcessNoNoise(x.data(), block % 3 == 0 ? 512 : 100, channel);
            EXPECT_EQ(scope.Count(), 0u) << fs << " " << amount;
        }
        // Nor does the denoiser's own memory grow.
        EXPECT_EQ(DenoiserMemoryBytes(stage.channels[0].denoiser.get()), denoiserBytes);
        EXPECT_EQ(DenoiserRefusedGrowth(stage.channels[0].denoiser.get()), 0u);
        EXPECT_GT(stage.channels[0].framesDenoised, 0u);
    }
}

TEST_F(NoNoise, ALongerBlockThanAnnouncedGrowsTheBuffersAndKeepsTheStream)
{
    // The same partition (a short block, then long ones) through a stage
    // sized for the long blocks and through one that must grow on the way.
    const std::vector<float> x = NoisySpeech(48000, 44100.0);
    auto run = [&x](CleanupStage& s, std::size_t* allocationsAfterGrowth) {
        std::vector<float> y = x;
        s.ProcessNoNoise(y.data(), 256, 0);
        s.ProcessNoNoise(y.data() + 256, 4096, 0);
        test::AllocationScope scope;
        for (std::size_t start = 256 + 4096; start < y.size(); start += 4096)
            s.ProcessNoNoise(y.data() + start, static_cast<int>(std::min<std::size_t>(4096, y.size() - start)), 0);
        *allocationsAfterGrowth = scope.Count();
        return y;
    };
    std::size_t allocations = 0;
    Configure(44100.0, 1, 4096);
    const std::vector<float> expected = run(stage, &allocations);
    Configure(44100.0, 1, 256);
    const std::vector<float> y = run(stage, &allocations);
    EXPECT_EQ(stage.maxBlockSize, 4096);
    EXPECT_EQ(allocations, 0u);
    EXPECT_EQ(y, expected);
}

// --- the denoiser really denoises ---------------------------------------------

namespace {

// Energy change in dB of a signal through No-Noise at full amount, measured
// from the second second on (the denoiser adapts to a steady noise first),
// with the output aligned by the latency.
double EnergyChangeDb(const std::vector<float>& x, double fs)
{
    CleanupStage stage;
    stage.ConfigureNoNoise(fs, 1, 512);
    stage.SetNoNoiseAmount(1.0f);
    const std::vector<float> y = RunBlocks(stage, x, 512);
    const std::size_t latency = static_cast<std::size_t>(stage.NoNoiseLatency());
    const std::size_t from = static_cast<std::size_t>(fs);
    const double in = test::Energy(x, from, x.size() - latency);
    const double out = test::Energy(y, from + latency, y.size());
    return 10.0 * std::log10(out / in);
}

constexpr double kHissRms = 0.0005;       // -66 dBFS: a quiet channel's background hiss
constexpr double kLoudNoiseRms = 0.03;    // -30 dBFS
constexpr double kSpeechRms = 0.1;        // -20 dBFS

} // namespace

TEST(NoNoiseDenoising, SteadyNoiseLosesAtLeastSixDecibelsWhileSpeechKeepsItsEnergy)
{
    for (double fs : {48000.0, 44100.0})
    {
        const std::size_t n = static_cast<std::size_t>(fs * 4.0);
        const double white = EnergyChangeDb(test::WhiteNoise(n, kHissRms, 21), fs);
        const double pink = EnergyChangeDb(test::PinkNoise(n, kHissRms, 22), fs);
        const double loudPink = EnergyChangeDb(test::PinkNoise(n, kLoudNoiseRms, 23), fs);
        const double loudWhite = EnergyChangeDb(test::WhiteNoise(n, kLoudNoiseRms, 24), fs);
        const double speech = EnergyChangeDb(test::SpeechLike(n, fs, kSpeechRms), fs);
        std::printf("No-Noise at 100 %% and %.0f Hz: white -66 dBFS %+.1f dB, pink -66 dBFS %+.1f dB, "
                    "pink -30 dBFS %+.1f dB, white -30 dBFS %+.1f dB (not asserted), speech-like -20 dBFS %+.2f dB\n",
                    fs, white, pink, loudPink, loudWhite, speech);
        EXPECT_LE(white, -6.0) << fs;
        EXPECT_LE(pink, -6.0) << fs;
        EXPECT_LE(loudPink, -6.0) << fs;
        EXPECT_GE(speech, -3.0) << fs; // keeps more than half its energy
    }
}

// --- two instances on two threads ----------------------------------------------

TEST(NoNoiseConcurrency, TwoStagesOnTwoThreadsGiveTheirSingleThreadResults)
{
    const std::vector<float> speech = NoisySpeech(48000, 48000.0);
    const std::vector<float> noise = test::PinkNoise(48000, 0.05, 9);
    auto run = [](const std::vector<float>& x, double fs) {
        CleanupStage stage;
        stage.ConfigureNoNoise(fs, 2, 256);
        stage.SetNoNoiseAmount(0.8f);
        return RunBlocks(stage, x, 256, 1);
    };
    const std::vector<float> expectedA = run(speech, 48000.0);
    const std::vector<float> expectedB = run(noise, 44100.0);
    std::vector<float> a, b;
    std::thread threadA([&] { a = run(speech, 48000.0); });
    std::thread threadB([&] { b = run(noise, 44100.0); });
    threadA.join();
    threadB.join();
    EXPECT_EQ(a, expectedA);
    EXPECT_EQ(b, expectedB);
}
