#include "framework/ChannelLayout.h"
#include "framework/IPlugProcessor.h"
#include "tests/support/AllocCounter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

using namespace iplug;

namespace {

PluginConfig ConfigWithLayouts(const char* layouts, int latency = 0)
{
    PluginConfig c;
    c.nParams = 10;
    c.nPresets = 1;
    c.channelLayouts = layouts;
    c.latency = latency;
    return c;
}

// A processor whose effect is a fixed gain, so the tests can tell it from the
// pass-through.
class TestProcessor : public IPlugProcessor
{
public:
    explicit TestProcessor(const char* layouts = "1-1 2-2", int latency = 0)
        : IPlugProcessor(ConfigWithLayouts(layouts, latency))
    {
    }

    void ProcessAudioBlock(double** inputs, double** outputs, int nFrames) override
    {
        ++blocks;
        for (int c = 0; c < NOutChannels(); ++c)
            for (int i = 0; i < nFrames; ++i)
                outputs[c][i] = 0.5 * inputs[c][i];
    }

    int blocks = 0;
};

// Host-side buffers bound to a processor as a 64-bit host would bind them.
struct HostBuffers
{
    HostBuffers(IPlugProcessor& p, int frames)
        : in(std::size_t(p.NInChannels()), std::vector<double>(std::size_t(frames))),
          out(std::size_t(p.NOutChannels()), std::vector<double>(std::size_t(frames)))
    {
        for (int c = 0; c < p.NInChannels(); ++c)
            p.ConnectChannel(kInput, c, in[std::size_t(c)].data());
        for (int c = 0; c < p.NOutChannels(); ++c)
            p.ConnectChannel(kOutput, c, out[std::size_t(c)].data());
    }
    std::vector<std::vector<double>> in, out;
};

// A ramp that never repeats, so any misalignment shows.
double Sample(int channel, int n) { return (channel + 1) * 1000.0 + n; }

class BypassDelayTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        processor.SetBlockCapacity(128);
        processor.CreateLatencyDelay();
        processor.SetBypassed(true);
    }

    // Runs total frames through the bypass in blocks, returning each output channel.
    std::vector<std::vector<double>> RunBypassed(int total, int block, bool inPlace = false)
    {
        std::vector<std::vector<double>> result(2);
        HostBuffers host(processor, block);
        if (inPlace)
            for (int c = 0; c < 2; ++c)
                processor.ConnectChannel(kOutput, c, host.in[std::size_t(c)].data());
        for (int start = 0; start < total; start += block)
        {
            for (int c = 0; c < 2; ++c)
                for (int i = 0; i < block; ++i)
                    host.in[std::size_t(c)][std::size_t(i)] = Sample(c, start + i);
            processor.ProcessBuffers(block);
            for (int c = 0; c < 2; ++c)
            {
                const auto& out = inPlace ? host.in[std::size_t(c)] : host.out[std::size_t(c)];
                result[std::size_t(c)].insert(result[std::size_t(c)].end(), out.begin(), out.end());
            }
        }
        return result;
    }

    void ExpectDelayedBy(const std::vector<std::vector<double>>& out, int delay, int from = 0)
    {
        for (int c = 0; c < 2; ++c)
            for (int n = from; n < int(out[std::size_t(c)].size()); ++n)
            {
                const double expected = n < from + delay ? 0.0 : Sample(c, n - delay);
                ASSERT_EQ(out[std::size_t(c)][std::size_t(n)], expected) << "channel " << c << " frame " << n;
            }
    }

    TestProcessor processor;
};

} // namespace

// --- Channel layouts -------------------------------------------------------------

TEST(ChannelLayouts, MonoAndStereoGiveTwoLayoutsOfOneBusEachWay)
{
    std::vector<ChannelLayout> layouts;
    ChannelLayoutMaxima maxima;
    EXPECT_EQ(ParseChannelLayouts("1-1 2-2", layouts, maxima), 2);
    ASSERT_EQ(layouts.size(), 2u);
    ASSERT_EQ(layouts[0].inputBuses.size(), 1u);
    EXPECT_EQ(layouts[0].inputBuses[0].channelCount, 1);
    EXPECT_EQ(layouts[0].inputBuses[0].direction, kInput);
    EXPECT_EQ(layouts[1].outputBuses[0].channelCount, 2);
    EXPECT_EQ(layouts[1].outputBuses[0].direction, kOutput);
    EXPECT_EQ(maxima.inputChannels, 2);
    EXPECT_EQ(maxima.outputChannels, 2);
    EXPECT_EQ(maxima.inputBuses, 1);
    EXPECT_EQ(maxima.outputBuses, 1);
}

TEST(ChannelLayouts, DotsSeparateBuses)
{
    std::vector<ChannelLayout> layouts;
    ChannelLayoutMaxima maxima;
    EXPECT_EQ(ParseChannelLayouts("2-2.2", layouts, maxima), 1);
    ASSERT_EQ(layouts[0].outputBuses.size(), 2u);
    EXPECT_EQ(layouts[0].outputBuses[1].channelCount, 2);
    EXPECT_EQ(maxima.outputChannels, 4);
    EXPECT_EQ(maxima.outputBuses, 2);
}

TEST(ChannelLayouts, ZeroChannelsDeclareNoBus)
{
    std::vector<ChannelLayout> layouts;
    ChannelLayoutMaxima maxima;
    EXPECT_EQ(ParseChannelLayouts("0-2", layouts, maxima), 1);
    EXPECT_TRUE(layouts[0].inputBuses.empty());
    ASSERT_EQ(layouts[0].outputBuses.size(), 1u);
    EXPECT_EQ(maxima.inputChannels, 0);
    EXPECT_EQ(maxima.inputBuses, 0);
}

TEST(ChannelLayouts, AStarTakesAnyChannelCount)
{
    std::vector<ChannelLayout> layouts;
    ChannelLayoutMaxima maxima;
    EXPECT_EQ(ParseChannelLayouts("*-*", layouts, maxima), 1);
    ASSERT_EQ(layouts[0].inputBuses.size(), 1u);
    ASSERT_EQ(layouts[0].outputBuses.size(), 1u);
    EXPECT_EQ(layouts[0].inputBuses[0].channelCount, kAnyChannelCount);
    EXPECT_EQ(layouts[0].outputBuses[0].channelCount, -64);
}

TEST(ChannelLayouts, APieceWithoutADashDeclaresNoBusesOnTheMissingSide)
{
    std::vector<ChannelLayout> layouts;
    ChannelLayoutMaxima maxima;
    EXPECT_EQ(ParseChannelLayouts("2 -1", layouts, maxima), 2);
    ASSERT_EQ(layouts[0].inputBuses.size(), 1u);
    EXPECT_EQ(layouts[0].inputBuses[0].channelCount, 2);
    EXPECT_TRUE(layouts[0].outputBuses.empty());
    EXPECT_TRUE(layouts[1].inputBuses.empty());
    EXPECT_EQ(layouts[1].outputBuses[0].channelCount, 1);
}

TEST(ChannelLayouts, MalformedPiecesDeclareNothingInsteadOfNonsense)
{
    std::vector<ChannelLayout> layouts;
    ChannelLayoutMaxima maxima;
    EXPECT_EQ(ParseChannelLayouts("  x-1  1--2 99999999999-1 ", layouts, maxima), 3);
    EXPECT_TRUE(layouts[0].inputBuses.empty()) << "no number reads as 0";
    EXPECT_TRUE(layouts[1].outputBuses.empty()) << "a negative count is no bus";
    EXPECT_TRUE(layouts[2].inputBuses.empty()) << "an overflowing count is no bus";
    EXPECT_EQ(ParseChannelLayouts("", layouts, maxima), 0);
    EXPECT_EQ(ParseChannelLayouts(nullptr, layouts, maxima), 0);
}

TEST(BusNames, FollowTheBusCount)
{
    EXPECT_EQ(BusName(kInput, 0, 1), "Input");
    EXPECT_EQ(BusName(kInput, 0, 2), "Main");
    EXPECT_EQ(BusName(kInput, 1, 2), "Aux");
    EXPECT_EQ(BusName(kInput, 1, 3), "Input 1");
    EXPECT_EQ(BusName(kOutput, 0, 1), "Output");
    EXPECT_EQ(BusName(kOutput, 2, 3), "Output 2");
    EXPECT_EQ(BusName(kOutput, 1, 2), "Output 1");
}

TEST(LayoutQueries, AnswerForMonoAndStereo)
{
    TestProcessor p;
    int last = -2;
    EXPECT_EQ(p.MaxNBuses(kInput, &last), 1);
    EXPECT_EQ(last, 1) << "ties go to the later layout";
    EXPECT_EQ(p.MaxNBuses(kOutput), 1);
    const int one[] = {1}, two[] = {2};
    EXPECT_EQ(p.LayoutIndexFor(one, one), 0);
    EXPECT_EQ(p.LayoutIndexFor(two, two), 1);
    EXPECT_EQ(p.LayoutIndexFor(two, one), -1);
    EXPECT_EQ(p.LayoutIndexFor(two, {}), -1);
    EXPECT_EQ(p.MaxNChannelsForMainInput(), 2);
    EXPECT_EQ(TestProcessor("*-*").MaxNChannelsForMainInput(), -1);
}

// --- Construction and accessors ---------------------------------------------------

TEST(Processor, IsSizedByTheLargestLayout)
{
    TestProcessor p;
    EXPECT_EQ(p.NInChannels(), 2);
    EXPECT_EQ(p.NOutChannels(), 2);
    EXPECT_EQ(p.NInChansConnected(), 0);
    EXPECT_DOUBLE_EQ(p.GetSampleRate(), 48000.0);
    EXPECT_EQ(p.GetBlockCapacity(), 0);
    EXPECT_EQ(p.GetLatency(), 0);
    EXPECT_EQ(p.GetTailLength(), 0);
    EXPECT_FALSE(p.IsBypassed());
    EXPECT_EQ(p.GetLatencyDelay(), nullptr);
    EXPECT_EQ(TestProcessor("1-1", 64).GetLatency(), 64);
}

TEST(Processor, TransportStartsWithNothingKnown)
{
    TestProcessor p;
    const TransportInfo& t = p.GetTransport();
    EXPECT_DOUBLE_EQ(t.tempo, 120.0);
    EXPECT_DOUBLE_EQ(t.samplePosition, -1.0);
    EXPECT_DOUBLE_EQ(t.cycleEnd, -1.0);
    EXPECT_EQ(t.numerator, 4);
    EXPECT_FALSE(t.running);
}

TEST(Processor, TailLengthIsStored)
{
    TestProcessor p;
    p.ChangeTailLength(IPlugProcessor::kInfiniteTail);
    EXPECT_EQ(p.GetTailLength(), 2147483647);
}

// --- Block capacity and channel binding ---------------------------------------------

TEST(BlockCapacity, SizesEveryScratchWithZeros)
{
    TestProcessor p;
    p.SetBlockCapacity(512);
    EXPECT_EQ(p.GetBlockCapacity(), 512);
    for (BusDirection d : {kInput, kOutput})
        for (int c = 0; c < 2; ++c)
        {
            const auto& scratch = p.Slot(d, c).scratch;
            ASSERT_EQ(scratch.size(), 512u);
            EXPECT_EQ(std::count(scratch.begin(), scratch.end(), 0.0), 512);
        }
}

TEST(BlockCapacity, TheSameCapacityLeavesTheBuffersUntouched)
{
    TestProcessor p;
    p.SetBlockCapacity(512);
    p.Slot(kInput, 0).scratch[7] = 3.0;
    const double* before = p.Slot(kInput, 0).scratch.data();
    p.SetBlockCapacity(512);
    EXPECT_EQ(p.Slot(kInput, 0).scratch.data(), before);
    EXPECT_EQ(p.Slot(kInput, 0).scratch[7], 3.0);
    p.SetBlockCapacity(64);
    EXPECT_EQ(p.Slot(kInput, 0).scratch[7], 0.0) << "a new capacity zero-fills";
}

TEST(BlockCapacity, ChannelsOnTheirScratchFollowItWhenItMoves)
{
    TestProcessor p;
    p.SetBlockCapacity(16);
    p.DisconnectAll(kInput);
    double host[4096] = {};
    p.ConnectChannel(kInput, 1, host);
    p.SetBlockCapacity(4096);
    EXPECT_EQ(p.InputPointers()[0], p.Slot(kInput, 0).scratch.data());
    EXPECT_EQ(p.InputPointers()[1], host) << "a host buffer stays bound";
}

TEST(ChannelBinding, ADisconnectedInputReadsSilence)
{
    TestProcessor p;
    p.SetBlockCapacity(8);
    p.ConnectChannel(kInput, 1, nullptr);
    EXPECT_EQ(p.InputPointers()[1], p.Slot(kInput, 1).scratch.data());
    p.Slot(kInput, 1).scratch[3] = 0.25; // a 32-bit host's converted samples
    EXPECT_TRUE(p.IsInChannelConnected(1));
    EXPECT_EQ(p.NInChansConnected(), 1);
    p.DisconnectChannel(kInput, 1);
    EXPECT_FALSE(p.IsInChannelConnected(1));
    EXPECT_EQ(p.InputPointers()[1][3], 0.0);
    EXPECT_FALSE(p.IsInChannelConnected(5));
}

// --- Processing and pass-through --------------------------------------------------

TEST(ProcessorBlocks, TheBaseBlockCopiesInputsAndSilencesOutputsWithoutOne)
{
    IPlugProcessor p(ConfigWithLayouts("1-2"));
    HostBuffers host(p, 4);
    host.in[0] = {1, 2, 3, 4};
    host.out[1] = {9, 9, 9, 9};
    p.ProcessAudioBlock(p.InputPointers(), p.OutputPointers(), 4);
    EXPECT_EQ(host.out[0], host.in[0]);
    EXPECT_EQ(host.out[1], std::vector<double>(4, 0.0));
}

TEST(ProcessorBlocks, ProcessBuffersRunsTheEffectUnlessBypassed)
{
    TestProcessor p;
    HostBuffers host(p, 2);
    host.in[0] = {2, 4};
    p.ProcessBuffers(2);
    EXPECT_EQ(p.blocks, 1);
    EXPECT_EQ(host.out[0], (std::vector<double>{1, 2}));
    p.SetBypassed(true);
    p.ProcessBuffers(2);
    EXPECT_EQ(p.blocks, 1);
    EXPECT_EQ(host.out[0], host.in[0]);
}

TEST(ProcessorBlocks, BypassWithoutLatencyCopiesAndSilencesOutputsWithoutAnInput)
{
    IPlugProcessor p(ConfigWithLayouts("1-2"));
    p.CreateLatencyDelay();
    p.SetBypassed(true);
    HostBuffers host(p, 3);
    host.in[0] = {0.1, -0.2, 0.3};
    host.out[1] = {5, 5, 5};
    p.ProcessBuffers(3);
    EXPECT_EQ(host.out[0], host.in[0]);
    EXPECT_EQ(host.out[1], std::vector<double>(3, 0.0));
}

TEST_F(BypassDelayTest, BypassWithLatencyDelaysByExactlyTheLatency)
{
    processor.ChangeLatency(480);
    ASSERT_NE(processor.GetLatencyDelay(), nullptr);
    EXPECT_EQ(processor.GetLatencyDelay()->Length(), 480);
    const auto out = RunBypassed(2000, 100);
    ExpectDelayedBy(out, 480);
}

TEST_F(BypassDelayTest, BlocksLongerThanTheDelayStayAligned)
{
    processor.ChangeLatency(37);
    ExpectDelayedBy(RunBypassed(1000, 125), 37);
}

TEST_F(BypassDelayTest, InPlaceBuffersAreDelayedCorrectly)
{
    processor.ChangeLatency(480);
    ExpectDelayedBy(RunBypassed(1500, 64, true), 480);
}

TEST_F(BypassDelayTest, ALatencyChangeRestartsAnEmptyDelay)
{
    processor.ChangeLatency(480);
    RunBypassed(1000, 100);
    processor.ChangeLatency(240);
    EXPECT_EQ(processor.GetLatency(), 240);
    ExpectDelayedBy(RunBypassed(1000, 100), 240);
    processor.ChangeLatency(0);
    ExpectDelayedBy(RunBypassed(300, 100), 0);
}

TEST_F(BypassDelayTest, LatencyChangesAllocateNothingWithinTheReservation)
{
    ASSERT_TRUE(processor.ReserveLatency(1024));
    HostBuffers host(processor, 128);
    ringstill::test::AllocationScope scope;
    for (int latency : {512, 1024, 0, 473, 1024, 0})
    {
        processor.ChangeLatency(latency);
        processor.ProcessBuffers(128);
    }
    EXPECT_EQ(scope.Count(), 0u);
    EXPECT_EQ(processor.GetLatencyDelay()->ReservedLength(), 1024);
}

TEST(LatencyReservation, AReservationMadeBeforeTheDelayExistsIsKept)
{
    TestProcessor p;
    ASSERT_TRUE(p.ReserveLatency(2048));
    p.CreateLatencyDelay();
    ASSERT_NE(p.GetLatencyDelay(), nullptr);
    EXPECT_GE(p.GetLatencyDelay()->ReservedLength(), 2048);
    ringstill::test::AllocationScope scope;
    p.ChangeLatency(2048);
    EXPECT_EQ(scope.Count(), 0u);
}

TEST_F(BypassDelayTest, ALatencyBeyondTheReservationStillDelaysCorrectly)
{
    processor.ReserveLatency(128);
    processor.ChangeLatency(700);
    ExpectDelayedBy(RunBypassed(1400, 100), 700);
}

TEST(LatencyDelay, IsOnlyCreatedWithAnInputChannel)
{
    IPlugProcessor p(ConfigWithLayouts("0-2"));
    p.CreateLatencyDelay();
    EXPECT_EQ(p.GetLatencyDelay(), nullptr);
    p.ChangeLatency(100);
    EXPECT_EQ(p.GetLatency(), 100);
}

TEST(LatencyDelay, ANegativeLatencyIsTakenAsNone)
{
    TestProcessor p;
    p.CreateLatencyDelay();
    p.ChangeLatency(-5);
    EXPECT_EQ(p.GetLatency(), 0);
    EXPECT_EQ(p.GetLatencyDelay()->Length(), 0);
}
