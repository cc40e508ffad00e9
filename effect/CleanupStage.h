// The No-Noise part of the clean-up stage: the RNNoise denoiser run at 48 kHz
// on 480-sample frames, blended with the dry signal by the No-Noise amount.
// The block goes to 48 kHz through a linear resampler, whole frames are
// denoised, the result comes back to the host rate into a queue, and the dry
// signal waits in a delay line of the same length as the wet path.
//
// Owned by the effect. ConfigureNoNoise runs on the thread that resets the
// DSP, ProcessNoNoise on the audio thread; the two never run at once.
#pragma once

#include "effect/Denoiser.h"
#include "effect/NoReverb.h"

#include <cstdint>
#include <vector>

namespace ringstill {

// Headroom of the wet queue over one frame, for the resamplers' rounding.
inline constexpr int kNoNoiseQueueMargin = 32;
// Full scale of the denoiser's 16-bit sample range, and its inverse 2^-15.
inline constexpr float kDenoiserScale = 32768.0f;
inline constexpr float kDenoiserInverseScale = 3.0517578125e-05f;

// Samples at rate fs that last as long as `samples48k` at 48 kHz, to the nearest
// integer (halves away from zero). 480 -> 480 at 48 kHz, 441 at 44.1 kHz.
int SamplesAtRate(double sampleRate, int samples48k);

// First-in first-out queue of floats with a fixed capacity: pushing and
// popping never allocate. Reserve grows it (keeping its contents) and is the
// only call that allocates.
class SampleFifo
{
public:
    void Reset(int capacity, int zeros);
    void Reserve(int capacity);
    bool Push(float value); // false (value dropped) when full
    float Pop();            // 0 when empty
    bool Empty() const { return count == 0; }
    int Size() const { return count; }
    int Capacity() const { return static_cast<int>(storage.size()); }

private:
    std::vector<float> storage;
    int head = 0;
    int count = 0;
};

// Linear interpolation from one rate to another, as a continuous stream over
// calls: output k lies at input position k * step.
struct LinearResampler
{
    double step = 1.0;
    double position = 1.0;
    float lastSample = 0.0f;
    std::vector<float> work;

    // Host thread: sets the step, restarts the stream and sizes the work list.
    void Configure(double newStep, int maxInput);
    // Most output samples one call with n input samples can produce at this step.
    static int MaxOutput(double step, int n);
    // Audio thread: allocates only when n or the output exceed what was reserved.
    // Appends to output. Non-finite input samples count as 0.
    void Process(const float* input, int n, std::vector<float>& output);
};

struct NoNoiseChannel
{
    DenoiserPtr denoiser;
    // Set when the state could not be created or a frame failed: the channel
    // then passes its blocks through unchanged until the next reset.
    bool failed = false;
    LinearResampler inputResampler;  // host rate to 48 kHz
    LinearResampler outputResampler; // 48 kHz to host rate
    std::vector<float> pending;      // 48 kHz samples waiting for a whole frame
    SampleFifo wetQueue;             // denoised samples at the host rate
    SampleFifo dryQueue;             // delay line for the unprocessed signal
    std::uint64_t framesDenoised = 0;
};

struct CleanupStage
{
    double sampleRate = 48000.0;
    int frameSize = kDenoiserFrameSize;
    // Samples of wet signal the queue holds back so that output continues
    // while a frame is gathered: one frame at the host rate plus the margin.
    int bufferLatency = 512;
    // The denoiser's own delay (it returns each frame one frame late), at the host rate.
    int denoiserDelay = 480;
    // Delay of the No-Noise output, wet and dry alike: what the effect reports.
    int latency = 992;
    float amount = 0.0f;
    int maxBlockSize = 0;
    std::vector<NoNoiseChannel> channels;
    std::vector<float> resampled; // the two working lists, shared by the channels
    std::vector<float> denoised;

    // Host thread: rebuilds every channel with a fresh denoiser state and
    // sizes all buffers for blocks of up to maxBlock samples. fs <= 0 means 48 kHz.
    void ConfigureNoNoise(double fs, int channelCount, int maxBlock);

    // Audio thread: sets the amount, limited to 0..1.
    void SetNoNoiseAmount(float value);

    // Audio thread: never blocks; allocates only for a block longer than any
    // before. Processes one channel's block in place; leaves it untouched when
    // the channel index is out of range, the amount is off or the channel failed.
    void ProcessNoNoise(float* samples, int n, int channel);

    // Latency the effect reports while No-Noise is on.
    int NoNoiseLatency() const { return latency; }

private:
    void ReserveFor(int maxBlock);
};

} // namespace ringstill
