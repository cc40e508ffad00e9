// Small signal helpers of the bench: a seeded noise source that gives the same numbers on every
// machine, second-order filters, and a band-limited resampler.
#pragma once

#include <cstdint>
#include <vector>

namespace ringstill::loop {

// xorshift-based generator: the same sequence everywhere for a seed (unlike the standard
// distributions, whose algorithms differ between libraries).
class Noise
{
public:
    explicit Noise(std::uint64_t seed);
    double Uniform();  // [0, 1)
    double Gaussian(); // zero mean, unit variance

private:
    std::uint64_t state;
    bool haveSpare = false;
    double spare = 0.0;
};

// A second-order section (Butterworth-like, Q = 0.7071 unless given).
class Biquad
{
public:
    static Biquad LowPass(double hz, double sampleRate, double q = 0.70710678118654752);
    static Biquad HighPass(double hz, double sampleRate, double q = 0.70710678118654752);
    double Process(double x);
    void Apply(std::vector<double>& signal);

private:
    double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
    double z1 = 0, z2 = 0;
};

// Windowed-sinc resampling of a whole signal; the cut-off follows the lower of the two rates.
std::vector<double> Resample(const std::vector<double>& in, double fromRate, double toRate);

// Pink noise (-3 dB per octave) from 20 Hz up, unit RMS.
std::vector<double> PinkNoise(std::size_t samples, double sampleRate, std::uint64_t seed);

double RmsOf(const double* x, std::size_t count);
double RmsOf(const float* x, std::size_t count);
double ToDb(double power); // 10 log10, floored at -300
double AmplitudeDb(double amplitude);

} // namespace ringstill::loop
