// The cairo renderer drawn offscreen and checked pixel by pixel, with the embedded Roboto font
// and logo: the contract every renderer keeps (tests/support/RendererContract.h), and what
// only cairo does. The pictures land in the build tree (test-output/graphics) for a look by eye.

#include "graphics/CairoRenderer.h"
#include "tests/support/RendererContract.h"

#include <gtest/gtest.h>

#include <cairo.h>

#include <cmath>
#include <cstring>
#include <string>
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

// Frames of one size reuse the renderer's own image, never a caller's.
TEST(CairoRendererTargets, ANewOffscreenStartsClearAndNeverTakesOverACallersSurface)
{
    CairoRenderer r;
    auto paintGold = [&r] {
        ASSERT_TRUE(r.BeginFrame(1.f));
        r.FillRect(kGold, IRECT(0, 0, 20, 10));
        r.EndFrame();
    };
    ASSERT_TRUE(r.CreateOffscreen(20, 10));
    paintGold();
    ASSERT_TRUE(r.CreateOffscreen(20, 10));
    EXPECT_EQ(r.ReadPixel(5, 5), COLOR_TRANSPARENT);

    cairo_surface_t* window = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 20, 10);
    ASSERT_TRUE(r.SetTargetSurface(window));
    paintGold();
    ASSERT_TRUE(r.CreateOffscreen(20, 10));
    EXPECT_NE(r.TargetSurface(), window);
    EXPECT_EQ(r.ReadPixel(5, 5), COLOR_TRANSPARENT);
    CairoRenderer reader;
    ASSERT_TRUE(reader.SetTargetSurface(window));
    EXPECT_TRUE(Near(reader.ReadPixel(5, 5), kGold, 0)) << "the caller's pixels stay";
    cairo_surface_destroy(window);
}

// --- Layers: drawn once, shown over a target with the very pixels direct drawing gives ---------

namespace {

// What a layer may hold and be shown again: opaque content, or one translucent fill or stroke.
enum class LayerContent
{
    OpaquePanel,       // a background, lines and labels
    TranslucentStroke, // a jagged curve with deep dips
    TranslucentFill,
};

struct LayerCase
{
    LayerContent content;
    float scale;
    bool clipped;
};

constexpr IRECT kLayerRect(20, 10, 180, 130);
constexpr IRECT kCuttingClip(0, 20, 150, 100);
constexpr IRECT kEnclosingClip(10, 6, 190, 140);

// A busy scene under the layer: bands of translucent colour, a disc, a label.
void DrawScene(CairoRenderer& r)
{
    r.FillRect(kBackground, IRECT(0, 0, kW, kH));
    for (int i = 0; i < 8; ++i)
        r.FillRect(IColor(40 + 25 * i, 255 - 30 * i, 80 + 20 * i, 30 * i), IRECT(0, 17.3f * i, kW, 17.3f * i + 13));
    r.FillCircle(kGold, 120, 70, 33);
    r.DrawText(Style(14), "Layer 1k", IRECT(30, 90, 150, 110));
}

void DrawContent(CairoRenderer& r, LayerContent content)
{
    switch (content)
    {
    case LayerContent::OpaquePanel:
        r.FillRect(IColor(255, 11, 15, 20), kLayerRect);
        for (float x = 27.5f; x < 180; x += 23.7f)
            r.DrawLine(IColor(40, 255, 255, 255), x, 10, x, 120, nullptr, 1.f);
        r.DrawText(Style(11), "-20", IRECT(150, 60, 180, 74));
        return;
    case LayerContent::TranslucentStroke:
    case LayerContent::TranslucentFill:
        r.PathClear();
        for (int i = 0; i <= 160; ++i)
        {
            const float dip = (i % 37 == 11) ? 90.f : 0.f;
            const float y = 30.f + 10.f * std::sin(0.3f * i) + dip;
            const float x = 25.f + 0.9375f * static_cast<float>(i); // inside the layer, line width and all
            if (i == 0)
                r.PathMoveTo(x, y);
            else
                r.PathLineTo(x, y);
        }
        if (content == LayerContent::TranslucentStroke)
            r.PathStroke(IColor(230, 230, 40, 40), 1.5f);
        else
            r.PathFill(IColor(64, 23, 176, 196));
        return;
    }
}

bool SamePixels(CairoRenderer& a, CairoRenderer& b)
{
    a.EndFrame();
    b.EndFrame();
    cairo_surface_t* sa = a.TargetSurface();
    cairo_surface_t* sb = b.TargetSurface();
    const int rowBytes = 4 * cairo_image_surface_get_width(sa);
    for (int y = 0; y < cairo_image_surface_get_height(sa); ++y)
        if (std::memcmp(cairo_image_surface_get_data(sa) + y * cairo_image_surface_get_stride(sa),
                        cairo_image_surface_get_data(sb) + y * cairo_image_surface_get_stride(sb), rowBytes) != 0)
            return false;
    return true;
}

class CairoLayers : public testing::TestWithParam<LayerCase>
{
protected:
    void SetUp() override
    {
        const float s = GetParam().scale;
        const igraphics::ResourceBytes font = igraphics::FindEmbeddedResource("Roboto-Regular.ttf");
        for (CairoRenderer* r : {&direct, &layered})
        {
            ASSERT_TRUE(r->LoadFont("Roboto-Regular", font.data, font.size));
            ASSERT_TRUE(r->CreateOffscreen(static_cast<int>(kW * s), static_cast<int>(kH * s)));
        }
    }
    // A frame with the scene drawn, and the clip of the case.
    void BeginScene(CairoRenderer& r)
    {
        ASSERT_TRUE(r.BeginFrame(GetParam().scale));
        DrawScene(r);
        // Opaque content may be cut by the clip; a translucent drawing is shown only whole.
        if (GetParam().clipped)
            r.PushClip(GetParam().content == LayerContent::OpaquePanel ? kCuttingClip : kEnclosingClip);
    }

    CairoRenderer direct;
    CairoRenderer layered;
};

std::string LayerCaseName(const testing::TestParamInfo<LayerCase>& info)
{
    static const char* const kNames[] = {"OpaquePanel", "TranslucentStroke", "TranslucentFill"};
    return std::string(kNames[static_cast<int>(info.param.content)]) + "AtScale" +
           std::to_string(static_cast<int>(info.param.scale * 10)) + (info.param.clipped ? "Clipped" : "");
}

} // namespace

TEST_P(CairoLayers, ALayerShownInALaterFrameGivesTheDirectDrawingsPixels)
{
    const LayerCase param = GetParam();
    BeginScene(direct);
    DrawContent(direct, param.content);

    ASSERT_TRUE(layered.BeginFrame(param.scale));
    ASSERT_TRUE(layered.StartLayer(kLayerRect));
    DrawContent(layered, param.content);
    const ILayerPtr layer = layered.EndLayer();
    ASSERT_NE(layer, nullptr);
    layered.EndFrame(); // nothing of the layer reaches the target by itself
    BeginScene(layered);
    EXPECT_TRUE(layered.DrawLayer(*layer));
    EXPECT_TRUE(SamePixels(direct, layered));
}

INSTANTIATE_TEST_SUITE_P(
    ContentsScalesAndClips, CairoLayers,
    testing::Values(LayerCase{LayerContent::OpaquePanel, 1.f, false}, LayerCase{LayerContent::OpaquePanel, 2.f, true},
                    LayerCase{LayerContent::OpaquePanel, 1.5f, false},
                    LayerCase{LayerContent::TranslucentStroke, 1.f, false},
                    LayerCase{LayerContent::TranslucentStroke, 1.5f, true},
                    LayerCase{LayerContent::TranslucentStroke, 2.f, false},
                    LayerCase{LayerContent::TranslucentFill, 1.f, true},
                    LayerCase{LayerContent::TranslucentFill, 2.f, false}),
    LayerCaseName);

// Where showing a layer could change pixels, the renderer declines and the control draws directly.
TEST(CairoLayerRefusals, OffPixelRectsTwoTranslucentDrawingsCutsOtherScalesAndOffPixelClipsAreRefused)
{
    CairoRenderer r;
    ASSERT_TRUE(r.CreateOffscreen(2 * kW, 2 * kH));
    ASSERT_TRUE(r.BeginFrame(1.5f));
    EXPECT_FALSE(r.StartLayer(IRECT(20.5f, 10, 100, 100))) << "30.75 pixels";
    EXPECT_EQ(r.EndLayer(), nullptr);

    ASSERT_TRUE(r.StartLayer(IRECT(20, 10, 100, 100)));
    r.FillRect(IColor(128, 255, 0, 0), IRECT(20, 10, 60, 60));
    r.FillRect(IColor(128, 0, 0, 255), IRECT(40, 30, 80, 80));
    const ILayerPtr twoTranslucent = r.EndLayer();
    ASSERT_TRUE(r.StartLayer(IRECT(20, 10, 100, 100)));
    r.FillRect(kBackground, IRECT(20, 10, 100, 100));
    const ILayerPtr opaque = r.EndLayer();
    ASSERT_NE(twoTranslucent, nullptr);
    ASSERT_NE(opaque, nullptr);
    EXPECT_FALSE(r.DrawLayer(*twoTranslucent));
    EXPECT_TRUE(r.DrawLayer(*opaque));

    r.PushClip(IRECT(0, 0, 50.5f, 100));
    EXPECT_FALSE(r.DrawLayer(*opaque)) << "a clip edge at 75.75 pixels";
    r.PopClip();

    ASSERT_TRUE(r.StartLayer(IRECT(20, 10, 100, 100)));
    r.FillRect(IColor(128, 255, 0, 0), IRECT(20, 10, 60, 60));
    const ILayerPtr oneTranslucent = r.EndLayer();
    ASSERT_NE(oneTranslucent, nullptr);
    EXPECT_TRUE(r.DrawLayer(*oneTranslucent));
    r.PushClip(kCuttingClip);
    EXPECT_FALSE(r.DrawLayer(*oneTranslucent)) << "cut by the clip";
    EXPECT_TRUE(r.DrawLayer(*opaque));
    r.PopClip();
    r.EndFrame();
    ASSERT_TRUE(r.BeginFrame(2.f));
    EXPECT_FALSE(r.DrawLayer(*opaque)) << "made at another scale";
}
