// The vectorised inner loops of the FFT, the detector's spectrum and peak scan,
// the No-Reverb frame and the notch cascade, one table per instruction set.
// Every entry performs the same IEEE operations, in the same order and with the
// same operands, as the plain scalar loop it replaces (no fused multiply-add:
// these files are compiled with -ffp-contract=off), so every path gives the
// same bits. Audio thread: nothing here allocates, locks or branches on data
// beyond what the scalar code does.
#pragma once

#include "effect/SimdPath.h"

#include <cstddef>
#include <memory>

namespace ringstill {

struct NotchCascade;

struct DspKernels
{
    // Floats one instruction handles.
    int width = 1;

    // Radix-2 decimation-in-time transform of `size` points, stage by stage
    // from (re0, im0), alternating with (re1, im1). Twiddles of the stage with
    // span 2h sit at twiddle + h - 1. Returns 0 or 1: the pair holding the result.
    int (*fft)(int size, const float* twiddleRe, const float* twiddleIm, float* re0, float* im0, float* re1,
               float* im1) = nullptr;

    // re[i] = x[i] * window[i], im[i] = 0.
    void (*windowReal)(const float* x, const float* window, float* re, float* im, int n) = nullptr;

    // mag[i] = sqrt(re[i]^2 + im[i]^2).
    void (*magnitude)(const float* re, const float* im, float* mag, int n) = nullptr;

    // Writes, in ascending order, every bin k in lo..hi with mag[k] > mag[k-1],
    // mag[k] >= mag[k+1] and mag[k] > threshold; returns how many.
    // mag must hold bins lo - 1 .. hi + 1.
    int (*findPeaks)(const float* mag, int lo, int hi, float threshold, int* bins) = nullptr;

    // Writes, in ascending order, every bin k in lo..hi with mag[k] > mag[k-1],
    // mag[k] >= mag[k+1], mag[k] > 0 and mag[k] > ratio * mag[j] for j = k - 3
    // (0 where that is below 0) and j = k + 3; returns how many.
    // lo >= 1; mag must hold bins 0 .. hi + 3.
    int (*findClearPeaks)(const float* mag, int lo, int hi, float ratio, int* bins) = nullptr;

    // Number of leading samples that are finite (n when all are).
    int (*countFinite)(const float* x, int n) = nullptr;

    // No-Reverb, bins 0..n-1: magnitude, ratio to the running average, the
    // average's update and the bin's gain at amount r.
    void (*reverbGains)(const float* re, const float* im, float* average, float* gain, int n, float r) = nullptr;

    // outRe = re * gain, outIm = -(im * gain); in and out may be the same arrays.
    void (*scaleConjugate)(const float* re, const float* im, const float* gain, float* outRe, float* outIm,
                           int n) = nullptr;

    // accumulator[i] += re[i] * scale * window[i] / divisor.
    void (*overlapAdd)(const float* re, float scale, const float* window, float divisor, float* accumulator,
                       int n) = nullptr;

    // n samples in place through the cascade's stages in order, in double
    // precision and rounded to float after each stage; updates the states.
    void (*notchCascade)(NotchCascade& cascade, float* samples, int n) = nullptr;
};

// The table of a runnable path (see CanRun).
const DspKernels& KernelsFor(SimdPath path);

// Floats on 64-byte boundaries, so no vector load straddles two cache lines.
// Setup thread: Assign allocates; copying copies the contents.
class AlignedFloats
{
public:
    AlignedFloats() = default;
    AlignedFloats(const AlignedFloats& other);
    AlignedFloats& operator=(const AlignedFloats& other);
    AlignedFloats(AlignedFloats&&) noexcept = default;
    AlignedFloats& operator=(AlignedFloats&&) noexcept = default;

    void Assign(std::size_t n, float value);
    float* data() { return storage.get(); }
    const float* data() const { return storage.get(); }
    std::size_t size() const { return count; }
    float& operator[](std::size_t i) { return storage[i]; }
    float operator[](std::size_t i) const { return storage[i]; }

private:
    struct Release
    {
        void operator()(float* p) const;
    };
    std::unique_ptr<float[], Release> storage;
    std::size_t count = 0;
};

} // namespace ringstill
