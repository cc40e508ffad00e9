// Radix-2 complex FFT in single precision, shared by the feedback detector and
// the No-Reverb stage. Forward transform, no scaling.
//
// ComputeFft works on any power-of-two count without preparation. FftPlan is
// the same transform, value for value and bit for bit, made fast: its twiddle
// factors are computed once, by the same recurrence, when the plan is
// prepared, and its butterflies run vectorised on the chosen SimdPath.
#pragma once

#include "effect/DspKernels.h"
#include "effect/SimdPath.h"

#include <complex>

namespace ringstill {

// Two pi as the single-precision value the DSP code uses everywhere.
inline constexpr double kTwoPiF = 6.2831854820251465;

// Audio thread: never allocates. count must be a power of two (1 is a no-op).
// In place, from bit-reversed order, with each group's twiddle w starting at 1
// and multiplied by the span's step rotation after every butterfly.
void ComputeFft(std::complex<float>* values, int count);

// Where a transform left its result: split real and imaginary parts, natural order.
struct SplitComplex
{
    float* re = nullptr;
    float* im = nullptr;
};

class FftPlan
{
public:
    // Setup thread (allocates): tables and work arrays for `count` points, a
    // power of two of at least 2; anything else leaves the plan empty.
    void Prepare(int count, SimdPath path = DefaultSimdPath());

    // Points, or 0 while not prepared.
    int Size() const { return size; }
    // The path the butterflies run on (sizes below two registers run scalar).
    SimdPath Path() const { return path; }
    const DspKernels& Kernels() const { return *kernels; }

    // Audio thread: the next transform's input, Size() values each.
    float* InputReal() { return work.data(); }
    float* InputImag() { return work.data() + size; }

    // Audio thread: never allocates. Transforms the input; the result stays
    // valid until the next Forward. The input arrays are overwritten.
    SplitComplex Forward();

private:
    int size = 0;
    SimdPath path = SimdPath::Scalar;
    const DspKernels* kernels = &KernelsFor(SimdPath::Scalar);
    AlignedFloats twiddleRe; // size - 1: the span 2h's twiddles at h - 1
    AlignedFloats twiddleIm;
    AlignedFloats work; // two pairs of real and imaginary arrays
};

// Audio thread: ComputeFft through a prepared plan of `values`' count.
void ComputeFft(FftPlan& plan, std::complex<float>* values);

// The symmetric Hann window of n points, in single precision, into window.
void FillHannWindow(float* window, int n);

// Audio thread: a ring of plan.Size() samples, oldest at `oldest`, times the window, as the plan's
// next input.
void WindowRing(FftPlan& plan, const float* ring, int oldest, const float* window);

} // namespace ringstill
