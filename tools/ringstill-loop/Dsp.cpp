#include "tools/ringstill-loop/Dsp.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace ringstill::loop {

Noise::Noise(std::uint64_t seed) : state(seed * 0x9E3779B97F4A7C15ull + 0x2545F4914F6CDD1Dull)
{
    if (state == 0)
        state = 1;
    for (int i = 0; i < 8; ++i)
        Uniform();
}

double Noise::Uniform()
{
    state ^= state >> 12;
    state ^= state << 25;
    state ^= state >> 27;
    const std::uint64_t x = state * 0x2545F4914F6CDD1Dull;
    return double(x >> 11) * (1.0 / 9007199254740992.0);
}

double Noise::Gaussian()
{
    if (haveSpare)
    {
        haveSpare = false;
        return spare;
    }
    double u = 0.0;
    while (u <= 1e-300)
        u = Uniform();
    const double v = Uniform();
    const double r = std::sqrt(-2.0 * std::log(u));
    spare = r * std::sin(2.0 * std::numbers::pi * v);
    haveSpare = true;
    return r * std::cos(2.0 * std::numbers::pi * v);
}

Biquad Biquad::LowPass(double hz, double sampleRate, double q)
{
    const double w = 2.0 * std::numbers::pi * std::min(hz, 0.49 * sampleRate) / sampleRate;
    const double alpha = std::sin(w) / (2.0 * q);
    const double c = std::cos(w);
    const double a0 = 1.0 + alpha;
    Biquad f;
    f.b0 = (1.0 - c) / 2.0 / a0;
    f.b1 = (1.0 - c) / a0;
    f.b2 = f.b0;
    f.a1 = -2.0 * c / a0;
    f.a2 = (1.0 - alpha) / a0;
    return f;
}

Biquad Biquad::HighPass(double hz, double sampleRate, double q)
{
    const double w = 2.0 * std::numbers::pi * std::min(hz, 0.49 * sampleRate) / sampleRate;
    const double alpha = std::sin(w) / (2.0 * q);
    const double c = std::cos(w);
    const double a0 = 1.0 + alpha;
    Biquad f;
    f.b0 = (1.0 + c) / 2.0 / a0;
    f.b1 = -(1.0 + c) / a0;
    f.b2 = f.b0;
    f.a1 = -2.0 * c / a0;
    f.a2 = (1.0 - alpha) / a0;
    return f;
}

double Biquad::Process(double x)
{
    const double y = b0 * x + z1;
    z1 = b1 * x - a1 * y + z2;
    z2 = b2 * x - a2 * y;
    return y;
}

void Biquad::Apply(std::vector<double>& signal)
{
    for (double& x : signal)
        x = Process(x);
}

std::vector<double> Resample(const std::vector<double>& in, double fromRate, double toRate)
{
    if (fromRate == toRate || in.empty())
        return in;
    constexpr int kHalfTaps = 32;
    const double ratio = toRate / fromRate;
    const double cutoff = std::min(1.0, ratio) * 0.94; // of the input's Nyquist
    const double span = kHalfTaps / std::min(1.0, ratio);
    const std::size_t count = std::size_t(double(in.size()) * ratio);
    std::vector<double> out(count);
    for (std::size_t n = 0; n < count; ++n)
    {
        const double centre = double(n) / ratio;
        const long first = long(std::ceil(centre - span));
        const long last = long(std::floor(centre + span));
        double sum = 0.0;
        for (long i = std::max(first, 0L); i <= last && i < long(in.size()); ++i)
        {
            const double t = double(i) - centre;
            const double x = t * cutoff;
            const double sinc = std::abs(x) < 1e-12 ? 1.0 : std::sin(std::numbers::pi * x) / (std::numbers::pi * x);
            const double w = 0.5 + 0.5 * std::cos(std::numbers::pi * t / span); // Hann over the span
            sum += in[std::size_t(i)] * cutoff * sinc * w;
        }
        out[n] = sum;
    }
    return out;
}

std::vector<double> PinkNoise(std::size_t samples, double sampleRate, std::uint64_t seed)
{
    // White noise through a bank of one-pole low-passes spaced an octave apart (equal weights per
    // octave add up to -3 dB per octave), then a 20 Hz high-pass.
    Noise noise(seed);
    std::vector<double> poles;
    for (double hz = 10.0; hz < sampleRate / 2; hz *= 2.0)
        poles.push_back(std::exp(-2.0 * std::numbers::pi * hz / sampleRate));
    std::vector<double> states(poles.size(), 0.0);
    std::vector<double> out(samples);
    for (std::size_t n = 0; n < samples; ++n)
    {
        const double w = noise.Gaussian();
        double sum = 0.0;
        for (std::size_t b = 0; b < poles.size(); ++b)
        {
            states[b] = poles[b] * states[b] + (1.0 - poles[b]) * w * std::sqrt(1.0 / (1.0 - poles[b]));
            sum += states[b];
        }
        out[n] = sum;
    }
    Biquad high = Biquad::HighPass(20.0, sampleRate);
    high.Apply(out);
    const double rms = RmsOf(out.data(), out.size());
    for (double& x : out)
        x /= rms > 0 ? rms : 1.0;
    return out;
}

double RmsOf(const double* x, std::size_t count)
{
    double sum = 0.0;
    for (std::size_t i = 0; i < count; ++i)
        sum += x[i] * x[i];
    return count > 0 ? std::sqrt(sum / double(count)) : 0.0;
}

double RmsOf(const float* x, std::size_t count)
{
    double sum = 0.0;
    for (std::size_t i = 0; i < count; ++i)
        sum += double(x[i]) * double(x[i]);
    return count > 0 ? std::sqrt(sum / double(count)) : 0.0;
}

double ToDb(double power) { return power > 1e-30 ? 10.0 * std::log10(power) : -300.0; }

double AmplitudeDb(double amplitude) { return ToDb(amplitude * amplitude); }

} // namespace ringstill::loop
