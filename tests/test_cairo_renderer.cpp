// The cairo renderer drawn offscreen and checked pixel by pixel, with the embedded Roboto font
// and logo: the contract every renderer keeps (tests/support/RendererContract.h), and what
// only cairo does. The pictures land in the build tree (test-output/graphics) for a look by eye.

#include "graphics/CairoRenderer.h"
#include "tests/support/RendererContract.h"

#include <gtest/gtest.h>

#include <cairo.h>

#include <vector>

using namespace igraphics;
using namespace ringstill::test;

namespace {

struct CairoTraits
{
    using Renderer = CairoRenderer;
    static constexpr const char* kName = "Cairo";
    // cairo's coverage is exact to within a few pixels of ink; it measures text in fractions of
    // a pixel and places a scaled bitmap on the pixel.
    static constexpr RendererSlack kSlack{3.0, 3.0, 3.f, 0.01f, 0, 0};

    // An opaque PNG of one colour, encoded by cairo into memory.
    static std::vector<unsigned char> SolidPng(int w, int h, const IColor& c)
    {
        cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
        cairo_t* cr = cairo_create(s);
        cairo_set_source_rgba(cr, c.RedF(), c.GreenF(), c.BlueF(), c.AlphaF());
        cairo_paint(cr);
        cairo_destroy(cr);
        std::vector<unsigned char> bytes;
        cairo_surface_write_to_png_stream(
            s,
            [](void* closure, const unsigned char* data, unsigned int length) {
                auto* out = static_cast<std::vector<unsigned char>*>(closure);
                out->insert(out->end(), data, data + length);
                return CAIRO_STATUS_SUCCESS;
            },
            &bytes);
        cairo_surface_destroy(s);
        return bytes;
    }

    static bool HoldsATarget(const Renderer& r) { return r.TargetSurface() != nullptr; }
};

using CairoRendererTest = RendererTest<CairoTraits>;

} // namespace

INSTANTIATE_RENDERER_CONTRACT(CairoTraits);

// --- What only cairo does ---------------------------------------------------------------------

TEST_F(CairoRendererTest, ThinOffGridLineIsAntiAliased)
{
    // A 1-pixel line centred on a pixel boundary shares its ink between two rows.
    r.DrawLine(kWhite, 10.f, 50.f, 190.f, 50.f);
    const IColor above = DrawnPixel(r, 100, 49);
    const IColor below = DrawnPixel(r, 100, 50);
    EXPECT_GT(above.r, kBackground.r + 20);
    EXPECT_LT(above.r, 240);
    EXPECT_TRUE(Near(above, below, 2));
}

TEST_F(CairoRendererTest, AKeptStrokeStaysWhiteAtTheApexAboveTheShading)
{
    StrokeAndShadeACurve(r);
    EXPECT_TRUE(DrawnPixelIs(r, 100, 39, kWhite, 30));
}

TEST(CairoRendererTargets, DrawsIntoACallersOpaqueSurfaceAndReadsItBack)
{
    cairo_surface_t* window = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 20, 10);
    CairoRenderer r;
    ASSERT_TRUE(r.SetTargetSurface(window));
    cairo_surface_destroy(window); // the renderer holds its own reference
    ASSERT_TRUE(r.BeginFrame(1.f));
    r.FillRect(kBackground, IRECT(0, 0, 20, 10));
    const IBlend half(0.5f);
    r.FillRect(kWhite, IRECT(10, 0, 20, 10), &half);
    r.EndFrame();
    EXPECT_EQ(r.TargetWidth(), 20);
    EXPECT_TRUE(Near(r.ReadPixel(5, 5), kBackground, 0));
    EXPECT_TRUE(Near(r.ReadPixel(15, 5), IColor(255, 147, 150, 156), 1));
    EXPECT_TRUE(Near(r.ReadPixel(25, 5), COLOR_TRANSPARENT, 0)); // outside
}
