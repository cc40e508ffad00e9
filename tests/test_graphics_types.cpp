// The toolkit's plain types: rectangles, colours, text styles, blends and the vector style.

#include "framework/IBitmap.h"
#include "framework/IBlend.h"
#include "framework/IColor.h"
#include "framework/IRECT.h"
#include "framework/IText.h"
#include "framework/VectorStyle.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

using namespace igraphics;

TEST(IRECT, ContainsIsHalfOpenSoNeighboursNeverShareAPoint)
{
    const IRECT left(10, 10, 20, 20);
    const IRECT right(20, 10, 30, 20);
    EXPECT_TRUE(left.Contains(10, 10));
    EXPECT_TRUE(left.Contains(19.99f, 19.99f));
    EXPECT_FALSE(left.Contains(20, 15));
    EXPECT_TRUE(right.Contains(20, 15));
    EXPECT_FALSE(left.Contains(15, 20));
    EXPECT_FALSE(left.Contains(9.99f, 15));
}

TEST(IRECT, TheAllZeroRectangleContainsNothing)
{
    const IRECT empty;
    EXPECT_TRUE(empty.Empty());
    EXPECT_FALSE(empty.Contains(0, 0));
    EXPECT_FALSE(IRECT(0, 0, 1, 1).Empty());
    EXPECT_TRUE(IRECT(0, 0, 1, 1).Contains(0, 0));
}

TEST(IRECT, SizeCentreAndPadding)
{
    const IRECT r(110, 195, 630, 531);
    EXPECT_FLOAT_EQ(r.W(), 520);
    EXPECT_FLOAT_EQ(r.H(), 336);
    EXPECT_FLOAT_EQ(r.MW(), 370);
    EXPECT_FLOAT_EQ(r.MH(), 363);
    EXPECT_EQ(r.GetPadded(-1), IRECT(111, 196, 629, 530));
    EXPECT_EQ(r.GetPadded(0, 0, 2, -2), IRECT(110, 195, 632, 529));
    EXPECT_EQ(r.GetTranslated(-110, 5), IRECT(0, 200, 520, 536));
    EXPECT_EQ(IRECT(1, 2, 3, 4).GetScaled(2), IRECT(2, 4, 6, 8));
    // The editor's logo: 148 x 119 centred in the area right of the readouts.
    const IRECT logo = IRECT(460.2f, 214, 730, 333).GetCentredInside(148, 119);
    EXPECT_NEAR(logo.left, 521.1f, 1e-3f);
    EXPECT_NEAR(logo.top, 214.f, 1e-3f);
    EXPECT_NEAR(logo.right, 669.1f, 1e-3f);
    EXPECT_NEAR(logo.bottom, 333.f, 1e-3f);
}

TEST(IRECT, UnionGathersAreasAndIgnoresTheEmptyRectangle)
{
    const IRECT a(10, 10, 20, 20);
    const IRECT b(30, 5, 40, 15);
    EXPECT_EQ(a.Union(b), IRECT(10, 5, 40, 20));
    EXPECT_EQ(IRECT().Union(b), b);
    EXPECT_EQ(a.Union(IRECT()), a);
}

TEST(IRECT, IntersectGivesTheOverlapOrTheEmptyRectangle)
{
    const IRECT a(10, 10, 30, 30);
    EXPECT_EQ(a.Intersect(IRECT(20, 0, 40, 15)), IRECT(20, 10, 30, 15));
    EXPECT_TRUE(a.Intersect(IRECT(30, 10, 40, 30)).Empty()); // touching edges do not overlap
    EXPECT_TRUE(a.Intersect(IRECT(40, 40, 50, 50)).Empty());
    EXPECT_FALSE(a.Intersects(IRECT()));
}

TEST(IColor, ComponentsAreAlphaRedGreenBlueInThatOrder)
{
    const IColor c(200, 12, 15, 20);
    EXPECT_EQ(c.a, 200);
    EXPECT_EQ(c.r, 12);
    EXPECT_EQ(c.g, 15);
    EXPECT_EQ(c.b, 20);
    EXPECT_FLOAT_EQ(IColor(255, 0, 51, 255).GreenF(), 0.2f);
    EXPECT_FLOAT_EQ(IColor(300, -5, 0, 0).AlphaF(), 1.f); // out of range is clamped
    EXPECT_FLOAT_EQ(IColor(300, -5, 0, 0).RedF(), 0.f);
}

TEST(IBlend, WeightIsClampedAndAMissingBlendWeighsOne)
{
    const IBlend disabled(0.25f);
    const IBlend over(2.f);
    const IBlend nan(std::numeric_limits<float>::quiet_NaN());
    EXPECT_FLOAT_EQ(IBlend::Weight(nullptr), 1.f);
    EXPECT_FLOAT_EQ(IBlend::Weight(&disabled), 0.25f);
    EXPECT_FLOAT_EQ(IBlend::Weight(&over), 1.f);
    EXPECT_FLOAT_EQ(IBlend::Weight(&nan), 0.f);
}

TEST(IText, FontIdentifierIsCopiedAndCutToItsCapacity)
{
    std::string fontId = "Roboto-Regular";
    IText t(16.f, IColor(255, 240, 242, 246), fontId.c_str(), EAlign::Near, EVAlign::Middle);
    fontId = "changed";
    EXPECT_EQ(t.FontId(), "Roboto-Regular");
    EXPECT_EQ(t.align, EAlign::Near);
    EXPECT_EQ(t.valign, EVAlign::Middle);
    EXPECT_FLOAT_EQ(t.angle, 0.f);

    const std::string longId(200, 'x');
    t.SetFont(longId.c_str());
    EXPECT_EQ(t.FontId().size(), static_cast<std::size_t>(IText::kFontIdCapacity - 1));
    t.SetFont(nullptr);
    EXPECT_TRUE(t.FontId().empty());
    EXPECT_EQ(IText().FontId(), "Roboto-Regular");
}

TEST(VectorStyle, DefaultsAreTheToolkits)
{
    const VectorStyle s;
    EXPECT_TRUE(s.hideCursor);
    EXPECT_TRUE(s.showLabel);
    EXPECT_TRUE(s.showValue);
    EXPECT_TRUE(s.drawFrame);
    EXPECT_TRUE(s.drawShadows);
    EXPECT_FALSE(s.emboss);
    EXPECT_FLOAT_EQ(s.roundness, 0.f);
    EXPECT_FLOAT_EQ(s.frameThickness, 1.f);
    EXPECT_FLOAT_EQ(s.shadowOffset, 3.f);
    EXPECT_FLOAT_EQ(s.widgetFrac, 1.f);
    EXPECT_FLOAT_EQ(s.angle, 0.f);
    EXPECT_EQ(s.GetColor(kBG), IColor(0, 0, 0, 0));
    EXPECT_EQ(s.GetColor(kFG), IColor(255, 200, 200, 200));
    EXPECT_EQ(s.GetColor(kPR), IColor(255, 240, 240, 240));
    EXPECT_EQ(s.GetColor(kFR), IColor(255, 70, 70, 70));
    EXPECT_EQ(s.GetColor(kHL), IColor(10, 0, 0, 0));
    EXPECT_EQ(s.GetColor(kSH), IColor(60, 0, 0, 0));
    EXPECT_EQ(s.GetColor(kX1), IColor(255, 0, 0, 0));
    EXPECT_EQ(s.GetColor(kX2), IColor(255, 0, 255, 0));
    EXPECT_EQ(s.GetColor(kX3), IColor(255, 0, 0, 255));

    EXPECT_EQ(s.labelText.FontId(), "Roboto-Regular");
    EXPECT_FLOAT_EQ(s.labelText.size, 19.f);
    EXPECT_EQ(s.labelText.fgColor, IColor(255, 0, 0, 0));
    EXPECT_EQ(s.labelText.align, EAlign::Center);
    EXPECT_EQ(s.labelText.valign, EVAlign::Top);
    EXPECT_EQ(s.valueText.FontId(), "Roboto-Regular");
    EXPECT_FLOAT_EQ(s.valueText.size, 14.f);
    EXPECT_EQ(s.valueText.fgColor, IColor(255, 0, 0, 0));
    EXPECT_EQ(s.valueText.align, EAlign::Center);
    EXPECT_EQ(s.valueText.valign, EVAlign::Bottom);
    EXPECT_EQ(s, kDefaultStyle);
}

TEST(VectorStyle, AStyleChangedInOneRoleDiffersFromTheDefaultOnlyThere)
{
    VectorStyle button = kDefaultStyle;
    button.SetColor(kFG, COLOR_TRANSPARENT);
    button.roundness = 0.5f;
    EXPECT_NE(button, kDefaultStyle);
    EXPECT_EQ(button.GetColor(kFG), COLOR_TRANSPARENT);
    EXPECT_EQ(button.GetColor(kFR), kDefaultStyle.GetColor(kFR));
}

TEST(IBitmap, DefaultBitmapIsNotLoaded)
{
    const IBitmap none;
    EXPECT_FALSE(none.IsValid());
    EXPECT_EQ(none.W(), 0);
    EXPECT_EQ(none.H(), 0);
    EXPECT_EQ(none.GetAPIBitmap(), nullptr);
}
