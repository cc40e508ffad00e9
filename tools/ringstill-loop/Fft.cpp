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
    if (n >= 4)
        half = std::make_unique<Fft>(n / 2);
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
    const int m = size / 2;
    if (half == nullptr)
    {
        bins[0] = in[0] + in[1];
        bins[1] = in[0] - in[1];
        return;
    }
    // Even samples as the real part, odd ones as the imaginary part; then untangle.
    for (int n = 0; n < m; ++n)
        scratch[n] = Complex(in[2 * n], in[2 * n + 1]);
    half->Forward(scratch);
    for (int k = 0; k <= m; ++k)
    {
        const Complex a = scratch[k % m];
        const Complex b = std::conj(scratch[(m - k) % m]);
        const Complex even = 0.5 * (a + b);
        const Complex odd = Complex(0.0, -0.5) * (a - b);
        const Complex w = k < m ? twiddles[std::size_t(k)] : Complex(-1.0, 0.0);
        bins[k] = even + w * odd;
    }
}

void Fft::InverseReal(const Complex* bins, double* out, Complex* scratch) const
{
    const int m = size / 2;
    if (half == nullptr)
    {
        out[0] = 0.5 * (bins[0].real() + bins[1].real());
        out[1] = 0.5 * (bins[0].real() - bins[1].real());
        return;
    }
    for (int k = 0; k < m; ++k)
    {
        const Complex a = bins[k];
        const Complex b = std::conj(bins[m - k]);
        const Complex even = 0.5 * (a + b);
        const Complex odd = 0.5 * (a - b) * std::conj(twiddles[std::size_t(k)]);
        scratch[k] = even + Complex(0.0, 1.0) * odd;
    }
    half->Inverse(scratch);
    for (int n = 0; n < m; ++n)
    {
        out[2 * n] = scratch[n].real();
        out[2 * n + 1] = scratch[n].imag();
    }
}

} // namespace ringstill::loop
