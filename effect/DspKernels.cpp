// The scalar and SSE2 kernel tables (SSE2 is the x86-64 baseline, so this file
// needs no special flags), the choice between all tables, and AlignedFloats.
#include "effect/DspKernelTemplates.h"

#include <algorithm>
#include <new>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace ringstill {

#if defined(__SSE2__)
namespace {

struct Sse2Lane
{
    using Reg = __m128;
    static constexpr int kWidth = 4;

    static Reg Load(const float* p) { return _mm_loadu_ps(p); }
    static void Store(float* p, Reg v) { _mm_storeu_ps(p, v); }
    static Reg Set(float v) { return _mm_set1_ps(v); }
    static Reg Add(Reg a, Reg b) { return _mm_add_ps(a, b); }
    static Reg Sub(Reg a, Reg b) { return _mm_sub_ps(a, b); }
    static Reg Mul(Reg a, Reg b) { return _mm_mul_ps(a, b); }
    static Reg Div(Reg a, Reg b) { return _mm_div_ps(a, b); }
    static Reg Sqrt(Reg a) { return _mm_sqrt_ps(a); }
    static Reg Negate(Reg a) { return _mm_xor_ps(a, _mm_set1_ps(-0.0f)); }
    static Reg Min(Reg a, Reg b) { return _mm_min_ps(a, b); }
    static Reg Max(Reg a, Reg b) { return _mm_max_ps(a, b); }
    static unsigned Greater(Reg a, Reg b) { return static_cast<unsigned>(_mm_movemask_ps(_mm_cmpgt_ps(a, b))); }
    static unsigned GreaterEqual(Reg a, Reg b) { return static_cast<unsigned>(_mm_movemask_ps(_mm_cmpge_ps(a, b))); }
    static unsigned NonFinite(Reg a)
    {
        const __m128i exponent = _mm_set1_epi32(0x7f800000);
        const __m128i bits = _mm_and_si128(_mm_castps_si128(a), exponent);
        return static_cast<unsigned>(_mm_movemask_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(bits, exponent))));
    }

    // a, b hold blocks of 2R floats [u(R), v(R)]; gathers the u parts and the v parts.
    template <int R>
    static void Deinterleave(Reg a, Reg b, Reg& u, Reg& v)
    {
        if constexpr (R == 1)
        {
            u = _mm_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0));
            v = _mm_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1));
        }
        else
        {
            static_assert(R == 2);
            u = _mm_shuffle_ps(a, b, _MM_SHUFFLE(1, 0, 1, 0));
            v = _mm_shuffle_ps(a, b, _MM_SHUFFLE(3, 2, 3, 2));
        }
    }

    // kWidth / R twiddles from w, each repeated R times.
    template <int R>
    static Reg Repeat(const float* w)
    {
        if constexpr (R == 1)
            return _mm_loadu_ps(w);
        else
        {
            static_assert(R == 2);
            const Reg two = _mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(w)));
            return _mm_unpacklo_ps(two, two);
        }
    }
};

constexpr DspKernels kSse2Kernels = MakeKernels<Sse2Lane>();

} // namespace
#endif

namespace {
constexpr DspKernels kScalarKernels = MakeKernels<ScalarLane>();
} // namespace

// In their own files, compiled for their instruction sets.
const DspKernels& Avx2Kernels();
const DspKernels& Avx512Kernels();

const DspKernels& KernelsFor(SimdPath path)
{
#if defined(__SSE2__)
    switch (path)
    {
    case SimdPath::Scalar:
        return kScalarKernels;
    case SimdPath::Sse2:
        return kSse2Kernels;
    case SimdPath::Avx2:
        return Avx2Kernels();
    case SimdPath::Avx512:
        return Avx512Kernels();
    }
#endif
    (void)path;
    return kScalarKernels;
}

// ---------------------------------------------------------------------------

namespace {
constexpr std::align_val_t kAlignment{64};
} // namespace

void AlignedFloats::Release::operator()(float* p) const
{
    ::operator delete[](p, kAlignment);
}

void AlignedFloats::Assign(std::size_t n, float value)
{
    if (n != count)
    {
        storage.reset(n > 0 ? static_cast<float*>(::operator new[](n * sizeof(float), kAlignment)) : nullptr);
        count = n;
    }
    std::fill(storage.get(), storage.get() + count, value);
}

AlignedFloats::AlignedFloats(const AlignedFloats& other)
{
    *this = other;
}

AlignedFloats& AlignedFloats::operator=(const AlignedFloats& other)
{
    if (this != &other)
    {
        Assign(other.count, 0.0f);
        std::copy(other.data(), other.data() + other.count, data());
    }
    return *this;
}

} // namespace ringstill
