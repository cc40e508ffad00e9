#include "effect/NotchBank.h"
#include "tests/support/AllocCounter.h"
#include "tests/support/TestSignals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <complex>
#include <cstring>
#include <vector>

using namespace ringstill;
using ringstill::test::Noise;

namespace {

constexpr double kRate = 48000.0;

class NotchBankTest : public ::testing::Test
{
protected:
    void SetUp() override { ConfigureBank(bank, kRate); }

    void Command(NotchCommandType type, int index, float a = 0, float b = 0, float c = 0)
    {
        PushNotchCommand(feed, type, index, a, b, c);
        ApplyNotchCommands(feed, std::span<NotchBank>(&bank, 1));
    }

    // A slot already ramped to its target, as if it had been there for a while.
    Notch& PlaceSettled(int index, float frequency, float depth, float q = 25.0f, bool manual = true)
    {
        Notch& slot = bank.slots[static_cast<std::size_t>(index)];
        slot.active = true;
        slot.manual = manual;
        slot.frequency = frequency;
        slot.depth = depth;
        slot.targetDepth = depth;
        slot.q = q;
        return slot;
    }

    std::vector<float> NoiseBlock(int n, float rms)
    {
        std::vector<float> block(static_cast<std::size_t>(n));
        for (float& v : block)
            v = std::clamp(noise.Next(rms), -0.9f, 0.9f);
        return block;
    }

    void UpdateOnly() { ProcessBankBlock(bank, nullptr, 0); }

    NotchBank bank;
    EditorFeed feed;
    Noise noise;
};

// The chain written out sample by sample, slot by slot, as a second opinion
// on the block-wise filter loop.
std::vector<float> ReferenceChain(std::array<Notch, kMaxNotches> slots, float gain, const std::vector<float>& in)
{
    std::vector<float> out(in.size());
    for (std::size_t i = 0; i < in.size(); ++i)
    {
        float x = in[i];
        for (Notch& s : slots)
        {
            if (!s.active)
                continue;
            const double xd = x;
            const double y = s.filter.b0 * xd + s.filter.z1;
            s.filter.z1 = s.filter.b1 * xd - s.filter.a1 * y + s.filter.z2;
            s.filter.z2 = s.filter.b2 * xd - s.filter.a2 * y;
            x = static_cast<float>(y);
        }
        float v = x * gain;
        const float k = 0.9f, span = 1.0f - 0.9f;
        if (v > k)
            v = k + span * std::tanh((v - k) / span);
        else if (v < -k)
            v = -k + span * std::tanh((v + k) / span);
        out[i] = v;
    }
    return out;
}

double ResponseDb(const Notch& s, double frequency, double sampleRate)
{
    const std::complex<double> z1 = std::polar(1.0, -2.0 * M_PI * frequency / sampleRate);
    const std::complex<double> z2 = z1 * z1;
    const std::complex<double> h = (s.filter.b0 + s.filter.b1 * z1 + s.filter.b2 * z2) / (1.0 + s.filter.a1 * z1 + s.filter.a2 * z2);
    return 20.0 * std::log10(std::abs(h));
}

bool SameFilterDesign(const Notch& x, const Notch& y)
{
    return x.filter.b0 == y.filter.b0 && x.filter.b1 == y.filter.b1 && x.filter.b2 == y.filter.b2 && x.filter.a1 == y.filter.a1 && x.filter.a2 == y.filter.a2;
}

bool SameSlot(const Notch& x, const Notch& y)
{
    return x.active == y.active && x.manual == y.manual && x.frequency == y.frequency && x.depth == y.depth
           && x.targetDepth == y.targetDepth && x.age == y.age && x.q == y.q && SameFilterDesign(x, y)
           && x.filter.z1 == y.filter.z1 && x.filter.z2 == y.filter.z2;
}

bool SameSlots(const NotchBank& x, const NotchBank& y)
{
    for (int i = 0; i < kMaxNotches; ++i)
        if (!SameSlot(x.slots[static_cast<std::size_t>(i)], y.slots[static_cast<std::size_t>(i)]))
            return false;
    return true;
}

} // namespace

// ---- Configuration --------------------------------------------------------

struct RateCase
{
    double rate;
    int size;
    int hop;
    float binWidth;
    int releaseFrames;
};

class NotchBankConfig : public ::testing::TestWithParam<RateCase>
{
};

TEST_P(NotchBankConfig, DerivesAnalysisSizesFromTheSampleRate)
{
    const RateCase c = GetParam();
    NotchBank bank;
    ConfigureBank(bank, c.rate);
    EXPECT_EQ(bank.sampleRate, c.rate);
    EXPECT_EQ(bank.analysisSize, c.size);
    EXPECT_EQ(bank.hopSize, c.hop);
    EXPECT_NEAR(bank.binWidthHz, c.binWidth, 0.005);
    EXPECT_EQ(bank.releaseFrames, c.releaseFrames);
    EXPECT_EQ(bank.analysisBuffer.size(), static_cast<std::size_t>(c.size));
    EXPECT_EQ(bank.window.size(), static_cast<std::size_t>(c.size));
    EXPECT_EQ(bank.spectrum.size(), static_cast<std::size_t>(c.size / 2));
}

INSTANTIATE_TEST_SUITE_P(Rates, NotchBankConfig,
                         ::testing::Values(RateCase{44100, 2048, 256, 21.53f, 516},
                                           RateCase{48000, 2048, 256, 23.44f, 562},
                                           RateCase{88200, 4096, 512, 21.53f, 516},
                                           RateCase{96000, 4096, 512, 23.44f, 562},
                                           RateCase{192000, 8192, 1024, 23.44f, 562},
                                           // 684 bins' worth rounds to 512, raised to the minimum.
                                           RateCase{16000, 1024, 128, 15.625f, 375}));

TEST(NotchBankSetup, FallsBackTo48kHzForARateThatIsNotPositive)
{
    for (double rate : {0.0, -44100.0, std::nan("")})
    {
        NotchBank bank;
        ConfigureBank(bank, rate);
        EXPECT_EQ(bank.sampleRate, 48000.0);
        EXPECT_EQ(bank.analysisSize, 2048);
        EXPECT_EQ(bank.releaseFrames, 562);
    }
}

TEST(NotchBankSetup, BuildsASymmetricHannWindowAndClearsEverything)
{
    NotchBank bank;
    ConfigureBank(bank, kRate);
    bank.slots[3].active = true;
    bank.slots[3].depth = -12.0f;
    bank.slots[3].filter.z1 = 0.5;
    bank.tracks[7].active = true;
    bank.analysisFill = 100;
    bank.analysisBuffer[5] = 1.0f;
    ConfigureBank(bank, kRate);

    EXPECT_EQ(bank.window.front(), 0.0f);
    EXPECT_NEAR(bank.window.back(), 0.0f, 1e-6f);
    EXPECT_NEAR(bank.window[1023], 1.0f, 1e-5f);
    for (int i = 0; i < 2048; i += 97)
        EXPECT_NEAR(bank.window[static_cast<std::size_t>(i)], bank.window[static_cast<std::size_t>(2047 - i)], 1e-6f);

    EXPECT_EQ(bank.analysisFill, 0);
    EXPECT_TRUE(std::all_of(bank.analysisBuffer.begin(), bank.analysisBuffer.end(), [](float v) { return v == 0.0f; }));
    for (const Notch& s : bank.slots)
    {
        EXPECT_TRUE(SameSlot(s, Notch{}));
        EXPECT_EQ(s.q, 25.0f);
        EXPECT_EQ(s.filter.b0, 1.0);
    }
    for (const FeedbackTrack& t : bank.tracks)
        EXPECT_FALSE(t.active);
}

// ---- Signal chain ---------------------------------------------------------

using NotchBankChain = NotchBankTest;

TEST_F(NotchBankChain, WithoutNotchesPassesTheInputBitForBit)
{
    for (int block = 0; block < 100; ++block)
    {
        const std::vector<float> in = NoiseBlock(480, 0.2f);
        std::vector<float> out = in;
        ProcessBankBlock(bank, out.data(), static_cast<int>(out.size()));
        ASSERT_EQ(std::memcmp(in.data(), out.data(), in.size() * sizeof(float)), 0) << "block " << block;
    }
    EXPECT_EQ(CountActiveNotches(bank), 0);
}

TEST_F(NotchBankChain, SoftClipLimitsToOneAndLeavesTheKneeAlone)
{
    std::vector<float> block = {2.0f, -2.0f, 0.9f, -0.9f, 0.5f, 1e30f, -1e30f, 0.95f};
    ProcessBankBlock(bank, block.data(), static_cast<int>(block.size()));
    const float span = 1.0f - 0.9f;
    EXPECT_EQ(block[0], 0.9f + span * std::tanh((2.0f - 0.9f) / span));
    EXPECT_NEAR(block[0], 1.0f, 1e-6f);
    EXPECT_NEAR(block[1], -1.0f, 1e-6f);
    EXPECT_EQ(block[2], 0.9f);
    EXPECT_EQ(block[3], -0.9f);
    EXPECT_EQ(block[4], 0.5f);
    EXPECT_LE(block[5], 1.0f);
    EXPECT_GE(block[6], -1.0f);
    EXPECT_NEAR(block[7], 0.9f + 0.1f * std::tanh(0.5f), 1e-6f);
}

TEST_F(NotchBankChain, AppliesTheOutputGainBeforeTheClip)
{
    bank.outputGain = 2.0f;
    std::vector<float> block = {0.25f, 0.5f, -0.5f};
    ProcessBankBlock(bank, block.data(), 3);
    EXPECT_EQ(block[0], 0.5f);
    EXPECT_NEAR(block[1], 0.9f + 0.1f * std::tanh(1.0f), 1e-6f);
    EXPECT_NEAR(block[2], -(0.9f + 0.1f * std::tanh(1.0f)), 1e-6f);
}

TEST_F(NotchBankChain, ActiveSlotsFilterInIndexOrderExactlyAsTheSampleBySampleChain)
{
    bank.hold = true;
    PlaceSettled(0, 700.0f, -30.0f, 8.0f);
    PlaceSettled(4, 1000.0f, -18.0f);
    PlaceSettled(5, 1010.0f, -40.0f, 60.0f);
    PlaceSettled(11, 6000.0f, -6.0f, 2.0f, false);
    PlaceSettled(19, 150.0f, -12.0f, 0.5f);
    bank.outputGain = 1.5f;
    ringstill::test::Tone tone{1000.0, [](std::int64_t) { return 0.5; }};
    for (int block = 0; block < 20; ++block)
    {
        std::vector<float> in = NoiseBlock(333, 0.3f);
        for (std::size_t i = 0; i < in.size(); ++i)
            in[i] += tone.At(block * 333 + static_cast<std::int64_t>(i), kRate);
        NotchBank designed = bank;
        UpdateNotchFilters(designed);
        const std::vector<float> expected = ReferenceChain(designed.slots, bank.outputGain, in);
        std::vector<float> out = in;
        ProcessBankBlock(bank, out.data(), static_cast<int>(out.size()));
        ASSERT_EQ(std::memcmp(expected.data(), out.data(), out.size() * sizeof(float)), 0) << "block " << block;
    }
}

TEST_F(NotchBankChain, EmptyBlockOnlyAdvancesTheRamp)
{
    Command(NotchCommandType::Add, 0, 1000.0f, -18.0f, 25.0f);
    const std::int32_t fill = bank.analysisFill;
    float untouched = 0.7f;
    ProcessBankBlock(bank, &untouched, 0);
    EXPECT_EQ(untouched, 0.7f);
    EXPECT_EQ(bank.analysisFill, fill);
    EXPECT_NEAR(bank.slots[0].depth, -10.8f, 1e-5f);
}

// ---- Filter design --------------------------------------------------------

using NotchBankFilter = NotchBankTest;

TEST_F(NotchBankFilter, DesignsThePeakingCutOfTheWorkedExample)
{
    Notch& s = PlaceSettled(0, 1000.0f, -18.0f);
    UpdateNotchFilters(bank);
    EXPECT_EQ(s.depth, -18.0f);
    EXPECT_NEAR(s.filter.b0, 0.993615765, 5e-10);
    EXPECT_NEAR(s.filter.b1, -1.968407252, 5e-10);
    EXPECT_NEAR(s.filter.b2, 0.991776797, 5e-10);
    EXPECT_NEAR(s.filter.a2, 0.985392561, 5e-10);
    EXPECT_EQ(s.filter.a1, s.filter.b1);
    EXPECT_NEAR(ResponseDb(s, 1000.0, kRate), -18.0, 0.01);
    EXPECT_GT(ResponseDb(s, 1200.0, kRate), -1.0);
}

TEST_F(NotchBankFilter, CutsItsToneBy18dBInTheSignal)
{
    Command(NotchCommandType::Add, 0, 2500.0f, -18.0f, 25.0f);
    bank.hold = true;
    ringstill::test::Tone at{2500.0, [](std::int64_t) { return 0.4; }};
    ringstill::test::Tone off{4000.0, [](std::int64_t) { return 0.4; }};
    std::vector<float> in(48000), out;
    for (int i = 0; i < 48000; ++i)
        in[static_cast<std::size_t>(i)] = at.At(i, kRate) + off.At(i, kRate);
    out = in;
    for (int start = 0; start < 48000; start += 512)
        ProcessBankBlock(bank, out.data() + start, std::min(512, 48000 - start));
    const int tail = 24000;
    const float* inTail = in.data() + tail;
    const float* outTail = out.data() + tail;
    const double cut = ringstill::test::ToneAmplitude(outTail, tail, 2500.0, kRate)
                       / ringstill::test::ToneAmplitude(inTail, tail, 2500.0, kRate);
    const double kept = ringstill::test::ToneAmplitude(outTail, tail, 4000.0, kRate)
                        / ringstill::test::ToneAmplitude(inTail, tail, 4000.0, kRate);
    EXPECT_NEAR(20.0 * std::log10(cut), -18.0, 0.1);
    EXPECT_NEAR(20.0 * std::log10(kept), 0.0, 0.1);
}

TEST_F(NotchBankFilter, MasterTrimCanMakeANotchTransparentButNeverDeeperThan40dB)
{
    bank.trimDb = 12.0f;
    Notch& shallow = PlaceSettled(0, 1000.0f, -6.0f);
    UpdateNotchFilters(bank);
    EXPECT_EQ(shallow.filter.b0, 1.0);
    EXPECT_EQ(shallow.filter.b2, shallow.filter.a2);
    const std::vector<float> in = NoiseBlock(512, 0.3f);
    std::vector<float> out = in;
    bank.hold = true;
    ProcessBankBlock(bank, out.data(), 512);
    EXPECT_EQ(std::memcmp(in.data(), out.data(), in.size() * sizeof(float)), 0);

    NotchBank deep = bank, reference = bank;
    deep.trimDb = -12.0f;
    deep.slots[0].depth = deep.slots[0].targetDepth = -35.0f;
    reference.trimDb = 0.0f;
    reference.slots[0].depth = reference.slots[0].targetDepth = -40.0f;
    UpdateNotchFilters(deep);
    UpdateNotchFilters(reference);
    EXPECT_TRUE(SameFilterDesign(deep.slots[0], reference.slots[0]));
    EXPECT_NEAR(ResponseDb(deep.slots[0], 1000.0, kRate), -40.0, 0.01);
}

TEST_F(NotchBankFilter, MasterWidthNeverDesignsBelowAQOfHalf)
{
    NotchBank narrow = bank, reference = bank;
    narrow.widthScale = 0.5f;
    narrow.slots[0] = PlaceSettled(0, 3000.0f, -20.0f, 0.5f);
    reference.slots[0] = narrow.slots[0];
    UpdateNotchFilters(narrow);
    UpdateNotchFilters(reference);
    EXPECT_TRUE(SameFilterDesign(narrow.slots[0], reference.slots[0]));

    NotchBank wide = reference;
    wide.widthScale = 2.0f;
    wide.slots[0].q = 10.0f;
    reference.slots[0].q = 20.0f;
    UpdateNotchFilters(wide);
    UpdateNotchFilters(reference);
    EXPECT_TRUE(SameFilterDesign(wide.slots[0], reference.slots[0]));
}

TEST_F(NotchBankFilter, DesignsFrequenciesWithinTwentyHertzAndJustBelowNyquist)
{
    NotchBank low = bank, high = bank, refLow = bank, refHigh = bank;
    low.slots[0] = PlaceSettled(0, 5.0f, -20.0f);
    refLow.slots[0] = low.slots[0];
    refLow.slots[0].frequency = 20.0f;
    high.slots[0] = low.slots[0];
    high.slots[0].frequency = 40000.0f;
    refHigh.slots[0] = low.slots[0];
    refHigh.slots[0].frequency = 23520.0f;
    for (NotchBank* b : {&low, &high, &refLow, &refHigh})
        UpdateNotchFilters(*b);
    EXPECT_TRUE(SameFilterDesign(low.slots[0], refLow.slots[0]));
    EXPECT_TRUE(SameFilterDesign(high.slots[0], refHigh.slots[0]));
}

// ---- Depth ramp and release -----------------------------------------------

using NotchBankRamp = NotchBankTest;

TEST_F(NotchBankRamp, NewNotchDeepensBySixtyPercentOfTheRemainderPerBlock)
{
    Command(NotchCommandType::Add, 0, 1000.0f, -18.0f, 25.0f);
    const float expected[] = {-10.8f, -15.12f, -16.848f};
    for (float depth : expected)
    {
        std::vector<float> block = NoiseBlock(256, 0.05f);
        ProcessBankBlock(bank, block.data(), 256);
        EXPECT_NEAR(bank.slots[0].depth, depth, 1e-4f);
    }
}

TEST_F(NotchBankRamp, RemovedNotchFadesOutAndFreesItsSlotInTheFifteenthBlock)
{
    Notch& s = PlaceSettled(6, 1000.0f, -18.0f);
    UpdateOnly();
    Command(NotchCommandType::Remove, 6);
    EXPECT_FALSE(s.manual);
    EXPECT_EQ(KindOf(s), NotchKind::Auto);
    const float expected[] = {-12.6f, -8.82f, -6.174f};
    for (int block = 1; block <= 15; ++block)
    {
        std::vector<float> in = NoiseBlock(64, 0.1f);
        ProcessBankBlock(bank, in.data(), 64);
        if (block <= 3)
        {
            EXPECT_NEAR(s.depth, expected[block - 1], 1e-4f);
        }
        if (block < 15)
        {
            ASSERT_TRUE(s.active) << "freed too early, block " << block;
        }
    }
    EXPECT_FALSE(s.active);
    EXPECT_EQ(KindOf(s), NotchKind::Free);
    EXPECT_EQ(s.depth, 0.0f);
    EXPECT_EQ(s.filter.z1, 0.0);
    EXPECT_EQ(s.filter.z2, 0.0);
}

// ---- Editor commands ------------------------------------------------------

using NotchBankCommands = NotchBankTest;

TEST_F(NotchBankCommands, AddLimitsFrequencyDepthAndWidth)
{
    Command(NotchCommandType::Add, 0, 10.0f, -60.0f, 100.0f);
    Command(NotchCommandType::Add, 0, 30000.0f, -10.0f, 0.1f);
    EXPECT_EQ(bank.slots[0].frequency, 20.0f);
    EXPECT_EQ(bank.slots[0].targetDepth, -40.0f);
    EXPECT_EQ(bank.slots[0].q, 60.0f);
    EXPECT_EQ(bank.slots[1].frequency, 23520.0f);
    EXPECT_EQ(bank.slots[1].q, 0.5f);
    EXPECT_EQ(KindOf(bank.slots[0]), NotchKind::Manual);
    EXPECT_EQ(bank.slots[0].age, 0);
}

TEST_F(NotchBankCommands, AddWithAPositiveDepthFreesTheSlotAtTheNextUpdate)
{
    Command(NotchCommandType::Add, 0, 1000.0f, 6.0f, 25.0f);
    EXPECT_TRUE(bank.slots[0].active);
    EXPECT_EQ(bank.slots[0].targetDepth, 0.0f);
    UpdateOnly();
    EXPECT_FALSE(bank.slots[0].active);
}

TEST_F(NotchBankCommands, AddTakesTheFirstReusableSlotAndNeverDisplacesANotch)
{
    bank.slots[0].depth = -1.0f; // inactive but still sounding: not reusable
    PlaceSettled(1, 500.0f, -10.0f, 25.0f, false);
    Command(NotchCommandType::Add, 0, 2000.0f, -12.0f, 30.0f);
    EXPECT_FALSE(bank.slots[0].active);
    EXPECT_EQ(bank.slots[1].frequency, 500.0f);
    EXPECT_EQ(bank.slots[2].frequency, 2000.0f);

    for (int i = 0; i < kMaxNotches; ++i)
        PlaceSettled(i, 100.0f + 300.0f * i, -10.0f, 25.0f, i % 2 == 0);
    bank.slots[7].targetDepth = 0.0f; // fading out, still active
    const NotchBank before = bank;
    Command(NotchCommandType::Add, 0, 9000.0f, -12.0f, 30.0f);
    EXPECT_TRUE(SameSlots(before, bank));
}

TEST_F(NotchBankCommands, SetMakesAnyAddressedSlotAManualNotchKeepingItsQ)
{
    Command(NotchCommandType::Set, 4, 800.0f, -9.0f);
    const Notch& s = bank.slots[4];
    EXPECT_EQ(KindOf(s), NotchKind::Manual);
    EXPECT_EQ(s.frequency, 800.0f);
    EXPECT_EQ(s.targetDepth, -9.0f);
    EXPECT_EQ(s.q, 25.0f);

    Notch& automatic = PlaceSettled(5, 3000.0f, -18.0f, 40.0f, false);
    automatic.age = 300;
    Command(NotchCommandType::Set, 5, 3100.0f, -70.0f);
    EXPECT_EQ(KindOf(automatic), NotchKind::Manual);
    EXPECT_EQ(automatic.q, 40.0f);
    EXPECT_EQ(automatic.targetDepth, -40.0f);
    EXPECT_EQ(automatic.age, 0);
}

TEST_F(NotchBankCommands, SetWidthOnlyChangesTheQWithinItsLimits)
{
    Notch& s = PlaceSettled(3, 1000.0f, -18.0f);
    Command(NotchCommandType::SetWidth, 3, 80.0f);
    EXPECT_EQ(s.q, 60.0f);
    Command(NotchCommandType::SetWidth, 3, 0.2f);
    EXPECT_EQ(s.q, 0.5f);
    Command(NotchCommandType::SetWidth, 3, 12.5f);
    EXPECT_EQ(s.q, 12.5f);
    EXPECT_EQ(s.frequency, 1000.0f);
    EXPECT_EQ(s.targetDepth, -18.0f);
}

TEST_F(NotchBankCommands, BadSlotIndicesUnknownTypesAndNonNumbersChangeNothing)
{
    PlaceSettled(0, 1000.0f, -18.0f);
    PlaceSettled(19, 5000.0f, -12.0f, 25.0f, false);
    const NotchBank before = bank;
    for (int index : {20, -1, 1000, -20})
    {
        Command(NotchCommandType::Set, index, 700.0f, -6.0f);
        Command(NotchCommandType::SetWidth, index, 5.0f);
        Command(NotchCommandType::Remove, index);
    }
    Command(static_cast<NotchCommandType>(7), 0, 700.0f, -6.0f, 5.0f);
    Command(static_cast<NotchCommandType>(-1), 0, 700.0f, -6.0f, 5.0f);
    Command(NotchCommandType::Set, 0, std::nanf(""), -6.0f);
    Command(NotchCommandType::SetWidth, 0, INFINITY);
    Command(NotchCommandType::Add, 0, 700.0f, std::nanf(""), 5.0f);
    EXPECT_TRUE(SameSlots(before, bank));
}

TEST_F(NotchBankCommands, CommandsReachEveryChannelAndAddPicksEachBanksOwnSlot)
{
    std::array<NotchBank, 2> banks;
    ConfigureBank(banks[0], kRate);
    ConfigureBank(banks[1], kRate);
    banks[0].slots[0].active = true; // channel 0 already has an automatic notch
    banks[0].slots[0].frequency = 3000.0f;
    PushNotchCommand(feed, NotchCommandType::Add, 0, 1200.0f, -15.0f, 20.0f);
    PushNotchCommand(feed, NotchCommandType::SetWidth, 0, 33.0f);
    ApplyNotchCommands(feed, banks);
    EXPECT_EQ(banks[0].slots[1].frequency, 1200.0f);
    EXPECT_EQ(banks[1].slots[0].frequency, 1200.0f);
    EXPECT_EQ(banks[0].slots[0].q, 33.0f); // same index in both banks
    EXPECT_EQ(banks[1].slots[0].q, 33.0f);
    EXPECT_EQ(banks[1].slots[0].targetDepth, -15.0f);
}

// ---- Bad input ------------------------------------------------------------

using NotchBankBadInput = NotchBankTest;

TEST_F(NotchBankBadInput, NonFiniteSamplesLeaveTheOutputFiniteAndTheFiltersUnharmed)
{
    bank.hold = true;
    PlaceSettled(0, 1000.0f, -18.0f);
    PlaceSettled(1, 3000.0f, -30.0f);
    NotchBank reference = bank;
    for (int block = 0; block < 40; ++block)
    {
        std::vector<float> in = NoiseBlock(256, 0.2f);
        std::vector<float> clean = in;
        if (block == 10)
        {
            in[3] = std::nanf("");
            in[100] = INFINITY;
            for (int i = 150; i < 200; ++i)
                in[static_cast<std::size_t>(i)] = -INFINITY;
            for (std::size_t i : {3u, 100u})
                clean[i] = 0.0f;
            for (int i = 150; i < 200; ++i)
                clean[static_cast<std::size_t>(i)] = 0.0f;
        }
        ProcessBankBlock(bank, in.data(), 256);
        ProcessBankBlock(reference, clean.data(), 256);
        for (float v : in)
            ASSERT_TRUE(std::isfinite(v)) << "block " << block;
        // The bad samples act as silence; the filters are exactly where they would be.
        ASSERT_EQ(std::memcmp(in.data(), clean.data(), in.size() * sizeof(float)), 0) << "block " << block;
    }
}

TEST_F(NotchBankBadInput, AnOverflowingFilterStaysFiniteAndRecovers)
{
    bank.hold = true;
    PlaceSettled(0, 1000.0f, -40.0f, 0.5f);
    PlaceSettled(1, 1100.0f, -40.0f, 0.5f);
    std::vector<float> huge(256);
    for (std::size_t i = 0; i < huge.size(); ++i)
        huge[i] = (i % 2 == 0) ? FLT_MAX : -FLT_MAX;
    ProcessBankBlock(bank, huge.data(), 256);
    for (float v : huge)
        ASSERT_TRUE(std::isfinite(v) && std::fabs(v) <= 1.0f);
    for (const Notch& s : bank.slots)
        EXPECT_TRUE(std::isfinite(s.filter.z1) && std::isfinite(s.filter.z2));

    // The filters still ring with what was a legitimate (if absurd) input,
    // but the output stays finite and comes back to the signal's own level.
    ringstill::test::Tone tone{400.0, [](std::int64_t) { return 0.25; }};
    std::vector<float> block(256);
    for (int b = 0; b < 200; ++b)
    {
        for (int i = 0; i < 256; ++i)
            block[static_cast<std::size_t>(i)] = tone.At(b * 256 + i, kRate);
        ProcessBankBlock(bank, block.data(), 256);
        for (float v : block)
            ASSERT_TRUE(std::isfinite(v) && std::fabs(v) <= 1.0f) << "block " << b;
    }
    for (float v : block)
        ASSERT_LT(std::fabs(v), 0.3f);
}

// ---- Decaying tails -------------------------------------------------------

using NotchBankTail = NotchBankTest;

TEST_F(NotchBankTail, DecayingTailEndsInExactSilenceWithoutSubnormalState)
{
    bank.hold = true;
    for (int i = 0; i < kMaxNotches; ++i)
        PlaceSettled(i, 200.0f + 900.0f * i, -40.0f, 60.0f);
    ringstill::test::Tone tone{1100.0, [](std::int64_t) { return 0.8; }};
    std::vector<float> block(512);
    for (int b = 0; b < 20; ++b)
    {
        for (int i = 0; i < 512; ++i)
            block[static_cast<std::size_t>(i)] = tone.At(b * 512 + i, kRate) + noise.Next(0.05f);
        ProcessBankBlock(bank, block.data(), 512);
    }
    int silentBlocks = 0;
    bool settled = false;
    while (!settled && silentBlocks < 2000)
    {
        std::fill(block.begin(), block.end(), 0.0f);
        ProcessBankBlock(bank, block.data(), 512);
        ++silentBlocks;
        settled = true;
        for (const Notch& s : bank.slots)
        {
            ASSERT_NE(std::fpclassify(s.filter.z1), FP_SUBNORMAL);
            ASSERT_NE(std::fpclassify(s.filter.z2), FP_SUBNORMAL);
            settled = settled && s.filter.z1 == 0.0 && s.filter.z2 == 0.0;
        }
    }
    EXPECT_TRUE(settled);
    // Q 60 rings for a while; the tail is gone long before it would reach subnormals.
    EXPECT_LT(silentBlocks, 2000);
    EXPECT_GT(silentBlocks, 10);
    std::fill(block.begin(), block.end(), 0.0f);
    ProcessBankBlock(bank, block.data(), 512);
    EXPECT_TRUE(std::all_of(block.begin(), block.end(), [](float v) { return v == 0.0f; }));
}

TEST_F(NotchBankTail, QuietButAudibleSignalsAreFilteredExactly)
{
    bank.hold = true;
    PlaceSettled(0, 1000.0f, -18.0f);
    for (int b = 0; b < 10; ++b)
    {
        std::vector<float> in = NoiseBlock(512, 1e-6f); // -120 dBFS
        NotchBank designed = bank;
        UpdateNotchFilters(designed);
        const std::vector<float> expected = ReferenceChain(designed.slots, 1.0f, in);
        ProcessBankBlock(bank, in.data(), 512);
        ASSERT_EQ(std::memcmp(expected.data(), in.data(), in.size() * sizeof(float)), 0);
    }
}

// ---- Real-time safety -----------------------------------------------------

TEST(NotchBankRealtime, NothingAllocatesOnceConfiguredWhileNotchesComeAndGo)
{
    std::array<NotchBank, 2> banks;
    EditorFeed feed;
    for (NotchBank& b : banks)
        ConfigureBank(b, kRate);
    ResetEditorFeed(feed, &banks[0]);

    // Four and a half seconds: a howl for one, then noise until its notch is released.
    const int blockSize = 128;
    const int total = 48000 * 9 / 2;
    Noise noise;
    ringstill::test::Tone howl{2500.0, [](std::int64_t i) { return i < 48000 ? 0.3 : 0.0; }};
    std::vector<float> signal(static_cast<std::size_t>(total));
    for (int i = 0; i < total; ++i)
        signal[static_cast<std::size_t>(i)] = howl.At(i, kRate) + noise.Next(0.02f);
    std::vector<float> left(blockSize), right(blockSize);

    {
        // The counter does see this thread's allocations.
        ringstill::test::AllocationScope probe;
        std::vector<float> allocated(16);
        volatile float* observed = allocated.data();
        observed[0] = 1.0f;
        ASSERT_GT(probe.Count(), 0u);
    }
    int maxActive = 0;
    bool placedAutomatically = false;
    ringstill::test::AllocationScope scope;
    for (int start = 0, block = 0; start + blockSize <= total; start += blockSize, ++block)
    {
        if (block == 10) // before the howl is caught, so it lands in slot 0
            PushNotchCommand(feed, NotchCommandType::Add, 0, 700.0f, -12.0f, 10.0f);
        if (block == 400)
            PushNotchCommand(feed, NotchCommandType::Remove, 0);
        ApplyNotchCommands(feed, banks);
        std::copy_n(signal.begin() + start, blockSize, left.begin());
        std::copy_n(signal.begin() + start, blockSize, right.begin());
        ProcessBankBlock(banks[0], left.data(), blockSize);
        ProcessBankBlock(banks[1], right.data(), blockSize);
        PublishEditorView(feed, banks);
        for (const Notch& s : banks[0].slots)
            placedAutomatically = placedAutomatically || (s.active && !s.manual && std::fabs(s.frequency - 2500.0f) < 20.0f);
        maxActive = std::max(maxActive, CountActiveNotches(banks[0]) + CountActiveNotches(banks[1]));
    }
    EXPECT_EQ(scope.Count(), 0u);
    EXPECT_TRUE(placedAutomatically);
    EXPECT_GE(maxActive, 4);
    EXPECT_EQ(CountActiveNotches(banks[0]), 0); // everything released again
    EXPECT_EQ(CountActiveNotches(banks[1]), 0);
}
