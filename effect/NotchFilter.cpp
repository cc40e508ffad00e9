#include "effect/NotchFilter.h"

#include <algorithm>
#include <complex>

namespace ringstill {

double NotchFilter::ResponseDb(double w) const
{
    const std::complex<double> z1 = std::polar(1.0, -w);
    const std::complex<double> z2 = std::polar(1.0, -2.0 * w);
    const std::complex<double> h = (b0 + b1 * z1 + b2 * z2) / (1.0 + a1 * z1 + a2 * z2);
    return 20.0 * std::log10(std::max(std::abs(h), 1e-6));
}

} // namespace ringstill
