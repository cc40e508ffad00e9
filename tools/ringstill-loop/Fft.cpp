#include "tools/ringstill-loop/Fft.h"

#include <cmath>
#include <numbers>

namespace ringstill::loop {

bool IsPowerOfTwo(long n) { return n > 0 && (n & (n - 1)) == 0; }

int NextPowerOfTwo(long n)
{
    int p = 1;
    while (p < n)
        p *= 2;
    return p;
}

Fft::Fft(int n) : size(n), reversed(std::size_t(n)), twiddles(std::size_t(n / 2))
{
    int bits = 0;
    while ((1 << bits) < n)
        ++bits;
    for (int i = 0; i < n; ++i)
    {
        int r = 0;
        for (int b = 0; b < bits; ++b)
            r |= ((i >> b) & 1) << (bits - 1 - b);
        reversed[std::size_t(i)] = r;
    }
    for (int k = 0; k < n / 2; ++k)
        twiddles[std::size_t(k)] = std::polar(1.0, -2.0 * std::numbers::pi * k / n);
}

void Fft::Transform(Complex* values, bool inverse) const
{
    for (int i = 0; i < size; ++i)
    {
        const int r = reversed[std::size_t(i)];
        if (r > i)
            std::swap(values[i], values[r]);
    }
    for (int len = 2; len <= size; len *= 2)
    {
        const int half = len / 2;
        const int stride = size / len;
        for (int start = 0; start < size; start += len)
            for (int j = 0; j < half; ++j)
            {
                Complex w = twiddles[std::size_t(j * stride)];
                if (inverse)
                    w = std::conj(w);
                const Complex t = w * values[start + j + half];
                values[start + j + half] = values[start + j] - t;
                values[start + j] += t;
            }
    }
}

void Fft::Forward(Complex* values) const { Transform(values, false); }

void Fft::Inverse(Complex* values) const
{
    Transform(values, true);
    const double scale = 1.0 / size;
    for (int i = 0; i < size; ++i)
        values[i] *= scale;
}

void Fft::ForwardReal(const double* in, Complex* bins, Complex* scratch) const
{
    for (int i = 0; i < size; ++i)
        scratch[i] = Complex(in[i], 0.0);
    Forward(scratch);
    for (int k = 0; k <= size / 2; ++k)
        bins[k] = scratch[k];
}

void Fft::InverseReal(const Complex* bins, double* out, Complex* scratch) const
{
    scratch[0] = bins[0];
    for (int k = 1; k < size / 2; ++k)
    {
        scratch[k] = bins[k];
        scratch[size - k] = std::conj(bins[k]);
    }
    scratch[size / 2] = bins[size / 2];
    Inverse(scratch);
    for (int i = 0; i < size; ++i)
        out[i] = scratch[i].real();
}

} // namespace ringstill::loop
