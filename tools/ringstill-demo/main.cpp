// Runs a built-in scenario through the Ringstill effect, stereo at 48 kHz: a
// speech-like signal over a little noise, with a 2.5 kHz howl that starts at
// 1 s and grows like feedback, and the No-Noise and No-Reverb stages turned
// up. Prints every notch the detector places in channel 0 (what the editor
// shows), the latency the effect reports, and how much of the howl is left at
// the output over the last second, compared with the input at that latency.
#include "effect/Ringstill.h"
#include "tools/scenario/FeedbackScenario.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

using ringstill::scenario::HowlLevelDb;
using ringstill::scenario::HowlSample;
using ringstill::scenario::kHowlCeilingDb;
using ringstill::scenario::kHowlHz;
using ringstill::scenario::kHowlRiseDb;
using ringstill::scenario::kHowlStart;
using ringstill::scenario::kHowlStartDb;
using ringstill::scenario::kScenarioSeed;
using ringstill::scenario::SpeechLike;

constexpr double kRate = ringstill::scenario::kScenarioRate;
constexpr double kSeconds = ringstill::scenario::kScenarioSeconds;
constexpr int kBlock = 128;
constexpr int kChannels = 2;
constexpr double kNoNoisePercent = 40.0;
constexpr double kNoReverbPercent = 30.0;

template <typename Sample>
double ToneAmplitude(const std::vector<Sample>& x, std::size_t from, std::size_t to, double frequency)
{
    return ringstill::scenario::ToneAmplitude(x.data(), from, to, frequency, kRate);
}

void Store(ringstill::Ringstill& fx, int index, double value)
{
    if (iplug::IParam* param = fx.GetParam(index))
        param->StoreValue(value);
}

double Value(const ringstill::Ringstill& fx, int index)
{
    const iplug::IParam* param = fx.GetParam(index);
    return param ? param->CurrentValue() : 0.0;
}

double ToDb(double amplitude) { return 20.0 * std::log10(amplitude); }

} // namespace

int main()
{
    const int count = static_cast<int>(kSeconds * kRate);
    // The same voice on both channels, each over its own noise floor, and the howl in both.
    std::vector<double> input[kChannels];
    for (int c = 0; c < kChannels; ++c)
    {
        const std::vector<float> speech = SpeechLike(count, kScenarioSeed + static_cast<std::uint32_t>(c));
        input[c].assign(speech.begin(), speech.end());
        for (int i = 0; i < count; ++i)
        {
            const double t = i / kRate;
            if (t >= kHowlStart)
                input[c][static_cast<std::size_t>(i)] += HowlSample(t);
        }
    }

    // Set up as a host sets up the effect: rate, block size, buses, reset.
    ringstill::Ringstill fx;
    std::vector<double> in[kChannels], out[kChannels], output[kChannels];
    fx.SetSampleRate(kRate);
    fx.SetBlockCapacity(kBlock);
    fx.CreateLatencyDelay();
    for (int c = 0; c < kChannels; ++c)
    {
        in[c].assign(kBlock, 0.0);
        out[c].assign(kBlock, 0.0);
        output[c].reserve(static_cast<std::size_t>(count));
        fx.ConnectChannel(iplug::kInput, c, in[c].data());
        fx.ConnectChannel(iplug::kOutput, c, out[c].data());
    }
    fx.ResetDsp();
    Store(fx, ringstill::kNoNoise, kNoNoisePercent);
    Store(fx, ringstill::kNoReverb, kNoReverbPercent);

    std::printf("Ringstill demo: the Ringstill effect, stereo at %.0f Hz, %.1f s of a speech-like signal;\n", kRate,
                kSeconds);
    std::printf("a %.1f kHz howl starts at %.1f s at %.0f dBFS and rises %.0f dB per 100 ms (up to %.0f dBFS).\n",
                kHowlHz / 1000.0, kHowlStart, kHowlStartDb, kHowlRiseDb, kHowlCeilingDb);
    std::printf("Settings: Sensitivity %.0f %%, Auto Cut %.1f dB, Auto Width Q %.1f, No-Noise %.1f %%, No-Reverb %.1f %%.\n\n",
                Value(fx, ringstill::kSensitivity), Value(fx, ringstill::kAutoCut), Value(fx, ringstill::kAutoWidth),
                Value(fx, ringstill::kNoNoise), Value(fx, ringstill::kNoReverb));
    std::printf("Notches placed in channel 0 (time at the end of the block, slot, frequency, target depth):\n");

    std::vector<float> spectrum;
    float binWidth = 0.0f;
    std::vector<ringstill::NotchView> before, now;
    ringstill::ReadEditorView(fx.Feed(), spectrum, binWidth, before);
    int placed = 0;
    int firstLatency = -1;
    for (int start = 0; start < count; start += kBlock)
    {
        const int n = std::min(kBlock, count - start);
        for (int c = 0; c < kChannels; ++c)
            std::copy(input[c].begin() + start, input[c].begin() + start + n, in[c].begin());
        fx.ProcessAudioBlock(fx.InputPointers(), fx.OutputPointers(), n);
        for (int c = 0; c < kChannels; ++c)
            output[c].insert(output[c].end(), out[c].begin(), out[c].begin() + n);
        if (firstLatency < 0)
            firstLatency = fx.GetLatency();

        ringstill::ReadEditorView(fx.Feed(), spectrum, binWidth, now);
        const double t = static_cast<double>(start + n) / kRate;
        for (std::size_t s = 0; s < now.size() && s < before.size(); ++s)
        {
            const ringstill::NotchView& was = before[s];
            const ringstill::NotchView& is = now[s];
            if (was.active && was.targetDepth != 0.0f && is.active && is.targetDepth == 0.0f)
                std::printf("  %6.3f s  slot %2d  %8.1f Hz  released (tone unseen for 3 s)\n", t, static_cast<int>(s),
                            is.frequency);
            const bool isNew = is.active && !is.manual && is.targetDepth != 0.0f
                               && (!was.active || was.frequency != is.frequency || was.targetDepth != is.targetDepth);
            if (!isNew)
                continue;
            ++placed;
            std::printf("  %6.3f s  slot %2d  %8.1f Hz  target %6.1f dB", t, static_cast<int>(s), is.frequency,
                        is.targetDepth);
            if (std::fabs(is.frequency - kHowlHz) < 50.0)
                std::printf("  (howl at %.0f dBFS, %.0f ms after it began)", HowlLevelDb(t), (t - kHowlStart) * 1000.0);
            std::printf("\n");
        }
        before.swap(now);
    }
    if (placed == 0)
        std::printf("  none\n");

    const int latency = fx.GetLatency();
    std::printf("\nReported latency: %d samples (%.1f ms), from the first block on: %d samples.\n", latency,
                latency * 1000.0 / kRate, firstLatency);

    // Output sample i + latency belongs to input sample i.
    const std::size_t end = static_cast<std::size_t>(count);
    const std::size_t second = static_cast<std::size_t>(kRate);
    const std::size_t shift = static_cast<std::size_t>(latency);
    for (int c = 0; c < kChannels; ++c)
    {
        const double a = ToneAmplitude(input[c], end - second - shift, end - shift, kHowlHz);
        const double b = ToneAmplitude(output[c], end - second, end, kHowlHz);
        std::printf("%.1f kHz over the last second, channel %d: input %.1f dBFS, output %.1f dBFS, attenuated by %.1f dB.\n",
                    kHowlHz / 1000.0, c, ToDb(a), ToDb(b), ToDb(a) - ToDb(b));
    }
    std::printf("Active notches at the end: %d (both channels)\n", fx.Feed().activeNotchCount.load());
    return 0;
}
