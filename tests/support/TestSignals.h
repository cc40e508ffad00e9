// Deterministic test signals: Gaussian noise, tones with an amplitude envelope,
// and a narrow-band level measurement. Same samples on every run and platform.
#pragma once

#include <cmath>
#include <cstdint>
#include <functional>
#include <vector>

namespace ringstill::test {

// Gaussian noise from a fixed-seed xorshift generator (Box-Muller).
class Noise
{
public:
    explicit Noise(std::uint64_t seed = 0x9E3779B97F4A7C15ull) : state(seed | 1u) {}

    float Next(float rms)
    {
        if (haveSpare)
        {
            haveSpare = false;
            return static_cast<float>(spare * rms);
        }
        const double u1 = Uniform();
        const double u2 = Uniform();
        const double radius = std::sqrt(-2.0 * std::log(u1));
        spare = radius * std::sin(2.0 * M_PI * u2);
        haveSpare = true;
        return static_cast<float>(radius * std::cos(2.0 * M_PI * u2) * rms);
    }

private:
    double Uniform()
    {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return (static_cast<double>(state >> 11) + 0.5) / 9007199254740992.0;
    }

    std::uint64_t state;
    double spare = 0.0;
    bool haveSpare = false;
};

// A sine at a fixed frequency with an amplitude given per sample index.
struct Tone
{
    double frequencyHz = 1000.0;
    std::function<double(std::int64_t)> amplitude = [](std::int64_t) { return 0.0; };

    float At(std::int64_t index, double sampleRate) const
    {
        const double a = amplitude(index);
        if (a == 0.0)
            return 0.0f;
        return static_cast<float>(a * std::sin(2.0 * M_PI * frequencyHz * static_cast<double>(index) / sampleRate));
    }
};

// Amplitude of the component at frequencyHz (Goertzel-style correlation).
inline double ToneAmplitude(const float* samples, int n, double frequencyHz, double sampleRate)
{
    double re = 0.0, im = 0.0;
    for (int i = 0; i < n; ++i)
    {
        const double phase = 2.0 * M_PI * frequencyHz * i / sampleRate;
        re += samples[i] * std::cos(phase);
        im += samples[i] * std::sin(phase);
    }
    return 2.0 * std::sqrt(re * re + im * im) / n;
}

} // namespace ringstill::test
