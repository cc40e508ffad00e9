#pragma once
// A renderer under test: a 200 x 150 offscreen filled with the editor background, the embedded
// Roboto font loaded and a frame open, and the checks that read what has been drawn so far.
// Used by the contract every renderer keeps (RendererContract.h) and by each backend's own tests,
// whose target defines RINGSTILL_TEST_OUTPUT_DIR (where the pictures go).
//
// A backend is described by a traits type, written beside its own tests:
//   using Renderer = ...;   the renderer class (default-constructible, with an offscreen target)
//   static constexpr const char* kName;   how its tests are named
//   static std::vector<unsigned char> SolidPng(int w, int h, const IColor& colour);   an opaque PNG
//   static bool HoldsATarget(const Renderer& r);   whether it still has a target to draw into
//   static constexpr RendererSlack kSlack;   where its output may stray (see below)

#include "framework/IRECT.h"
#include "framework/IText.h"
#include "graphics/EmbeddedResources.h"
#include "tests/support/Pixels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace ringstill::test {

// How far a backend's output may stray from the ideal where the platforms' libraries differ:
// anti-aliased coverage, text measured in whole pixels, scaled bitmaps placed a pixel off.
struct RendererSlack
{
    double discAreaPx;     // ink of a filled disc of radius 20
    double triangleAreaPx; // ink of a filled triangle of 8000 pixels
    float digitRunPx;      // width of ten digits at 15 px
    float textScale;       // width at 30 px against twice the width at 15 px, as a fraction
    int bitmapEdgePx;      // where a scaled bitmap's edges land
    int bitmapAreaPx;      // pixels covered by a bitmap scaled to 100 x 100
};

inline constexpr igraphics::IColor kBackground{255, 38, 45, 56};
inline constexpr igraphics::IColor kRed{255, 230, 40, 40};
inline constexpr igraphics::IColor kGold{255, 255, 200, 0};
inline constexpr igraphics::IColor kBlue{255, 0, 150, 235};
inline constexpr igraphics::IColor kWhite{255, 255, 255, 255};
inline constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// The offscreen's size in pixels.
inline constexpr int kW = 200;
inline constexpr int kH = 150;

inline igraphics::IText Style(float size, igraphics::EAlign align = igraphics::EAlign::Near,
                              igraphics::EVAlign valign = igraphics::EVAlign::Middle)
{
    return igraphics::IText(size, kWhite, "Roboto-Regular", align, valign);
}

template <typename Backend>
class RendererTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(r.CreateOffscreen(kW, kH));
        r.ClearTargetTo(kBackground);
        const igraphics::ResourceBytes font = igraphics::FindEmbeddedResource("Roboto-Regular.ttf");
        ASSERT_TRUE(font.Found());
        ASSERT_TRUE(r.LoadFont("Roboto-Regular", font.data, font.size));
        ASSERT_TRUE(r.BeginFrame(1.f));
    }

    void TearDown() override { r.EndFrame(); }

    typename Backend::Renderer r;
};

// The checks below end the open frame so that the drawing so far reaches the pixels, read them,
// and open a new frame at scale 1.

template <typename Renderer>
igraphics::IColor DrawnPixel(Renderer& r, int x, int y)
{
    r.EndFrame();
    const igraphics::IColor c = r.ReadPixel(x, y);
    r.BeginFrame(1.f);
    return c;
}

template <typename Renderer>
testing::AssertionResult DrawnPixelIs(Renderer& r, int x, int y, const igraphics::IColor& expected,
                                      int tolerance = 2)
{
    return ColourIs(x, y, DrawnPixel(r, x, y), expected, tolerance);
}

// Pixels in [x0, x1) x [y0, y1) that differ from the background.
template <typename Renderer>
int CountChanged(Renderer& r, int x0, int y0, int x1, int y1)
{
    r.EndFrame();
    int n = 0;
    for (int y = std::max(0, y0); y < std::min(kH, y1); ++y)
        for (int x = std::max(0, x0); x < std::min(kW, x1); ++x)
            if (!Near(r.ReadPixel(x, y), kBackground, 0))
                ++n;
    r.BeginFrame(1.f);
    return n;
}

template <typename Renderer>
int CountChangedOutside(Renderer& r, const igraphics::IRECT& keep)
{
    return CountChanged(r, 0, 0, kW, kH) -
           CountChanged(r, static_cast<int>(std::floor(keep.left)), static_cast<int>(std::floor(keep.top)),
                        static_cast<int>(std::ceil(keep.right)), static_cast<int>(std::ceil(keep.bottom)));
}

// Covered area in pixels of an opaque ink over the background, partly covered pixels counted
// by their share: the anti-aliased area of a shape.
template <typename Renderer>
double InkArea(Renderer& r, const igraphics::IColor& ink)
{
    const int dr = ink.r - kBackground.r;
    const int dg = ink.g - kBackground.g;
    const int db = ink.b - kBackground.b;
    r.EndFrame();
    double area = 0.0;
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x)
        {
            const igraphics::IColor c = r.ReadPixel(x, y);
            if (std::abs(dr) >= std::abs(dg) && std::abs(dr) >= std::abs(db))
                area += double(c.r - kBackground.r) / dr;
            else if (std::abs(dg) >= std::abs(db))
                area += double(c.g - kBackground.g) / dg;
            else
                area += double(c.b - kBackground.b) / db;
        }
    r.BeginFrame(1.f);
    return area;
}

// The spectrum's way: stroke a curve with its apex at (100, 40), keep the path, then close it
// down to the bottom and shade it.
template <typename Renderer>
void StrokeAndShadeACurve(Renderer& r)
{
    r.PathMoveTo(20, 60);
    r.PathLineTo(100, 40);
    r.PathLineTo(180, 60);
    r.PathStroke(kWhite, 2.f, true);
    r.PathLineTo(180, 120);
    r.PathLineTo(20, 120);
    r.PathClose();
    r.PathFill(kBlue);
}

template <typename Renderer>
void SaveDrawing(Renderer& r, const char* name)
{
    r.EndFrame();
    EXPECT_TRUE(r.WritePng(OutputPath(name).c_str()));
    r.BeginFrame(1.f);
}

} // namespace ringstill::test
