// The detector's and No-Reverb's DSP as first written: plain scalar loops,
// in-place bit-reversed FFT with twiddles by recurrence, per-sample feeding,
// temporary arrays per frame. Kept frozen as the oracle the fast paths are
// compared with, bit for bit. Also the helpers those comparisons share.
#pragma once

#include "effect/NoReverb.h"
#include "effect/NotchBank.h"
#include "effect/SimdPath.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <complex>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace ringstill::test {

void ReferenceFft(std::complex<float>* values, int count);

// Step 1 of a bank block and one analysis frame.
void ReferenceFeedDetector(NotchBank& bank, float* samples, int n);
void ReferenceAnalyseFrame(NotchBank& bank);

// One No-Reverb sample and frame, on the channel's rings, average and accumulator.
float ReferenceNoReverbSample(NoReverbChannel& channel, float x);
void ReferenceNoReverbFrame(NoReverbChannel& channel);

// The same float: equal bits, or both NaN (which NaN an operation on two NaNs
// returns is the compiler's choice of operand order, not the algorithm's).
inline bool SameFloat(float a, float b)
{
    return std::bit_cast<std::uint32_t>(a) == std::bit_cast<std::uint32_t>(b) || (std::isnan(a) && std::isnan(b));
}

inline std::string Describe(float x)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.9g (0x%08x)", static_cast<double>(x),
                  static_cast<unsigned>(std::bit_cast<std::uint32_t>(x)));
    return text;
}

inline ::testing::AssertionResult SameFloats(const float* a, const float* b, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i)
        if (!SameFloat(a[i], b[i]))
            return ::testing::AssertionFailure()
                   << "first difference at " << i << ": " << Describe(a[i]) << " vs " << Describe(b[i]);
    return ::testing::AssertionSuccess();
}

// Tracks and slots field by field, spectrum and buffer bit by bit.
::testing::AssertionResult SameDetectorState(const NotchBank& a, const NotchBank& b);

// Makes every plan prepared while it lives run on one path.
class ScopedSimdPath
{
public:
    explicit ScopedSimdPath(SimdPath path) { ForceSimdPathForTesting(path); }
    ~ScopedSimdPath() { ForceSimdPathForTesting(std::nullopt); }
    ScopedSimdPath(const ScopedSimdPath&) = delete;
    ScopedSimdPath& operator=(const ScopedSimdPath&) = delete;
};

// For parameterised suites over the paths: skips the ones this processor cannot run.
#define RINGSTILL_SKIP_UNLESS_RUNNABLE(path)                                                                          \
    if (!::ringstill::CanRun(path))                                                                                   \
    GTEST_SKIP() << "this processor cannot run " << ::ringstill::SimdPathName(path)

inline std::string PathTestName(const ::testing::TestParamInfo<SimdPath>& info)
{
    return SimdPathName(info.param);
}

} // namespace ringstill::test
