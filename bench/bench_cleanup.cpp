// Cost of the clean-up stage per channel, as real-time factors: seconds of
// audio processed per second of CPU ("rtf"). The raw denoiser frame call is
// measured next to the No-Noise wrapper so the wrapper's overhead shows.
#include "effect/CleanupStage.h"
#include "effect/Denoiser.h"
#include "effect/NoReverb.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <vector>

using namespace ringstill;

namespace {

constexpr int kBlock = 512;

std::vector<float> Noise(std::size_t n, float level)
{
    std::mt19937 rng(1);
    std::uniform_real_distribution<float> uniform(-level, level);
    std::vector<float> x(n);
    for (float& v : x)
        v = uniform(rng);
    return x;
}

void SetRtf(benchmark::State& state, double audioSecondsPerIteration)
{
    state.counters["rtf"] = benchmark::Counter(audioSecondsPerIteration * static_cast<double>(state.iterations()),
                                               benchmark::Counter::kIsRate);
}

void DenoiserFrame(benchmark::State& state)
{
    DenoiserPtr denoiser(CreateDenoiser());
    const std::vector<float> input = Noise(kDenoiserFrameSize, 3000.0f);
    std::vector<float> output(kDenoiserFrameSize);
    for (auto _ : state)
    {
        benchmark::DoNotOptimize(DenoiseFrame(denoiser.get(), input.data(), output.data()));
        benchmark::ClobberMemory();
    }
    SetRtf(state, static_cast<double>(kDenoiserFrameSize) / kDenoiserSampleRate);
}

void NoNoise(benchmark::State& state)
{
    const double fs = static_cast<double>(state.range(0));
    CleanupStage stage;
    stage.ConfigureNoNoise(fs, 1, kBlock);
    stage.SetNoNoiseAmount(1.0f);
    const std::vector<float> source = Noise(kBlock, 0.1f);
    std::vector<float> block(kBlock);
    for (auto _ : state)
    {
        block = source;
        stage.ProcessNoNoise(block.data(), kBlock, 0);
        benchmark::DoNotOptimize(block.data());
    }
    SetRtf(state, kBlock / fs);
}

void NoReverb(benchmark::State& state)
{
    const double fs = static_cast<double>(state.range(0));
    auto channel = std::make_unique<NoReverbChannel>();
    channel->Prepare(fs);
    channel->amount = 1.0f;
    const std::vector<float> source = Noise(kBlock, 0.1f);
    std::vector<float> block(kBlock);
    for (auto _ : state)
    {
        for (int i = 0; i < kBlock; ++i)
            block[static_cast<std::size_t>(i)] = channel->ProcessSample(source[static_cast<std::size_t>(i)]);
        benchmark::DoNotOptimize(block.data());
    }
    SetRtf(state, kBlock / fs);
}

} // namespace

BENCHMARK(DenoiserFrame);
BENCHMARK(NoNoise)->Arg(48000)->Arg(44100);
BENCHMARK(NoReverb)->Arg(48000)->Arg(44100);
