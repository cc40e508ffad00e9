// Deterministic test signals: Gaussian noise, tones with an amplitude envelope,
// and a narrow-band level measurement. Same samples on every run and platform.
// Also: energies, white and pink noise, a speech-like harmonic signal and a lag search.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <random>
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


inline double Energy(const std::vector<float>& x, std::size_t begin, std::size_t end)
{
    double sum = 0.0;
    for (std::size_t i = begin; i < end && i < x.size(); ++i)
        sum += static_cast<double>(x[i]) * x[i];
    return sum;
}

inline void ScaleToRms(std::vector<float>& x, double rms)
{
    const double current = std::sqrt(Energy(x, 0, x.size()) / static_cast<double>(x.size()));
    for (float& v : x)
        v = static_cast<float>(v * rms / current);
}

inline std::vector<float> WhiteNoise(std::size_t n, double rms, unsigned seed)
{
    std::mt19937 rng(seed);
    std::normal_distribution<double> normal(0.0, 1.0);
    std::vector<float> x(n);
    for (float& v : x)
        v = static_cast<float>(normal(rng));
    ScaleToRms(x, rms);
    return x;
}

// White noise through Paul Kellet's pink filter (-3 dB per octave).
inline std::vector<float> PinkNoise(std::size_t n, double rms, unsigned seed)
{
    const std::vector<float> white = WhiteNoise(n, 1.0, seed);
    std::vector<float> x(n);
    double b0 = 0, b1 = 0, b2 = 0, b3 = 0, b4 = 0, b5 = 0, b6 = 0;
    for (std::size_t i = 0; i < n; ++i)
    {
        const double w = white[i];
        b0 = 0.99886 * b0 + w * 0.0555179;
        b1 = 0.99332 * b1 + w * 0.0750759;
        b2 = 0.96900 * b2 + w * 0.1538520;
        b3 = 0.86650 * b3 + w * 0.3104856;
        b4 = 0.55000 * b4 + w * 0.5329522;
        b5 = -0.7616 * b5 - w * 0.0168980;
        x[i] = static_cast<float>(b0 + b1 + b2 + b3 + b4 + b5 + b6 + w * 0.5362);
        b6 = w * 0.115926;
    }
    ScaleToRms(x, rms);
    return x;
}

// A voiced, speech-like signal: a glottal pulse train whose pitch glides
// between 120 and 200 Hz, through three formant resonances, with a syllable
// rhythm of about 4 Hz.
inline std::vector<float> SpeechLike(std::size_t n, double fs, double rms)
{
    struct Resonator
    {
        double a1, a2, y1 = 0, y2 = 0;
        Resonator(double f, double bandwidth, double fs)
        {
            const double r = std::exp(-M_PI * bandwidth / fs);
            a1 = 2.0 * r * std::cos(2.0 * M_PI * f / fs);
            a2 = -r * r;
        }
        double Run(double x)
        {
            const double y = x + a1 * y1 + a2 * y2;
            y2 = y1;
            y1 = y;
            return y;
        }
    };
    Resonator f1(700.0, 90.0, fs), f2(1220.0, 110.0, fs), f3(2600.0, 160.0, fs);
    std::vector<float> x(n);
    double phase = 0.0;
    for (std::size_t i = 0; i < n; ++i)
    {
        const double t = static_cast<double>(i) / fs;
        const double pitch = 160.0 + 40.0 * std::sin(2.0 * M_PI * 0.7 * t);
        phase += pitch / fs;
        double pulse = 0.0;
        if (phase >= 1.0)
        {
            phase -= 1.0;
            pulse = 1.0;
        }
        const double syllable = 0.55 + 0.45 * std::sin(2.0 * M_PI * 4.0 * t);
        const double voiced = f1.Run(pulse) * 1.0 + f2.Run(pulse) * 0.6 + f3.Run(pulse) * 0.3;
        x[i] = static_cast<float>(voiced * syllable);
    }
    ScaleToRms(x, rms);
    return x;
}

// The delay (0..maxLag) at which y matches x best, by cross-correlation.
inline int BestLag(const std::vector<float>& x, const std::vector<float>& y, int maxLag, std::size_t from)
{
    int best = 0;
    double bestSum = -1e300;
    for (int lag = 0; lag <= maxLag; ++lag)
    {
        double sum = 0.0;
        for (std::size_t i = from; i + static_cast<std::size_t>(lag) < y.size() && i < x.size(); ++i)
            sum += static_cast<double>(x[i]) * y[i + static_cast<std::size_t>(lag)];
        if (sum > bestSum)
        {
            bestSum = sum;
            best = lag;
        }
    }
    return best;
}

} // namespace ringstill::test
