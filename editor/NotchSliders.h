// The selected notch's three sliders: where a notch value sits on its slider (0..1), and back.
// Reduce: -40..0 dB, linear. Frequency: 20 Hz..20 kHz, logarithmic. Bandwidth: Q 0.5..60,
// logarithmic. The layout's slider actions use one direction, the idle update the other.
#pragma once

#include <cmath>

namespace ringstill::notchslider {

inline constexpr float kDepthRangeDb = 40.0f;     // the slider's left end cuts by this much
inline constexpr double kLowestHz = 20.0;         // left end of the frequency slider
inline constexpr double kFrequencySpan = 1000.0;  // right end = kLowestHz x kFrequencySpan
inline constexpr double kWidestQ = 0.5;           // left end of the bandwidth slider
inline constexpr double kQSpan = 120.0;           // right end = kWidestQ x kQSpan = Q 60

inline float DepthOf(double position) { return static_cast<float>(position * kDepthRangeDb - kDepthRangeDb); }
inline double PositionOfDepth(float depthDb) { return static_cast<double>((depthDb + kDepthRangeDb) / kDepthRangeDb); }

inline float FrequencyOf(double position) { return static_cast<float>(kLowestHz * std::pow(kFrequencySpan, position)); }
inline double PositionOfFrequency(float hz)
{
    return std::log(static_cast<double>(hz) / kLowestHz) / std::log(kFrequencySpan);
}

inline float QOf(double position) { return static_cast<float>(kWidestQ * std::pow(kQSpan, position)); }
inline double PositionOfQ(float q) { return std::log(static_cast<double>(q) / kWidestQ) / std::log(kQSpan); }

} // namespace ringstill::notchslider
