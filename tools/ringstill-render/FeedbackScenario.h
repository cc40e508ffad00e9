// The built-in feedback scenario: a speech-like signal over a little noise at 48 kHz, with a
// 2.5 kHz howl that starts at 1 s at -40 dBFS and grows like feedback, 3 dB per 100 ms, up to
// -6 dBFS. The same scenario as the notch-bank demo, generated here so the render tool needs
// nothing of the effect. Pure functions.
#pragma once

#include <cstddef>
#include <vector>

namespace ringstill::render {

inline constexpr double kScenarioRate = 48000.0;
inline constexpr double kScenarioSeconds = 5.0;
inline constexpr double kHowlHz = 2500.0;
inline constexpr double kHowlStart = 1.0;     // s
inline constexpr double kHowlStartDb = -40.0; // dBFS at onset
inline constexpr double kHowlRiseDb = 3.0;    // per 100 ms
inline constexpr double kHowlCeilingDb = -6.0;

// Level of the howl at time t in dBFS; -infinity before it starts.
double HowlLevelDb(double t);

// The whole scenario, mono, kScenarioSeconds long.
std::vector<float> MakeFeedbackScenario();

// Amplitude of the component at frequency over samples [from, to) (a single-bin correlation).
double ToneAmplitude(const float* samples, std::size_t from, std::size_t to, double frequency, double rate);

} // namespace ringstill::render
