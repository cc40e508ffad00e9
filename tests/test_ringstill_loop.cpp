// The closed-loop bench's simulator checked against answers known without it: the partitioned
// convolution equals the direct sum, MSG of a single path is its gain, a pass-through loop is stable
// just below MSG and howls just above, and a plain -6 dB gain module (loaded like any plug-in) adds
// 6 dB of stable gain and colours nothing.
#include "tools/ringstill-loop/Bench.h"
#include "tools/ringstill-loop/Convolver.h"
#include "tools/ringstill-loop/Dsp.h"
#include "tools/ringstill-render/AudioFiles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <numbers>

namespace {

using namespace ringstill::loop;

constexpr double kRate = 48000.0;
constexpr double kSeconds = 6.0;

struct ConvolutionCase
{
    int block;
    int delay;
    int length;
};

class LoopConvolver : public ::testing::TestWithParam<ConvolutionCase>
{
};

TEST_P(LoopConvolver, MatchesDirectConvolutionBlockByBlock)
{
    const ConvolutionCase c = GetParam();
    Noise noise(std::uint64_t(c.length));
    std::vector<double> h(std::size_t(c.length), 0.0);
    for (int i = c.delay; i < c.length; ++i)
        h[std::size_t(i)] = noise.Gaussian() * std::exp(-4.0 * i / c.length);
    std::vector<double> x(std::size_t(3 * c.length + 5 * c.block));
    for (double& v : x)
        v = noise.Gaussian();
    Convolver conv;
    std::string error;
    ASSERT_TRUE(conv.Prepare(h, c.block, error)) << error;
    const std::size_t blocks = x.size() / std::size_t(c.block);
    std::vector<double> y(blocks * std::size_t(c.block));
    for (std::size_t b = 0; b < blocks; ++b)
    {
        conv.Next(y.data() + b * std::size_t(c.block));
        conv.Push(x.data() + b * std::size_t(c.block));
    }
    // The start, and the stretch where the whole response is in play (direct sums cost too much for more).
    double worst = 0.0;
    const std::size_t span = std::min<std::size_t>(y.size() / 2, 3000);
    for (const std::size_t from : {std::size_t(0), y.size() - span})
    {
        const std::vector<double> direct = ConvolveDirect(x, h, from, from + span);
        for (std::size_t n = 0; n < span; ++n)
            worst = std::max(worst, std::abs(y[from + n] - direct[n]));
    }
    EXPECT_LT(worst, 1e-9) << "block " << c.block << ", response " << c.length;
}

INSTANTIATE_TEST_SUITE_P(Responses, LoopConvolver,
                         ::testing::Values(ConvolutionCase {64, 64, 200}, ConvolutionCase {64, 100, 1000},
                                           ConvolutionCase {32, 40, 5000}, ConvolutionCase {128, 130, 20000},
                                           ConvolutionCase {64, 64, 70000}));

TEST(LoopConvolver, RefusesAResponseInsideTheFirstBlock)
{
    std::vector<double> h(500, 0.0);
    h[10] = 1.0;
    Convolver conv;
    std::string error;
    EXPECT_FALSE(conv.Prepare(h, 64, error));
    EXPECT_NE(error.find("first 64 samples"), std::string::npos) << error;
}

TEST(LoopMsg, OfASinglePathIsItsGain)
{
    for (double gain : {0.5, -0.25, 2.0})
    {
        std::vector<double> h(400, 0.0);
        h[123] = gain;
        const MsgResult msg = MaximumStableGain(h, kRate);
        EXPECT_NEAR(msg.msgDb, -20.0 * std::log10(std::abs(gain)), 1e-6) << gain;
    }
}

TEST(LoopMsg, OfAMeasuredResponseSurvivesItsResampling)
{
    RoomSpec room = BuiltInRooms()[2];
    const RoomResponse original = MakeRoomResponse(room, 44100.0);
    const std::string path = (std::filesystem::temp_directory_path() / "ringstill-loop-test-ir.wav").string();
    std::vector<float> samples(original.taps.begin(), original.taps.end());
    ringstill::render::AudioWriter writer;
    std::string error;
    ASSERT_TRUE(writer.Create(path, 1, 44100, SF_FORMAT_FLOAT, error) && writer.Write(samples.data(), long(samples.size()), error)
                && writer.Commit(error))
        << error;
    RoomResponse loaded;
    ASSERT_TRUE(LoadRoomResponse(path, kRate, 64, loaded, error)) << error;
    std::filesystem::remove(path);
    EXPECT_NEAR(MaximumStableGain(loaded.taps, kRate).msgDb, MaximumStableGain(original.taps, 44100.0).msgDb, 0.05);
    EXPECT_NEAR(loaded.delaySamples, original.delaySamples * kRate / 44100.0, 8.0);
}

// The synthetic rooms have the reverberation, delay and direct-to-reverberant ratio they claim.
class LoopRoom : public ::testing::TestWithParam<RoomSpec>
{
};

TEST_P(LoopRoom, HasTheDelayDecayAndDirectShareItDescribes)
{
    const RoomSpec room = GetParam();
    const RoomResponse r = MakeRoomResponse(room, kRate);
    const double delay = room.distanceMetres / 343.0 + room.latencyMs / 1000.0;
    EXPECT_EQ(r.delaySamples, int(std::lround(delay * kRate)));
    for (int i = 0; i < r.delaySamples; ++i)
        ASSERT_EQ(r.taps[std::size_t(i)], 0.0) << "before the direct path, at " << i;
    // Decay: Schroeder's backward integral, fitted between -5 and -25 dB, extrapolated to -60 dB.
    std::vector<double> tail(r.taps.size() + 1, 0.0);
    for (std::size_t i = r.taps.size(); i-- > 0;)
        tail[i] = tail[i + 1] + r.taps[i] * r.taps[i];
    auto crossing = [&](double db) {
        std::size_t i = std::size_t(r.delaySamples);
        while (i < r.taps.size() && 10.0 * std::log10(tail[i] / tail[std::size_t(r.delaySamples)]) > db)
            ++i;
        return double(i) / kRate;
    };
    const double rt60 = 3.0 * (crossing(-25.0) - crossing(-5.0));
    EXPECT_NEAR(rt60, room.rt60Seconds, 0.25 * room.rt60Seconds) << room.name;
    // Direct share: the direct path (with the transducers' few milliseconds of ringing) against the rest.
    const std::size_t directEnd = std::size_t(r.delaySamples) + std::size_t(0.001 * kRate);
    const double direct = tail[std::size_t(r.delaySamples)] - tail[directEnd];
    EXPECT_NEAR(10.0 * std::log10(direct / tail[directEnd]), room.drrDb, 2.0) << room.name;
}

INSTANTIATE_TEST_SUITE_P(BuiltIn, LoopRoom, ::testing::ValuesIn(BuiltInRooms()),
                         [](const auto& info) { return info.param.name; });

BenchCase TestRoom(double rt60, double metres, std::uint32_t seed)
{
    BenchCase c;
    c.room.name = "test";
    c.room.rt60Seconds = rt60;
    c.room.distanceMetres = metres;
    c.room.drrDb = 0.0;
    c.room.seed = seed;
    c.sampleRate = kRate;
    c.response = MakeRoomResponse(c.room, kRate);
    c.msg = MaximumStableGain(c.response.taps, kRate);
    return c;
}

struct Material
{
    std::vector<double> dry;
    BandPlan plan;
};

const Material& Noise6s()
{
    static const Material m = [] {
        Material out;
        std::vector<double> programme = PinkNoise(std::size_t(kSeconds * kRate), kRate, 5);
        for (double& v : programme)
            v *= 0.03;
        out.dry = DryInput(programme, programme.size(), kRate);
        out.plan = MakeBandPlan(out.dry, kRate);
        return out;
    }();
    return m;
}

class LoopPassThrough : public ::testing::TestWithParam<double>
{
};

TEST_P(LoopPassThrough, IsStableHalfADecibelBelowMsgAndHowlsHalfADecibelAbove)
{
    const BenchCase room = TestRoom(GetParam(), 2.0, 21);
    const PassThroughFactory passThrough;
    std::string error;
    StabilityStep below, above;
    ASSERT_TRUE(StableAt(room, Noise6s().dry, Noise6s().plan, kSeconds, 64, -0.5, passThrough, below, error)) << error;
    ASSERT_TRUE(StableAt(room, Noise6s().dry, Noise6s().plan, kSeconds, 64, 0.5, passThrough, above, error)) << error;
    EXPECT_TRUE(below.stable) << "prominence " << below.maxProminenceDb << " dB";
    EXPECT_FALSE(above.stable) << "prominence " << above.maxProminenceDb << " dB";
    // Where and when it broke: at the frequency the loop first reaches unity, within the run.
    EXPECT_NEAR(above.howlHz, room.msg.frequencyHz, 3.0 * kRate / 4096.0);
    EXPECT_GT(above.howlSeconds, 0.0);
    EXPECT_LE(above.howlSeconds, kSeconds);
}

INSTANTIATE_TEST_SUITE_P(Rooms, LoopPassThrough, ::testing::Values(0.25, 0.8));

// The fixture's "Gain" factor is twice its normalised value: 0.25 is -6.02 dB.
PluginFactory HalfGainModule() { return PluginFactory(RINGSTILL_GAIN_MODULE, "", {"Gain=0.25"}); }

TEST(LoopGainModule, AddsSixDecibelsOfStableGain)
{
    const BenchCase room = TestRoom(0.3, 1.5, 22);
    const PassThroughFactory passThrough;
    const PluginFactory halfGain = HalfGainModule();
    std::string error;
    StableLimit reference, plugin;
    ASSERT_TRUE(FindStableLimit(room, Noise6s().dry, Noise6s().plan, kSeconds, 64, passThrough, reference, error))
        << error;
    ASSERT_TRUE(FindStableLimit(room, Noise6s().dry, Noise6s().plan, kSeconds, 64, halfGain, plugin, error)) << error;
    EXPECT_TRUE(reference.bounded && plugin.bounded);
    EXPECT_NEAR(reference.overMsgDb, 0.0, 0.5);
    EXPECT_NEAR(plugin.overMsgDb - reference.overMsgDb, 6.02, 0.25);
}

// Passes its first second through, then takes 6 dB off: it howls when judged from the start and
// holds 3 dB over MSG when judged after a ring-out.
class LateHalfGain final : public ProcessorFactory
{
    struct Instance final : Processor
    {
        double rate = 0.0;
        long done = 0;
        bool Start(double sampleRate, int, std::string&) override
        {
            rate = sampleRate;
            return true;
        }
        bool Process(const float* in, float* out, int frames, std::string&) override
        {
            const float gain = done >= long(rate) ? 0.5f : 1.0f;
            for (int i = 0; i < frames; ++i)
                out[i] = gain * in[i];
            done += frames;
            return true;
        }
        int Latency() const override { return 0; }
    };

public:
    std::unique_ptr<Processor> Create(std::string&) const override { return std::make_unique<Instance>(); }
    std::string Name() const override { return "late half gain"; }
};

TEST(LoopRingOut, JudgesOnlyWhatFollowsIt)
{
    const BenchCase room = TestRoom(0.3, 1.5, 22);
    const LateHalfGain late;
    std::string error;
    StabilityStep cold, rung;
    ASSERT_TRUE(StableAt(room, Noise6s().dry, Noise6s().plan, 3.0, 64, 3.0, late, cold, error)) << error;
    ASSERT_TRUE(StableAt(room, Noise6s().dry, Noise6s().plan, 3.0, 64, 3.0, late, rung, error, 2.0)) << error;
    EXPECT_FALSE(cold.stable) << "prominence " << cold.maxProminenceDb << " dB";
    EXPECT_LT(cold.howlSeconds, 1.0) << "it howls only in its first second";
    EXPECT_TRUE(rung.stable) << "prominence " << rung.maxProminenceDb << " dB";
}

TEST(LoopGainModule, OpenLoopLowersEveryBandAlikeAndPlacesNoNotch)
{
    const PluginFactory halfGain = HalfGainModule();
    std::string error;
    std::unique_ptr<Processor> p = halfGain.Create(error);
    ASSERT_NE(p, nullptr) << error;
    LoopSetup setup;
    setup.feedback = false;
    LoopTrace trace;
    ASSERT_TRUE(RunLoop(setup, Noise6s().dry, Noise6s().dry.size(), *p, trace, error)) << error;
    const Colouration c = MeasureColouration(trace, kRate);
    EXPECT_NEAR(c.broadbandDb, -6.02, 0.01);
    EXPECT_NEAR(c.worstThirdOctaveDb, -6.02, 0.01);
    const NotchSummary notches = SummariseNotches(MeasureNotches(trace, kRate), kSeconds);
    EXPECT_EQ(notches.placed, 0);
}

// A fixed notch (a peaking cut of 18 dB, Q 25) switched in over the given stretches, as a plug-in
// does: the cut fades in and out over 20 ms. The programme is noise, with a note at the notch's
// frequency toneDb over it when that is not zero.
struct NotchTiming
{
    double hz;
    std::vector<std::pair<double, double>> on; // seconds
    int placed;
    double meanSeconds;
    int overHalfSecond;
    double toneDb = 0.0;
};

void PrintTo(const NotchTiming& t, std::ostream* out)
{
    *out << t.hz << " Hz, " << t.on.size() << " times";
}

class TimedNotch final : public Processor
{
public:
    explicit TimedNotch(const NotchTiming& timing) : timing(timing) {}
    bool Start(double rate, int, std::string&) override
    {
        sampleRate = rate;
        const double w = 2.0 * std::numbers::pi * timing.hz / rate;
        const double a = std::pow(10.0, -18.0 / 40.0);
        const double alpha = std::sin(w) / (2.0 * 25.0);
        const double a0 = 1.0 + alpha / a;
        b0 = (1.0 + alpha * a) / a0;
        b1 = a1 = -2.0 * std::cos(w) / a0;
        b2 = (1.0 - alpha * a) / a0;
        a2 = (1.0 - alpha / a) / a0;
        return true;
    }
    bool Process(const float* in, float* out, int frames, std::string&) override
    {
        for (int i = 0; i < frames; ++i, ++n)
        {
            const double x = in[i];
            const double y = b0 * x + z1;
            z1 = b1 * x - a1 * y + z2;
            z2 = b2 * x - a2 * y;
            const double t = double(n) / sampleRate;
            double share = 0.0;
            for (const auto& [from, to] : timing.on)
                share = std::max(share, std::clamp(std::min(t - from, to - t) / 0.02 + 0.5, 0.0, 1.0));
            out[i] = float(share * y + (1.0 - share) * x);
        }
        return true;
    }
    int Latency() const override { return 0; }

private:
    NotchTiming timing;
    double sampleRate = 48000.0;
    double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0, z1 = 0, z2 = 0;
    long n = 0;
};

class LoopNotches : public ::testing::TestWithParam<NotchTiming>
{
};

// Each is seen once for as long as it stays; a notch high up is as wide as a Q makes it (400 Hz at
// 10 kHz) and still one notch.
INSTANTIATE_TEST_SUITE_P(Timings, LoopNotches,
                         ::testing::Values(NotchTiming{1000.0, {{2.0, 5.0}}, 1, 3.0, 1},
                                           NotchTiming{10000.0, {{2.0, 5.0}}, 1, 3.0, 1},
                                           NotchTiming{10000.0, {{1.0, 1.3}, {2.5, 2.8}, {4.0, 4.3}}, 3, 0.3, 0},
                                           // A trial on a loud note: its cut and its lifting are no notch elsewhere.
                                           NotchTiming{1500.0, {{1.0, 1.3}, {2.5, 2.8}, {4.0, 4.3}}, 3, 0.3, 0, 40.0}));

TEST_P(LoopNotches, EachIsSeenOnceForAsLongAsItStays)
{
    TimedNotch notch(GetParam());
    LoopSetup setup;
    setup.feedback = false;
    std::vector<double> dry = Noise6s().dry;
    if (GetParam().toneDb != 0.0)
    {
        double power = 0.0;
        for (const double v : dry)
            power += v * v / double(dry.size());
        const double amplitude = std::sqrt(2.0 * power) * std::pow(10.0, GetParam().toneDb / 20.0);
        for (std::size_t i = 0; i < dry.size(); ++i)
            dry[i] += amplitude * std::sin(2.0 * std::numbers::pi * GetParam().hz * double(i) / kRate);
    }
    LoopTrace trace;
    std::string error;
    ASSERT_TRUE(RunLoop(setup, dry, dry.size(), notch, trace, error)) << error;
    const std::vector<NotchFrame> frames = MeasureNotches(trace, kRate);
    const NotchSummary summary = SummariseNotches(frames, kSeconds);
    EXPECT_EQ(summary.placed, GetParam().placed);
    EXPECT_NEAR(summary.meanSeconds, GetParam().meanSeconds, 0.1); // the estimate moves on by 43 ms
    EXPECT_EQ(summary.overHalfSecond, GetParam().overHalfSecond);
    bool seenAtItsFrequency = false;
    for (const NotchFrame& f : frames)
        for (const NotchCell& dip : FrameDips(f))
            seenAtItsFrequency |= std::abs(dip.frequencyHz - GetParam().hz) < 0.01 * GetParam().hz && dip.depthDb < -12.0f;
    EXPECT_TRUE(seenAtItsFrequency);
}

// A howl drawn by hand: a 1 kHz return growing 60 dB a second from 1 s, cut at 2 s, back at 3.5 s
// and 5 s for half a second each.
TEST(LoopCatch, FindsTheOnsetTheCatchAndEveryRecurrence)
{
    LoopTrace trace;
    trace.dry.assign(Noise6s().dry.begin(), Noise6s().dry.end());
    const std::size_t n = trace.dry.size();
    trace.mic.resize(n);
    trace.out.resize(n);
    trace.returned.resize(n);
    for (std::size_t i = 0; i < n; ++i)
    {
        const double t = double(i) / kRate;
        double db = -300.0;
        if (t >= 1.0 && t < 2.0)
            db = -70.0 + 60.0 * (t - 1.0);
        else if ((t >= 3.5 && t < 4.0) || (t >= 5.0 && t < 5.5))
            db = -20.0;
        const double tone = std::pow(10.0, db / 20.0) * std::sin(2.0 * std::numbers::pi * 1000.0 * t);
        trace.returned[i] = float(tone);
        trace.mic[i] = float(trace.dry[i] + tone);
        trace.out[i] = trace.mic[i];
    }
    HowlMeter meter(Noise6s().plan);
    meter.Update(trace, n);
    const CatchResult c = AnalyseCatch(trace, meter.Frames(), kRate);
    ASSERT_TRUE(c.howled);
    EXPECT_NEAR(c.frequencyHz, 1000.0, 15.0);
    EXPECT_GT(c.onsetSeconds, 1.2);
    EXPECT_LT(c.onsetSeconds, 1.9);
    ASSERT_TRUE(c.caught);
    EXPECT_NEAR(c.onsetSeconds + c.catchSeconds, 2.0, 0.1);
    EXPECT_EQ(c.recurrences, 2);
    EXPECT_NEAR(c.howlingSeconds, 1.0, 0.25);
}

TEST(LoopGainModule, UnknownSettingIsRefusedByName)
{
    const PluginFactory factory(RINGSTILL_GAIN_MODULE, "", {"Auto Catch=Adaptive"});
    std::string error;
    EXPECT_FALSE(factory.Check(error));
    EXPECT_NE(error.find("Auto Catch"), std::string::npos) << error;
}

} // namespace
