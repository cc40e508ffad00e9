#include "effect/CleanupStage.h"

#include <algorithm>
#include <cmath>

namespace ringstill {

int SamplesAtRate(double sampleRate, int samples48k)
{
    return static_cast<int>(std::lround(sampleRate * samples48k / kDenoiserSampleRate));
}

// ---------------------------------------------------------------------------

void SampleFifo::Reset(int capacity, int zeros)
{
    storage.assign(static_cast<std::size_t>(std::max(capacity, zeros)), 0.0f);
    head = 0;
    count = zeros;
}

void SampleFifo::Reserve(int capacity)
{
    if (capacity <= Capacity())
        return;
    std::vector<float> grown(static_cast<std::size_t>(capacity), 0.0f);
    const int size = Capacity();
    for (int i = 0; i < count; ++i)
        grown[static_cast<std::size_t>(i)] = storage[static_cast<std::size_t>((head + i) % size)];
    storage.swap(grown);
    head = 0;
}

bool SampleFifo::Push(float value)
{
    const int size = Capacity();
    if (count >= size)
        return false;
    int tail = head + count;
    if (tail >= size)
        tail -= size;
    storage[static_cast<std::size_t>(tail)] = value;
    ++count;
    return true;
}

float SampleFifo::Pop()
{
    if (count == 0)
        return 0.0f;
    const float value = storage[static_cast<std::size_t>(head)];
    if (++head == Capacity())
        head = 0;
    --count;
    return value;
}

// ---------------------------------------------------------------------------

void LinearResampler::Configure(double newStep, int maxInput)
{
    step = newStep;
    position = 1.0;
    lastSample = 0.0f;
    work.clear();
    work.reserve(static_cast<std::size_t>(maxInput) + 1);
}

int LinearResampler::MaxOutput(double step, int n)
{
    // position starts below step + 1, so at most ceil(n / step) + 1 outputs.
    return static_cast<int>(std::ceil(n / step)) + 2;
}

void LinearResampler::Process(const float* input, int n, std::vector<float>& output)
{
    if (n < 1)
        return;
    // A NaN or infinity kept as lastSample would come back in every later call.
    work.resize(static_cast<std::size_t>(n) + 1);
    work[0] = lastSample;
    for (int i = 0; i < n; ++i)
        work[static_cast<std::size_t>(i) + 1] = std::isfinite(input[i]) ? input[i] : 0.0f;

    while (position < n)
    {
        const int i = static_cast<int>(std::floor(position));
        const float t = static_cast<float>(position - i);
        output.push_back((1.0f - t) * work[static_cast<std::size_t>(i)] + t * work[static_cast<std::size_t>(i) + 1]);
        position += step;
    }
    position -= n;
    lastSample = work[static_cast<std::size_t>(n)];
}

// ---------------------------------------------------------------------------

void CleanupStage::ConfigureNoNoise(double fs, int channelCount, int maxBlock)
{
    if (!(fs > 0.0))
        fs = kDenoiserSampleRate;
    sampleRate = fs;
    frameSize = kDenoiserFrameSize;
    bufferLatency = SamplesAtRate(fs, kDenoiserFrameSize) + kNoNoiseQueueMargin;
    denoiserDelay = SamplesAtRate(fs, kDenoiserFrameSize);
    latency = bufferLatency + denoiserDelay;

    channels.clear(); // releases every denoiser state first
    channels.resize(static_cast<std::size_t>(std::max(1, channelCount)));
    maxBlockSize = 0;
    for (NoNoiseChannel& channel : channels)
    {
        channel.denoiser.reset(CreateDenoiser());
        channel.failed = channel.denoiser == nullptr;
        channel.inputResampler.Configure(fs / kDenoiserSampleRate, 0);
        channel.outputResampler.Configure(kDenoiserSampleRate / fs, 0);
        channel.pending.clear();
        channel.wetQueue.Reset(0, bufferLatency);
        channel.dryQueue.Reset(0, latency);
        channel.framesDenoised = 0;
    }
    resampled.clear();
    denoised.clear();
    ReserveFor(std::max(1, maxBlock));
}

void CleanupStage::ReserveFor(int maxBlock)
{
    if (maxBlock <= maxBlockSize)
        return;
    maxBlockSize = maxBlock;
    const int resampledIn = LinearResampler::MaxOutput(sampleRate / kDenoiserSampleRate, maxBlock);
    const int pendingMax = frameSize + resampledIn;
    const int resampledOut = LinearResampler::MaxOutput(kDenoiserSampleRate / sampleRate, pendingMax);

    resampled.reserve(static_cast<std::size_t>(std::max(resampledIn, resampledOut)));
    denoised.reserve(static_cast<std::size_t>(pendingMax));
    for (NoNoiseChannel& channel : channels)
    {
        channel.inputResampler.work.reserve(static_cast<std::size_t>(maxBlock) + 1);
        channel.outputResampler.work.reserve(static_cast<std::size_t>(pendingMax) + 1);
        channel.pending.reserve(static_cast<std::size_t>(pendingMax));
        // The wet queue never holds more than its latency, a few samples of
        // rounding and one block's worth of frames.
        channel.wetQueue.Reserve(bufferLatency + resampledOut + kNoNoiseQueueMargin);
        channel.dryQueue.Reserve(latency + 1);
    }
}

void CleanupStage::SetNoNoiseAmount(float value)
{
    amount = std::clamp(value, 0.0f, 1.0f);
}

void CleanupStage::ProcessNoNoise(float* samples, int n, int channelIndex)
{
    if (channelIndex < 0 || channelIndex >= static_cast<int>(channels.size()) || !(amount > kCleanupOffAmount))
        return;
    if (samples == nullptr || n < 1)
        return;
    NoNoiseChannel& channel = channels[static_cast<std::size_t>(channelIndex)];
    if (channel.failed)
        return;
    if (n > maxBlockSize)
        ReserveFor(n);

    resampled.clear();
    channel.inputResampler.Process(samples, n, resampled);
    channel.pending.insert(channel.pending.end(), resampled.begin(), resampled.end());

    denoised.clear();
    std::size_t taken = 0;
    float frame[kDenoiserFrameSize];
    while (channel.pending.size() - taken >= static_cast<std::size_t>(frameSize))
    {
        const float* source = channel.pending.data() + taken;
        for (int i = 0; i < kDenoiserFrameSize; ++i)
            frame[i] = source[i] * kDenoiserScale;
        bool finite = DenoiseFrame(channel.denoiser.get(), frame, frame);
        for (int i = 0; i < kDenoiserFrameSize && finite; ++i)
            finite = std::isfinite(frame[i]);
        if (!finite)
        {
            // A trapped or poisoned state stays so: this channel is passed
            // through from now on, starting with this block.
            channel.failed = true;
            return;
        }
        for (int i = 0; i < kDenoiserFrameSize; ++i)
            denoised.push_back(frame[i] * kDenoiserInverseScale);
        taken += static_cast<std::size_t>(frameSize);
        ++channel.framesDenoised;
    }
    channel.pending.erase(channel.pending.begin(), channel.pending.begin() + static_cast<std::ptrdiff_t>(taken));

    resampled.clear();
    channel.outputResampler.Process(denoised.data(), static_cast<int>(denoised.size()), resampled);
    for (float w : resampled)
        channel.wetQueue.Push(w);

    // The dry path treats non-finite input as silence too, so that a stray
    // NaN cannot leak into the blend even where its weight is 0.
    const float a = amount;
    for (int i = 0; i < n; ++i)
    {
        channel.dryQueue.Push(std::isfinite(samples[i]) ? samples[i] : 0.0f);
        const float d = channel.dryQueue.Pop();
        const float w = channel.wetQueue.Empty() ? d : channel.wetQueue.Pop();
        samples[i] = (1.0f - a) * d + a * w;
    }
}

} // namespace ringstill
