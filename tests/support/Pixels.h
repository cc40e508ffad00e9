#pragma once
// Pixel checks shared by the drawing tests: colours compared channel by channel within a
// tolerance, failures that name the pixel and both colours, and where the pictures go.

#include "framework/IColor.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace ringstill::test {

// Which channels a comparison looks at: all four, or only the colour of an opaque picture (a
// screen or a window, whose alpha says nothing).
enum class Channels
{
    Argb,
    Rgb
};

inline bool Near(const igraphics::IColor& a, const igraphics::IColor& b, int tolerance,
                 Channels channels = Channels::Argb)
{
    return (channels == Channels::Rgb || std::abs(a.a - b.a) <= tolerance) && std::abs(a.r - b.r) <= tolerance
           && std::abs(a.g - b.g) <= tolerance && std::abs(a.b - b.b) <= tolerance;
}

inline bool RgbNear(const igraphics::IColor& a, const igraphics::IColor& b, int tolerance)
{
    return Near(a, b, tolerance, Channels::Rgb);
}

// "(a, r, g, b)", or "(r, g, b)" for an opaque picture.
inline std::string Describe(const igraphics::IColor& c, Channels channels = Channels::Argb)
{
    char text[64];
    if (channels == Channels::Rgb)
        std::snprintf(text, sizeof text, "(%d, %d, %d)", c.r, c.g, c.b);
    else
        std::snprintf(text, sizeof text, "(%d, %d, %d, %d)", c.a, c.r, c.g, c.b);
    return text;
}

// The colour found at (x, y) compared with the one wanted, as an assertion that names the pixel.
inline testing::AssertionResult ColourIs(int x, int y, const igraphics::IColor& got, const igraphics::IColor& want,
                                       int tolerance, Channels channels = Channels::Argb)
{
    if (Near(got, want, tolerance, channels))
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << "pixel (" << x << ", " << y << ") is " << Describe(got, channels)
                                       << ", expected " << Describe(want, channels);
}

// A pixel of a picture: anything with ReadPixel(x, y) (a renderer's target, a screen capture).
template <typename Picture>
testing::AssertionResult PixelIs(const Picture& picture, int x, int y, const igraphics::IColor& want,
                                 int tolerance = 2)
{
    return ColourIs(x, y, picture.ReadPixel(x, y), want, tolerance);
}

// The same for an opaque picture (the editor, a screen), whose alpha says nothing.
template <typename Picture>
testing::AssertionResult OpaquePixelIs(const Picture& picture, int x, int y, const igraphics::IColor& want,
                                       int tolerance)
{
    return ColourIs(x, y, picture.ReadPixel(x, y), want, tolerance, Channels::Rgb);
}

// A colour of alpha a laid over an opaque one, as the drawn picture shows it.
inline igraphics::IColor Over(const igraphics::IColor& top, const igraphics::IColor& under)
{
    const auto mix = [&](int t, int u) { return (t * top.a + u * (255 - top.a) + 127) / 255; };
    return igraphics::IColor(255, mix(top.r, under.r), mix(top.g, under.g), mix(top.b, under.b));
}

// Built with append: g++ 12 warns falsely (-Wrestrict) about chains of operator+ at -O3.
inline std::string PathIn(const char* folder, const char* name)
{
    std::string path(folder);
    path.append("/").append(name);
    return path;
}

#ifdef RINGSTILL_TEST_OUTPUT_DIR
// The test's own folder in the build tree, where its pictures land for a look by eye.
inline std::string OutputPath(const char* name)
{
    return PathIn(RINGSTILL_TEST_OUTPUT_DIR, name);
}
#endif

} // namespace ringstill::test
