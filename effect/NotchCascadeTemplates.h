// The notch cascade kernel of DspKernels.h, written once over a "double lane"
// type that says how one operation is done on a register of doubles. Included
// only by the DspKernels*.cpp files, each compiled for one instruction set;
// internal linkage and no inline library functions, for the reasons given in
// DspKernelTemplates.h.
//
// Stage j (the j-th active slot) filters sample t only after stage j - 1 has,
// but it does not wait for stage j - 1's later samples. So the vector path runs
// the stages as a wavefront: at step s, stage j filters sample s - j, the lanes
// of a register hold consecutive stages, and each step shifts every stage's
// rounded output one lane up, into the next stage. Every stage still sees
// the same inputs in the same order and does the same double operations on
// them as NotchFilter::Process, so the samples and states come out bit for bit
// as from running each slot over the block in turn.
#pragma once

#include "effect/NotchCascade.h"

#include <utility>

namespace ringstill {
namespace {

struct ScalarDoubles
{
    using Reg = double;
    static constexpr int kWidth = 1;

    static Reg Load(const double* p) { return *p; }
    static void Store(double* p, Reg v) { *p = v; }
    static Reg Add(Reg a, Reg b) { return a + b; }
    static Reg Sub(Reg a, Reg b) { return a - b; }
    static Reg Mul(Reg a, Reg b) { return a * b; }
    // The signal between slots is single precision.
    static Reg Round(Reg a) { return static_cast<double>(static_cast<float>(a)); }
};

// NotchFilter::Process, operand for operand: y = b0·x + z1;
// z1 = b1·x - a1·y + z2; z2 = b2·x - a2·y. Returns y, unrounded.
template <class D>
inline typename D::Reg Stage(typename D::Reg x, const NotchCascade& c, int at, typename D::Reg& z1,
                             typename D::Reg& z2)
{
    using R = typename D::Reg;
    const R y = D::Add(D::Mul(D::Load(c.b0 + at), x), z1);
    z1 = D::Add(D::Sub(D::Mul(D::Load(c.b1 + at), x), D::Mul(D::Load(c.a1 + at), y)), z2);
    z2 = D::Sub(D::Mul(D::Load(c.b2 + at), x), D::Mul(D::Load(c.a2 + at), y));
    return y;
}

// The plain order: each stage over the whole block, then the next one.
inline void CascadeStageByStage(NotchCascade& c, float* samples, int n)
{
    for (int j = 0; j < c.count; ++j)
    {
        double z1 = c.z1[j], z2 = c.z2[j];
        for (int i = 0; i < n; ++i)
            samples[i] = static_cast<float>(Stage<ScalarDoubles>(static_cast<double>(samples[i]), c, j, z1, z2));
        c.z1[j] = z1;
        c.z2[j] = z2;
    }
}

// One wavefront step s for the stages that have a sample to filter (s - j
// within 0..n-1), one at a time: the ramps at both ends of the block. Stages
// run from the last down, so carry[j - 1] still holds the previous step's
// output of stage j - 1 when stage j takes it.
inline void ScalarStep(NotchCascade& c, double* carry, float* samples, int n, int s)
{
    const int last = c.count - 1;
    const int hi = s < last ? s : last;
    const int lo = s - n + 1 > 0 ? s - n + 1 : 0;
    for (int j = hi; j >= lo; --j)
    {
        const double x = j == 0 ? static_cast<double>(samples[s]) : carry[j - 1];
        double z1 = c.z1[j], z2 = c.z2[j];
        const double y = Stage<ScalarDoubles>(x, c, j, z1, z2);
        c.z1[j] = z1;
        c.z2[j] = z2;
        carry[j] = ScalarDoubles::Round(y);
        if (j == last)
            samples[s - last] = static_cast<float>(y);
    }
}

// Steps first..end-1, in which every stage has a sample: R registers of
// stages, states and outputs kept in registers. Lanes past the last stage
// compute on zeros and nothing reads them.
template <class D, int R>
void SteadySteps(NotchCascade& c, double* carry, float* samples, int first, int end)
{
    using Reg = typename D::Reg;
    constexpr int W = D::kWidth;
    Reg y[R], z1[R], z2[R];
    for (int r = 0; r < R; ++r)
    {
        y[r] = D::Load(carry + r * W);
        z1[r] = D::Load(c.z1 + r * W);
        z2[r] = D::Load(c.z2 + r * W);
    }
    const int last = c.count - 1;
    const int lane = last % W;
    double top[W];
    for (int s = first; s < end; ++s)
    {
        for (int r = R - 1; r >= 0; --r)
        {
            const Reg x = r == 0 ? D::ShiftIn(y[0], static_cast<double>(samples[s])) : D::Shift(y[r], y[r - 1]);
            y[r] = D::Round(Stage<D>(x, c, r * W, z1[r], z2[r]));
        }
        D::Store(top, y[R - 1]);
        samples[s - last] = static_cast<float>(top[lane]);
    }
    // The lanes past the last stage stay out of the cascade's states.
    double z1Out[R * W], z2Out[R * W];
    for (int r = 0; r < R; ++r)
    {
        D::Store(carry + r * W, y[r]);
        D::Store(z1Out + r * W, z1[r]);
        D::Store(z2Out + r * W, z2[r]);
    }
    for (int j = 0; j < c.count; ++j)
    {
        c.z1[j] = z1Out[j];
        c.z2[j] = z2Out[j];
    }
}

template <class D, std::size_t... I>
constexpr auto SteadyTable(std::index_sequence<I...>)
{
    using Steps = void (*)(NotchCascade&, double*, float*, int, int);
    struct Table
    {
        Steps steps[sizeof...(I)];
    };
    return Table{{&SteadySteps<D, static_cast<int>(I) + 1>...}};
}

// The wavefront takes count + n - 1 steps: a ramp in, the steady middle on
// whole registers, a ramp out.
template <class D>
void CascadeWavefront(NotchCascade& c, float* samples, int n)
{
    constexpr int W = D::kWidth;
    constexpr auto kSteady = SteadyTable<D>(std::make_index_sequence<kCascadeCapacity / W>());
    const int count = c.count;
    if (count <= 0 || count > kCascadeCapacity || n <= 0)
        return;
    double carry[kCascadeCapacity] = {};
    const int steps = n + count - 1;
    int s = 0;
    for (; s < count - 1; ++s)
        ScalarStep(c, carry, samples, n, s);
    if (s < n)
    {
        kSteady.steps[(count + W - 1) / W - 1](c, carry, samples, s, n);
        s = n;
    }
    for (; s < steps; ++s)
        ScalarStep(c, carry, samples, n, s);
}

} // namespace
} // namespace ringstill
