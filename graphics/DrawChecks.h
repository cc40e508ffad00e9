#pragma once
// What both renderers share around their drawing: the argument checks (nothing is drawn from a
// non-finite coordinate or into a rectangle without area) and the text alignment point.

#include "framework/IRECT.h"
#include "framework/IText.h"

#include <cmath>

namespace igraphics::draw {

inline bool Finite(float v) { return std::isfinite(v); }

inline bool Finite(const IRECT& r) { return Finite(r.left) && Finite(r.top) && Finite(r.right) && Finite(r.bottom); }

inline bool Drawable(const IRECT& r) { return Finite(r) && r.W() > 0.f && r.H() > 0.f; }

// The point of rect that text aligned by style hangs from, as an empty rectangle: the extent of
// text a renderer cannot lay out (an unknown font).
inline IRECT AlignmentPoint(const IText& style, const IRECT& rect)
{
    float x = rect.left;
    if (style.align == EAlign::Center)
        x = rect.MW();
    else if (style.align == EAlign::Far)
        x = rect.right;
    float y = rect.top;
    if (style.valign == EVAlign::Middle)
        y = rect.MH();
    else if (style.valign == EVAlign::Bottom)
        y = rect.bottom;
    return {x, y, x, y};
}

} // namespace igraphics::draw
