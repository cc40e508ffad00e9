#include "tools/ringstill-loop/Rooms.h"

#include "tools/ringstill-loop/Dsp.h"
#include "tools/ringstill-loop/Fft.h"
#include "tools/ringstill-render/AudioFiles.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace ringstill::loop {
namespace {

constexpr double kSpeedOfSound = 343.0;
constexpr double kMicLowCutHz = 60.0;
constexpr double kMicHighCutHz = 18000.0;

// Late reverberation in three bands, each decaying at its own rate: air and furnishings absorb
// highs faster than lows.
struct DecayBand
{
    double rtFactor;
    double lowHz;  // 0: no high-pass
    double highHz; // 0: no low-pass
};
constexpr DecayBand kBands[] = {{1.2, 0.0, 400.0}, {1.0, 400.0, 4000.0}, {0.6, 4000.0, 0.0}};

std::vector<double> LateReverb(const RoomSpec& room, double rate, std::size_t length, std::size_t from)
{
    std::vector<double> late(length, 0.0);
    std::uint64_t bandSeed = room.seed * 1000u + 7u;
    for (const DecayBand& band : kBands)
    {
        Noise noise(bandSeed++);
        std::vector<double> part(length, 0.0);
        const double decayPerSample = 3.0 * std::log(10.0) / (room.rt60Seconds * band.rtFactor * rate);
        for (std::size_t n = from; n < length; ++n)
        {
            const double t = double(n - from);
            const double onset = std::min(1.0, t / (0.01 * rate)); // diffuse field builds up over 10 ms
            part[n] = noise.Gaussian() * std::exp(-decayPerSample * t) * onset;
        }
        for (int pass = 0; pass < 2; ++pass)
        {
            if (band.lowHz > 0)
            {
                Biquad f = Biquad::HighPass(band.lowHz, rate);
                f.Apply(part);
            }
            if (band.highHz > 0)
            {
                Biquad f = Biquad::LowPass(band.highHz, rate);
                f.Apply(part);
            }
        }
        for (std::size_t n = 0; n < length; ++n)
            late[n] += part[n];
    }
    return late;
}

void ApplyTransducers(const RoomSpec& room, double rate, std::vector<double>& taps)
{
    Biquad speakerLow = Biquad::HighPass(room.lowCutHz, rate);
    Biquad speakerHigh = Biquad::LowPass(room.highCutHz, rate);
    Biquad micLow = Biquad::HighPass(kMicLowCutHz, rate);
    Biquad micHigh = Biquad::LowPass(kMicHighCutHz, rate);
    for (double& x : taps)
        x = micHigh.Process(micLow.Process(speakerHigh.Process(speakerLow.Process(x))));
}

} // namespace

const std::vector<RoomSpec>& BuiltInRooms()
{
    static const std::vector<RoomSpec> rooms = {
        {"wedge", "vocal monitor wedge 1 m from the mic on a small stage", 0.5, 1.0, 0.5, 6.0, 80.0, 14000.0, 11, {}},
        {"studio", "broadcast studio, talkback loudspeaker 2 m away", 0.3, 2.0, 0.5, 3.0, 60.0, 18000.0, 12, {}},
        {"lectern", "meeting room, lectern mic, ceiling loudspeaker 3 m away", 0.6, 3.0, 1.0, 0.0, 80.0, 16000.0, 13, {}},
        {"classroom", "lecture room, column loudspeakers 5 m away", 0.9, 5.0, 1.0, -4.0, 70.0, 16000.0, 14, {}},
        {"theatre", "theatre, proscenium loudspeakers 8 m away", 1.3, 8.0, 1.5, -6.0, 60.0, 16000.0, 15, {}},
        {"hall", "reverberant hall, PA 12 m away", 2.2, 12.0, 1.5, -10.0, 60.0, 15000.0, 16, {}},
    };
    return rooms;
}

RoomResponse MakeRoomResponse(const RoomSpec& room, double rate)
{
    RoomResponse out;
    const double delaySeconds = room.distanceMetres / kSpeedOfSound + room.latencyMs / 1000.0;
    const std::size_t direct = std::size_t(std::lround(delaySeconds * rate));
    const double longestRt = room.rt60Seconds * kBands[0].rtFactor;
    const std::size_t length = direct + std::size_t(1.1 * longestRt * rate) + 1;
    const double directAmplitude = 1.0 / std::max(room.distanceMetres, 0.1);

    // Early reflections: a dozen discrete paths in the first 40 ms after the direct sound.
    std::vector<double> rest(length, 0.0);
    Noise noise(room.seed);
    for (int i = 0; i < 12; ++i)
    {
        const std::size_t at = direct + std::size_t((0.001 + 0.039 * noise.Uniform()) * rate);
        const double sign = noise.Uniform() < 0.5 ? -1.0 : 1.0;
        if (at < length)
            rest[at] += sign * (0.2 + 0.5 * noise.Uniform());
    }
    const std::vector<double> late = LateReverb(room, rate, length, direct + std::size_t(0.005 * rate));
    for (std::size_t n = 0; n < length; ++n)
        rest[n] += late[n];
    double restEnergy = 0.0;
    for (double x : rest)
        restEnergy += x * x;
    const double restScale =
        directAmplitude / std::sqrt(std::max(restEnergy, 1e-30)) * std::pow(10.0, -room.drrDb / 20.0);

    out.taps.assign(length, 0.0);
    out.taps[direct] = directAmplitude;
    for (std::size_t n = 0; n < length; ++n)
        out.taps[n] += rest[n] * restScale;
    // The last 10 % fades out, so the truncation adds no click of its own.
    const std::size_t fade = length / 10;
    for (std::size_t i = 0; i < fade; ++i)
        out.taps[length - 1 - i] *= 0.5 - 0.5 * std::cos(std::numbers::pi * double(i) / double(fade));
    ApplyTransducers(room, rate, out.taps);
    out.delaySamples = int(direct);
    return out;
}

bool LoadRoomResponse(const std::string& path, double rate, int block, RoomResponse& out, std::string& error)
{
    render::AudioReader reader;
    if (!reader.Open(path, error))
        return false;
    const int channels = reader.Channels();
    std::vector<float> buffer(static_cast<std::size_t>(4096) * std::size_t(channels));
    std::vector<double> mono;
    for (;;)
    {
        const long got = reader.Read(buffer.data(), 4096);
        if (got < 0)
        {
            error = "reading '" + path + "' failed";
            return false;
        }
        if (got == 0)
            break;
        for (long i = 0; i < got; ++i)
            mono.push_back(buffer[std::size_t(i) * std::size_t(channels)]);
    }
    if (mono.empty())
    {
        error = "'" + path + "' holds no samples";
        return false;
    }
    // A response, unlike a signal, keeps its frequency response only if scaled by the rate ratio:
    // more taps per second each carry less.
    out.taps = Resample(mono, reader.SampleRate(), rate);
    for (double& t : out.taps)
        t *= reader.SampleRate() / rate;
    // The direct path's arrival: the first tap within 60 dB of the strongest (ahead of it there is
    // only noise and the resampler's ringing). Within the first block it makes the case refuse to
    // run: the loop cannot use it.
    double strongest = 0.0;
    for (double t : out.taps)
        strongest = std::max(strongest, std::abs(t));
    if (strongest <= 0.0)
    {
        error = "'" + path + "' is silent";
        return false;
    }
    for (std::size_t i = 0; i < out.taps.size(); ++i)
        if (std::abs(out.taps[i]) >= 1e-3 * strongest)
        {
            out.delaySamples = int(i);
            break;
        }
    double total = 0.0;
    double dropped = 0.0;
    for (std::size_t i = 0; i < out.taps.size(); ++i)
    {
        total += out.taps[i] * out.taps[i];
        if (i < std::size_t(block))
        {
            dropped += out.taps[i] * out.taps[i];
            out.taps[i] = 0.0;
        }
    }
    out.droppedDb = ToDb(dropped / total);
    return true;
}

namespace {

Complex ResponseAt(const std::vector<double>& taps, double omega)
{
    // Direct evaluation with a rotating phasor, renormalised now and then against drift.
    Complex sum {};
    const Complex step = std::polar(1.0, -omega);
    Complex w = 1.0;
    for (std::size_t n = 0; n < taps.size(); ++n)
    {
        if (taps[n] != 0.0)
            sum += taps[n] * w;
        w *= step;
        if ((n & 1023) == 1023)
            w = std::polar(1.0, -omega * double(n + 1));
    }
    return sum;
}

// The exact crossing between two grid frequencies where Im H changes sign (with Re H > 0).
double RefineCrossing(const std::vector<double>& taps, double lo, double hi)
{
    double imLo = ResponseAt(taps, lo).imag();
    for (int i = 0; i < 40; ++i)
    {
        const double mid = 0.5 * (lo + hi);
        const double imMid = ResponseAt(taps, mid).imag();
        if ((imMid > 0) == (imLo > 0))
        {
            lo = mid;
            imLo = imMid;
        }
        else
            hi = mid;
    }
    return 0.5 * (lo + hi);
}

} // namespace

MsgResult MaximumStableGain(const std::vector<double>& taps, double rate)
{
    const int n = std::max(1 << 16, NextPowerOfTwo(long(taps.size()) * 8));
    Fft fft(n);
    std::vector<Complex> spectrum(static_cast<std::size_t>(n), Complex {});
    for (std::size_t i = 0; i < taps.size(); ++i)
        spectrum[i] = taps[i];
    fft.Forward(spectrum.data());
    struct Candidate
    {
        int bin;
        double magnitude;
    };
    std::vector<Candidate> candidates;
    for (int k = 0; k < n / 2; ++k)
    {
        const Complex a = spectrum[std::size_t(k)];
        const Complex b = spectrum[std::size_t(k + 1)];
        if (a.real() > 0 && b.real() > 0 && (a.imag() > 0) != (b.imag() > 0))
            candidates.push_back({k, std::max(std::abs(a), std::abs(b))});
    }
    std::sort(candidates.begin(), candidates.end(),
              [](const Candidate& x, const Candidate& y) { return x.magnitude > y.magnitude; });
    MsgResult result;
    double best = 0.0;
    const std::size_t refine = std::min<std::size_t>(candidates.size(), 12);
    for (std::size_t c = 0; c < refine; ++c)
    {
        const double step = 2.0 * std::numbers::pi / n;
        const double omega = RefineCrossing(taps, step * candidates[c].bin, step * (candidates[c].bin + 1));
        const double magnitude = std::abs(ResponseAt(taps, omega));
        if (magnitude > best)
        {
            best = magnitude;
            result.frequencyHz = omega * rate / (2.0 * std::numbers::pi);
        }
    }
    result.msgDb = -AmplitudeDb(best);
    return result;
}

} // namespace ringstill::loop
