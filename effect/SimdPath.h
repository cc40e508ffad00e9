// Which vector instruction set the DSP kernels (FFT, spectrum, peak scan) run
// on. Every path performs the same single-precision operations in the same
// order on every value, so all of them give the same bits; they differ only in
// how many values one instruction handles.
#pragma once

#include <optional>

namespace ringstill {

enum class SimdPath
{
    Scalar, // one value at a time; also what any path uses for sizes below its width
    Sse2,   // the x86-64 baseline
    Avx2,
    Avx512,
};

inline constexpr SimdPath kAllSimdPaths[] = {SimdPath::Scalar, SimdPath::Sse2, SimdPath::Avx2, SimdPath::Avx512};

const char* SimdPathName(SimdPath path);

// Whether this processor and its operating system can run the path.
bool CanRun(SimdPath path);

// Setup thread: the path new transforms and detectors are prepared with. The
// fastest path this processor runs, unless a test or benchmark forced one.
SimdPath DefaultSimdPath();

// Tests and benchmarks: makes DefaultSimdPath() return `path` (which must be
// runnable, or it is ignored); std::nullopt restores the automatic choice.
// Only what is prepared afterwards is affected.
void ForceSimdPathForTesting(std::optional<SimdPath> path);

} // namespace ringstill
