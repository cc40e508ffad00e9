#include "effect/NoReverb.h"

#include <algorithm>
#include <cmath>

namespace ringstill {

namespace {

constexpr float kInverseFrameSize = 1.0f / kNoReverbFrameSize;
constexpr int kBins = kNoReverbBins;

float Sanitised(float x)
{
    // A NaN in the ring would spread into every bin's average and never leave.
    return std::isfinite(x) ? x : 0.0f;
}

// The windowed input ring, oldest sample first, as the transform's input.
void FormFrame(NoReverbChannel& channel)
{
    WindowRing(channel.fft, channel.inputRing.data(), channel.writeIndex, channel.window.data());
}

// Gains of bins 0..256 (and the averages' update while on), mirrored onto 257..511.
void ComputeGains(NoReverbChannel& channel, SplitComplex bins)
{
    if (channel.amount > kCleanupOffAmount)
        channel.fft.Kernels().reverbGains(bins.re, bins.im, channel.average.data(), channel.gain.data(), kBins,
                                          channel.amount);
    else
        std::fill(channel.gain.begin(), channel.gain.begin() + kBins, 1.0f);
    for (int i = 1; i < kNoReverbFrameSize / 2; ++i)
        channel.gain[kNoReverbFrameSize - i] = channel.gain[i];
}

// Appends the finished hop to the output ring and moves the overlap down.
void EmitHop(NoReverbChannel& channel)
{
    for (int j = 0; j < kNoReverbHop; ++j)
    {
        channel.outputRing[channel.outputWriteIndex] = channel.accumulator[j];
        channel.outputWriteIndex = (channel.outputWriteIndex + 1) % kNoReverbOutputRingSize;
        ++channel.outputCount;
    }
    std::copy(channel.accumulator.begin() + kNoReverbHop, channel.accumulator.end(), channel.accumulator.begin());
    std::fill(channel.accumulator.end() - kNoReverbHop, channel.accumulator.end(), 0.0f);
}

float PopOutput(NoReverbChannel& channel)
{
    if (channel.outputCount < 1)
        return 0.0f;
    const float y = channel.outputRing[channel.readIndex];
    channel.readIndex = (channel.readIndex + 1) % kNoReverbOutputRingSize;
    --channel.outputCount;
    return y;
}

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
    gain.fill(1.0f);
    fft.Prepare(kNoReverbFrameSize);

    FillHannWindow(window.data(), kNoReverbFrameSize);
    float sum = 0.0f;
    for (int i = 0; i < kNoReverbFrameSize; i += kNoReverbHop)
        sum += window[i] * window[i];
    normaliser = sum > 0.0f ? sum : 1.0f;
}

float NoReverbChannel::ProcessSample(float x)
{
    inputRing[writeIndex] = Sanitised(x);
    writeIndex = (writeIndex + 1) % kNoReverbFrameSize;
    if (++hopCounter > kNoReverbHop - 1)
    {
        hopCounter = 0;
        ProcessNoReverbFrame(*this);
    }
    return PopOutput(*this);
}

void NoReverbChannel::ProcessBlock(float* samples, int n)
{
    int i = 0;
    while (i < n)
    {
        // Up to and including the sample that completes the hop.
        const int run = std::min(n - i, std::max(kNoReverbHop - hopCounter, 1));
        for (int j = 0; j < run; ++j)
        {
            inputRing[writeIndex] = Sanitised(samples[i + j]);
            writeIndex = (writeIndex + 1) % kNoReverbFrameSize;
        }
        hopCounter += run;
        // Samples before the hop's last read the output ring before its frame runs.
        const bool frame = hopCounter > kNoReverbHop - 1;
        const int before = frame ? run - 1 : run;
        for (int j = 0; j < before; ++j)
            samples[i + j] = PopOutput(*this);
        if (frame)
        {
            hopCounter = 0;
            ProcessNoReverbFrame(*this);
            samples[i + run - 1] = PopOutput(*this);
        }
        i += run;
    }
}

void ProcessNoReverbFrame(NoReverbChannel& channel)
{
    if (channel.fft.Size() != kNoReverbFrameSize)
    {
        // Never prepared: window and accumulator are zero, so is the frame.
        EmitHop(channel);
        return;
    }
    FormFrame(channel);
    const SplitComplex spectrum = channel.fft.Forward();
    ComputeGains(channel, spectrum);

    // The inverse transform is the forward one of the conjugate; only its real part is used.
    const DspKernels& kernels = channel.fft.Kernels();
    kernels.scaleConjugate(spectrum.re, spectrum.im, channel.gain.data(), channel.fft.InputReal(),
                           channel.fft.InputImag(), kNoReverbFrameSize);
    const SplitComplex signal = channel.fft.Forward();
    kernels.overlapAdd(signal.re, kInverseFrameSize, channel.window.data(), channel.normaliser,
                       channel.accumulator.data(), kNoReverbFrameSize);
    EmitHop(channel);
}

} // namespace ringstill
