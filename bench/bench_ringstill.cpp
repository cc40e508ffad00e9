// Ringstill::ProcessAudioBlock, stereo at 48 kHz, in 128- and 512-sample
// blocks: idle, with 20 active notches per channel, plus No-Reverb at 100 %,
// plus No-Noise at 100 %; idle and 20 notches again with Auto Catch Adaptive.
// "rtf" is the real-time factor: seconds of (stereo) audio processed per CPU
// second.
#include "effect/Ringstill.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

using namespace ringstill;

namespace {

constexpr double kRate = 48000.0;
constexpr int kChannels = 2;

// Four seconds of independent noise per channel, walked through block by block.
struct StereoSignal
{
    std::vector<double> samples[kChannels];
    std::size_t position = 0;

    StereoSignal()
    {
        std::uint32_t state = 12345u;
        for (auto& channel : samples)
        {
            channel.resize(static_cast<std::size_t>(4.0 * kRate));
            for (double& v : channel)
            {
                state = state * 1664525u + 1013904223u;
                v = 0.2 * static_cast<double>(static_cast<std::int32_t>(state)) / 2147483648.0;
            }
        }
    }

    void Next(int n, std::vector<double> (&into)[kChannels])
    {
        if (position + static_cast<std::size_t>(n) > samples[0].size())
            position = 0;
        for (int c = 0; c < kChannels; ++c)
            std::copy(samples[c].begin() + static_cast<std::ptrdiff_t>(position),
                      samples[c].begin() + static_cast<std::ptrdiff_t>(position) + n, into[c].begin());
        position += static_cast<std::size_t>(n);
    }
};

struct Setting
{
    bool notches;
    double noReverb;
    double noNoise;
    AutoCatchMode autoCatch = AutoCatchMode::Classic;
};

void Run(benchmark::State& state, Setting setting)
{
    const int n = static_cast<int>(state.range(0));
    Ringstill fx;
    std::vector<double> in[kChannels], out[kChannels];
    for (int c = 0; c < kChannels; ++c)
    {
        in[c].assign(static_cast<std::size_t>(n), 0.0);
        out[c].assign(static_cast<std::size_t>(n), 0.0);
    }
    fx.SetSampleRate(kRate);
    fx.SetBlockCapacity(n);
    fx.CreateLatencyDelay();
    for (int c = 0; c < kChannels; ++c)
    {
        fx.ConnectChannel(iplug::kInput, c, in[c].data());
        fx.ConnectChannel(iplug::kOutput, c, out[c].data());
    }
    fx.ResetDsp();
    fx.Feed().autoCatchMode.store(static_cast<std::uint8_t>(setting.autoCatch));
    fx.GetParam(kNoReverb)->StoreValue(setting.noReverb);
    fx.GetParam(kNoNoise)->StoreValue(setting.noNoise);
    if (setting.notches)
        for (int i = 0; i < kMaxNotches; ++i)
            PushNotchCommand(fx.Feed(), NotchCommandType::Add, 0, 300.0f + 550.0f * static_cast<float>(i), -24.0f,
                             30.0f);

    StereoSignal signal;
    // Settle the depth ramps and fill the clean-up stages' queues first.
    for (int block = 0; block < 100; ++block)
    {
        signal.Next(n, in);
        fx.ProcessAudioBlock(fx.InputPointers(), fx.OutputPointers(), n);
    }
    for (auto _ : state)
    {
        signal.Next(n, in);
        fx.ProcessAudioBlock(fx.InputPointers(), fx.OutputPointers(), n);
        benchmark::DoNotOptimize(out[0].data());
        benchmark::DoNotOptimize(out[1].data());
        benchmark::ClobberMemory();
    }
    state.counters["rtf"] = benchmark::Counter(static_cast<double>(state.iterations()) * n / kRate,
                                               benchmark::Counter::kIsRate);
    state.counters["active"] = fx.Feed().activeNotchCount.load();
    state.counters["latency"] = fx.GetLatency();
}

void Idle(benchmark::State& state) { Run(state, {false, 0.0, 0.0}); }
void IdleAdaptive(benchmark::State& state) { Run(state, {false, 0.0, 0.0, AutoCatchMode::Adaptive}); }
void TwentyNotches(benchmark::State& state) { Run(state, {true, 0.0, 0.0}); }
void TwentyNotchesAdaptive(benchmark::State& state) { Run(state, {true, 0.0, 0.0, AutoCatchMode::Adaptive}); }
void TwentyNotchesNoReverb(benchmark::State& state) { Run(state, {true, 100.0, 0.0}); }
void TwentyNotchesNoReverbNoNoise(benchmark::State& state) { Run(state, {true, 100.0, 100.0}); }

} // namespace

BENCHMARK(Idle)->Arg(128)->Arg(512);
BENCHMARK(IdleAdaptive)->Arg(128)->Arg(512);
BENCHMARK(TwentyNotches)->Arg(128)->Arg(512);
BENCHMARK(TwentyNotchesAdaptive)->Arg(128)->Arg(512);
BENCHMARK(TwentyNotchesNoReverb)->Arg(128)->Arg(512);
BENCHMARK(TwentyNotchesNoReverbNoNoise)->Arg(128)->Arg(512);
