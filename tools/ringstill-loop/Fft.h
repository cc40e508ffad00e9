// Double-precision FFT for the loop simulator: the long convolutions and the analyses need more
// headroom than the plug-in's own single-precision transform. One plan per size, made once; the
// transforms themselves never allocate. Not thread-safe per object; one plan per thread.
#pragma once

#include <complex>
#include <memory>
#include <vector>

namespace ringstill::loop {

using Complex = std::complex<double>;

class Fft
{
public:
    explicit Fft(int size); // size: a power of two, at least 2
    int Size() const { return size; }

    // In place, unscaled: Forward is e^(-2 pi i k n / N); Inverse is its conjugate (scaled by 1/N).
    void Forward(Complex* values) const;
    void Inverse(Complex* values) const;

    // Real input of Size() samples to the Size()/2 + 1 bins of its spectrum, and back, through a
    // complex transform of half the size. scratch holds Size() / 2 values.
    void ForwardReal(const double* in, Complex* bins, Complex* scratch) const;
    void InverseReal(const Complex* bins, double* out, Complex* scratch) const;

private:
    void Transform(Complex* values, bool inverse) const;

    int size;
    std::unique_ptr<Fft> half; // for the real transforms
    std::vector<int> reversed;
    std::vector<Complex> twiddles; // e^(-2 pi i k / N), k < N/2
};

bool IsPowerOfTwo(long n);
int NextPowerOfTwo(long n);

} // namespace ringstill::loop
