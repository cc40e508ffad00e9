#pragma once
// A colour of the graphics toolkit: four integers 0..255 in the order alpha, red, green, blue.
// Every colour in the editor is written in that order, so the constructor takes it too.

namespace igraphics {

struct IColor
{
    int a = 255;
    int r = 0;
    int g = 0;
    int b = 0;

    constexpr IColor() = default;
    constexpr IColor(int alpha, int red, int green, int blue) : a(alpha), r(red), g(green), b(blue) {}

    constexpr bool operator==(const IColor&) const = default;

    // Channels as 0..1 for renderers; out-of-range integers are clamped rather than wrapped.
    static constexpr float Unit(int v) { return v <= 0 ? 0.f : (v >= 255 ? 1.f : static_cast<float>(v) / 255.f); }
    constexpr float AlphaF() const { return Unit(a); }
    constexpr float RedF() const { return Unit(r); }
    constexpr float GreenF() const { return Unit(g); }
    constexpr float BlueF() const { return Unit(b); }
};

inline constexpr IColor COLOR_TRANSPARENT{0, 0, 0, 0};
inline constexpr IColor COLOR_BLACK{255, 0, 0, 0};
inline constexpr IColor COLOR_WHITE{255, 255, 255, 255};

} // namespace igraphics
