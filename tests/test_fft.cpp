#include "effect/Fft.h"
#include "tests/support/AllocCounter.h"
#include "tests/support/ReferenceDsp.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <limits>
#include <random>
#include <vector>

using ringstill::ComputeFft;

namespace {

std::vector<std::complex<double>> NaiveDft(const std::vector<std::complex<float>>& in)
{
    const int n = static_cast<int>(in.size());
    std::vector<std::complex<double>> out(n);
    for (int k = 0; k < n; ++k)
        for (int j = 0; j < n; ++j)
            out[k] += std::complex<double>(in[j]) * std::polar(1.0, -2.0 * M_PI * k * j / n);
    return out;
}

} // namespace

TEST(Fft, MatchesTheDirectTransformForEveryPowerOfTwoSize)
{
    for (int n : {2, 4, 8, 64, 512})
    {
        std::vector<std::complex<float>> v(n);
        for (int i = 0; i < n; ++i)
            v[i] = {std::sin(0.37f * i) + 0.25f * (i % 3), std::cos(0.11f * i)};
        const auto expected = NaiveDft(v);
        ComputeFft(v.data(), n);
        for (int k = 0; k < n; ++k)
        {
            EXPECT_NEAR(v[k].real(), expected[k].real(), 2e-4 * n) << "n=" << n << " k=" << k;
            EXPECT_NEAR(v[k].imag(), expected[k].imag(), 2e-4 * n) << "n=" << n << " k=" << k;
        }
    }
}

TEST(Fft, PutsAPureToneIntoItsBinWithoutScaling)
{
    const int n = 2048;
    std::vector<std::complex<float>> v(n);
    for (int i = 0; i < n; ++i)
        v[i] = {static_cast<float>(std::cos(2.0 * M_PI * 100.0 * i / n)), 0.0f};
    ComputeFft(v.data(), n);
    EXPECT_NEAR(std::abs(v[100]), n / 2.0, 0.05);
    EXPECT_NEAR(std::abs(v[n - 100]), n / 2.0, 0.05);
    EXPECT_LT(std::abs(v[101]), 0.05);
}

TEST(Fft, IgnoresDegenerateSizesAndAllocatesNothing)
{
    std::vector<std::complex<float>> v(1024, {1.0f, 0.0f});
    ComputeFft(nullptr, 8);
    ComputeFft(v.data(), 0);
    ComputeFft(v.data(), 1);
    EXPECT_EQ(v[0], std::complex<float>(1.0f, 0.0f));
    ringstill::test::AllocationScope scope;
    ComputeFft(v.data(), 1024);
    EXPECT_EQ(scope.Count(), 0u);
    EXPECT_FLOAT_EQ(v[0].real(), 1024.0f);
}

// ---- The planned transform against the first scalar code, bit for bit ------

namespace {

using ringstill::FftPlan;
using ringstill::SimdPath;
using ringstill::test::ReferenceFft;
using ringstill::test::SameFloats;

// Random values of every magnitude, with the awkward ones mixed in.
std::vector<std::complex<float>> AdversarialValues(int n, unsigned seed, bool withNonFinite)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> uniform(-1.0f, 1.0f);
    std::uniform_int_distribution<int> exponent(-140, 120);
    std::uniform_int_distribution<int> kind(0, 15);
    const float specials[] = {0.0f, -0.0f, 1e-45f, -3e-39f, 1.1754942e-38f, 3.4e38f, -3.4e38f,
                              std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity(),
                              std::numeric_limits<float>::quiet_NaN()};
    const int specialCount = withNonFinite ? 10 : 7;
    auto one = [&]() {
        const int k = kind(rng);
        if (k == 0)
            return specials[std::uniform_int_distribution<int>(0, specialCount - 1)(rng)];
        if (k < 4)
            return std::ldexp(uniform(rng), exponent(rng)); // denormal to huge
        return uniform(rng);
    };
    std::vector<std::complex<float>> v(static_cast<std::size_t>(n));
    for (auto& x : v)
        x = {one(), one()};
    return v;
}

::testing::AssertionResult SameComplex(const std::vector<std::complex<float>>& a,
                                       const std::vector<std::complex<float>>& b)
{
    return SameFloats(reinterpret_cast<const float*>(a.data()), reinterpret_cast<const float*>(b.data()), 2 * a.size());
}

class FftPaths : public ::testing::TestWithParam<SimdPath>
{
};

} // namespace

TEST_P(FftPaths, PlannedTransformGivesTheScalarBitsForEverySizeAndInput)
{
    RINGSTILL_SKIP_UNLESS_RUNNABLE(GetParam());
    for (int n = 2; n <= 16384; n *= 2)
    {
        FftPlan plan;
        plan.Prepare(n, GetParam());
        ASSERT_EQ(plan.Size(), n);
        // Below two registers' width a path runs the scalar butterflies.
        const int width = ringstill::KernelsFor(GetParam()).width;
        EXPECT_EQ(plan.Path(), n >= 2 * width ? GetParam() : SimdPath::Scalar) << "n=" << n;
        for (unsigned seed = 1; seed <= 3; ++seed)
        {
            // Finite values that overflow inside the transform, and infinities and NaNs.
            auto expected = AdversarialValues(n, seed * 7919u + static_cast<unsigned>(n), seed == 3);
            auto actual = expected;
            ReferenceFft(expected.data(), n);
            ComputeFft(plan, actual.data());
            EXPECT_TRUE(SameComplex(actual, expected)) << "n=" << n << " seed=" << seed;
        }
    }
}

TEST_P(FftPaths, RealInputThroughTheSplitArraysAndRepeatedTransformsStayExact)
{
    RINGSTILL_SKIP_UNLESS_RUNNABLE(GetParam());
    FftPlan plan;
    plan.Prepare(2048, GetParam());
    std::mt19937 rng(5);
    std::normal_distribution<float> normal(0.0f, 0.3f);
    for (int frame = 0; frame < 4; ++frame)
    {
        std::vector<std::complex<float>> expected(2048);
        for (int i = 0; i < 2048; ++i)
        {
            plan.InputReal()[i] = normal(rng);
            plan.InputImag()[i] = 0.0f;
            expected[static_cast<std::size_t>(i)] = {plan.InputReal()[i], 0.0f};
        }
        ReferenceFft(expected.data(), 2048);
        ringstill::test::AllocationScope scope;
        const ringstill::SplitComplex out = plan.Forward();
        EXPECT_EQ(scope.Count(), 0u);
        std::vector<std::complex<float>> actual(2048);
        for (int i = 0; i < 2048; ++i)
            actual[static_cast<std::size_t>(i)] = {out.re[i], out.im[i]};
        EXPECT_TRUE(SameComplex(actual, expected)) << "frame " << frame;
    }
}

INSTANTIATE_TEST_SUITE_P(EveryPath, FftPaths, ::testing::ValuesIn(ringstill::kAllSimdPaths),
                         ringstill::test::PathTestName);

TEST(FftPlanSetup, RefusesCountsThatAreNotPowersOfTwoAndUnplannedCallsMatchTheReference)
{
    FftPlan plan;
    for (int n : {0, 1, 3, 1000, -8})
    {
        plan.Prepare(n);
        EXPECT_EQ(plan.Size(), 0) << n;
        EXPECT_EQ(plan.Forward().re, nullptr);
    }
    auto expected = AdversarialValues(4096, 11, true);
    auto actual = expected;
    ReferenceFft(expected.data(), 4096);
    ComputeFft(actual.data(), 4096);
    EXPECT_TRUE(SameComplex(actual, expected));
}
