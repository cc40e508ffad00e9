#include "effect/Fft.h"

#include <cmath>
#include <utility>

namespace ringstill {

// Plain float arithmetic instead of std::complex's operator*, which would go
// through the slow NaN-recovering library multiply.
static inline void Multiply(float ar, float ai, float br, float bi, float& outR, float& outI)
{
    outR = ar * br - ai * bi;
    outI = ar * bi + ai * br;
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
        const float angle = static_cast<float>(-kTwoPiF) / static_cast<float>(len);
        const float stepR = std::cos(angle);
        const float stepI = std::sin(angle);
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

} // namespace ringstill
