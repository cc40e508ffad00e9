#include "effect/Fft.h"

#include <cmath>
#include <utility>

namespace ringstill {

namespace {

// Plain float arithmetic instead of std::complex's operator*, which would go
// through the slow NaN-recovering library multiply.
inline void Multiply(float ar, float ai, float br, float bi, float& outR, float& outI)
{
    outR = ar * br - ai * bi;
    outI = ar * bi + ai * br;
}

// The step rotation e^(-2 pi i / span), from the single-precision angle.
void StepRotation(int span, float& stepR, float& stepI)
{
    const float angle = static_cast<float>(-kTwoPiF) / static_cast<float>(span);
    stepR = std::cos(angle);
    stepI = std::sin(angle);
}

bool IsPowerOfTwo(int n)
{
    return n >= 2 && (n & (n - 1)) == 0;
}

} // namespace

void FillHannWindow(float* window, int n)
{
    const float twoPi = static_cast<float>(kTwoPiF);
    const float last = static_cast<float>(n - 1);
    for (int i = 0; i < n; ++i)
        window[i] = (1.0f - std::cos(twoPi * static_cast<float>(i) / last)) * 0.5f;
}

void WindowRing(FftPlan& plan, const float* ring, int oldest, const float* window)
{
    const DspKernels& kernels = plan.Kernels();
    const int older = plan.Size() - oldest; // samples from the oldest to the ring's end
    kernels.windowReal(ring + oldest, window, plan.InputReal(), plan.InputImag(), older);
    kernels.windowReal(ring, window + older, plan.InputReal() + older, plan.InputImag() + older, oldest);
}

void ComputeFft(std::complex<float>* values, int count)
{
    if (values == nullptr || count < 2)
        return;

    // Bit-reversed reordering.
    for (int i = 1, j = 0; i < count; ++i)
    {
        int bit = count >> 1;
        for (; j & bit; bit >>= 1)
            j ^= bit;
        j ^= bit;
        if (i < j)
            std::swap(values[i], values[j]);
    }

    float* v = reinterpret_cast<float*>(values);
    for (int len = 2; len <= count; len <<= 1)
    {
        float stepR, stepI;
        StepRotation(len, stepR, stepI);
        const int half = len / 2;
        for (int start = 0; start < count; start += len)
        {
            float wr = 1.0f, wi = 0.0f;
            for (int k = 0; k < half; ++k)
            {
                float* u = v + 2 * (start + k);
                float* x = v + 2 * (start + k + half);
                float tr, ti;
                Multiply(wr, wi, x[0], x[1], tr, ti);
                const float ur = u[0], ui = u[1];
                u[0] = ur + tr;
                u[1] = ui + ti;
                x[0] = ur - tr;
                x[1] = ui - ti;
                float nr, ni;
                Multiply(wr, wi, stepR, stepI, nr, ni);
                wr = nr;
                wi = ni;
            }
        }
    }
}

void FftPlan::Prepare(int count, SimdPath requested)
{
    if (!IsPowerOfTwo(count) || !CanRun(requested))
    {
        *this = FftPlan{};
        return;
    }
    size = count;
    // A register pair must hold at least one butterfly span's worth of values.
    path = count >= 2 * KernelsFor(requested).width ? requested : SimdPath::Scalar;
    kernels = &KernelsFor(path);

    // Every group of a span starts its twiddle at 1 and advances it by the same
    // rotation, so all groups see the same sequence: keep it once per span.
    twiddleRe.Assign(static_cast<std::size_t>(count - 1), 0.0f);
    twiddleIm.Assign(static_cast<std::size_t>(count - 1), 0.0f);
    for (int half = 1; half < count; half *= 2)
    {
        float stepR, stepI;
        StepRotation(2 * half, stepR, stepI);
        float wr = 1.0f, wi = 0.0f;
        for (int k = 0; k < half; ++k)
        {
            twiddleRe[static_cast<std::size_t>(half - 1 + k)] = wr;
            twiddleIm[static_cast<std::size_t>(half - 1 + k)] = wi;
            float nr, ni;
            Multiply(wr, wi, stepR, stepI, nr, ni);
            wr = nr;
            wi = ni;
        }
    }
    work.Assign(static_cast<std::size_t>(4 * count), 0.0f);
}

SplitComplex FftPlan::Forward()
{
    if (size == 0)
        return {};
    float* w = work.data();
    const int n = size;
    const int result = kernels->fft(n, twiddleRe.data(), twiddleIm.data(), w, w + n, w + 2 * n, w + 3 * n);
    return {w + 2 * n * result, w + 2 * n * result + n};
}

void ComputeFft(FftPlan& plan, std::complex<float>* values)
{
    const int n = plan.Size();
    if (values == nullptr || n == 0)
        return;
    float* re = plan.InputReal();
    float* im = plan.InputImag();
    for (int i = 0; i < n; ++i)
    {
        re[i] = values[i].real();
        im[i] = values[i].imag();
    }
    const SplitComplex out = plan.Forward();
    for (int i = 0; i < n; ++i)
        values[i] = {out.re[i], out.im[i]};
}

} // namespace ringstill
