#pragma once
// What every renderer does, whatever library draws: typed tests over a backend's traits (see
// RendererFixture.h), instantiated by each backend's own test file with
//   INSTANTIATE_RENDERER_CONTRACT(CairoTraits);
// Fills, strokes, blends, paths, frames and clips, text and its measurement, bitmaps, targets,
// fonts and several renderers at once. Where the platforms' libraries round differently the
// backend's slack says by how much; what only one backend does is tested in its own file.
// Included by exactly one test file per executable.

#include "framework/IResourceLookup.h"
#include "framework/IText.h"
#include "graphics/EmbeddedResources.h"
#include "tests/support/Pixels.h"
#include "tests/support/RendererFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

namespace ringstill::test {

using namespace igraphics;

template <typename Backend>
class RendererDrawing : public RendererTest<Backend>
{
};
template <typename Backend>
class RendererTargets : public testing::Test
{
};
template <typename Backend>
class RendererFonts : public testing::Test
{
};
template <typename Backend>
class RendererConcurrency : public testing::Test
{
};
template <typename Backend>
class RendererPicture : public testing::Test
{
};

TYPED_TEST_SUITE_P(RendererDrawing);
TYPED_TEST_SUITE_P(RendererTargets);
TYPED_TEST_SUITE_P(RendererFonts);
TYPED_TEST_SUITE_P(RendererConcurrency);
TYPED_TEST_SUITE_P(RendererPicture);

// --- Fills ----------------------------------------------------------------------------------

TYPED_TEST_P(RendererDrawing, FillRectCoversItsAreaAndNothingElse)
{
    auto& r = this->r;
    r.FillRect(kRed, IRECT(20, 30, 60, 50));
    EXPECT_TRUE(DrawnPixelIs(r, 20, 30, kRed));
    EXPECT_TRUE(DrawnPixelIs(r, 59, 49, kRed));
    EXPECT_TRUE(DrawnPixelIs(r, 40, 40, kRed));
    EXPECT_TRUE(DrawnPixelIs(r, 19, 40, kBackground));
    EXPECT_TRUE(DrawnPixelIs(r, 60, 40, kBackground));
    EXPECT_TRUE(DrawnPixelIs(r, 40, 50, kBackground));
    EXPECT_EQ(CountChanged(r, 0, 0, kW, kH), 40 * 20);
}

TYPED_TEST_P(RendererDrawing, FillRoundRectLeavesTheCornersOut)
{
    auto& r = this->r;
    r.FillRoundRect(kGold, IRECT(20, 20, 100, 80), 12.f);
    EXPECT_TRUE(DrawnPixelIs(r, 60, 50, kGold));
    EXPECT_TRUE(DrawnPixelIs(r, 60, 20, kGold)); // middle of the top edge
    EXPECT_TRUE(DrawnPixelIs(r, 20, 50, kGold)); // middle of the left edge
    EXPECT_TRUE(DrawnPixelIs(r, 20, 20, kBackground));
    EXPECT_TRUE(DrawnPixelIs(r, 99, 79, kBackground));
    EXPECT_TRUE(DrawnPixelIs(r, 24, 24, kGold, 60)); // inside the arc, partly covered at most at its rim
}

TYPED_TEST_P(RendererDrawing, RoundRectRadiusIsLimitedToHalfTheShorterSide)
{
    auto& r = this->r;
    // A radius far too large gives a pill shape rather than a broken path.
    r.FillRoundRect(kGold, IRECT(20, 20, 120, 40), 500.f);
    EXPECT_TRUE(DrawnPixelIs(r, 70, 30, kGold));
    EXPECT_TRUE(DrawnPixelIs(r, 22, 30, kGold, 40));
    EXPECT_TRUE(DrawnPixelIs(r, 21, 21, kBackground));
}

TYPED_TEST_P(RendererDrawing, FillCircleCoversItsDisc)
{
    auto& r = this->r;
    r.FillCircle(kBlue, 100.f, 75.f, 20.f);
    EXPECT_TRUE(DrawnPixelIs(r, 100, 75, kBlue));
    EXPECT_TRUE(DrawnPixelIs(r, 100, 57, kBlue)); // 17.5 from the centre
    EXPECT_TRUE(DrawnPixelIs(r, 100, 53, kBackground));
    EXPECT_TRUE(DrawnPixelIs(r, 84, 59, kBackground)); // the corner of the bounding square
    EXPECT_NEAR(InkArea(r, kBlue), 3.14159 * 20 * 20, TypeParam::kSlack.discAreaPx);
}

// --- Strokes --------------------------------------------------------------------------------

TYPED_TEST_P(RendererDrawing, StrokedRectIsAFrameCentredOnTheEdges)
{
    auto& r = this->r;
    r.DrawRect(kWhite, IRECT(20, 20, 80, 60), nullptr, 4.f);
    EXPECT_TRUE(DrawnPixelIs(r, 50, 19, kWhite)); // 2 outside the top edge
    EXPECT_TRUE(DrawnPixelIs(r, 50, 21, kWhite)); // 2 inside
    EXPECT_TRUE(DrawnPixelIs(r, 18, 40, kWhite));
    EXPECT_TRUE(DrawnPixelIs(r, 50, 40, kBackground));
    EXPECT_TRUE(DrawnPixelIs(r, 50, 23, kBackground));
    EXPECT_TRUE(DrawnPixelIs(r, 50, 17, kBackground));
}

TYPED_TEST_P(RendererDrawing, StrokedRoundRectFollowsTheRoundedOutline)
{
    auto& r = this->r;
    r.DrawRoundRect(kWhite, IRECT(20, 20, 100, 80), 15.f, nullptr, 2.f);
    EXPECT_TRUE(DrawnPixelIs(r, 60, 20, kWhite, 100));
    EXPECT_TRUE(DrawnPixelIs(r, 60, 50, kBackground));
    EXPECT_TRUE(DrawnPixelIs(r, 20, 20, kBackground)); // the corner is cut
    // On the diagonal the arc of radius 15 passes 15 * (1 - 1/sqrt 2) = 4.4 in from the corner.
    EXPECT_GT(CountChanged(r, 23, 23, 26, 26), 0);
}

TYPED_TEST_P(RendererDrawing, StrokedCircleIsARingWithAnEmptyMiddle)
{
    auto& r = this->r;
    r.DrawCircle(kGold, 100.f, 75.f, 30.f, nullptr, 3.f);
    EXPECT_TRUE(DrawnPixelIs(r, 130, 75, kGold, 40));
    EXPECT_TRUE(DrawnPixelIs(r, 70, 75, kGold, 40));
    EXPECT_TRUE(DrawnPixelIs(r, 100, 45, kGold, 40));
    EXPECT_TRUE(DrawnPixelIs(r, 100, 75, kBackground));
    EXPECT_TRUE(DrawnPixelIs(r, 100, 60, kBackground));
    EXPECT_TRUE(DrawnPixelIs(r, 135, 75, kBackground));
}

TYPED_TEST_P(RendererDrawing, LineHasTheGivenThickness)
{
    auto& r = this->r;
    r.DrawLine(kRed, 10.f, 50.f, 190.f, 50.f, nullptr, 4.f);
    EXPECT_TRUE(DrawnPixelIs(r, 100, 48, kRed));
    EXPECT_TRUE(DrawnPixelIs(r, 100, 51, kRed));
    EXPECT_TRUE(DrawnPixelIs(r, 100, 46, kBackground));
    EXPECT_TRUE(DrawnPixelIs(r, 100, 53, kBackground));
    EXPECT_TRUE(DrawnPixelIs(r, 5, 50, kBackground)); // butt ends
    EXPECT_EQ(CountChanged(r, 0, 0, kW, kH), 180 * 4);
}

TYPED_TEST_P(RendererDrawing, ThinLineCarriesAboutOnePixelOfInk)
{
    auto& r = this->r;
    // A 1-pixel line on a pixel boundary: cairo shares it between two rows, wine's GDI+ may put
    // it on one. Either way the two rows together hold one row of ink and nothing spills further.
    r.DrawLine(kWhite, 10.f, 50.f, 190.f, 50.f);
    const double ink = (DrawnPixel(r, 100, 49).r - kBackground.r + DrawnPixel(r, 100, 50).r - kBackground.r) /
                       double(kWhite.r - kBackground.r);
    EXPECT_NEAR(ink, 1.0, 0.15);
    EXPECT_TRUE(DrawnPixelIs(r, 100, 47, kBackground));
    EXPECT_TRUE(DrawnPixelIs(r, 100, 52, kBackground));
}

// --- Blend and alpha ------------------------------------------------------------------------

TYPED_TEST_P(RendererDrawing, BlendWeightMultipliesTheColoursAlpha)
{
    auto& r = this->r;
    const IBlend quarter(0.25f);
    r.FillRect(kWhite, IRECT(10, 10, 50, 50), &quarter);
    // 38 + 0.25 * (255 - 38) = 92.25 and so on.
    EXPECT_TRUE(DrawnPixelIs(r, 30, 30, IColor(255, 92, 98, 106), 2));

    const IColor halfWhite(128, 255, 255, 255);
    r.FillRect(halfWhite, IRECT(60, 10, 100, 50), &quarter);
    // alpha 128/255 * 0.25 = 0.1255
    EXPECT_TRUE(DrawnPixelIs(r, 80, 30, IColor(255, 65, 71, 81), 2));
}

TYPED_TEST_P(RendererDrawing, MissingBlendIsFullWeightAndOutOfRangeWeightsAreClamped)
{
    auto& r = this->r;
    const IBlend none(0.f);
    const IBlend over(4.f);
    const IBlend negative(-1.f);
    const IBlend notANumber(kNaN);
    r.FillRect(kRed, IRECT(10, 10, 30, 30), nullptr);
    r.FillRect(kRed, IRECT(40, 10, 60, 30), &over);
    r.FillRect(kRed, IRECT(70, 10, 90, 30), &none);
    r.FillRect(kRed, IRECT(100, 10, 120, 30), &negative);
    r.FillRect(kRed, IRECT(130, 10, 150, 30), &notANumber);
    EXPECT_TRUE(DrawnPixelIs(r, 20, 20, kRed));
    EXPECT_TRUE(DrawnPixelIs(r, 50, 20, kRed));
    EXPECT_TRUE(DrawnPixelIs(r, 80, 20, kBackground));
    EXPECT_TRUE(DrawnPixelIs(r, 110, 20, kBackground));
    EXPECT_TRUE(DrawnPixelIs(r, 140, 20, kBackground));
}

TYPED_TEST_P(RendererDrawing, BlendAppliesToStrokesPathsTextAndBitmaps)
{
    auto& r = this->r;
    const IBlend quarter(0.25f);
    const IColor expected(255, 92, 98, 106); // white at a quarter over the background
    r.DrawLine(kWhite, 10.f, 20.f, 60.f, 20.f, &quarter, 4.f);
    r.PathMoveTo(70, 10);
    r.PathLineTo(110, 10);
    r.PathLineTo(110, 40);
    r.PathLineTo(70, 40);
    r.PathClose();
    r.PathFill(kWhite, &quarter);
    const std::vector<unsigned char> png = TypeParam::SolidPng(4, 4, kWhite);
    const IBitmap bitmap = r.LoadBitmap(png.data(), png.size());
    r.DrawFittedBitmap(bitmap, IRECT(120, 10, 160, 40), &quarter);
    EXPECT_TRUE(DrawnPixelIs(r, 30, 20, expected, 2));
    EXPECT_TRUE(DrawnPixelIs(r, 90, 25, expected, 2));
    EXPECT_TRUE(DrawnPixelIs(r, 140, 25, expected, 2));

    // Text: no pixel of a quarter-weight white text gets brighter than the quarter mix.
    r.DrawText(Style(40.f), "HH", IRECT(10, 60, 190, 140), &quarter);
    r.EndFrame();
    int brightest = 0;
    for (int y = 60; y < 140; ++y)
        for (int x = 10; x < 190; ++x)
            brightest = std::max(brightest, r.ReadPixel(x, y).r);
    r.BeginFrame(1.f);
    EXPECT_GE(brightest, expected.r - 2);
    EXPECT_LE(brightest, expected.r + 2);
}

// --- Paths ----------------------------------------------------------------------------------

TYPED_TEST_P(RendererDrawing, FilledPathCoversTheInsideOfItsOutline)
{
    auto& r = this->r;
    r.PathMoveTo(20, 120);
    r.PathLineTo(100, 20);
    r.PathLineTo(180, 120);
    r.PathClose();
    r.PathFill(kBlue);
    EXPECT_TRUE(DrawnPixelIs(r, 100, 100, kBlue));
    EXPECT_TRUE(DrawnPixelIs(r, 100, 30, kBlue));
    EXPECT_TRUE(DrawnPixelIs(r, 30, 30, kBackground));
    EXPECT_TRUE(DrawnPixelIs(r, 100, 125, kBackground));
    EXPECT_NEAR(InkArea(r, kBlue), 0.5 * 160 * 100, TypeParam::kSlack.triangleAreaPx);
}

TYPED_TEST_P(RendererDrawing, StrokeKeepingThePathLetsItBeFilledAfterwards)
{
    auto& r = this->r;
    StrokeAndShadeACurve(r);
    EXPECT_TRUE(DrawnPixelIs(r, 100, 90, kBlue));
    // The stroke shows above the fill's edge near the apex (a bevel join flattens the very tip).
    int brightest = 0;
    for (int y = 36; y < 42; ++y)
        for (int x = 90; x < 111; ++x)
            brightest = std::max(brightest, DrawnPixel(r, x, y).r);
    EXPECT_GT(brightest, 200);
    EXPECT_TRUE(DrawnPixelIs(r, 100, 30, kBackground));
}

TYPED_TEST_P(RendererDrawing, StrokeWithoutKeepClearsThePath)
{
    auto& r = this->r;
    r.PathMoveTo(20, 20);
    r.PathLineTo(180, 20);
    r.PathLineTo(180, 120);
    r.PathStroke(kWhite, 2.f);
    r.PathFill(kRed); // nothing left to fill
    EXPECT_TRUE(DrawnPixelIs(r, 150, 40, kBackground));
    EXPECT_TRUE(DrawnPixelIs(r, 100, 20, kWhite, 2));
    EXPECT_TRUE(DrawnPixelIs(r, 180, 70, kWhite, 2));
}

TYPED_TEST_P(RendererDrawing, FillClearsThePathAndPathClearDropsIt)
{
    auto& r = this->r;
    r.PathMoveTo(20, 20);
    r.PathLineTo(60, 20);
    r.PathLineTo(60, 60);
    r.PathClose();
    r.PathFill(kRed);
    r.PathStroke(kWhite, 6.f); // the triangle is gone: no white frame around it
    EXPECT_TRUE(DrawnPixelIs(r, 58, 40, kRed));
    EXPECT_TRUE(DrawnPixelIs(r, 62, 40, kBackground));

    r.PathMoveTo(100, 20);
    r.PathLineTo(180, 20);
    r.PathLineTo(180, 100);
    r.PathClear();
    r.PathStroke(kWhite, 6.f);
    EXPECT_TRUE(DrawnPixelIs(r, 140, 20, kBackground));
}

TYPED_TEST_P(RendererDrawing, ShapesDrawnWhileBuildingAPathDoNotDisturbIt)
{
    auto& r = this->r;
    r.PathMoveTo(20, 100);
    r.PathLineTo(100, 100);
    r.FillCircle(kGold, 150.f, 40.f, 10.f);
    r.DrawText(Style(14.f), "x", IRECT(150, 100, 190, 140));
    r.PathLineTo(100, 140);
    r.PathStroke(kWhite, 2.f);
    EXPECT_TRUE(DrawnPixelIs(r, 150, 40, kGold));
    EXPECT_TRUE(DrawnPixelIs(r, 60, 100, kWhite, 2));
    EXPECT_TRUE(DrawnPixelIs(r, 100, 120, kWhite, 2));
    // No stray segment from the path towards the circle or the text.
    EXPECT_TRUE(DrawnPixelIs(r, 125, 70, kBackground));
    EXPECT_TRUE(DrawnPixelIs(r, 125, 110, kBackground));
}

TYPED_TEST_P(RendererDrawing, PointsThatAreNotNumbersAreLeftOut)
{
    auto& r = this->r;
    r.PathMoveTo(20, 50);
    r.PathLineTo(kNaN, 80);
    r.PathLineTo(180, 50);
    r.PathStroke(kWhite, 2.f);
    r.FillRect(kRed, IRECT(kNaN, 0, 10, 10));
    r.FillCircle(kRed, 50.f, 50.f, kNaN);
    EXPECT_TRUE(DrawnPixelIs(r, 100, 50, kWhite, 2));
    EXPECT_TRUE(DrawnPixelIs(r, 100, 65, kBackground));
    EXPECT_TRUE(DrawnPixelIs(r, 5, 5, kBackground));
}

// --- Frames, scale and clipping -------------------------------------------------------------

TYPED_TEST_P(RendererDrawing, FrameScaleMapsEditorCoordinatesToPixels)
{
    auto& r = this->r;
    r.EndFrame();
    ASSERT_TRUE(r.BeginFrame(2.f));
    r.FillRect(kRed, IRECT(10, 10, 20, 20));
    r.EndFrame();
    EXPECT_TRUE(Near(r.ReadPixel(21, 21), kRed, 2));
    EXPECT_TRUE(Near(r.ReadPixel(39, 39), kRed, 2));
    EXPECT_TRUE(Near(r.ReadPixel(41, 30), kBackground, 2));
    EXPECT_TRUE(Near(r.ReadPixel(15, 15), kBackground, 2));
    r.BeginFrame(1.f);
}

TYPED_TEST_P(RendererDrawing, ClipRestrictsDrawingUntilPopped)
{
    auto& r = this->r;
    r.PushClip(IRECT(50, 50, 100, 100));
    r.FillRect(kRed, IRECT(0, 0, kW, kH));
    r.PushClip(IRECT(0, 0, 60, 60)); // nested clips intersect
    r.FillRect(kBlue, IRECT(0, 0, kW, kH));
    r.PopClip();
    r.PopClip();
    r.FillRect(kGold, IRECT(150, 10, 160, 20));
    EXPECT_TRUE(DrawnPixelIs(r, 75, 75, kRed));
    EXPECT_TRUE(DrawnPixelIs(r, 55, 55, kBlue));
    EXPECT_TRUE(DrawnPixelIs(r, 65, 55, kRed));
    EXPECT_TRUE(DrawnPixelIs(r, 40, 40, kBackground));
    EXPECT_TRUE(DrawnPixelIs(r, 155, 15, kGold));
    r.PopClip(); // one too many: ignored
    r.FillRect(kGold, IRECT(170, 10, 180, 20));
    EXPECT_TRUE(DrawnPixelIs(r, 175, 15, kGold));
}

TYPED_TEST_P(RendererDrawing, DrawingOutsideAFrameDoesNothing)
{
    auto& r = this->r;
    r.EndFrame();
    r.FillRect(kRed, IRECT(0, 0, kW, kH));
    r.PathMoveTo(0, 0);
    r.PathLineTo(100, 100);
    r.PathStroke(kWhite, 3.f);
    EXPECT_TRUE(Near(r.ReadPixel(50, 50), kBackground, 0));
    r.BeginFrame(1.f);
}

TYPED_TEST_P(RendererDrawing, EveryFrameStartsWithAnEmptyPath)
{
    auto& r = this->r;
    r.PathMoveTo(20, 20);
    r.PathLineTo(180, 20);
    r.EndFrame();
    r.BeginFrame(1.f);
    r.PathStroke(kWhite, 4.f);
    EXPECT_TRUE(DrawnPixelIs(r, 100, 20, kBackground));
}

TYPED_TEST_P(RendererTargets, NoTargetMeansNoFrame)
{
    typename TypeParam::Renderer r;
    EXPECT_FALSE(r.BeginFrame(1.f));
    EXPECT_FALSE(r.CreateOffscreen(0, 10));
    EXPECT_FALSE(r.BeginFrame(1.f));
    ASSERT_TRUE(r.CreateOffscreen(10, 10));
    EXPECT_FALSE(r.BeginFrame(0.f));
    EXPECT_FALSE(r.BeginFrame(kNaN));
    EXPECT_TRUE(r.BeginFrame(1.f));
    r.EndFrame();
}

TYPED_TEST_P(RendererTargets, DrawsIntoACallersBufferAsPremultipliedArgb)
{
    // The window's back buffer: 32-bit pixels, native order, alpha in the top byte.
    constexpr int kW = 8;
    constexpr int kH = 4;
    std::vector<std::uint32_t> pixels(kW * kH, 0u);
    typename TypeParam::Renderer r;
    EXPECT_FALSE(r.SetTargetBuffer(reinterpret_cast<unsigned char*>(pixels.data()), kW, kH, 4 * kW - 4));
    ASSERT_TRUE(r.SetTargetBuffer(reinterpret_cast<unsigned char*>(pixels.data()), kW, kH, 4 * kW));
    ASSERT_TRUE(r.BeginFrame(1.f));
    r.FillRect(IColor(255, 255, 0, 0), IRECT(0, 0, 4, 4));
    r.FillRect(IColor(128, 0, 0, 255), IRECT(4, 0, 8, 4));
    r.EndFrame();
    EXPECT_EQ(pixels[0], 0xffff0000u);
    EXPECT_EQ(pixels[4], 0x80000080u);
    EXPECT_EQ(r.TargetWidth(), kW);
    EXPECT_EQ(r.TargetHeight(), kH);
    r.ReleaseTarget();
    EXPECT_FALSE(TypeParam::HoldsATarget(r));
}

TYPED_TEST_P(RendererTargets, WrittenPngReadsBackWithTheSameSizeAndPixels)
{
    typename TypeParam::Renderer r;
    ASSERT_TRUE(r.CreateOffscreen(30, 20));
    ASSERT_TRUE(r.BeginFrame(1.f));
    r.FillRect(kGold, IRECT(0, 0, 30, 20));
    r.EndFrame();
    const std::string path = OutputPath("written.png");
    ASSERT_TRUE(r.WritePng(path.c_str()));

    std::vector<std::uint8_t> storage;
    const ResourceBytes bytes = LoadResourceBytes(nullptr, path.c_str(), storage);
    ASSERT_TRUE(bytes.Found());
    const IBitmap back = r.LoadBitmap(bytes.data, bytes.size);
    EXPECT_EQ(back.W(), 30);
    EXPECT_EQ(back.H(), 20);
    ASSERT_TRUE(r.CreateOffscreen(30, 20));
    ASSERT_TRUE(r.BeginFrame(1.f));
    r.DrawFittedBitmap(back, IRECT(0, 0, 30, 20));
    r.EndFrame();
    EXPECT_TRUE(Near(r.ReadPixel(15, 10), kGold, 1));
}

// --- Text -----------------------------------------------------------------------------------

TYPED_TEST_P(RendererDrawing, TextInksInsideItsMeasuredRectangleOnly)
{
    auto& r = this->r;
    const IText style = Style(15.f);
    const IRECT box(20, 20, 180, 44);
    const char* text = "Active filters: 2";
    r.DrawText(style, text, box);
    const IRECT measured = r.MeasureText(style, text, box);
    EXPECT_GT(CountChanged(r, static_cast<int>(measured.left), static_cast<int>(measured.top),
                           static_cast<int>(std::ceil(measured.right)), static_cast<int>(std::ceil(measured.bottom))),
              100);
    // A pixel of slack for anti-aliasing and glyphs overhanging their advance.
    EXPECT_EQ(CountChangedOutside(r, measured.GetPadded(1.f)), 0);
    EXPECT_EQ(CountChangedOutside(r, box), 0);
    SaveDrawing(r, "text.png");
}

TYPED_TEST_P(RendererDrawing, AlignmentPlacesTheTextInsideTheRectangle)
{
    auto& r = this->r;
    const IRECT box(20, 20, 180, 130);
    const IRECT nearTop = r.MeasureText(Style(15.f, EAlign::Near, EVAlign::Top), "Gain", box);
    const IRECT centre = r.MeasureText(Style(15.f, EAlign::Center, EVAlign::Middle), "Gain", box);
    const IRECT farBottom = r.MeasureText(Style(15.f, EAlign::Far, EVAlign::Bottom), "Gain", box);
    EXPECT_FLOAT_EQ(nearTop.left, box.left);
    EXPECT_FLOAT_EQ(nearTop.top, box.top);
    EXPECT_NEAR(centre.MW(), box.MW(), 0.01f);
    EXPECT_NEAR(centre.MH(), box.MH(), 0.01f);
    EXPECT_NEAR(farBottom.right, box.right, 0.01f);
    EXPECT_NEAR(farBottom.bottom, box.bottom, 0.01f);
    EXPECT_FLOAT_EQ(nearTop.W(), centre.W());

    r.DrawText(Style(15.f, EAlign::Far, EVAlign::Bottom), "Gain", box);
    EXPECT_EQ(CountChangedOutside(r, farBottom.GetPadded(1.f)), 0);
    EXPECT_GT(CountChanged(r, 150, 110, 180, 130), 20);
}

TYPED_TEST_P(RendererDrawing, RotatedTextTurnsAboutItsCentre)
{
    auto& r = this->r;
    IText upright = Style(20.f, EAlign::Center, EVAlign::Middle);
    IText turned = upright;
    turned.angle = 90.f;
    const IRECT box(60, 35, 140, 115); // centred on (100, 75)
    r.DrawText(turned, "Ringstill", box);
    const IRECT flat = r.MeasureText(upright, "Ringstill", box);
    // Turned a quarter, the text runs down through the centre: tall and narrow.
    EXPECT_GT(CountChanged(r, 90, static_cast<int>(75 - flat.W() / 2), 111, static_cast<int>(75 + flat.W() / 2)), 80);
    EXPECT_EQ(CountChanged(r, 0, 0, 85, kH), 0);
    EXPECT_EQ(CountChanged(r, 116, 0, kW, kH), 0);
}

TYPED_TEST_P(RendererDrawing, UnknownFontOrEmptyTextDrawsNothing)
{
    auto& r = this->r;
    const IText missing(15.f, kWhite, "Comic-Sans");
    const IRECT box(20, 20, 180, 60);
    r.DrawText(missing, "Hello", box);
    r.DrawText(Style(15.f), "", box);
    r.DrawText(Style(15.f), nullptr, box);
    r.DrawText(Style(0.f), "Hello", box);
    EXPECT_EQ(CountChanged(r, 0, 0, kW, kH), 0);
    const IRECT m = r.MeasureText(missing, "Hello", box);
    EXPECT_FLOAT_EQ(m.W(), 0.f);
    EXPECT_FLOAT_EQ(m.left, box.MW());
    EXPECT_FALSE(r.HasFont("Comic-Sans"));
    EXPECT_TRUE(r.HasFont("Roboto-Regular"));
}

TYPED_TEST_P(RendererDrawing, NonAsciiTextIsReadAsUtf8)
{
    auto& r = this->r;
    const IText style = Style(17.f);
    const float withSign = r.MeasureText(style, "\xc2\xa9 2026").W();
    const float withC = r.MeasureText(style, "C 2026").W();
    // One glyph for the two bytes of the copyright sign, about as wide as a capital.
    EXPECT_NEAR(withSign, withC, 4.f);
    r.DrawText(style, "\xc2\xa9", IRECT(20, 20, 60, 60));
    EXPECT_GT(CountChanged(r, 20, 20, 60, 60), 30);
}

// --- Text measurement -----------------------------------------------------------------------

TYPED_TEST_P(RendererDrawing, LongerTextMeasuresWider)
{
    auto& r = this->r;
    const IText style = Style(15.f);
    const float a = r.MeasureText(style, "Bandwidth").W();
    const float b = r.MeasureText(style, "Bandwidth Bandwidth").W();
    EXPECT_GT(a, 0.f);
    EXPECT_GT(b, a * 1.9f);
    EXPECT_GT(r.MeasureText(style, "WWW").W(), r.MeasureText(style, "iii").W() * 2.f);
    EXPECT_FLOAT_EQ(r.MeasureText(style, "").W(), 0.f);
}

TYPED_TEST_P(RendererDrawing, RobotoAtFifteenHasPlausibleWidthsAndLineHeight)
{
    auto& r = this->r;
    const IText style = Style(15.f);
    // Roboto's average lowercase advance is about half an em.
    const float sensitivity = r.MeasureText(style, "Sensitivity").W();
    EXPECT_GT(sensitivity, 60.f);
    EXPECT_LT(sensitivity, 85.f);
    const float digits = r.MeasureText(style, "0123456789").W();
    EXPECT_NEAR(digits, 10 * 15 * 0.5615f, TypeParam::kSlack.digitRunPx); // each digit advances 1150 of 2048 units
    const float lineHeight = r.MeasureText(style, "Sensitivity").H();
    EXPECT_GT(lineHeight, 15.f);
    EXPECT_LT(lineHeight, 20.f);
}

TYPED_TEST_P(RendererDrawing, MeasuredWidthGrowsInProportionToSizeAndIgnoresTheFrameScale)
{
    auto& r = this->r;
    const char* text = "www.tollent-audio.com";
    const float at15 = r.MeasureText(Style(15.f), text).W();
    const float at30 = r.MeasureText(Style(30.f), text).W();
    EXPECT_NEAR(at30, 2.f * at15, TypeParam::kSlack.textScale * at30);
    r.EndFrame();
    r.BeginFrame(2.f);
    EXPECT_FLOAT_EQ(r.MeasureText(Style(15.f), text).W(), at15);
    r.EndFrame();
    EXPECT_FLOAT_EQ(r.MeasureText(Style(15.f), text).W(), at15); // no frame needed
    r.BeginFrame(1.f);
}

// --- Bitmaps --------------------------------------------------------------------------------

TYPED_TEST_P(RendererDrawing, BitmapIsScaledToFillTheRectangle)
{
    auto& r = this->r;
    const std::vector<unsigned char> png = TypeParam::SolidPng(10, 5, kGold);
    const IBitmap bitmap = r.LoadBitmap(png.data(), png.size());
    ASSERT_TRUE(bitmap.IsValid());
    EXPECT_EQ(bitmap.W(), 10);
    EXPECT_EQ(bitmap.H(), 5);
    r.DrawFittedBitmap(bitmap, IRECT(20, 30, 120, 130)); // 10 x 20 times larger, aspect changed
    const int e = TypeParam::kSlack.bitmapEdgePx;
    EXPECT_TRUE(DrawnPixelIs(r, 20 + e, 30 + e, kGold));
    EXPECT_TRUE(DrawnPixelIs(r, 119 - e, 129 - e, kGold));
    EXPECT_TRUE(DrawnPixelIs(r, 70, 80, kGold));
    EXPECT_TRUE(DrawnPixelIs(r, 19 - e, 80, kBackground));
    EXPECT_TRUE(DrawnPixelIs(r, 120 + e, 80, kBackground));
    EXPECT_TRUE(DrawnPixelIs(r, 70, 130 + e, kBackground));
    EXPECT_NEAR(CountChanged(r, 0, 0, kW, kH), 100 * 100, TypeParam::kSlack.bitmapAreaPx);
}

TYPED_TEST_P(RendererDrawing, EmbeddedLogoLoadsAtItsSizeAndDrawsIntoItsRectangle)
{
    auto& r = this->r;
    const ResourceBytes png = FindEmbeddedResource("Ringstill.png");
    ASSERT_TRUE(png.Found());
    const IBitmap logo = r.LoadBitmap(png.data, png.size);
    ASSERT_TRUE(logo.IsValid());
    EXPECT_EQ(logo.W(), 250);
    EXPECT_EQ(logo.H(), 201);

    // The editor's logo rectangle, moved into this small target: 148 x 119 at (26, 16).
    const IRECT rect(26, 16, 174, 135);
    r.DrawFittedBitmap(logo, rect);
    EXPECT_EQ(CountChangedOutside(r, rect), 0);
    // The emblem's disc is drawn at the logo's (125, 70): opaque and darker than the background.
    const float sx = rect.W() / 250.f;
    const float sy = rect.H() / 201.f;
    const IColor disc = DrawnPixel(r, static_cast<int>(rect.left + 125 * sx), static_cast<int>(rect.top + 40 * sy));
    EXPECT_LT(disc.r + disc.g + disc.b, kBackground.r + kBackground.g + kBackground.b + 20);
    // The ring around it, at the logo's (125, 12), carries the editor's cyan.
    EXPECT_GT(CountChanged(r, static_cast<int>(rect.left + 120 * sx), static_cast<int>(rect.top + 9 * sy),
                           static_cast<int>(rect.left + 130 * sx), static_cast<int>(rect.top + 15 * sy)),
              4);
    const IColor ring =
        DrawnPixel(r, static_cast<int>(rect.left + 125 * sx + 0.5f), static_cast<int>(rect.top + 12 * sy + 0.5f));
    EXPECT_GT(ring.b, ring.r + 60);
    // The word mark sits in the lower part: bright pixels around the logo's y = 160.
    EXPECT_GT(CountChanged(r, static_cast<int>(rect.left + 30 * sx), static_cast<int>(rect.top + 140 * sy),
                           static_cast<int>(rect.left + 220 * sx), static_cast<int>(rect.top + 175 * sy)),
              200);
    SaveDrawing(r, "logo.png");
}

TYPED_TEST_P(RendererDrawing, BytesThatAreNotAPngGiveAnInvalidBitmapThatDrawsNothing)
{
    auto& r = this->r;
    const ResourceBytes font = FindEmbeddedResource("Roboto-Regular.ttf");
    const IBitmap notPng = r.LoadBitmap(font.data, font.size);
    EXPECT_FALSE(notPng.IsValid());
    EXPECT_EQ(notPng.W(), 0);
    EXPECT_EQ(notPng.H(), 0);
    std::vector<unsigned char> truncated = TypeParam::SolidPng(10, 10, kRed);
    truncated.resize(truncated.size() / 2);
    EXPECT_FALSE(r.LoadBitmap(truncated.data(), truncated.size()).IsValid());
    EXPECT_FALSE(r.LoadBitmap(nullptr, 100).IsValid());
    r.DrawFittedBitmap(notPng, IRECT(0, 0, kW, kH));
    r.DrawFittedBitmap(IBitmap(), IRECT(0, 0, kW, kH));
    EXPECT_EQ(CountChanged(r, 0, 0, kW, kH), 0);
}

TYPED_TEST_P(RendererDrawing, BitmapOutlivesTheRendererThatLoadedIt)
{
    auto& r = this->r;
    IBitmap kept;
    {
        typename TypeParam::Renderer other;
        const std::vector<unsigned char> png = TypeParam::SolidPng(4, 4, kBlue);
        kept = other.LoadBitmap(png.data(), png.size());
    }
    r.DrawFittedBitmap(kept, IRECT(10, 10, 20, 20));
    EXPECT_TRUE(DrawnPixelIs(r, 15, 15, kBlue));
}

// --- Fonts ----------------------------------------------------------------------------------

TYPED_TEST_P(RendererFonts, GarbageIsNotAFontAndAKnownIdKeepsItsFirstFont)
{
    typename TypeParam::Renderer r;
    const unsigned char garbage[64] = {1, 2, 3, 4};
    EXPECT_FALSE(r.LoadFont("Broken", garbage, sizeof garbage));
    EXPECT_FALSE(r.LoadFont("Broken", nullptr, 0));
    EXPECT_FALSE(r.HasFont("Broken"));
    const ResourceBytes font = FindEmbeddedResource("Roboto-Regular.ttf");
    EXPECT_FALSE(r.LoadFont("", font.data, font.size));
    ASSERT_TRUE(r.LoadFont("Roboto-Regular", font.data, font.size));
    EXPECT_TRUE(r.LoadFont("Roboto-Regular", garbage, sizeof garbage));
    EXPECT_GT(r.MeasureText(IText(15.f, kWhite), "Roboto").W(), 30.f);
}

TYPED_TEST_P(RendererFonts, FontBytesAreCopiedSoTheCallersBufferMayGo)
{
    typename TypeParam::Renderer r;
    {
        const ResourceBytes font = FindEmbeddedResource("Roboto-Regular.ttf");
        std::vector<std::uint8_t> temporary(font.data, font.data + font.size);
        ASSERT_TRUE(r.LoadFont("Temp", temporary.data(), temporary.size()));
        std::fill(temporary.begin(), temporary.end(), std::uint8_t{0});
    }
    ASSERT_TRUE(r.CreateOffscreen(100, 40));
    ASSERT_TRUE(r.BeginFrame(1.f));
    r.DrawText(IText(20.f, kWhite, "Temp"), "Hi", IRECT(0, 0, 100, 40));
    r.EndFrame();
    int inked = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 100; ++x)
            inked += r.ReadPixel(x, y).a > 0 ? 1 : 0;
    EXPECT_GT(inked, 40);
}

// --- Several renderers at once --------------------------------------------------------------

// A snapshot may be drawn on a worker while the window draws on the UI thread: each has its
// own renderer, but the fonts of both go through the platform's one font library.
TYPED_TEST_P(RendererConcurrency, RenderersOnTwoThreadsDrawTheSameTextAlike)
{
    auto draw = [](std::vector<IColor>& out) {
        for (int round = 0; round < 20; ++round)
        {
            typename TypeParam::Renderer r;
            const ResourceBytes font = FindEmbeddedResource("Roboto-Regular.ttf");
            if (!r.LoadFont("Roboto-Regular", font.data, font.size) || !r.CreateOffscreen(120, 30) ||
                !r.BeginFrame(1.f))
                return;
            r.FillRect(kBackground, IRECT(0, 0, 120, 30));
            r.DrawText(IText(15.f, kWhite), "Master Width", IRECT(0, 0, 120, 30));
            r.EndFrame();
            out.clear();
            for (int y = 0; y < 30; ++y)
                for (int x = 0; x < 120; ++x)
                    out.push_back(r.ReadPixel(x, y));
        }
    };
    std::vector<IColor> a;
    std::vector<IColor> b;
    std::thread other(draw, std::ref(b));
    draw(a);
    other.join();
    ASSERT_EQ(a.size(), 120u * 30u);
    EXPECT_TRUE(a == b);
}

// --- A picture of everything ------------------------------------------------------------------

TYPED_TEST_P(RendererPicture, GalleryOfEveryServiceAtDoubleScale)
{
    typename TypeParam::Renderer r;
    ASSERT_TRUE(r.CreateOffscreen(2 * 360, 2 * 220));
    const ResourceBytes font = FindEmbeddedResource("Roboto-Regular.ttf");
    const ResourceBytes png = FindEmbeddedResource("Ringstill.png");
    ASSERT_TRUE(r.LoadFont("Roboto-Regular", font.data, font.size));
    const IBitmap logo = r.LoadBitmap(png.data, png.size);
    ASSERT_TRUE(r.BeginFrame(2.f));
    r.FillRect(kBackground, IRECT(0, 0, 360, 220));
    r.FillRect(IColor(255, 11, 15, 20), IRECT(10, 10, 200, 110));
    for (int i = 0; i <= 190; ++i)
    {
        const float x = 10.f + i;
        const float y = 60.f - 35.f * std::exp(-std::pow((i - 95) / 12.f, 2.f)) + 6.f * std::sin(i * 0.3f);
        if (i == 0)
            r.PathMoveTo(x, y);
        else
            r.PathLineTo(x, y);
    }
    r.PathStroke(IColor(255, 47, 208, 230), 1.5f, true);
    r.PathLineTo(200, 110);
    r.PathLineTo(10, 110);
    r.PathClose();
    r.PathFill(IColor(64, 23, 176, 196));
    r.FillCircle(kGold, 105.f, 25.f, 5.f);
    r.DrawCircle(kWhite, 105.f, 25.f, 7.f, nullptr, 2.f);
    r.FillCircle(kBlue, 60.f, 70.f, 5.f);
    r.DrawLine(IColor(40, 255, 255, 255), 10, 40, 200, 40);
    for (int i = 0; i < 8; ++i)
    {
        const IRECT cell(10.f + i * 24.f + 1, 118, 10.f + (i + 1) * 24.f - 1, 138);
        r.FillRoundRect(i % 3 == 0 ? kGold : (i % 3 == 1 ? kBlue : IColor(128, 90, 90, 90)), cell, 3.f);
        if (i == 1)
            r.DrawRoundRect(kWhite, cell, 3.f, nullptr, 2.f);
        const std::string n = std::to_string(i + 1);
        r.DrawText(IText(10.f, COLOR_BLACK), n.c_str(), cell);
    }
    r.DrawText(IText(15.f, IColor(255, 220, 224, 230), "Roboto-Regular", EAlign::Near), "Sensitivity",
               IRECT(10, 146, 118, 172));
    r.FillRect(IColor(255, 25, 30, 39), IRECT(130, 146, 200, 172));
    r.DrawText(IText(15.f, IColor(255, 225, 228, 233)), "50", IRECT(130, 146, 200, 172));
    const IBlend disabled(0.25f);
    r.DrawText(IText(15.f, IColor(255, 220, 224, 230), "Roboto-Regular", EAlign::Near), "Disabled (0.25)",
               IRECT(10, 176, 200, 200), &disabled);
    r.DrawRoundRect(IColor(255, 150, 200, 225), IRECT(210, 176, 272, 198), 4.f, nullptr, 1.2f);
    r.DrawText(IText(12.f, IColor(255, 150, 200, 225)), "About", IRECT(210, 176, 272, 198));
    r.DrawFittedBitmap(logo, IRECT(210, 10, 350, 10 + 140 * 201.f / 250.f));
    r.DrawText(IText(12.f, IColor(255, 170, 176, 188)), "v1.0.9", IRECT(210, 130, 350, 144));
    IText turned(11.f, IColor(115, 255, 255, 255));
    turned.angle = -90.f;
    r.DrawText(turned, "-40 dB", IRECT(330, 150, 350, 210));
    r.EndFrame();
    const std::string path = OutputPath("gallery.png");
    EXPECT_TRUE(r.WritePng(path.c_str()));
    EXPECT_TRUE(Near(r.ReadPixel(2 * 105, 2 * 25), kGold, 2));
    EXPECT_TRUE(Near(r.ReadPixel(2 * 165, 2 * 159), IColor(255, 25, 30, 39), 2));
}

REGISTER_TYPED_TEST_SUITE_P(RendererDrawing, FillRectCoversItsAreaAndNothingElse, FillRoundRectLeavesTheCornersOut,
                            RoundRectRadiusIsLimitedToHalfTheShorterSide, FillCircleCoversItsDisc,
                            StrokedRectIsAFrameCentredOnTheEdges, StrokedRoundRectFollowsTheRoundedOutline,
                            StrokedCircleIsARingWithAnEmptyMiddle, LineHasTheGivenThickness,
                            ThinLineCarriesAboutOnePixelOfInk, BlendWeightMultipliesTheColoursAlpha,
                            MissingBlendIsFullWeightAndOutOfRangeWeightsAreClamped,
                            BlendAppliesToStrokesPathsTextAndBitmaps, FilledPathCoversTheInsideOfItsOutline,
                            StrokeKeepingThePathLetsItBeFilledAfterwards, StrokeWithoutKeepClearsThePath,
                            FillClearsThePathAndPathClearDropsIt, ShapesDrawnWhileBuildingAPathDoNotDisturbIt,
                            PointsThatAreNotNumbersAreLeftOut, FrameScaleMapsEditorCoordinatesToPixels,
                            ClipRestrictsDrawingUntilPopped, DrawingOutsideAFrameDoesNothing,
                            EveryFrameStartsWithAnEmptyPath, TextInksInsideItsMeasuredRectangleOnly,
                            AlignmentPlacesTheTextInsideTheRectangle, RotatedTextTurnsAboutItsCentre,
                            UnknownFontOrEmptyTextDrawsNothing, NonAsciiTextIsReadAsUtf8, LongerTextMeasuresWider,
                            RobotoAtFifteenHasPlausibleWidthsAndLineHeight,
                            MeasuredWidthGrowsInProportionToSizeAndIgnoresTheFrameScale,
                            BitmapIsScaledToFillTheRectangle, EmbeddedLogoLoadsAtItsSizeAndDrawsIntoItsRectangle,
                            BytesThatAreNotAPngGiveAnInvalidBitmapThatDrawsNothing,
                            BitmapOutlivesTheRendererThatLoadedIt);
REGISTER_TYPED_TEST_SUITE_P(RendererTargets, NoTargetMeansNoFrame, DrawsIntoACallersBufferAsPremultipliedArgb,
                            WrittenPngReadsBackWithTheSameSizeAndPixels);
REGISTER_TYPED_TEST_SUITE_P(RendererFonts, GarbageIsNotAFontAndAKnownIdKeepsItsFirstFont,
                            FontBytesAreCopiedSoTheCallersBufferMayGo);
REGISTER_TYPED_TEST_SUITE_P(RendererConcurrency, RenderersOnTwoThreadsDrawTheSameTextAlike);
REGISTER_TYPED_TEST_SUITE_P(RendererPicture, GalleryOfEveryServiceAtDoubleScale);

// Names the tests after the backend: Contract/RendererDrawing/Cairo.FillRectCoversItsAreaAndNothingElse.
struct BackendName
{
    template <typename Backend>
    static std::string GetName(int)
    {
        return Backend::kName;
    }
};

} // namespace ringstill::test

// The whole contract for one backend's traits; at namespace scope in the backend's test file.
#define INSTANTIATE_RENDERER_CONTRACT(Traits)                                                              \
    namespace ringstill::test {                                                                           \
    INSTANTIATE_TYPED_TEST_SUITE_P(Contract, RendererDrawing, Traits, BackendName);                       \
    INSTANTIATE_TYPED_TEST_SUITE_P(Contract, RendererTargets, Traits, BackendName);                       \
    INSTANTIATE_TYPED_TEST_SUITE_P(Contract, RendererFonts, Traits, BackendName);                         \
    INSTANTIATE_TYPED_TEST_SUITE_P(Contract, RendererConcurrency, Traits, BackendName);                   \
    INSTANTIATE_TYPED_TEST_SUITE_P(Contract, RendererPicture, Traits, BackendName);                       \
    }
