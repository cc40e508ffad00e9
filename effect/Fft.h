// In-place radix-2 complex FFT in single precision, shared by the feedback
// detector and the No-Reverb stage. Forward transform, no scaling.
#pragma once

#include <complex>

namespace ringstill {

// Two pi as the single-precision value the DSP code uses everywhere.
inline constexpr double kTwoPiF = 6.2831854820251465;

// Audio thread: never allocates. count must be a power of two (1 is a no-op).
void ComputeFft(std::complex<float>* values, int count);

} // namespace ringstill
