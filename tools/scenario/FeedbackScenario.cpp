#include "tools/scenario/FeedbackScenario.h"

#include <array>
#include <cmath>
#include <cstdint>

namespace ringstill::scenario {
namespace {

double DbToGain(double db) { return std::pow(10.0, db / 20.0); }

} // namespace

std::vector<float> SpeechLike(int count, std::uint32_t seed)
{
    std::vector<float> out(static_cast<std::size_t>(count));
    constexpr int kHarmonics = 40;
    std::array<double, kHarmonics> phase {};
    const double formants[3] = {600.0, 1200.0, 2600.0};
    std::uint32_t rng = seed;
    double pink = 0.0;
    for (int i = 0; i < count; ++i)
    {
        const double t = i / kScenarioRate;
        const double f0 =
            130.0 * (1.0 + 0.15 * std::sin(2.0 * M_PI * 1.3 * t) + 0.1 * std::sin(2.0 * M_PI * 4.1 * t + 1.0));
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
            phase[std::size_t(h - 1)] += 2.0 * M_PI * f / kScenarioRate;
            voiced += shape / h * std::sin(phase[std::size_t(h - 1)]);
        }
        rng = rng * 1664525u + 1013904223u;
        const double white = std::int32_t(rng) / 2147483648.0;
        pink = 0.98 * pink + 0.02 * white;
        out[std::size_t(i)] = float(0.12 * syllable * voiced + 0.05 * pink + 0.002 * white);
    }
    return out;
}

double HowlLevelDb(double t)
{
    if (t < kHowlStart)
        return -INFINITY;
    return std::fmin(kHowlStartDb + kHowlRiseDb * (t - kHowlStart) / 0.1, kHowlCeilingDb);
}

double HowlSample(double t)
{
    if (t < kHowlStart)
        return 0.0;
    return DbToGain(HowlLevelDb(t)) * std::sin(2.0 * M_PI * kHowlHz * t);
}

std::vector<float> MakeFeedbackScenario()
{
    const int count = int(kScenarioSeconds * kScenarioRate);
    std::vector<float> signal = SpeechLike(count);
    for (int i = 0; i < count; ++i)
    {
        const double t = i / kScenarioRate;
        if (t >= kHowlStart)
            signal[std::size_t(i)] += float(HowlSample(t));
    }
    return signal;
}

} // namespace ringstill::scenario
