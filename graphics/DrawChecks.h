#pragma once
// The argument checks both renderers make before drawing: nothing is drawn from a non-finite
// coordinate or into a rectangle without area.

#include "framework/IRECT.h"

#include <cmath>

namespace igraphics::draw {

inline bool Finite(float v) { return std::isfinite(v); }

inline bool Finite(const IRECT& r) { return Finite(r.left) && Finite(r.top) && Finite(r.right) && Finite(r.bottom); }

inline bool Drawable(const IRECT& r) { return Finite(r) && r.W() > 0.f && r.H() > 0.f; }

} // namespace igraphics::draw
