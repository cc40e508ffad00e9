#include "effect/Ringstill.h"
#include "tests/support/AllocCounter.h"
#include "tests/support/ReferenceDsp.h"
#include "tests/support/TestSignals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using namespace ringstill;
using ringstill::test::Noise;

namespace {

constexpr double kRate = 48000.0;
constexpr int kBlock = 512;

// Records every latency the effect reports, as the binding would pass it on.
class ObservedRingstill : public Ringstill
{
public:
    ObservedRingstill() { reports.reserve(64); }
    void ChangeLatency(int samples) override
    {
        if (reports.size() < reports.capacity())
            reports.push_back(samples);
        Ringstill::ChangeLatency(samples);
    }
    std::vector<int> reports;
};

// The effect set up as a host sets it up, with the host's own double buffers.
struct Host
{
    void Prepare(int channels, double rate, int capacity, int bufferFrames = 8192)
    {
        fx.SetSampleRate(rate);
        fx.SetBlockCapacity(capacity);
        fx.CreateLatencyDelay();
        in.assign(2, std::vector<double>(static_cast<std::size_t>(bufferFrames), 0.0));
        out.assign(2, std::vector<double>(static_cast<std::size_t>(bufferFrames), 0.0));
        for (int c = 0; c < 2; ++c)
        {
            if (c < channels)
            {
                fx.ConnectChannel(iplug::kInput, c, in[static_cast<std::size_t>(c)].data());
                fx.ConnectChannel(iplug::kOutput, c, out[static_cast<std::size_t>(c)].data());
            }
            else
            {
                fx.DisconnectChannel(iplug::kInput, c);
                fx.DisconnectChannel(iplug::kOutput, c);
            }
        }
        fx.ResetDsp();
        fx.reports.clear();
    }

    void Set(int index, double value)
    {
        iplug::IParam* p = fx.GetParam(index);
        if (p == nullptr)
            std::abort(); // every index used is valid
        p->StoreValue(value);
    }

    void Process(int n) { fx.ProcessAudioBlock(fx.InputPointers(), fx.OutputPointers(), n); }

    // Fills input channel c with noise of this rms (limited to +-0.9) and returns it.
    void FillNoise(int c, int n, float rms)
    {
        for (int i = 0; i < n; ++i)
            in[static_cast<std::size_t>(c)][static_cast<std::size_t>(i)] =
                std::clamp(static_cast<double>(noise.Next(rms)) + 1e-9, -0.9, 0.9);
    }

    void FillAll(int n, float rms)
    {
        for (int c = 0; c < 2; ++c)
            FillNoise(c, n, rms);
    }

    // Output c equals input c rounded to single precision and back.
    bool IsFloatRoundTrip(int c, int n) const
    {
        for (int i = 0; i < n; ++i)
        {
            const double x = in[static_cast<std::size_t>(c)][static_cast<std::size_t>(i)];
            if (out[static_cast<std::size_t>(c)][static_cast<std::size_t>(i)] != static_cast<double>(static_cast<float>(x)))
                return false;
        }
        return true;
    }

    bool AllFinite(int c, int n) const
    {
        const auto& y = out[static_cast<std::size_t>(c)];
        return std::all_of(y.begin(), y.begin() + n, [](double v) { return std::isfinite(v); });
    }

    std::vector<NotchView> PublishedViews()
    {
        std::vector<float> spectrum;
        float binWidth = 0.0f;
        std::vector<NotchView> views;
        ReadEditorView(fx.Feed(), spectrum, binWidth, views);
        return views;
    }

    ObservedRingstill fx;
    std::vector<std::vector<double>> in, out;
    Noise noise;
};

class RingstillChain : public ::testing::Test, public Host
{
protected:
    void SetUp() override { Prepare(2, kRate, kBlock); }
};

// ---- Transparency ----------------------------------------------------------

TEST_F(RingstillChain, WhenIdleTheOutputIsTheInputRoundedToSinglePrecision)
{
    for (int block = 0; block < 40; ++block)
    {
        FillAll(kBlock, 0.2f);
        Process(kBlock);
        ASSERT_TRUE(IsFloatRoundTrip(0, kBlock) && IsFloatRoundTrip(1, kBlock)) << "block " << block;
    }
    EXPECT_EQ(fx.Feed().activeNotchCount.load(), 0);
    EXPECT_EQ(fx.GetLatency(), 0);
    EXPECT_TRUE(fx.reports.empty());
}

TEST_F(RingstillChain, PeaksAreTheBlockMaximaOfChannelZero)
{
    FillAll(kBlock, 0.05f);
    in[0][100] = -0.75;
    in[1][200] = 0.875; // channel 1 is not metered
    Process(kBlock);
    EXPECT_FLOAT_EQ(fx.Feed().inputPeak.load(), 0.75f);
    EXPECT_FLOAT_EQ(fx.Feed().outputPeak.load(), 0.75f);

    Set(kGain, -6.0);
    Process(kBlock);
    EXPECT_FLOAT_EQ(fx.Feed().inputPeak.load(), 0.75f);
    EXPECT_NEAR(fx.Feed().outputPeak.load(), 0.75f * std::pow(10.0f, -6.0f / 20.0f), 1e-6);
}

// ---- Latency ---------------------------------------------------------------

TEST_F(RingstillChain, LatencyFollowsTheCleanupControlsBlockByBlock)
{
    FillAll(kBlock, 0.1f);
    Process(kBlock);
    EXPECT_EQ(fx.GetLatency(), 0);

    Set(kNoNoise, 0.2); // 0.002: just above the off threshold
    Process(kBlock);
    EXPECT_EQ(fx.GetLatency(), 992);
    Set(kNoReverb, 0.2);
    Process(kBlock);
    EXPECT_EQ(fx.GetLatency(), 992 + 512);
    EXPECT_EQ(fx.GetLatencyDelay()->Length(), 1504); // the host bypass stays aligned
    Process(kBlock);
    Set(kNoNoise, 0.0);
    Set(kNoReverb, 0.0);
    Process(kBlock);
    EXPECT_EQ(fx.GetLatency(), 0);
    Set(kNoReverb, 50.0);
    Process(kBlock);

    EXPECT_EQ(fx.reports, (std::vector<int>{992, 1504, 0, 512}));
    EXPECT_EQ(fx.ReportedLatency(), 512);
}

TEST_F(RingstillChain, ATenthOfAPercentIsStillOffAndLeavesTheSignalAlone)
{
    Set(kNoNoise, 0.1);
    Set(kNoReverb, 0.1);
    for (int block = 0; block < 10; ++block)
    {
        FillAll(kBlock, 0.2f);
        Process(kBlock);
        ASSERT_TRUE(IsFloatRoundTrip(0, kBlock) && IsFloatRoundTrip(1, kBlock));
    }
    EXPECT_EQ(fx.GetLatency(), 0);
    EXPECT_TRUE(fx.reports.empty());
}

TEST_F(RingstillChain, NoNoiseLatencyIsItsTrueDelayAtEveryRate)
{
    for (double rate : {44100.0, 48000.0, 96000.0})
    {
        Prepare(2, rate, kBlock);
        Set(kNoNoise, 100.0);
        Set(kNoReverb, 0.0);
        Process(kBlock);
        const int noNoise = fx.GetLatency();
        Set(kNoReverb, 100.0);
        Process(kBlock);
        EXPECT_EQ(fx.GetLatency(), noNoise + kNoReverbLatency) << rate;
        EXPECT_EQ(fx.MaxLatency(), noNoise + kNoReverbLatency) << rate;
        EXPECT_GE(fx.GetLatencyDelay()->ReservedLength(), fx.MaxLatency()) << rate;
        if (rate == 44100.0)
            EXPECT_EQ(noNoise, 914);
        else if (rate == 48000.0)
            EXPECT_EQ(noNoise, 992);
        else
            EXPECT_EQ(noNoise, 1952);
    }
}

TEST_F(RingstillChain, NoNoiseOutputIsDelayedByExactlyTheReportedLatency)
{
    // At 1 % the output is nearly all dry signal, which waits exactly the latency.
    // Hold keeps the detector from notching the synthetic voice's steady harmonics.
    Set(kNoNoise, 1.0);
    Set(kHold, 1.0);
    const std::vector<float> speech = test::SpeechLike(48000, kRate, 0.1);
    std::vector<float> x, y;
    for (int start = 0; start + kBlock <= 48000; start += kBlock)
    {
        for (int i = 0; i < kBlock; ++i)
            in[0][static_cast<std::size_t>(i)] = in[1][static_cast<std::size_t>(i)] = speech[static_cast<std::size_t>(start + i)];
        Process(kBlock);
        for (int i = 0; i < kBlock; ++i)
        {
            x.push_back(static_cast<float>(in[0][static_cast<std::size_t>(i)]));
            y.push_back(static_cast<float>(out[0][static_cast<std::size_t>(i)]));
        }
    }
    EXPECT_EQ(fx.Feed().activeNotchCount.load(), 0);
    EXPECT_EQ(test::BestLag(x, y, 2000, 4800), fx.GetLatency());
}

// ---- Bypass ----------------------------------------------------------------

TEST_F(RingstillChain, BypassCopiesExactlyAndReportsNoLatencyAtOnce)
{
    Set(kNoNoise, 50.0);
    Set(kNoReverb, 50.0);
    FillAll(kBlock, 0.2f);
    Process(kBlock);
    ASSERT_EQ(fx.GetLatency(), 1504);

    Set(kBypass, 1.0);
    FillAll(kBlock, 0.2f);
    in[0][7] = 0.1234567890123; // not representable in single precision
    in[0][8] = 3.0;             // beyond the soft clip
    Process(kBlock);
    EXPECT_EQ(fx.GetLatency(), 0);
    EXPECT_EQ(fx.reports.back(), 0);
    EXPECT_EQ(std::memcmp(in[0].data(), out[0].data(), kBlock * sizeof(double)), 0);
    EXPECT_EQ(std::memcmp(in[1].data(), out[1].data(), kBlock * sizeof(double)), 0);
    EXPECT_FLOAT_EQ(fx.Feed().inputPeak.load(), 3.0f);
    EXPECT_FLOAT_EQ(fx.Feed().outputPeak.load(), 3.0f);
    EXPECT_EQ(fx.Feed().activeNotchCount.load(), 0);

    // Switched back, the clean-up latency is reported again at the first block.
    Set(kBypass, 0.0);
    Process(kBlock);
    EXPECT_EQ(fx.GetLatency(), 1504);
}

TEST_F(RingstillChain, BypassTakesNoCommandsAndPublishesNothing)
{
    Set(kBypass, 1.0);
    PushNotchCommand(fx.Feed(), NotchCommandType::Add, 0, 1000.0f, -18.0f, 25.0f);
    Process(kBlock);
    EXPECT_NE(fx.Feed().commands.ElementsAvailable(), 0);
    EXPECT_FALSE(PublishedViews()[0].active);

    // The command waited and is taken in with the first processed block.
    Set(kBypass, 0.0);
    Process(kBlock);
    EXPECT_TRUE(PublishedViews()[0].active);
    EXPECT_EQ(fx.Feed().activeNotchCount.load(), 2);
}

TEST_F(RingstillChain, BypassInPlaceLeavesTheSharedBufferAlone)
{
    fx.ConnectChannel(iplug::kOutput, 0, in[0].data());
    Set(kBypass, 1.0);
    FillAll(kBlock, 0.3f);
    const std::vector<double> before = in[0];
    Process(kBlock);
    EXPECT_EQ(in[0], before);
}

// ---- Notches ---------------------------------------------------------------

TEST_F(RingstillChain, AManualNotchCountsOncePerChannel)
{
    PushNotchCommand(fx.Feed(), NotchCommandType::Add, 0, 1000.0f, -18.0f, 25.0f);
    FillAll(kBlock, 0.1f);
    Process(kBlock);
    EXPECT_EQ(fx.Feed().activeNotchCount.load(), 2);

    Prepare(1, kRate, kBlock);
    PushNotchCommand(fx.Feed(), NotchCommandType::Add, 0, 1000.0f, -18.0f, 25.0f);
    Process(kBlock);
    EXPECT_EQ(fx.Feed().activeNotchCount.load(), 1);
}

TEST_F(RingstillChain, AnEmptyBlockStillRampsDrainsAndPublishes)
{
    FillAll(kBlock, 0.5f);
    Process(kBlock);
    ASSERT_GT(fx.Feed().inputPeak.load(), 0.0f);

    PushNotchCommand(fx.Feed(), NotchCommandType::Add, 0, 1000.0f, -18.0f, 25.0f);
    Process(0);
    EXPECT_EQ(fx.Feed().commands.ElementsAvailable(), 0);
    EXPECT_TRUE(PublishedViews()[0].active);
    EXPECT_EQ(fx.Feed().activeNotchCount.load(), 2);
    EXPECT_EQ(fx.Feed().inputPeak.load(), 0.0f);
    EXPECT_EQ(fx.Feed().outputPeak.load(), 0.0f);

    // The empty block took one ramp step: a 1 kHz tone now loses more than it
    // does through a twin whose notch arrives with the tone.
    Host twin;
    twin.Prepare(2, kRate, kBlock);
    PushNotchCommand(twin.fx.Feed(), NotchCommandType::Add, 0, 1000.0f, -18.0f, 25.0f);
    test::Tone tone{1000.0, [](std::int64_t) { return 0.5; }};
    for (int i = 0; i < kBlock; ++i)
        in[0][static_cast<std::size_t>(i)] = twin.in[0][static_cast<std::size_t>(i)] = tone.At(i, kRate);
    Process(kBlock);
    twin.Process(kBlock);
    std::vector<float> y(kBlock), yTwin(kBlock);
    for (int i = 0; i < kBlock; ++i)
    {
        y[static_cast<std::size_t>(i)] = static_cast<float>(out[0][static_cast<std::size_t>(i)]);
        yTwin[static_cast<std::size_t>(i)] = static_cast<float>(twin.out[0][static_cast<std::size_t>(i)]);
    }
    // Depth after two steps -15.1 dB, after one -10.8 dB; compare the settled second half.
    const double a = test::ToneAmplitude(y.data() + 256, 256, 1000.0, kRate);
    const double b = test::ToneAmplitude(yTwin.data() + 256, 256, 1000.0, kRate);
    EXPECT_LT(20.0 * std::log10(a / b), -2.0);
}

TEST_F(RingstillChain, AHowlOnTheLeftIsNotchedOnlyOnTheLeft)
{
    test::Tone howl{2500.0, [](std::int64_t) { return 0.3; }};
    Noise leftNoise(11), rightNoise(12);
    for (int block = 0; block < 94; ++block) // one second
    {
        for (int i = 0; i < kBlock; ++i)
        {
            const std::int64_t t = static_cast<std::int64_t>(block) * kBlock + i;
            in[0][static_cast<std::size_t>(i)] = howl.At(t, kRate) + leftNoise.Next(0.02f);
            in[1][static_cast<std::size_t>(i)] = rightNoise.Next(0.02f);
        }
        Process(kBlock);
        // The right channel never gets a filter: it stays the plain round trip.
        ASSERT_TRUE(IsFloatRoundTrip(1, kBlock)) << "block " << block;
    }
    EXPECT_EQ(fx.Feed().activeNotchCount.load(), 1);
    const std::vector<NotchView> views = PublishedViews();
    const auto notch = std::find_if(views.begin(), views.end(), [](const NotchView& v) { return v.active != 0; });
    ASSERT_NE(notch, views.end());
    EXPECT_EQ(notch->manual, 0);
    EXPECT_NEAR(notch->frequency, 2500.0f, 30.0f);
    EXPECT_FLOAT_EQ(notch->targetDepth, -18.0f);
}

TEST_F(RingstillChain, BlockSettingsReachEveryBank)
{
    // Hold on: a howl is followed but never notched, on either channel.
    Set(kHold, 1.0);
    test::Tone howl{2500.0, [](std::int64_t) { return 0.3; }};
    for (int block = 0; block < 94; ++block)
    {
        for (int i = 0; i < kBlock; ++i)
            in[0][static_cast<std::size_t>(i)] = in[1][static_cast<std::size_t>(i)] =
                howl.At(static_cast<std::int64_t>(block) * kBlock + i, kRate);
        Process(kBlock);
    }
    EXPECT_EQ(fx.Feed().activeNotchCount.load(), 0);

    // Hold off with a deeper Auto Cut and a narrower width: both channels take them.
    Set(kHold, 0.0);
    Set(kAutoCut, -30.0);
    Set(kAutoWidth, 40.0);
    for (int block = 0; block < 94; ++block)
    {
        for (int i = 0; i < kBlock; ++i)
            in[0][static_cast<std::size_t>(i)] = in[1][static_cast<std::size_t>(i)] =
                howl.At(static_cast<std::int64_t>(block) * kBlock + i, kRate);
        Process(kBlock);
    }
    EXPECT_EQ(fx.Feed().activeNotchCount.load(), 2);
    const std::vector<NotchView> views = PublishedViews();
    const auto notch = std::find_if(views.begin(), views.end(), [](const NotchView& v) { return v.active != 0; });
    ASSERT_NE(notch, views.end());
    EXPECT_FLOAT_EQ(notch->targetDepth, -30.0f);
    EXPECT_FLOAT_EQ(notch->q, 40.0f);
    EXPECT_EQ(out[0], out[1]);
}

// ---- Reset -----------------------------------------------------------------

TEST_F(RingstillChain, ResetClearsNotchesLatencyAndWaitingCommands)
{
    PushNotchCommand(fx.Feed(), NotchCommandType::Add, 0, 1000.0f, -18.0f, 25.0f);
    Set(kNoNoise, 50.0);
    FillAll(kBlock, 0.1f);
    Process(kBlock);
    ASSERT_EQ(fx.Feed().activeNotchCount.load(), 2);
    ASSERT_EQ(fx.GetLatency(), 992);

    PushNotchCommand(fx.Feed(), NotchCommandType::Add, 0, 2000.0f, -18.0f, 25.0f);
    fx.ResetDsp();
    EXPECT_EQ(fx.GetLatency(), 0);
    EXPECT_EQ(fx.ReportedLatency(), 0);
    EXPECT_EQ(fx.Feed().activeNotchCount.load(), 0);
    EXPECT_EQ(fx.Feed().shownSelection.load(), -2);
    for (const NotchView& view : PublishedViews())
        EXPECT_FALSE(view.active);

    // The next block has no notch (the waiting Add was discarded) and reports
    // the clean-up latency again; the parameters kept their values.
    Process(kBlock);
    EXPECT_EQ(fx.Feed().activeNotchCount.load(), 0);
    EXPECT_EQ(fx.GetLatency(), 992);
    EXPECT_EQ(fx.GetParam(kNoNoise)->CurrentValue(), 50.0);
}

TEST_F(RingstillChain, ResetSizesTheViewsForTheNewRate)
{
    Prepare(2, 96000.0, kBlock);
    std::vector<float> spectrum;
    float binWidth = 0.0f;
    std::vector<NotchView> views;
    ReadEditorView(fx.Feed(), spectrum, binWidth, views);
    EXPECT_EQ(views.size(), static_cast<std::size_t>(kMaxNotches));
    EXPECT_EQ(spectrum.size() * 2, static_cast<std::size_t>(AnalysisSizeFor(96000.0)));
    EXPECT_FLOAT_EQ(binWidth, 96000.0f / static_cast<float>(AnalysisSizeFor(96000.0)));
    EXPECT_EQ(fx.EffectSampleRate(), 96000.0);
}

TEST_F(RingstillChain, ARateThatIsNotPositiveFallsBackTo48kHz)
{
    Prepare(2, 0.0, kBlock);
    EXPECT_EQ(fx.EffectSampleRate(), 48000.0);
    Set(kNoNoise, 100.0);
    FillAll(kBlock, 0.1f);
    Process(kBlock);
    EXPECT_EQ(fx.GetLatency(), 992);
    EXPECT_TRUE(AllFinite(0, kBlock));
}

// ---- Block lengths ---------------------------------------------------------

TEST_F(RingstillChain, ALongerBlockThanPreparedIsProcessedInFull)
{
    constexpr int kLong = 4096;
    FillAll(kLong, 0.2f);
    std::fill(out[0].begin(), out[0].end(), -7.0);
    std::fill(out[1].begin(), out[1].end(), -7.0);
    Process(kLong);
    EXPECT_TRUE(IsFloatRoundTrip(0, kLong));
    EXPECT_TRUE(IsFloatRoundTrip(1, kLong));

    // With both clean-up stages on, every sample is written and the stream goes on.
    Set(kNoNoise, 100.0);
    Set(kNoReverb, 100.0);
    const std::vector<float> speech = test::SpeechLike(kLong * 4, kRate, 0.1);
    double energy = 0.0;
    for (int block = 0; block < 4; ++block)
    {
        for (int c = 0; c < 2; ++c)
            for (int i = 0; i < kLong; ++i)
                in[static_cast<std::size_t>(c)][static_cast<std::size_t>(i)] =
                    speech[static_cast<std::size_t>(block * kLong + i)];
        std::fill(out[0].begin(), out[0].end(), -7.0);
        Process(kLong);
        for (int i = 0; i < kLong; ++i)
        {
            const double y = out[0][static_cast<std::size_t>(i)];
            ASSERT_TRUE(std::isfinite(y) && y > -2.0) << "block " << block << " sample " << i;
            if (block == 3)
                energy += y * y;
        }
    }
    EXPECT_GT(energy, 1.0); // speech at rms 0.1 over 4096 samples carries about 41
    // Normal blocks continue after the long ones.
    Process(kBlock);
    EXPECT_TRUE(AllFinite(0, kBlock));
}

TEST_F(RingstillChain, OutputsBeyondTheConnectedInputsAreNotWritten)
{
    Prepare(1, kRate, kBlock);
    double sentinel[kBlock];
    std::fill(sentinel, sentinel + kBlock, -7.0);
    double* outputs[2] = {out[0].data(), sentinel};
    FillAll(kBlock, 0.2f);
    fx.ProcessAudioBlock(fx.InputPointers(), outputs, kBlock);
    EXPECT_TRUE(IsFloatRoundTrip(0, kBlock));
    EXPECT_TRUE(std::all_of(sentinel, sentinel + kBlock, [](double v) { return v == -7.0; }));
}

// ---- Bad input -------------------------------------------------------------

TEST_F(RingstillChain, NonFiniteInputNeverReachesTheOutputOrTheMeters)
{
    Set(kNoNoise, 100.0);
    Set(kNoReverb, 100.0);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (int block = 0; block < 200; ++block)
    {
        FillAll(kBlock, 0.1f);
        if (block >= 20 && block < 24)
            for (int c = 0; c < 2; ++c)
            {
                auto& x = in[static_cast<std::size_t>(c)];
                x[3] = nan;
                x[50] = inf;
                x[51] = -inf;
                x[52] = 1e300; // beyond single precision
                for (int i = 100; i < 300; ++i)
                    x[static_cast<std::size_t>(i)] = (i % 2) ? nan : -inf;
            }
        Process(kBlock);
        ASSERT_TRUE(AllFinite(0, kBlock) && AllFinite(1, kBlock)) << "block " << block;
        ASSERT_TRUE(std::isfinite(fx.Feed().inputPeak.load()) && std::isfinite(fx.Feed().outputPeak.load()));
    }
    // No notch came of the bad samples, and the chain still carries the signal.
    EXPECT_EQ(fx.Feed().activeNotchCount.load(), 0);
    EXPECT_GT(fx.Feed().outputPeak.load(), 0.01f);
}

TEST_F(RingstillChain, NonFiniteInputInBypassIsCopiedButNeverMetered)
{
    Set(kBypass, 1.0);
    FillAll(kBlock, 0.1f);
    in[0][10] = std::numeric_limits<double>::quiet_NaN();
    in[0][11] = std::numeric_limits<double>::infinity();
    in[0][12] = 1e300;
    in[0][13] = -0.5;
    Process(kBlock);
    EXPECT_TRUE(std::isnan(out[0][10]));
    EXPECT_EQ(out[0][12], 1e300);
    EXPECT_TRUE(std::isfinite(fx.Feed().inputPeak.load()));
    EXPECT_GE(fx.Feed().inputPeak.load(), 0.5f);
    EXPECT_EQ(fx.Feed().inputPeak.load(), fx.Feed().outputPeak.load());
}

// ---- Real-time safety ------------------------------------------------------

TEST_F(RingstillChain, ProcessingAllocatesNothingInAnyConfiguration)
{
    test::Tone howl{2500.0, [](std::int64_t t) { return t < 48000 ? 0.3 : 0.0; }};
    std::int64_t t = 0;
    auto run = [&](int blocks, int n) {
        for (int b = 0; b < blocks; ++b)
        {
            for (int i = 0; i < n; ++i, ++t)
                in[0][static_cast<std::size_t>(i)] = in[1][static_cast<std::size_t>(i)] =
                    howl.At(t, kRate) + noise.Next(0.02f);
            Process(n);
        }
    };
    for (int i = 0; i < 20; ++i)
        PushNotchCommand(fx.Feed(), NotchCommandType::Add, 0, 300.0f + 200.0f * static_cast<float>(i), -12.0f, 10.0f);

    test::AllocationScope scope;
    run(1, kBlock);                 // the first block already takes the notches
    const int notches = fx.Feed().activeNotchCount.load();
    PushNotchCommand(fx.Feed(), NotchCommandType::Remove, 3);
    run(40, kBlock);                // notches, a howl, a freed slot caught by the detector
    for (double noNoise : {50.0, 100.0, 0.0})
    {
        Set(kNoNoise, noNoise);     // 0 -> 992 -> 992 -> 0
        run(10, 480);
    }
    Set(kNoReverb, 30.0);           // 512
    run(10, kBlock);
    Set(kNoNoise, 100.0);           // 1504
    run(10, 100);
    Set(kBypass, 1.0);              // 0 at once
    run(5, kBlock);
    Set(kBypass, 0.0);              // 1504 again
    run(5, kBlock);
    Process(0);
    run(150, kBlock);               // the howl's notch is released
    const std::size_t allocations = scope.Count();

    EXPECT_EQ(allocations, 0u);
    EXPECT_EQ(notches, 40);
    EXPECT_EQ(fx.reports, (std::vector<int>{992, 0, 512, 1504, 0, 1504}));
}

// The editor may hold the view lock while the host resets for a new rate: the
// reset waits for it, so the first publication still needs no allocation.
TEST(RingstillConcurrency, ResetWaitsForTheEditorsViewLockAndShapesTheViews)
{
    Ringstill fx;
    std::vector<double> buffer(kBlock, 0.0);
    fx.SetSampleRate(48000.0);
    fx.SetBlockCapacity(kBlock);
    fx.ConnectChannel(iplug::kInput, 0, buffer.data());
    fx.ConnectChannel(iplug::kOutput, 0, buffer.data());
    fx.DisconnectChannel(iplug::kInput, 1);
    fx.ResetDsp();

    fx.SetSampleRate(96000.0);
    ASSERT_EQ(fx.Feed().viewLock.exchange(1, std::memory_order_acquire), 0); // the editor is copying
    std::atomic<bool> done{false};
    std::thread host([&] {
        fx.ResetDsp();
        done.store(true);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(done.load());
    fx.Feed().viewLock.store(0, std::memory_order_release);
    host.join();

    EXPECT_EQ(fx.Feed().spectrumView.size() * 2, static_cast<std::size_t>(AnalysisSizeFor(96000.0)));
    test::AllocationScope scope;
    fx.ProcessAudioBlock(fx.InputPointers(), fx.OutputPointers(), kBlock);
    EXPECT_EQ(scope.Count(), 0u);
}

} // namespace

// ---- Every instruction-set path gives the same output ----------------------

namespace {

struct PathAndChannels
{
    SimdPath path;
    int channels;
};

void PrintTo(const PathAndChannels& p, std::ostream* os)
{
    *os << SimdPathName(p.path) << ", " << p.channels << " channel(s)";
}

class RingstillPaths : public ::testing::TestWithParam<PathAndChannels>
{
protected:
    // Two seconds of howls over noise through the whole chain with No-Reverb
    // on, in blocks of changing length; returns every output sample.
    static std::vector<double> Render(SimdPath path, int channels)
    {
        auto host = std::make_unique<Host>();
        {
            test::ScopedSimdPath forced(path);
            host->Prepare(channels, kRate, 1024);
        }
        EXPECT_EQ(host->fx.Feed().activeNotchCount.load(), 0);
        host->Set(kNoReverb, 100.0);
        host->Set(kSensitivity, 80.0);
        const int sizes[] = {512, 1, 255, 1024, 256, 257, 31};
        std::vector<double> rendered;
        std::int64_t t = 0;
        for (int block = 0; t < 2 * static_cast<std::int64_t>(kRate); ++block)
        {
            const int n = sizes[block % 7];
            for (int c = 0; c < channels; ++c)
                for (int i = 0; i < n; ++i)
                {
                    const double phase = 2.0 * M_PI * (1800.0 + 900.0 * c) * static_cast<double>(t + i) / kRate;
                    host->in[static_cast<std::size_t>(c)][static_cast<std::size_t>(i)] =
                        0.05 * std::pow(1.5, static_cast<double>(t + i) / kRate) * std::sin(phase)
                        + host->noise.Next(0.02f);
                }
            host->Process(n);
            for (int c = 0; c < channels; ++c)
                rendered.insert(rendered.end(), host->out[static_cast<std::size_t>(c)].begin(),
                                host->out[static_cast<std::size_t>(c)].begin() + n);
            t += n;
        }
        EXPECT_GE(host->fx.Feed().activeNotchCount.load(), channels) << "the howls were caught";
        return rendered;
    }
};

} // namespace

TEST_P(RingstillPaths, OutputIsBitForBitTheScalarPathsInMonoAndStereo)
{
    RINGSTILL_SKIP_UNLESS_RUNNABLE(GetParam().path);
    const std::vector<double> expected = Render(SimdPath::Scalar, GetParam().channels);
    const std::vector<double> actual = Render(GetParam().path, GetParam().channels);
    ASSERT_EQ(actual.size(), expected.size());
    EXPECT_EQ(0, std::memcmp(actual.data(), expected.data(), actual.size() * sizeof(double)));
}

INSTANTIATE_TEST_SUITE_P(EveryPath, RingstillPaths,
                         ::testing::Values(PathAndChannels{SimdPath::Sse2, 1}, PathAndChannels{SimdPath::Sse2, 2},
                                           PathAndChannels{SimdPath::Avx2, 1}, PathAndChannels{SimdPath::Avx2, 2},
                                           PathAndChannels{SimdPath::Avx512, 1}, PathAndChannels{SimdPath::Avx512, 2}),
                         [](const ::testing::TestParamInfo<PathAndChannels>& info) {
                             return std::string(SimdPathName(info.param.path)) + "_"
                                    + std::to_string(info.param.channels);
                         });
