// The notch cascade on every instruction-set path this processor runs, against
// the slots run one after the other over the block as first written
// (tests/support/ReferenceDsp), bit for bit: the kernel alone for every stage
// count and block length around its edges, on hostile samples; whole bank
// blocks at every rate of the detector's table, in mono and stereo, while
// notches come and go. Also which path a new bank gets.
#include "effect/DspKernels.h"
#include "effect/NotchBank.h"
#include "effect/NotchCascade.h"
#include "tests/support/ReferenceDsp.h"
#include "tests/support/TestSignals.h"

#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

using namespace ringstill;
using ringstill::test::SameFloats;

namespace {

bool SameDouble(double a, double b)
{
    return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b) || (std::isnan(a) && std::isnan(b));
}

// A notch as UpdateNotchFilters designs one, anywhere in the ranges it allows,
// ringing with a state of any size.
NotchFilter RandomFilter(std::mt19937& rng)
{
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    NotchFilter f;
    const double w0 = kTwoPiF * 20.0 * std::pow(0.49 * 48000.0 / 20.0, unit(rng)) / 48000.0;
    f.Design(w0, 0.5 + 119.5 * unit(rng), std::pow(10.0, -40.0 * unit(rng) / 40.0));
    const double level = std::pow(10.0, -45.0 + 46.0 * unit(rng));
    f.z1 = level * (unit(rng) - 0.5);
    f.z2 = level * (unit(rng) - 0.5);
    return f;
}

// Samples a filter chain can meet and some it never should: noise and tones,
// silence and negative zeros, subnormal floats, levels that overflow the
// filters, infinities and NaNs. Stretches of each, in an order set by `kind`.
std::vector<float> HostileBlock(std::mt19937& rng, int n, int kind)
{
    std::normal_distribution<float> gauss(0.0f, 1.0f);
    std::vector<float> block(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
    {
        float& v = block[static_cast<std::size_t>(i)];
        switch ((kind + i / 97) % 7)
        {
        case 0: v = 0.3f * gauss(rng); break;
        case 1: v = 0.5f * std::sin(0.05f * static_cast<float>(i)) + 1e-3f * gauss(rng); break;
        case 2: v = (i % 3 == 0) ? -0.0f : 0.0f; break;
        case 3: v = 1e-40f * gauss(rng); break;
        case 4: v = (i % 2 == 0 ? 1.0f : -1.0f) * FLT_MAX * (0.5f + 0.5f * std::fabs(gauss(rng))); break;
        case 5: v = (i % 11 == 0) ? std::numeric_limits<float>::quiet_NaN() : 0.2f * gauss(rng); break;
        default: v = (i % 13 == 0) ? -std::numeric_limits<float>::infinity() : 0.2f * gauss(rng); break;
        }
    }
    return block;
}

NotchCascade Pack(const std::vector<NotchFilter>& filters)
{
    NotchCascade c;
    for (const NotchFilter& f : filters)
        c.Append(f);
    return c;
}

// The plain order, written out: each filter over the whole block in turn.
void StageByStage(std::vector<NotchFilter>& filters, std::vector<float>& samples)
{
    for (NotchFilter& f : filters)
        for (float& s : samples)
        {
            const double x = s;
            const double y = f.b0 * x + f.z1;
            f.z1 = f.b1 * x - f.a1 * y + f.z2;
            f.z2 = f.b2 * x - f.a2 * y;
            s = static_cast<float>(y);
        }
}

// Around every edge of the wavefront: shorter than the cascade, as long, one
// longer; a register's width either side; and ordinary host blocks.
std::vector<int> BlockLengths(int count)
{
    std::vector<int> lengths = {1, 2, 3, 4, 5, 7, 8, 9, 16, 17, 31, 64, 255, 256, 257, 512, 1024, 4096};
    for (int d = -2; d <= 2; ++d)
        if (count + d >= 1)
            lengths.push_back(count + d);
    lengths.push_back(2 * count);
    return lengths;
}

class CascadePaths : public ::testing::TestWithParam<SimdPath>
{
};

} // namespace

TEST_P(CascadePaths, EveryStageCountAndBlockLengthGivesTheStageByStageBits)
{
    RINGSTILL_SKIP_UNLESS_RUNNABLE(GetParam());
    const auto cascade = KernelsFor(GetParam()).notchCascade;
    ASSERT_NE(cascade, nullptr);
    std::mt19937 rng(20261209u);
    for (int count = 1; count <= kCascadeCapacity; ++count)
    {
        for (int n : BlockLengths(count))
        {
            std::vector<NotchFilter> filters;
            for (int j = 0; j < count; ++j)
                filters.push_back(RandomFilter(rng));
            NotchCascade packed = Pack(filters);
            // Three blocks in a row: the states carry from one to the next.
            for (int block = 0; block < 3; ++block)
            {
                std::vector<float> expected = HostileBlock(rng, n, count + n + block);
                std::vector<float> actual = expected;
                StageByStage(filters, expected);
                cascade(packed, actual.data(), n);
                ASSERT_TRUE(SameFloats(actual.data(), expected.data(), actual.size()))
                    << count << " stages, " << n << " samples, block " << block;
                for (int j = 0; j < count; ++j)
                    ASSERT_TRUE(SameDouble(packed.z1[j], filters[static_cast<std::size_t>(j)].z1)
                                && SameDouble(packed.z2[j], filters[static_cast<std::size_t>(j)].z2))
                        << "state of stage " << j << " of " << count << ", " << n << " samples";
            }
            for (int j = count; j < kCascadeCapacity; ++j)
                ASSERT_TRUE(packed.z1[j] == 0.0 && packed.z2[j] == 0.0) << "unused stage " << j << " was written";
        }
    }
}

TEST_P(CascadePaths, AnEmptyCascadeOrBlockLeavesEverythingAsItWas)
{
    RINGSTILL_SKIP_UNLESS_RUNNABLE(GetParam());
    const auto cascade = KernelsFor(GetParam()).notchCascade;
    std::mt19937 rng(7u);
    NotchCascade none;
    std::vector<float> samples = {0.25f, -0.5f, 1e-40f};
    cascade(none, samples.data(), 3);
    EXPECT_EQ(samples, (std::vector<float>{0.25f, -0.5f, 1e-40f}));

    std::vector<NotchFilter> filters = {RandomFilter(rng), RandomFilter(rng)};
    NotchCascade two = Pack(filters);
    cascade(two, samples.data(), 0);
    EXPECT_EQ(samples, (std::vector<float>{0.25f, -0.5f, 1e-40f}));
    EXPECT_TRUE(two.z1[1] == filters[1].z1 && two.z2[1] == filters[1].z2);
}

INSTANTIATE_TEST_SUITE_P(EveryPath, CascadePaths, ::testing::ValuesIn(kAllSimdPaths), test::PathTestName);

// ---- Whole bank blocks ------------------------------------------------------

namespace {

struct BankCase
{
    SimdPath path;
    double rate;
    int channels;
};

void PrintTo(const BankCase& c, std::ostream* os)
{
    *os << SimdPathName(c.path) << " at " << c.rate << " Hz, " << c.channels << " channel(s)";
}

std::vector<BankCase> EveryBankCase()
{
    std::vector<BankCase> all;
    for (SimdPath path : kAllSimdPaths)
        for (double rate : {44100.0, 48000.0, 88200.0, 96000.0, 192000.0})
            for (int channels : {1, 2})
                all.push_back({path, rate, channels});
    return all;
}

::testing::AssertionResult SameSlotsExactly(const NotchBank& a, const NotchBank& b)
{
    for (std::size_t i = 0; i < a.slots.size(); ++i)
    {
        const Notch& x = a.slots[i];
        const Notch& y = b.slots[i];
        const NotchFilter& f = x.filter;
        const NotchFilter& g = y.filter;
        if (x.active != y.active || x.manual != y.manual || x.age != y.age
            || std::bit_cast<std::uint32_t>(x.depth) != std::bit_cast<std::uint32_t>(y.depth)
            || !SameDouble(f.b0, g.b0) || !SameDouble(f.b1, g.b1) || !SameDouble(f.b2, g.b2)
            || !SameDouble(f.a1, g.a1) || !SameDouble(f.a2, g.a2) || !SameDouble(f.z1, g.z1) || !SameDouble(f.z2, g.z2))
            return ::testing::AssertionFailure() << "slot " << i << " differs";
    }
    return ::testing::AssertionSuccess();
}

// Noise under a tone that swells, different in each channel.
std::vector<float> Programme(std::mt19937& rng, int n, std::int64_t clock, std::size_t channel)
{
    std::normal_distribution<float> gauss(0.0f, 0.05f);
    std::vector<float> block(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
    {
        const double t = static_cast<double>(clock + i);
        const double level = 0.02 * std::pow(1.0002, std::fmod(t, 20000.0));
        block[static_cast<std::size_t>(i)] =
            gauss(rng) + static_cast<float>(level * std::sin(0.13 * t * (1.0 + 0.37 * static_cast<double>(channel))));
    }
    return block;
}

// Manual notches fill every free slot at once, then go one at a time, so
// every number of active slots from 0 to 20 comes by.
void Commands(EditorFeed& feed, int block)
{
    if (block % 120 == 10)
        for (int i = 0; i < kMaxNotches; ++i)
            PushNotchCommand(feed, NotchCommandType::Add, 0, 90.0f * static_cast<float>(i + 2), -30.0f, 4.0f + i);
    if (block % 120 > 40 && block % 120 <= 40 + kMaxNotches)
        PushNotchCommand(feed, NotchCommandType::Remove, block % 120 - 41);
}

class BankPaths : public ::testing::TestWithParam<BankCase>
{
};

} // namespace

TEST_P(BankPaths, EveryBlockMatchesTheSlotBySlotCodeWhileNotchesComeAndGo)
{
    const BankCase param = GetParam();
    RINGSTILL_SKIP_UNLESS_RUNNABLE(param.path);
    std::vector<NotchBank> fast(static_cast<std::size_t>(param.channels));
    std::vector<NotchBank> reference(fast.size());
    {
        test::ScopedSimdPath forced(param.path);
        for (NotchBank& bank : fast)
            ConfigureBank(bank, param.rate);
    }
    for (NotchBank& bank : reference)
        ConfigureBank(bank, param.rate);
    ASSERT_EQ(fast[0].filterPath, param.path);
    EditorFeed fastFeed, referenceFeed;

    const int lengths[] = {1, 2, 19, 20, 21, 64, 127, 256, 511, 512, 513, 1024, 4096, 7, 3};
    std::mt19937 rng(31u);
    std::vector<bool> countsSeen(kMaxNotches + 1, false);
    std::int64_t samplesSoFar = 0;
    for (int block = 0; block < 240; ++block)
    {
        Commands(fastFeed, block);
        Commands(referenceFeed, block);
        ApplyNotchCommands(fastFeed, fast);
        ApplyNotchCommands(referenceFeed, reference);
        const int n = lengths[block % 15];
        const std::int64_t clock = samplesSoFar;
        samplesSoFar += n;
        for (std::size_t c = 0; c < fast.size(); ++c)
        {
            // Mostly programme, now and then hostile; the gain now and then drives the clip.
            std::vector<float> a = block % 5 == 4 ? HostileBlock(rng, n, block / 5) : Programme(rng, n, clock, c);
            std::vector<float> b = a;
            for (NotchBank* bank : {&fast[c], &reference[c]})
            {
                bank->outputGain = block % 9 == 8 ? 3.0f : 1.0f;
                bank->hold = block % 50 > 45;
            }
            ProcessBankBlock(fast[c], a.data(), n);
            test::ReferenceProcessBankBlock(reference[c], b.data(), n);
            ASSERT_TRUE(SameFloats(a.data(), b.data(), a.size())) << "channel " << c << ", block " << block;
            ASSERT_TRUE(SameSlotsExactly(fast[c], reference[c])) << "channel " << c << ", block " << block;
            countsSeen[static_cast<std::size_t>(CountActiveNotches(fast[c]))] = true;
        }
    }
    for (int count = 0; count <= kMaxNotches; ++count)
        EXPECT_TRUE(countsSeen[static_cast<std::size_t>(count)]) << count << " active slots never came by";
}

INSTANTIATE_TEST_SUITE_P(EveryPathRateAndLayout, BankPaths, ::testing::ValuesIn(EveryBankCase()),
                         [](const ::testing::TestParamInfo<BankCase>& info) {
                             return std::string(SimdPathName(info.param.path)) + "_"
                                    + std::to_string(static_cast<int>(info.param.rate)) + "_"
                                    + std::to_string(info.param.channels) + "ch";
                         });

// ---- The path a new bank gets -------------------------------------------------

TEST(DefaultPath, IsAvx2WhereTheProcessorHasItAndAvx512OnlyWhenForced)
{
    const SimdPath expected = CanRun(SimdPath::Avx2) ? SimdPath::Avx2 : CanRun(SimdPath::Sse2) ? SimdPath::Sse2
                                                                                              : SimdPath::Scalar;
    EXPECT_EQ(DefaultSimdPath(), expected);
    NotchBank bank;
    ConfigureBank(bank, 48000.0);
    EXPECT_EQ(bank.filterPath, expected);
    EXPECT_EQ(bank.fft.Path(), expected);
    if (CanRun(SimdPath::Avx512))
    {
        test::ScopedSimdPath forced(SimdPath::Avx512);
        ConfigureBank(bank, 48000.0);
        EXPECT_EQ(bank.filterPath, SimdPath::Avx512);
    }
}
