// NotchFilter: one notch of the bank, the Audio EQ Cookbook's peaking equaliser with a cut. Its
// design, its response and its state live together, so what the audio does and what the display
// draws come from the same formulas. Coefficients in double precision, a0 normalised to 1; the
// initial filter passes the signal unchanged. A plain value: the audio thread owns the bank's
// filters, the display designs its own copies.
#pragma once

#include <cmath>

namespace ringstill {

// A new notch's cut and width unless told otherwise: a slot's initial Q, the editor's added notch,
// and the defaults of "Auto Cut" and "Auto Width".
inline constexpr float kDefaultNotchDepthDb = -18.0f;
inline constexpr float kDefaultNotchQ = 25.0f;

struct NotchFilter
{
    double b0 = 1.0, b1 = 0.0, b2 = 0.0, a1 = 0.0, a2 = 0.0;
    double z1 = 0.0, z2 = 0.0; // transposed direct form II

    // A cut of amplitude A = 10^(gain dB / 40) (at most 1) centred on w0 radians per sample, with
    // quality factor q.
    void Design(double w0, double q, double amplitude)
    {
        const double alpha = std::sin(w0) / (2.0 * q);
        const double n0 = 1.0 + alpha / amplitude;
        b0 = (1.0 + alpha * amplitude) / n0;
        b1 = -2.0 * std::cos(w0) / n0;
        b2 = (1.0 - alpha * amplitude) / n0;
        a1 = b1;
        a2 = (1.0 - alpha / amplitude) / n0;
    }

    // One sample through the filter.
    double Process(double x)
    {
        const double y = b0 * x + z1;
        z1 = b1 * x - a1 * y + z2;
        z2 = b2 * x - a2 * y;
        return y;
    }

    void Reset()
    {
        z1 = 0.0;
        z2 = 0.0;
    }

    // Magnitude response at w radians per sample, in dB, no lower than -120 dB.
    double ResponseDb(double w) const;
};

} // namespace ringstill
