// The detector's transform and analysis frame against a tuned library measured
// in the same run: FFTW's 2048-point single-precision complex transform
// (benchmark only; the plug-in never links FFTW). "xFFTW" is a row's CPU time
// per iteration as a multiple of FFTW's.
#include "effect/Fft.h"
#include "effect/NotchBank.h"

#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <algorithm>
#include <ctime>
#include <complex>
#include <random>
#include <vector>

using namespace ringstill;

namespace {

constexpr int kSize = 2048;
// CPU time of this thread: other processes on a shared machine do not count.
double ThreadSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

std::vector<float> Noise(int n, unsigned seed)
{
    std::mt19937 rng(seed);
    std::normal_distribution<float> normal(0.0f, 0.2f);
    std::vector<float> x(static_cast<std::size_t>(n));
    for (float& v : x)
        v = normal(rng);
    return x;
}

// FFTW's best plan for the size, in place on interleaved complex values.
struct FftwTransform
{
    fftwf_complex* data = fftwf_alloc_complex(kSize);
    fftwf_plan plan = fftwf_plan_dft_1d(kSize, data, data, FFTW_FORWARD, FFTW_MEASURE);
    FftwTransform()
    {
        const std::vector<float> x = Noise(kSize, 1);
        for (int i = 0; i < kSize; ++i)
        {
            data[i][0] = x[static_cast<std::size_t>(i)];
            data[i][1] = 0.0f;
        }
    }
    ~FftwTransform()
    {
        fftwf_destroy_plan(plan);
        fftwf_free(data);
    }
    void Run() { fftwf_execute(plan); }
};

// FFTW's time per transform, measured once per process (best of several runs).
double FftwSeconds()
{
    static const double seconds = [] {
        FftwTransform fftw;
        double best = 1.0;
        for (int run = 0; run < 25; ++run)
        {
            const double start = ThreadSeconds();
            for (int i = 0; i < 2000; ++i)
                fftw.Run();
            best = std::min(best, (ThreadSeconds() - start) / 2000.0);
        }
        return best;
    }();
    return seconds;
}

template <class Body>
void Measure(benchmark::State& state, Body body)
{
    const double fftw = FftwSeconds();
    const double start = ThreadSeconds();
    for (auto _ : state)
        body();
    const double perIteration = (ThreadSeconds() - start) / static_cast<double>(state.iterations());
    state.counters["xFFTW"] = perIteration / fftw;
}

void Fftw(benchmark::State& state)
{
    FftwTransform fftw;
    Measure(state, [&] {
        fftw.Run();
        benchmark::ClobberMemory();
    });
}

// The transform as it was before plans: bit reversal and twiddles by recurrence in every group.
void UnplannedFft(benchmark::State& state)
{
    const std::vector<float> x = Noise(kSize, 1);
    std::vector<std::complex<float>> values(kSize);
    Measure(state, [&] {
        for (int i = 0; i < kSize; ++i)
            values[static_cast<std::size_t>(i)] = {x[static_cast<std::size_t>(i)], 0.0f};
        ComputeFft(values.data(), kSize);
        benchmark::DoNotOptimize(values.data());
    });
}

void PlannedFft(benchmark::State& state)
{
    const SimdPath path = static_cast<SimdPath>(state.range(0));
    if (!CanRun(path))
        return state.SkipWithError("this processor cannot run the path");
    state.SetLabel(SimdPathName(path));
    FftPlan plan;
    plan.Prepare(kSize, path);
    const std::vector<float> x = Noise(kSize, 1);
    Measure(state, [&] {
        std::copy(x.begin(), x.end(), plan.InputReal());
        std::fill(plan.InputImag(), plan.InputImag() + kSize, 0.0f);
        benchmark::DoNotOptimize(plan.Forward().re);
    });
}

// One whole analysis frame of the detector at 48 kHz: window, transform,
// magnitudes, band mean, candidate scan and track updates over noise.
void DetectorFrame(benchmark::State& state)
{
    const SimdPath path = static_cast<SimdPath>(state.range(0));
    if (!CanRun(path))
        return state.SkipWithError("this processor cannot run the path");
    state.SetLabel(SimdPathName(path));
    ForceSimdPathForTesting(path);
    NotchBank bank;
    ConfigureBank(bank, 48000.0);
    ForceSimdPathForTesting(std::nullopt);
    const std::vector<float> x = Noise(kSize, 2);
    std::copy(x.begin(), x.end(), bank.analysisBuffer.begin());
    Measure(state, [&] {
        AnalyseFrame(bank);
        benchmark::DoNotOptimize(bank.spectrum.data());
    });
}

} // namespace

BENCHMARK(Fftw);
BENCHMARK(UnplannedFft);
BENCHMARK(PlannedFft)->DenseRange(0, 3);
BENCHMARK(DetectorFrame)->DenseRange(0, 3);
