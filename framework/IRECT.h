#pragma once
// A rectangle in editor coordinates (floats): left, top, right, bottom, with y growing downwards.
// Used for control areas, hit-testing, dirty regions and text/bitmap placement.

#include <algorithm>

namespace igraphics {

struct IRECT
{
    float left = 0.f;
    float top = 0.f;
    float right = 0.f;
    float bottom = 0.f;

    constexpr IRECT() = default;
    constexpr IRECT(float l, float t, float r, float b) : left(l), top(t), right(r), bottom(b) {}

    constexpr bool operator==(const IRECT&) const = default;

    constexpr float W() const { return right - left; }
    constexpr float H() const { return bottom - top; }
    constexpr float MW() const { return 0.5f * (left + right); }
    constexpr float MH() const { return 0.5f * (top + bottom); }

    // The all-zero rectangle is "empty": it contains nothing and is ignored by Union.
    constexpr bool Empty() const { return left == 0.f && top == 0.f && right == 0.f && bottom == 0.f; }
    constexpr bool HasArea() const { return right > left && bottom > top; }

    // Half-open: a point on the right or bottom edge belongs to the neighbour, so adjacent
    // controls never both claim it.
    constexpr bool Contains(float x, float y) const
    {
        return !Empty() && x >= left && x < right && y >= top && y < bottom;
    }

    constexpr bool Intersects(const IRECT& o) const
    {
        return HasArea() && o.HasArea() && left < o.right && o.left < right && top < o.bottom && o.top < bottom;
    }

    // Positive padding grows the rectangle on every side, negative padding shrinks it.
    constexpr IRECT GetPadded(float p) const { return {left - p, top - p, right + p, bottom + p}; }
    constexpr IRECT GetPadded(float l, float t, float r, float b) const
    {
        return {left + l, top + t, right + r, bottom + b};
    }
    constexpr IRECT GetTranslated(float dx, float dy) const { return {left + dx, top + dy, right + dx, bottom + dy}; }
    constexpr IRECT GetScaled(float s) const { return {left * s, top * s, right * s, bottom * s}; }

    // A w x h rectangle with the same centre.
    constexpr IRECT GetCentredInside(float w, float h) const
    {
        return {MW() - 0.5f * w, MH() - 0.5f * h, MW() + 0.5f * w, MH() + 0.5f * h};
    }

    // Smallest rectangle holding both; used to gather dirty areas.
    constexpr IRECT Union(const IRECT& o) const
    {
        if (Empty())
            return o;
        if (o.Empty())
            return *this;
        return {std::min(left, o.left), std::min(top, o.top), std::max(right, o.right), std::max(bottom, o.bottom)};
    }

    // Overlap of both, or the empty rectangle when they do not overlap.
    constexpr IRECT Intersect(const IRECT& o) const
    {
        if (!Intersects(o))
            return {};
        return {std::max(left, o.left), std::max(top, o.top), std::min(right, o.right), std::min(bottom, o.bottom)};
    }
};

} // namespace igraphics
