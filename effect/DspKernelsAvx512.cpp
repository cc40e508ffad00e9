// The AVX-512 kernel table (AVX-512F only). Compiled with -mavx512f and
// -ffp-contract=off (AVX-512F has fused multiply-adds of its own; none may be
// formed); called only when the processor runs AVX-512F. Unaligned loads and
// stores only, and no vector variables of our own on the stack.
#include "effect/DspKernelTemplates.h"

// GCC 12 takes the deliberately undefined registers inside its own AVX-512
// intrinsics for uninitialised variables.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <immintrin.h>

namespace ringstill {

namespace {

// permutex2var indices that gather, from the 32 floats of two registers made of
// blocks [u(R), v(R)], the u parts (second = false) or the v parts.
template <int R, bool second>
struct SplitIndex
{
    static constexpr int At(int i) { return (i / R) * 2 * R + (second ? R : 0) + i % R; }
    static __m512i Get()
    {
        return _mm512_setr_epi32(At(0), At(1), At(2), At(3), At(4), At(5), At(6), At(7), At(8), At(9), At(10), At(11),
                                 At(12), At(13), At(14), At(15));
    }
};

// permutexvar indices that repeat each of 16 / R values R times.
template <int R>
__m512i RepeatIndex()
{
    return _mm512_setr_epi32(0 / R, 1 / R, 2 / R, 3 / R, 4 / R, 5 / R, 6 / R, 7 / R, 8 / R, 9 / R, 10 / R, 11 / R,
                             12 / R, 13 / R, 14 / R, 15 / R);
}

struct Avx512Lane
{
    using Reg = __m512;
    static constexpr int kWidth = 16;

    static Reg Load(const float* p) { return _mm512_loadu_ps(p); }
    static void Store(float* p, Reg v) { _mm512_storeu_ps(p, v); }
    static Reg Set(float v) { return _mm512_set1_ps(v); }
    static Reg Add(Reg a, Reg b) { return _mm512_add_ps(a, b); }
    static Reg Sub(Reg a, Reg b) { return _mm512_sub_ps(a, b); }
    static Reg Mul(Reg a, Reg b) { return _mm512_mul_ps(a, b); }
    static Reg Div(Reg a, Reg b) { return _mm512_div_ps(a, b); }
    static Reg Sqrt(Reg a) { return _mm512_sqrt_ps(a); }
    static Reg Negate(Reg a)
    {
        // (The float xor needs AVX-512DQ; the integer one is AVX-512F.)
        return _mm512_castsi512_ps(
            _mm512_xor_si512(_mm512_castps_si512(a), _mm512_set1_epi32(static_cast<int>(0x80000000u))));
    }
    static Reg Min(Reg a, Reg b) { return _mm512_min_ps(a, b); }
    static Reg Max(Reg a, Reg b) { return _mm512_max_ps(a, b); }
    static unsigned Greater(Reg a, Reg b) { return _mm512_cmp_ps_mask(a, b, _CMP_GT_OS); }
    static unsigned GreaterEqual(Reg a, Reg b) { return _mm512_cmp_ps_mask(a, b, _CMP_GE_OS); }
    static unsigned NonFinite(Reg a)
    {
        const __m512i exponent = _mm512_set1_epi32(0x7f800000);
        return _mm512_cmpeq_epi32_mask(_mm512_and_si512(_mm512_castps_si512(a), exponent), exponent);
    }

    // a, b hold blocks of 2R floats [u(R), v(R)]; gathers the u parts and the v parts.
    template <int R>
    static void Deinterleave(Reg a, Reg b, Reg& u, Reg& v)
    {
        u = _mm512_permutex2var_ps(a, SplitIndex<R, false>::Get(), b);
        v = _mm512_permutex2var_ps(a, SplitIndex<R, true>::Get(), b);
    }

    // kWidth / R twiddles from w, each repeated R times.
    template <int R>
    static Reg Repeat(const float* w)
    {
        if constexpr (R == 1)
            return _mm512_loadu_ps(w);
        else if constexpr (R == 2)
            return _mm512_permutexvar_ps(RepeatIndex<R>(), _mm512_castps256_ps512(_mm256_loadu_ps(w)));
        else if constexpr (R == 4)
            return _mm512_permutexvar_ps(RepeatIndex<R>(), _mm512_castps128_ps512(_mm_loadu_ps(w)));
        else
        {
            static_assert(R == 8);
            const __m128 two = _mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(w)));
            return _mm512_permutexvar_ps(RepeatIndex<R>(), _mm512_castps128_ps512(two));
        }
    }
};

constexpr DspKernels kAvx512Kernels = MakeKernels<Avx512Lane>();

} // namespace

const DspKernels& Avx512Kernels()
{
    return kAvx512Kernels;
}

} // namespace ringstill
