// Runs a built-in scenario through one notch bank at 48 kHz: a speech-like
// signal over a little noise, with a 2.5 kHz howl that starts at 1 s and grows
// like feedback. Prints every notch the detector places and how much of the
// howl is left at the output over the last second.
#include "effect/NotchBank.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

constexpr double kRate = 48000.0;
constexpr double kSeconds = 5.0;
constexpr int kBlock = 128;
constexpr double kHowlHz = 2500.0;
constexpr double kHowlStart = 1.0;     // s
constexpr double kHowlStartDb = -40.0; // dBFS at onset
constexpr double kHowlRiseDb = 3.0;    // per 100 ms
constexpr double kHowlCeilingDb = -6.0;

double DbToGain(double db) { return std::pow(10.0, db / 20.0); }

// Voiced speech stand-in: a gliding pitch with harmonics shaped by three
// formants, in syllables of about 4 per second, over a faint noise floor.
std::vector<float> SpeechLike(int count)
{
    std::vector<float> out(static_cast<std::size_t>(count));
    constexpr int kHarmonics = 40;
    std::array<double, kHarmonics> phase{};
    const double formants[3] = {600.0, 1200.0, 2600.0};
    std::uint32_t rng = 2024u;
    double pink = 0.0;
    for (int i = 0; i < count; ++i)
    {
        const double t = i / kRate;
        // Intonation: the pitch moves by about a quarter within every syllable.
        const double f0 = 130.0 * (1.0 + 0.15 * std::sin(2.0 * M_PI * 1.3 * t) + 0.1 * std::sin(2.0 * M_PI * 4.1 * t + 1.0));
        const double syllable = std::pow(0.5 - 0.5 * std::cos(2.0 * M_PI * 4.1 * t), 2.0);
        double voiced = 0.0;
        for (int h = 1; h <= kHarmonics; ++h)
        {
            const double f = h * f0;
            if (f > 5000.0)
                break;
            double shape = 0.0;
            for (double formant : formants)
                shape += 1.0 / (1.0 + std::pow((f - formant) / 150.0, 2.0));
            phase[static_cast<std::size_t>(h - 1)] += 2.0 * M_PI * f / kRate;
            voiced += shape / h * std::sin(phase[static_cast<std::size_t>(h - 1)]);
        }
        rng = rng * 1664525u + 1013904223u;
        const double white = static_cast<std::int32_t>(rng) / 2147483648.0;
        pink = 0.98 * pink + 0.02 * white;
        out[static_cast<std::size_t>(i)] = static_cast<float>(0.12 * syllable * voiced + 0.05 * pink + 0.002 * white);
    }
    return out;
}

double HowlLevelDb(double t)
{
    if (t < kHowlStart)
        return -INFINITY;
    return std::fmin(kHowlStartDb + kHowlRiseDb * (t - kHowlStart) / 0.1, kHowlCeilingDb);
}

// Amplitude of the component at frequency over the given samples (a single-bin correlation).
double ToneAmplitude(const std::vector<float>& x, std::size_t from, double frequency)
{
    double re = 0.0, im = 0.0;
    for (std::size_t i = from; i < x.size(); ++i)
    {
        const double phase = 2.0 * M_PI * frequency * static_cast<double>(i) / kRate;
        re += x[i] * std::cos(phase);
        im += x[i] * std::sin(phase);
    }
    return 2.0 * std::hypot(re, im) / static_cast<double>(x.size() - from);
}

double ToDb(double amplitude) { return 20.0 * std::log10(amplitude); }

} // namespace

int main()
{
    const int count = static_cast<int>(kSeconds * kRate);
    std::vector<float> input = SpeechLike(count);
    for (int i = 0; i < count; ++i)
    {
        const double t = i / kRate;
        if (t >= kHowlStart)
            input[static_cast<std::size_t>(i)] +=
                static_cast<float>(DbToGain(HowlLevelDb(t)) * std::sin(2.0 * M_PI * kHowlHz * t));
    }

    ringstill::NotchBank bank;
    ringstill::ConfigureBank(bank, kRate);

    std::printf("Ringstill demo: one notch bank at %.0f Hz, %.1f s of a speech-like signal;\n", kRate, kSeconds);
    std::printf("a %.1f kHz howl starts at %.1f s at %.0f dBFS and rises %.0f dB per 100 ms (up to %.0f dBFS).\n",
                kHowlHz / 1000.0, kHowlStart, kHowlStartDb, kHowlRiseDb, kHowlCeilingDb);
    std::printf("Settings: Sensitivity %.0f %%, Auto Cut %.1f dB, Auto Width Q %.1f.\n\n", bank.sensitivity * 100.0,
                bank.autoCutDb, bank.autoQ);
    std::printf("Notches placed (time at the end of the block, slot, frequency, target depth):\n");

    std::vector<float> output = input;
    int placed = 0;
    for (int start = 0; start < count; start += kBlock)
    {
        const int n = std::min(kBlock, count - start);
        const auto before = bank.slots;
        ringstill::ProcessBankBlock(bank, output.data() + start, n);
        for (int s = 0; s < ringstill::kMaxNotches; ++s)
        {
            const ringstill::Notch& was = before[static_cast<std::size_t>(s)];
            const ringstill::Notch& now = bank.slots[static_cast<std::size_t>(s)];
            const double t = static_cast<double>(start + n) / kRate;
            if (was.active && was.targetDepth != 0.0f && now.active && now.targetDepth == 0.0f)
                std::printf("  %6.3f s  slot %2d  %8.1f Hz  released (tone unseen for 3 s)\n", t, s, now.frequency);
            const bool isNew = now.active && !now.manual && now.targetDepth != 0.0f
                               && (!was.active || was.frequency != now.frequency || was.targetDepth != now.targetDepth);
            if (!isNew)
                continue;
            ++placed;
            std::printf("  %6.3f s  slot %2d  %8.1f Hz  target %6.1f dB", t, s, now.frequency, now.targetDepth);
            if (std::fabs(now.frequency - kHowlHz) < 50.0)
                std::printf("  (howl at %.0f dBFS, %.0f ms after it began)", HowlLevelDb(t), (t - kHowlStart) * 1000.0);
            std::printf("\n");
        }
    }
    if (placed == 0)
        std::printf("  none\n");

    const std::size_t lastSecond = static_cast<std::size_t>(count) - static_cast<std::size_t>(kRate);
    const double in = ToneAmplitude(input, lastSecond, kHowlHz);
    const double out = ToneAmplitude(output, lastSecond, kHowlHz);
    std::printf("\n%.1f kHz over the last second: input %.1f dBFS, output %.1f dBFS, attenuated by %.1f dB.\n",
                kHowlHz / 1000.0, ToDb(in), ToDb(out), ToDb(in) - ToDb(out));
    std::printf("Active notches at the end: %d\n", ringstill::CountActiveNotches(bank));
    return 0;
}
