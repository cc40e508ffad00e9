// ProcessBankBlock for one channel at 48 kHz, in 128- and 512-sample blocks.
// "rtf" is the real-time factor: seconds of audio processed per CPU second.
#include "effect/NotchBank.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <vector>

using namespace ringstill;

namespace {

constexpr double kRate = 48000.0;

struct Lcg
{
    std::uint32_t state = 12345u;
    float Next() // roughly uniform in -1..1
    {
        state = state * 1664525u + 1013904223u;
        return static_cast<float>(static_cast<std::int32_t>(state)) * (1.0f / 2147483648.0f);
    }
};

// A looping signal the benchmark walks through block by block.
struct Signal
{
    std::vector<float> samples;
    std::size_t position = 0;

    const float* Next(int n)
    {
        if (position + static_cast<std::size_t>(n) > samples.size())
            position = 0;
        const float* p = samples.data() + position;
        position += static_cast<std::size_t>(n);
        return p;
    }
};

Signal NoiseSignal(double seconds, float level)
{
    Signal s;
    Lcg rng;
    s.samples.resize(static_cast<std::size_t>(seconds * kRate));
    for (float& v : s.samples)
        v = level * rng.Next();
    return s;
}

// A new howl every 150 ms at another frequency, each rising by 30 dB, over a
// noise floor: the detector keeps tracking, placing and taking over slots.
Signal HowlSignal()
{
    Signal s = NoiseSignal(12.0, 0.02f);
    Lcg rng;
    const int segment = static_cast<int>(0.15 * kRate);
    for (std::size_t start = 0; start + static_cast<std::size_t>(segment) <= s.samples.size(); start += static_cast<std::size_t>(segment))
    {
        const double f = 200.0 + 5400.0 * (rng.Next() + 1.0);
        for (int i = 0; i < segment; ++i)
        {
            const double level = 0.005 * std::pow(10.0, 1.5 * i / segment);
            s.samples[start + static_cast<std::size_t>(i)] +=
                static_cast<float>(level * std::sin(2.0 * M_PI * f * i / kRate));
        }
    }
    return s;
}

// 250 ms of loud tones and noise, then 2.75 s of digital silence: the notch
// filters ring out in every cycle.
Signal BurstThenSilence()
{
    Signal s = NoiseSignal(3.0, 0.1f);
    const std::size_t burst = static_cast<std::size_t>(0.25 * kRate);
    for (std::size_t i = 0; i < s.samples.size(); ++i)
    {
        if (i >= burst)
            s.samples[i] = 0.0f;
        else
            for (int k = 0; k < kMaxNotches; ++k)
                s.samples[i] += 0.03f * static_cast<float>(std::sin(2.0 * M_PI * (300.0 + 550.0 * k) * i / kRate));
    }
    return s;
}

void FillWithManualNotches(NotchBank& bank)
{
    for (int i = 0; i < kMaxNotches; ++i)
    {
        Notch& slot = bank.slots[static_cast<std::size_t>(i)];
        slot.active = true;
        slot.manual = true;
        slot.frequency = 300.0f + 550.0f * static_cast<float>(i);
        slot.depth = slot.targetDepth = -24.0f;
        slot.q = 30.0f;
    }
}

void Run(benchmark::State& state, NotchBank& bank, Signal& signal, bool subnormalStates = false)
{
    const int n = static_cast<int>(state.range(0));
    std::vector<float> block(static_cast<std::size_t>(n));
    for (auto _ : state)
    {
        const float* in = signal.Next(n);
        std::copy(in, in + n, block.begin());
        if (subnormalStates)
            for (Notch& slot : bank.slots)
                slot.filter.z1 = slot.filter.z2 = 4e-310;
        ProcessBankBlock(bank, block.data(), n);
        benchmark::DoNotOptimize(block.data());
        benchmark::ClobberMemory();
    }
    state.counters["rtf"] = benchmark::Counter(static_cast<double>(state.iterations()) * n / kRate,
                                               benchmark::Counter::kIsRate);
    state.counters["active"] = CountActiveNotches(bank);
}

void NoActiveNotch(benchmark::State& state)
{
    NotchBank bank;
    ConfigureBank(bank, kRate);
    Signal signal = NoiseSignal(4.0, 0.2f);
    Run(state, bank, signal);
}

void TwentyActiveNotches(benchmark::State& state)
{
    NotchBank bank;
    ConfigureBank(bank, kRate);
    FillWithManualNotches(bank);
    Signal signal = NoiseSignal(4.0, 0.2f);
    Run(state, bank, signal);
}

void HowlBeingDetected(benchmark::State& state)
{
    NotchBank bank;
    ConfigureBank(bank, kRate);
    Signal signal = HowlSignal();
    Run(state, bank, signal);
}

void DecayingTail(benchmark::State& state)
{
    NotchBank bank;
    ConfigureBank(bank, kRate);
    FillWithManualNotches(bank);
    Signal signal = BurstThenSilence();
    Run(state, bank, signal);
}

// What one block costs while every filter state is subnormal: the price a
// tail would pay block after block if tiny states were not flushed.
void SubnormalStatesEveryBlock(benchmark::State& state)
{
    NotchBank bank;
    ConfigureBank(bank, kRate);
    FillWithManualNotches(bank);
    Signal signal;
    signal.samples.assign(static_cast<std::size_t>(kRate), 0.0f);
    Run(state, bank, signal, true);
}

} // namespace

BENCHMARK(NoActiveNotch)->Arg(128)->Arg(512);
BENCHMARK(TwentyActiveNotches)->Arg(128)->Arg(512);
BENCHMARK(HowlBeingDetected)->Arg(128)->Arg(512);
BENCHMARK(DecayingTail)->Arg(128)->Arg(512);
BENCHMARK(SubnormalStatesEveryBlock)->Arg(128)->Arg(512);
