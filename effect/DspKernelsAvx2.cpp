// The AVX2 kernel table. Compiled with -mavx2 and -ffp-contract=off (no FMA);
// called only when the processor runs AVX2. Unaligned loads and stores only,
// and no vector variables of our own on the stack (a Windows stack is only
// 16-byte aligned).
#include "effect/DspKernelTemplates.h"

#include <immintrin.h>

namespace ringstill {

namespace {

struct Avx2Lane
{
    using Reg = __m256;
    static constexpr int kWidth = 8;

    static Reg Load(const float* p) { return _mm256_loadu_ps(p); }
    static void Store(float* p, Reg v) { _mm256_storeu_ps(p, v); }
    static Reg Set(float v) { return _mm256_set1_ps(v); }
    static Reg Add(Reg a, Reg b) { return _mm256_add_ps(a, b); }
    static Reg Sub(Reg a, Reg b) { return _mm256_sub_ps(a, b); }
    static Reg Mul(Reg a, Reg b) { return _mm256_mul_ps(a, b); }
    static Reg Div(Reg a, Reg b) { return _mm256_div_ps(a, b); }
    static Reg Sqrt(Reg a) { return _mm256_sqrt_ps(a); }
    static Reg Negate(Reg a) { return _mm256_xor_ps(a, _mm256_set1_ps(-0.0f)); }
    static Reg Min(Reg a, Reg b) { return _mm256_min_ps(a, b); }
    static Reg Max(Reg a, Reg b) { return _mm256_max_ps(a, b); }
    // The signalling predicates, like the scalar comparisons and SSE's cmpltps.
    static unsigned Greater(Reg a, Reg b)
    {
        return static_cast<unsigned>(_mm256_movemask_ps(_mm256_cmp_ps(a, b, _CMP_GT_OS)));
    }
    static unsigned GreaterEqual(Reg a, Reg b)
    {
        return static_cast<unsigned>(_mm256_movemask_ps(_mm256_cmp_ps(a, b, _CMP_GE_OS)));
    }
    static unsigned NonFinite(Reg a)
    {
        const __m256i exponent = _mm256_set1_epi32(0x7f800000);
        const __m256i bits = _mm256_and_si256(_mm256_castps_si256(a), exponent);
        return static_cast<unsigned>(_mm256_movemask_ps(_mm256_castsi256_ps(_mm256_cmpeq_epi32(bits, exponent))));
    }

    // a, b hold blocks of 2R floats [u(R), v(R)]; gathers the u parts and the v parts.
    template <int R>
    static void Deinterleave(Reg a, Reg b, Reg& u, Reg& v)
    {
        if constexpr (R == 4)
        {
            u = _mm256_permute2f128_ps(a, b, 0x20);
            v = _mm256_permute2f128_ps(a, b, 0x31);
        }
        else
        {
            static_assert(R == 1 || R == 2);
            // In-lane shuffles leave the 64-bit pairs as [a-lo, b-lo, a-hi, b-hi]; swap the middle two.
            constexpr int kU = R == 1 ? _MM_SHUFFLE(2, 0, 2, 0) : _MM_SHUFFLE(1, 0, 1, 0);
            constexpr int kV = R == 1 ? _MM_SHUFFLE(3, 1, 3, 1) : _MM_SHUFFLE(3, 2, 3, 2);
            constexpr int kOrder = _MM_SHUFFLE(3, 1, 2, 0);
            u = _mm256_castpd_ps(_mm256_permute4x64_pd(_mm256_castps_pd(_mm256_shuffle_ps(a, b, kU)), kOrder));
            v = _mm256_castpd_ps(_mm256_permute4x64_pd(_mm256_castps_pd(_mm256_shuffle_ps(a, b, kV)), kOrder));
        }
    }

    // kWidth / R twiddles from w, each repeated R times.
    template <int R>
    static Reg Repeat(const float* w)
    {
        if constexpr (R == 1)
            return _mm256_loadu_ps(w);
        else if constexpr (R == 2)
            return _mm256_permutevar8x32_ps(_mm256_castps128_ps256(_mm_loadu_ps(w)),
                                            _mm256_setr_epi32(0, 0, 1, 1, 2, 2, 3, 3));
        else
        {
            static_assert(R == 4);
            const __m128 two = _mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(w)));
            return _mm256_permutevar8x32_ps(_mm256_castps128_ps256(two), _mm256_setr_epi32(0, 0, 0, 0, 1, 1, 1, 1));
        }
    }
};

constexpr DspKernels kAvx2Kernels = MakeKernels<Avx2Lane>();

} // namespace

const DspKernels& Avx2Kernels()
{
    return kAvx2Kernels;
}

} // namespace ringstill
