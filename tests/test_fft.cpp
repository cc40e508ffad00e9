#include "effect/Fft.h"
#include "tests/support/AllocCounter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
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
