#include "effect/SimdPath.h"

#include <atomic>

namespace ringstill {

namespace {

// -1: automatic; otherwise the forced path's value.
std::atomic<int> gForcedPath{-1};

bool ProcessorRuns(SimdPath path)
{
#if defined(__x86_64__) || defined(_M_X64)
    // Checks the processor's feature bits and that the operating system saves
    // the wider registers (XGETBV) before reporting AVX or AVX-512.
    __builtin_cpu_init();
    switch (path)
    {
    case SimdPath::Scalar:
    case SimdPath::Sse2:
        return true;
    case SimdPath::Avx2:
        return __builtin_cpu_supports("avx2") != 0;
    case SimdPath::Avx512:
        return __builtin_cpu_supports("avx512f") != 0;
    }
    return false;
#else
    return path == SimdPath::Scalar;
#endif
}

// The widest: on the processors measured so far each wider path was faster
// (bench_fft compares them all).
SimdPath FastestPath()
{
    for (SimdPath path : {SimdPath::Avx512, SimdPath::Avx2, SimdPath::Sse2})
        if (ProcessorRuns(path))
            return path;
    return SimdPath::Scalar;
}

} // namespace

const char* SimdPathName(SimdPath path)
{
    switch (path)
    {
    case SimdPath::Scalar:
        return "scalar";
    case SimdPath::Sse2:
        return "sse2";
    case SimdPath::Avx2:
        return "avx2";
    case SimdPath::Avx512:
        return "avx512";
    }
    return "?";
}

bool CanRun(SimdPath path)
{
    return ProcessorRuns(path);
}

SimdPath DefaultSimdPath()
{
    const int forced = gForcedPath.load(std::memory_order_relaxed);
    if (forced >= 0)
        return static_cast<SimdPath>(forced);
    static const SimdPath fastest = FastestPath();
    return fastest;
}

void ForceSimdPathForTesting(std::optional<SimdPath> path)
{
    if (path && !CanRun(*path))
        return;
    gForcedPath.store(path ? static_cast<int>(*path) : -1, std::memory_order_relaxed);
}

} // namespace ringstill
