// The No-Reverb part of the clean-up stage: a short-time spectral processor
// on 512-point frames with a hop of 128. Every bin that is not rising clearly
// above its recent average is lowered, by up to 12 dB at full amount, so
// onsets pass while sustained and decaying energy is cut. Output sample t is
// built from input sample t - 511.
//
// One per channel, owned by the effect. Prepare runs on the thread that
// resets the DSP, the rest on the audio thread.
#pragma once

#include "effect/Fft.h"

#include <array>

namespace ringstill {

inline constexpr int kNoReverbFrameSize = 512;
inline constexpr int kNoReverbHop = 128;
inline constexpr int kNoReverbBins = kNoReverbFrameSize / 2 + 1;
inline constexpr int kNoReverbOutputRingSize = 4096;
// Latency reported to the host while No-Reverb is on, at every sample rate.
inline constexpr int kNoReverbLatency = 512;
// Lowest gain of a bin at full amount (-12 dB).
inline constexpr float kNoReverbFloorGain = 0.25f;
// Each bin's running average: weight of the newest magnitude and of the old average.
inline constexpr float kNoReverbAverageWeight = 0.12f;
inline constexpr float kNoReverbAverageKeep = 0.88f;
// Keeps a silent bin's ratio to its average finite.
inline constexpr float kNoReverbMagnitudeGuard = 1e-9f;
// Each clean-up part is off (costs nothing, adds no latency) at or below this amount.
inline constexpr float kCleanupOffAmount = 0.001f;

struct NoReverbChannel
{
    double sampleRate = 48000.0; // kept for reference; the processing does not depend on it
    float normaliser = 1.0f;     // overlap-add gain of the squared window at hop 128
    int writeIndex = 0;
    int hopCounter = 0;
    int latency = kNoReverbLatency;
    int readIndex = 0;
    int outputWriteIndex = 0;
    int outputCount = 0;
    float amount = 0.0f;
    std::array<float, kNoReverbFrameSize> window{};
    std::array<float, kNoReverbFrameSize> inputRing{};
    std::array<float, kNoReverbFrameSize> accumulator{};
    std::array<float, kNoReverbOutputRingSize> outputRing{};
    std::array<float, kNoReverbBins> average{};
    // A frame's transform and per-bin gains, prepared so no frame allocates.
    FftPlan fft;
    std::array<float, kNoReverbFrameSize> gain{};

    // Host thread: clears all state and builds the window and the transform.
    // fs <= 0 means 48 kHz.
    void Prepare(double fs);

    // Audio thread: never allocates. One input sample in, one output sample
    // out; runs a frame every 128 samples. Non-finite input counts as 0.
    float ProcessSample(float x);

    // Audio thread: never allocates. ProcessSample over a block in place,
    // sample for sample the same.
    void ProcessBlock(float* samples, int n);
};

// Audio thread: one analysis and synthesis frame over the channel's input ring.
void ProcessNoReverbFrame(NoReverbChannel& channel);

} // namespace ringstill
