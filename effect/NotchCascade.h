// The active notch filters of one bank as one cascade, laid out for the
// vector kernels: one array per coefficient and state field, one entry per
// stage in slot order, so a register loads the same field of consecutive
// stages. The kernels (DspKernels::notchCascade) run every sample through
// every stage with exactly the arithmetic of NotchFilter::Process and the
// rounding to float between stages; they only schedule it differently.
#pragma once

#include "effect/NotchFilter.h"

namespace ringstill {

// Every slot of a bank, rounded up to whole registers of the widest path
// (eight doubles).
inline constexpr int kCascadeCapacity = 24;

struct NotchCascade
{
    int count = 0; // stages in use; the entries from count on stay zero
    double b0[kCascadeCapacity]{};
    double b1[kCascadeCapacity]{};
    double b2[kCascadeCapacity]{};
    double a1[kCascadeCapacity]{};
    double a2[kCascadeCapacity]{};
    double z1[kCascadeCapacity]{};
    double z2[kCascadeCapacity]{};

    // Adds f as the next stage (coefficients and state); returns its index.
    int Append(const NotchFilter& f)
    {
        const int j = count++;
        b0[j] = f.b0;
        b1[j] = f.b1;
        b2[j] = f.b2;
        a1[j] = f.a1;
        a2[j] = f.a2;
        z1[j] = f.z1;
        z2[j] = f.z2;
        return j;
    }
};

} // namespace ringstill
