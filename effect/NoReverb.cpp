#include "effect/NoReverb.h"

#include "effect/Fft.h"

#include <algorithm>
#include <cmath>

namespace ringstill {

namespace {
// Keeps the ratio finite for a silent bin.
constexpr float kMagnitudeGuard = 1e-9f;
constexpr float kInverseFrameSize = 1.0f / kNoReverbFrameSize;
} // namespace

void NoReverbChannel::Prepare(double fs)
{
    sampleRate = fs > 0.0 ? fs : 48000.0;
    writeIndex = 0;
    hopCounter = 0;
    latency = kNoReverbLatency;
    readIndex = 0;
    outputWriteIndex = 0;
    outputCount = 0;
    inputRing.fill(0.0f);
    accumulator.fill(0.0f);
    outputRing.fill(0.0f);
    average.fill(0.0f);
    frame.fill({});

    const float twoPi = static_cast<float>(kTwoPiF);
    for (int i = 0; i < kNoReverbFrameSize; ++i)
        window[i] = (1.0f - std::cos(twoPi * static_cast<float>(i) / static_cast<float>(kNoReverbFrameSize - 1))) * 0.5f;
    float sum = 0.0f;
    for (int i = 0; i < kNoReverbFrameSize; i += kNoReverbHop)
        sum += window[i] * window[i];
    normaliser = sum > 0.0f ? sum : 1.0f;
}

float NoReverbChannel::ProcessSample(float x)
{
    // A NaN in the ring would spread into every bin's average and never leave.
    inputRing[writeIndex] = std::isfinite(x) ? x : 0.0f;
    writeIndex = (writeIndex + 1) % kNoReverbFrameSize;
    if (++hopCounter > kNoReverbHop - 1)
    {
        hopCounter = 0;
        ProcessNoReverbFrame(*this);
    }
    if (outputCount < 1)
        return 0.0f;
    const float y = outputRing[readIndex];
    readIndex = (readIndex + 1) % kNoReverbOutputRingSize;
    --outputCount;
    return y;
}

void ProcessNoReverbFrame(NoReverbChannel& channel)
{
    auto& X = channel.frame;
    for (int j = 0; j < kNoReverbFrameSize; ++j)
        X[j] = {channel.inputRing[(channel.writeIndex + j) % kNoReverbFrameSize] * channel.window[j], 0.0f};
    ComputeFft(X.data(), kNoReverbFrameSize);

    const float r = channel.amount;
    for (int i = 0; i < kNoReverbBins; ++i)
    {
        float gain = 1.0f;
        if (r > kCleanupOffAmount)
        {
            const float re = X[i].real();
            const float im = X[i].imag();
            const float mag = std::sqrt(re * re + im * im);
            const float avg = channel.average[i];
            const float ratio = (mag - avg) / (mag + kMagnitudeGuard);
            channel.average[i] = kNoReverbAverageWeight * mag + kNoReverbAverageKeep * avg;
            const float g = std::max(std::min(ratio, 1.0f), kNoReverbFloorGain);
            gain = 1.0f - (1.0f - g) * r;
        }
        X[i] *= gain;
        if (i >= 1 && i <= kNoReverbFrameSize / 2 - 1)
            X[kNoReverbFrameSize - i] *= gain;
    }

    for (auto& v : X)
        v = {v.real(), -v.imag()};
    ComputeFft(X.data(), kNoReverbFrameSize);

    for (int j = 0; j < kNoReverbFrameSize; ++j)
        channel.accumulator[j] += X[j].real() * kInverseFrameSize * channel.window[j] / channel.normaliser;

    for (int j = 0; j < kNoReverbHop; ++j)
    {
        channel.outputRing[channel.outputWriteIndex] = channel.accumulator[j];
        channel.outputWriteIndex = (channel.outputWriteIndex + 1) % kNoReverbOutputRingSize;
        ++channel.outputCount;
    }
    std::copy(channel.accumulator.begin() + kNoReverbHop, channel.accumulator.end(), channel.accumulator.begin());
    std::fill(channel.accumulator.end() - kNoReverbHop, channel.accumulator.end(), 0.0f);
}

} // namespace ringstill
