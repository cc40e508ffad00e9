// The built-in feedback scenario of the tools: a speech-like signal over a little noise at 48 kHz,
// with a 2.5 kHz howl that starts at 1 s at -40 dBFS and grows like feedback, 3 dB per 100 ms, up
// to -6 dBFS. Generated here so the tools need nothing of the effect. Pure functions.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace ringstill::scenario {

inline constexpr double kScenarioRate = 48000.0;
inline constexpr double kScenarioSeconds = 5.0;
inline constexpr double kHowlHz = 2500.0;
inline constexpr double kHowlStart = 1.0;     // s
inline constexpr double kHowlStartDb = -40.0; // dBFS at onset
inline constexpr double kHowlRiseDb = 3.0;    // per 100 ms
inline constexpr double kHowlCeilingDb = -6.0;
inline constexpr std::uint32_t kScenarioSeed = 2024u;

// Voiced speech stand-in at kScenarioRate: a gliding pitch with harmonics shaped by three
// formants, in syllables of about 4 per second, over a faint noise floor seeded by seed.
std::vector<float> SpeechLike(int count, std::uint32_t seed = kScenarioSeed);

// Level of the howl at time t in dBFS; -infinity before it starts.
double HowlLevelDb(double t);
// The howl's sample at time t (0 before it starts).
double HowlSample(double t);

// The whole scenario, mono, kScenarioSeconds long.
std::vector<float> MakeFeedbackScenario();

// Amplitude of the component at frequency over samples [from, to) (a single-bin correlation).
template <typename Sample>
double ToneAmplitude(const Sample* samples, std::size_t from, std::size_t to, double frequency, double rate)
{
    if (to <= from)
        return 0.0;
    double re = 0.0;
    double im = 0.0;
    for (std::size_t i = from; i < to; ++i)
    {
        const double phase = 2.0 * M_PI * frequency * double(i) / rate;
        re += samples[i] * std::cos(phase);
        im += samples[i] * std::sin(phase);
    }
    return 2.0 * std::hypot(re, im) / double(to - from);
}

} // namespace ringstill::scenario
