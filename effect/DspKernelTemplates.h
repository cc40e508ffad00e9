// The kernels of DspKernels.h written once, over a "lane" type that says how
// one operation is done on a register of floats. Included only by the
// DspKernels*.cpp files, each compiled for one instruction set; everything
// here has internal linkage so no function compiled for a wider instruction
// set can stand in for a baseline one at link time. Only the lanes' own
// operations and builtins are used for the same reason (no inline library
// functions).
//
// Each lane operation is one IEEE operation per float, so a kernel does on
// each value exactly what the scalar lane does: the tails that do not fill a
// register run through the scalar lane.
#pragma once

#include "effect/DspKernels.h"
#include "effect/NoReverb.h"

#include <cstdint>
#include <cstring>

namespace ringstill {
namespace {

struct ScalarLane
{
    using Reg = float;
    static constexpr int kWidth = 1;

    static Reg Load(const float* p) { return *p; }
    static void Store(float* p, Reg v) { *p = v; }
    static Reg Set(float v) { return v; }
    static Reg Add(Reg a, Reg b) { return a + b; }
    static Reg Sub(Reg a, Reg b) { return a - b; }
    static Reg Mul(Reg a, Reg b) { return a * b; }
    static Reg Div(Reg a, Reg b) { return a / b; }
    static Reg Sqrt(Reg a) { return __builtin_sqrtf(a); }
    static Reg Negate(Reg a) { return -a; }
    // The x86 minimum and maximum: the second operand unless the comparison holds.
    static Reg Min(Reg a, Reg b) { return a < b ? a : b; }
    static Reg Max(Reg a, Reg b) { return a > b ? a : b; }
    // Lane masks, one bit per lane, lowest lane in bit 0.
    static unsigned Greater(Reg a, Reg b) { return a > b ? 1u : 0u; }
    static unsigned GreaterEqual(Reg a, Reg b) { return a >= b ? 1u : 0u; }
    static unsigned NonFinite(Reg a)
    {
        std::uint32_t bits;
        std::memcpy(&bits, &a, sizeof bits);
        return (bits & 0x7f800000u) == 0x7f800000u ? 1u : 0u;
    }
};

// Runs body(lane, i) over 0..n-1: whole registers of L first, the rest one by one.
template <class L, class Body>
inline void ForEach(int n, Body body)
{
    int i = 0;
    if constexpr (L::kWidth > 1)
        for (; i + L::kWidth <= n; i += L::kWidth)
            body(L{}, i);
    for (; i < n; ++i)
        body(ScalarLane{}, i);
}

// t = w * v; u' = u + t; v' = u - t: the scalar butterfly, operand for operand.
template <class L>
struct Butterfly
{
    using R = typename L::Reg;
    R ur, ui, vr, vi;

    inline void Apply(R wr, R wi)
    {
        const R tr = L::Sub(L::Mul(wr, vr), L::Mul(wi, vi));
        const R ti = L::Add(L::Mul(wr, vi), L::Mul(wi, vr));
        const R nur = L::Add(ur, tr), nui = L::Add(ui, ti);
        vr = L::Sub(ur, tr);
        vi = L::Sub(ui, ti);
        ur = nur;
        ui = nui;
    }
};

// The transform is a Stockham (self-sorting) arrangement of the in-place
// bit-reversed one: the stage of span 2h computes, for every offset o < r
// (r = size / 2h) and every k < h, the same butterfly on the same two values
// with the same twiddle w_k as the in-place code does in its group for o, but
// reads them from in[k*2r + o] and in[k*2r + r + o] and writes them to
// out[k*r + o] and out[(k+h)*r + o]. Input and output are in natural order, so
// no reordering pass is needed.

// A stage with r >= width: the offsets o are contiguous, the twiddle is one value.
template <class L>
void WideStage(const float* twRe, const float* twIm, int half, int r, const float* inRe, const float* inIm,
               float* outRe, float* outIm)
{
    for (int k = 0; k < half; ++k)
    {
        const typename L::Reg wr = L::Set(twRe[k]), wi = L::Set(twIm[k]);
        const float* uRe = inRe + 2 * k * r;
        const float* uIm = inIm + 2 * k * r;
        float* aRe = outRe + k * r;
        float* aIm = outIm + k * r;
        float* bRe = outRe + (k + half) * r;
        float* bIm = outIm + (k + half) * r;
        for (int o = 0; o < r; o += L::kWidth)
        {
            Butterfly<L> b{L::Load(uRe + o), L::Load(uIm + o), L::Load(uRe + r + o), L::Load(uIm + r + o)};
            b.Apply(wr, wi);
            L::Store(aRe + o, b.ur);
            L::Store(aIm + o, b.ui);
            L::Store(bRe + o, b.vr);
            L::Store(bIm + o, b.vi);
        }
    }
}

// A stage with r < width: one register pair covers width / r values of k;
// the lane splits them into their u and v halves and repeats each twiddle r times.
template <class L, int R>
void NarrowStage(const float* twRe, const float* twIm, int half, const float* inRe, const float* inIm, float* outRe,
                 float* outIm)
{
    constexpr int kPerRegister = L::kWidth / R;
    for (int k = 0; k < half; k += kPerRegister)
    {
        const float* srcRe = inRe + 2 * k * R;
        const float* srcIm = inIm + 2 * k * R;
        Butterfly<L> b;
        L::template Deinterleave<R>(L::Load(srcRe), L::Load(srcRe + L::kWidth), b.ur, b.vr);
        L::template Deinterleave<R>(L::Load(srcIm), L::Load(srcIm + L::kWidth), b.ui, b.vi);
        b.Apply(L::template Repeat<R>(twRe + k), L::template Repeat<R>(twIm + k));
        L::Store(outRe + k * R, b.ur);
        L::Store(outIm + k * R, b.ui);
        L::Store(outRe + (k + half) * R, b.vr);
        L::Store(outIm + (k + half) * R, b.vi);
    }
}

template <class L, int R>
inline bool TryNarrowStage(int r, const float* twRe, const float* twIm, int half, const float* inRe,
                           const float* inIm, float* outRe, float* outIm)
{
    if constexpr (R < L::kWidth)
    {
        if (r == R)
        {
            NarrowStage<L, R>(twRe, twIm, half, inRe, inIm, outRe, outIm);
            return true;
        }
    }
    return false;
}

// Needs size >= 2 * L::kWidth (the table picks the scalar lane below that).
template <class L>
int Fft(int size, const float* twiddleRe, const float* twiddleIm, float* re0, float* im0, float* re1, float* im1)
{
    float* re[2] = {re0, re1};
    float* im[2] = {im0, im1};
    int from = 0;
    for (int half = 1; half < size; half *= 2)
    {
        const int r = size / (2 * half);
        const float* twRe = twiddleRe + half - 1;
        const float* twIm = twiddleIm + half - 1;
        const int to = from ^ 1;
        if (r >= L::kWidth)
            WideStage<L>(twRe, twIm, half, r, re[from], im[from], re[to], im[to]);
        else
            (void)(TryNarrowStage<L, 1>(r, twRe, twIm, half, re[from], im[from], re[to], im[to])
                   || TryNarrowStage<L, 2>(r, twRe, twIm, half, re[from], im[from], re[to], im[to])
                   || TryNarrowStage<L, 4>(r, twRe, twIm, half, re[from], im[from], re[to], im[to])
                   || TryNarrowStage<L, 8>(r, twRe, twIm, half, re[from], im[from], re[to], im[to]));
        from = to;
    }
    return from;
}

template <class L>
int FftOrScalar(int size, const float* twiddleRe, const float* twiddleIm, float* re0, float* im0, float* re1,
                float* im1)
{
    if (size < 2 * L::kWidth)
        return Fft<ScalarLane>(size, twiddleRe, twiddleIm, re0, im0, re1, im1);
    return Fft<L>(size, twiddleRe, twiddleIm, re0, im0, re1, im1);
}

template <class L>
void WindowReal(const float* x, const float* window, float* re, float* im, int n)
{
    ForEach<L>(n, [&](auto lane, int i) {
        using V = decltype(lane);
        V::Store(re + i, V::Mul(V::Load(x + i), V::Load(window + i)));
        V::Store(im + i, V::Set(0.0f));
    });
}

template <class L>
void Magnitude(const float* re, const float* im, float* mag, int n)
{
    ForEach<L>(n, [&](auto lane, int i) {
        using V = decltype(lane);
        const auto r = V::Load(re + i), m = V::Load(im + i);
        V::Store(mag + i, V::Sqrt(V::Add(V::Mul(r, r), V::Mul(m, m))));
    });
}

// The lanes from bin k whose level is a local maximum: above the bin below, at least the bin above.
template <class V>
unsigned LocalMaxima(const float* mag, int k, typename V::Reg level)
{
    return V::Greater(level, V::Load(mag + k - 1)) & V::GreaterEqual(level, V::Load(mag + k + 1));
}

// Appends k + lane for every lane set in mask, lowest first.
inline void AppendLanes(unsigned mask, int k, int* bins, int& count)
{
    for (; mask != 0; mask &= mask - 1)
        bins[count++] = k + __builtin_ctz(mask);
}

template <class L>
int FindPeaks(const float* mag, int lo, int hi, float threshold, int* bins)
{
    int count = 0;
    // Only registers that lie wholly within lo..hi, so no read goes past hi + 1.
    ForEach<L>(hi - lo + 1, [&](auto lane, int i) {
        using V = decltype(lane);
        const int k = lo + i;
        const auto level = V::Load(mag + k);
        AppendLanes(LocalMaxima<V>(mag, k, level) & V::Greater(level, V::Set(threshold)), k, bins, count);
    });
    return count;
}

template <class L>
int FindClearPeaks(const float* mag, int lo, int hi, float ratio, int* bins)
{
    int count = 0;
    auto test = [&](auto lane, int k, const float* far) {
        using V = decltype(lane);
        const auto level = V::Load(mag + k);
        const auto r = V::Set(ratio);
        AppendLanes(LocalMaxima<V>(mag, k, level) & V::Greater(level, V::Set(0.0f))
                        & V::Greater(level, V::Mul(r, V::Load(far))) & V::Greater(level, V::Mul(r, V::Load(mag + k + 3))),
                    k, bins, count);
    };
    // Below bin 3 the bin three down is bin 0.
    int k = lo;
    for (; k <= hi && k < 3; ++k)
        test(ScalarLane{}, k, mag);
    ForEach<L>(hi - k + 1, [&](auto lane, int i) { test(lane, k + i, mag + k + i - 3); });
    return count;
}

template <class L>
int CountFinite(const float* x, int n)
{
    int i = 0;
    if constexpr (L::kWidth > 1)
        for (; i + L::kWidth <= n; i += L::kWidth)
            if (const unsigned mask = L::NonFinite(L::Load(x + i)); mask != 0)
                return i + __builtin_ctz(mask);
    for (; i < n; ++i)
        if (ScalarLane::NonFinite(x[i]) != 0)
            return i;
    return n;
}

template <class L>
void ReverbGains(const float* re, const float* im, float* average, float* gain, int n, float r)
{
    ForEach<L>(n, [&](auto lane, int i) {
        using V = decltype(lane);
        const auto x = V::Load(re + i), y = V::Load(im + i);
        const auto mag = V::Sqrt(V::Add(V::Mul(x, x), V::Mul(y, y)));
        const auto avg = V::Load(average + i);
        const auto ratio = V::Div(V::Sub(mag, avg), V::Add(mag, V::Set(kNoReverbMagnitudeGuard)));
        V::Store(average + i, V::Add(V::Mul(V::Set(kNoReverbAverageWeight), mag),
                                     V::Mul(V::Set(kNoReverbAverageKeep), avg)));
        // std::min(ratio, 1) then std::max(., floor): NaN passes through both.
        const auto g = V::Max(V::Set(kNoReverbFloorGain), V::Min(V::Set(1.0f), ratio));
        V::Store(gain + i, V::Sub(V::Set(1.0f), V::Mul(V::Sub(V::Set(1.0f), g), V::Set(r))));
    });
}

template <class L>
void ScaleConjugate(const float* re, const float* im, const float* gain, float* outRe, float* outIm, int n)
{
    ForEach<L>(n, [&](auto lane, int i) {
        using V = decltype(lane);
        const auto g = V::Load(gain + i);
        const auto x = V::Mul(V::Load(re + i), g);
        const auto y = V::Negate(V::Mul(V::Load(im + i), g));
        V::Store(outRe + i, x);
        V::Store(outIm + i, y);
    });
}

template <class L>
void OverlapAdd(const float* re, float scale, const float* window, float divisor, float* accumulator, int n)
{
    ForEach<L>(n, [&](auto lane, int i) {
        using V = decltype(lane);
        const auto term = V::Div(V::Mul(V::Mul(V::Load(re + i), V::Set(scale)), V::Load(window + i)), V::Set(divisor));
        V::Store(accumulator + i, V::Add(V::Load(accumulator + i), term));
    });
}

template <class L>
constexpr DspKernels MakeKernels(void (*notchCascade)(NotchCascade&, float*, int))
{
    DspKernels k;
    k.width = L::kWidth;
    k.fft = &FftOrScalar<L>;
    k.windowReal = &WindowReal<L>;
    k.magnitude = &Magnitude<L>;
    k.findPeaks = &FindPeaks<L>;
    k.findClearPeaks = &FindClearPeaks<L>;
    k.countFinite = &CountFinite<L>;
    k.reverbGains = &ReverbGains<L>;
    k.scaleConjugate = &ScaleConjugate<L>;
    k.overlapAdd = &OverlapAdd<L>;
    k.notchCascade = notchCascade;
    return k;
}

} // namespace
} // namespace ringstill
