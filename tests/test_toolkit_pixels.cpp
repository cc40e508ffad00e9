// The toolkit drawn for real: a context made through the delegate with the cairo backend and the
// embedded font, drawn offscreen and checked at known coordinates. The pictures land in the build
// tree (test-output/toolkit) for a look by eye.

#include "framework/ICaptionControl.h"
#include "framework/ICornerResizerControl.h"
#include "framework/IGraphics.h"
#include "framework/IPanelControl.h"
#include "framework/ITextControl.h"
#include "framework/IVButtonControl.h"
#include "framework/IVSliderControl.h"
#include "framework/IVSwitchControl.h"
#include "graphics/CairoBackend.h"
#include "graphics/OffscreenSnapshot.h"
#include "tests/support/Pixels.h"
#include "tests/support/ToolkitTestDelegate.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>

using namespace igraphics;
using namespace ringstill::test;
using namespace std::chrono_literals;

namespace {

constexpr IColor kBackground{255, 38, 45, 56};
constexpr IColor kValueBox{255, 25, 30, 39};
constexpr IColor kCyan{255, 64, 190, 214};
constexpr IColor kTrack{255, 70, 78, 92};
constexpr IColor kSwitchBG{255, 40, 46, 58};
constexpr IColor kWhite{255, 255, 255, 255};
constexpr IColor kTextColor{255, 220, 224, 230};

int PixelsDifferentFrom(const CairoRenderer& r, const IRECT& area, const IColor& colour)
{
    int n = 0;
    for (int y = int(area.top); y < int(area.bottom); ++y)
        for (int x = int(area.left); x < int(area.right); ++x)
            n += Near(r.ReadPixel(x, y), colour, 8) ? 0 : 1;
    return n;
}

VectorStyle SliderStyle()
{
    VectorStyle s;
    s.showLabel = false;
    s.showValue = false;
    s.drawFrame = false;
    s.drawShadows = false;
    s.SetColor(kFG, kCyan);
    s.SetColor(kFR, IColor(255, 235, 238, 242));
    s.SetColor(kHL, IColor(70, 64, 190, 214));
    s.SetColor(kSH, kTrack);
    s.SetColor(kX1, kCyan);
    return s;
}

VectorStyle SwitchStyle()
{
    VectorStyle s;
    s.showLabel = false;
    s.showValue = false;
    s.drawShadows = false;
    s.roundness = 0.15f;
    s.SetColor(kBG, kSwitchBG);
    s.SetColor(kFG, kCyan);
    s.SetColor(kPR, IColor(255, 44, 150, 170));
    s.SetColor(kFR, IColor(255, 210, 224, 244));
    return s;
}

VectorStyle ButtonStyle()
{
    VectorStyle s;
    s.showValue = false;
    s.drawShadows = false;
    s.roundness = 0.5f;
    s.SetColor(kFG, COLOR_TRANSPARENT);
    s.SetColor(kPR, IColor(60, 120, 170, 220));
    s.SetColor(kFR, IColor(255, 120, 190, 220));
    s.SetColor(kHL, IColor(40, 255, 255, 255));
    s.labelText = IText(15.f, IColor(255, 228, 232, 240), kDefaultFontId, EAlign::Center, EVAlign::Middle);
    return s;
}

class BitmapControl : public IControl
{
public:
    BitmapControl(const IRECT& r, IBitmap bitmap) : IControl(r), mBitmap(std::move(bitmap)) {}
    void Draw(IGraphicsRenderer& g) override { g.DrawFittedBitmap(mBitmap, mRECT); }

private:
    IBitmap mBitmap;
};

// A small editor of 400 x 300 laid out the way the real one is: background inserted at the
// front, font loaded, mouse-over and tooltips on, controls in known places.
class PixelTest : public testing::Test
{
protected:
    void SetUp() override
    {
        plugin.SetMakeGraphicsFunc([this] { return MakeGraphics(plugin, CairoGraphicsBackend(), 400, 300, 30, 1.f); });
        plugin.SetLayoutFunc([this](IGraphics& g) { Layout(g); });
        plugin.GetParam(kParamAmount)->StoreValue(50.0);
        plugin.GetParam(kParamHold)->StoreValue(1.0);
        ui = plugin.OpenEditor();
        ASSERT_NE(ui, nullptr);
    }

    void Layout(IGraphics& g)
    {
        g.AttachCornerResizer(EUIResizerMode::Scale, 20.f);
        g.InsertControlAtFront(std::make_unique<IPanelControl>(g.GetBounds(), kBackground));
        fontLoaded = g.LoadFont("Roboto-Regular", "Roboto-Regular.ttf");
        g.EnableMouseOver(true);
        g.EnableTooltips(true);
        const IText rowLabel(15.f, kTextColor, kDefaultFontId, EAlign::Near, EVAlign::Middle);
        g.AttachControl(std::make_unique<ITextControl>(IRECT(10, 10, 118, 36), "Amount", rowLabel));
        slider = g.Attach<IVSliderControl>(IRECT(120, 10, 320, 36), kParamAmount, "", SliderStyle(),
                                           EDirection::Horizontal, 13.f, 4.f);
        slider->SetTooltip("How much of it.");
        const IText readout(15.f, IColor(255, 225, 228, 233), kDefaultFontId, EAlign::Center, EVAlign::Middle);
        valueBox = g.Attach<ICaptionControl>(IRECT(324, 10, 392, 36), kParamAmount, readout, kValueBox, false);
        toggle = g.Attach<IVToggleControl>(IRECT(10, 50, 32, 72), kParamHold, "", SwitchStyle());
        g.Attach<IVToggleControl>(IRECT(140, 50, 162, 72), kParamRaw, "", SwitchStyle());
        button = g.Attach<IVButtonControl>(IRECT(10, 90, 110, 120), nullptr, "Clear", ButtonStyle());
        disabled = g.Attach<IPanelControl>(IRECT(200, 90, 260, 120), kWhite);
        disabled->SetDisabled(true);
        hidden = g.Attach<IPanelControl>(IRECT(300, 90, 360, 120), kWhite);
        hidden->Hide(true);
        logo = g.LoadBitmap("Ringstill.png", 1.f);
        g.Attach<BitmapControl>(IRECT(10, 140, 135, 240.5f), logo);
    }

    ToolkitTestDelegate plugin;
    IGraphics* ui = nullptr;
    bool fontLoaded = false;
    IBitmap logo;
    IVSliderControl* slider = nullptr;
    ICaptionControl* valueBox = nullptr;
    IVToggleControl* toggle = nullptr;
    IVButtonControl* button = nullptr;
    IPanelControl* disabled = nullptr;
    IPanelControl* hidden = nullptr;
    CairoRenderer target;
};

} // namespace

TEST_F(PixelTest, ResourcesComeFromTheModuleFirstThenFromFiles)
{
    EXPECT_TRUE(fontLoaded);
    ASSERT_TRUE(logo.IsValid());
    EXPECT_EQ(logo.W(), 250);
    EXPECT_EQ(logo.H(), 201);
    const std::string path = std::string(RINGSTILL_RESOURCES_DIR) + "/Ringstill.png";
    IGraphics fileOnly(plugin, 100, 100);
    fileOnly.SetRenderer(std::make_unique<CairoRenderer>());
    EXPECT_FALSE(fileOnly.LoadBitmap("Ringstill.png").IsValid()) << "no embedded table, not a path here";
    EXPECT_EQ(fileOnly.LoadBitmap(path.c_str()).W(), 250) << "found as a file path";
    EXPECT_FALSE(ui->LoadBitmap("missing.png").IsValid());
    EXPECT_FALSE(ui->LoadFont("Other", "missing.ttf"));
}

TEST_F(PixelTest, TheEditorDrawsEveryControlInItsColours)
{
    ASSERT_TRUE(DrawOffscreen(*ui, target));
    ASSERT_TRUE(target.WritePng(OutputPath("toolkit-editor.png").c_str()));
    EXPECT_EQ(target.TargetWidth(), 400);
    EXPECT_TRUE(PixelIs(target, 5, 5, kBackground));
    EXPECT_TRUE(PixelIs(target, 150, 80, kBackground));

    // Slider at 0.5: track from x = 133 to 307, handle centre at 220, y = 23.
    EXPECT_TRUE(PixelIs(target, 220, 23, kCyan)) << "handle";
    EXPECT_TRUE(PixelIs(target, 170, 23, kCyan)) << "filled part of the track";
    EXPECT_TRUE(PixelIs(target, 280, 23, kTrack)) << "rest of the track";
    EXPECT_TRUE(PixelIs(target, 280, 14, kBackground)) << "above the track";

    EXPECT_TRUE(PixelIs(target, 327, 13, kValueBox)) << "value box background";
    EXPECT_GT(PixelsDifferentFrom(target, IRECT(324, 10, 392, 36), kValueBox), 20) << "its text";
    EXPECT_GT(PixelsDifferentFrom(target, IRECT(10, 10, 118, 36), kBackground), 40) << "the row label";

    EXPECT_TRUE(PixelIs(target, 21, 61, kCyan)) << "Hold is on";
    EXPECT_TRUE(PixelIs(target, 151, 61, kSwitchBG)) << "the other switch is off";

    EXPECT_TRUE(PixelIs(target, 60, 92, kBackground)) << "the button's fill is transparent";
    EXPECT_GT(PixelsDifferentFrom(target, IRECT(30, 95, 90, 115), kBackground), 30) << "its label";

    // White at a quarter over the background.
    const IColor quarter{255, 38 + (255 - 38) / 4, 45 + (255 - 45) / 4, 56 + (255 - 56) / 4};
    EXPECT_TRUE(PixelIs(target, 230, 105, quarter, 3)) << "disabled draws at blend 0.25";
    EXPECT_TRUE(PixelIs(target, 330, 105, kBackground)) << "hidden draws nothing";

    EXPECT_GT(PixelsDifferentFrom(target, IRECT(10, 140, 135, 240), kBackground), 1000) << "the logo";
    EXPECT_GT(PixelsDifferentFrom(target, IRECT(381, 281, 399, 299), kBackground), 20) << "the corner resizer";
    EXPECT_TRUE(PixelIs(target, 384, 284, kBackground)) << "its triangle leaves the upper left empty";
    EXPECT_FALSE(Near(target.ReadPixel(397, 297), kBackground, 2)) << "and fills the corner";
}

TEST_F(PixelTest, AHiddenBackgroundStillDraws)
{
    ui->GetControl(0)->Hide(true);
    ASSERT_TRUE(DrawOffscreen(*ui, target));
    EXPECT_TRUE(PixelIs(target, 5, 5, kBackground));
}

TEST_F(PixelTest, OnlyTheDirtyAreaIsRedrawn)
{
    ASSERT_TRUE(DrawOffscreen(*ui, target));
    constexpr IColor kMagenta{255, 255, 0, 255};
    ASSERT_TRUE(target.BeginFrame(1.f));
    target.FillRect(kMagenta, IRECT(0, 250, 400, 300));
    target.FillRect(kMagenta, IRECT(120, 10, 320, 36));
    target.EndFrame();
    ASSERT_TRUE(ui->DirtyArea().Empty());
    slider->SetRedraw();
    const IRECT drawn = ui->Draw(target);
    EXPECT_FALSE(drawn.Empty());
    EXPECT_TRUE(PixelIs(target, 220, 23, kCyan)) << "the slider drew again";
    EXPECT_TRUE(PixelIs(target, 125, 12, kBackground)) << "with the background beneath it";
    EXPECT_TRUE(PixelIs(target, 200, 270, kMagenta)) << "the rest was left alone";
}

TEST_F(PixelTest, TheValuePromptAndTheTooltipAreDrawnByTheToolkit)
{
    ui->OnMouseDownEditor(350, 20, IMouseMod(true));
    ui->OnMouseUpEditor(350, 20, IMouseMod(true));
    ASSERT_TRUE(ui->IsTextEntryOpen());
    ASSERT_TRUE(DrawOffscreen(*ui, target));
    target.WritePng(OutputPath("toolkit-text-entry.png").c_str());
    EXPECT_TRUE(PixelIs(target, 327, 13, IText().textEntryBGColor)) << "the field covers the value box";
    EXPECT_GT(PixelsDifferentFrom(target, IRECT(325, 11, 391, 35), IText().textEntryBGColor), 20);
    ui->OnKeyDown(0, 0, IKeyPress("", kVK_ESCAPE));

    ui->OnMouseDownEditor(20, 60, IMouseMod(true)); // Hold off again
    ui->OnMouseUpEditor(20, 60, IMouseMod(true));
    auto* holdBox = ui->Attach<ICaptionControl>(IRECT(40, 50, 100, 72), kParamHold);
    ui->OnMouseDownEditor(50, 60, IMouseMod(true));
    ui->OnMouseUpEditor(50, 60, IMouseMod(true));
    ASSERT_TRUE(ui->IsPopupMenuOpen());
    ASSERT_TRUE(DrawOffscreen(*ui, target));
    target.WritePng(OutputPath("toolkit-popup.png").c_str());
    const IRECT row0 = ui->GetPopupMenu().RowRect(0);
    const IRECT row1 = ui->GetPopupMenu().RowRect(1);
    EXPECT_TRUE(PixelIs(target, int(row1.right) - 3, int(row1.MH()), IColor(255, 246, 246, 248)));
    EXPECT_TRUE(PixelIs(target, int(row0.right) - 3, int(row0.MH()), IColor(255, 52, 120, 210)))
        << "the checked entry is highlighted when the menu opens";
    EXPECT_GT(PixelsDifferentFrom(target, IRECT(row0.left, row0.top, row0.left + 22, row0.bottom),
                                  IColor(255, 52, 120, 210)),
              5)
        << "and carries the tick";
    EXPECT_GT(PixelsDifferentFrom(target, IRECT(row1.left + 22, row1.top, row1.right, row1.bottom),
                                  IColor(255, 246, 246, 248)),
              10)
        << "the other entry's text lies inside its row";
    EXPECT_TRUE(PixelIs(target, int(row1.left) - 8, int(row1.MH()), kBackground)) << "and not left of the menu";
    ui->OnKeyDown(0, 0, IKeyPress("", kVK_ESCAPE));
    (void)holdBox;

    const auto t0 = ui->Now();
    ui->Tick(t0);
    ui->OnMouseOverEditor(200, 20, {});
    ui->Tick(t0 + 1s);
    ASSERT_NE(ui->ShownTooltip(), nullptr);
    ASSERT_TRUE(DrawOffscreen(*ui, target));
    target.WritePng(OutputPath("toolkit-tooltip.png").c_str());
    const IRECT tip = ui->TooltipRECT();
    EXPECT_GT(tip.W(), 60.f) << "sized to its text";
    EXPECT_TRUE(PixelIs(target, int(tip.left) + 2, int(tip.top) + 2, IColor(255, 255, 255, 225), 12));
    EXPECT_GT(PixelsDifferentFrom(target, tip.GetPadded(-3), IColor(255, 255, 255, 225)), 20) << "its text";
    EXPECT_EQ(PixelsDifferentFrom(target, IRECT(tip.left + 1, tip.top + 1, tip.left + 4, tip.bottom - 1),
                                  IColor(255, 255, 255, 225)),
              0)
        << "the text starts inside the padding";
}

TEST_F(PixelTest, AScaledEditorDrawsAtTheScaledSize)
{
    ASSERT_TRUE(ui->Resize(400, 300, 2.f));
    ASSERT_TRUE(WriteSnapshotPng(*ui, OutputPath("toolkit-scale2.png").c_str()));
    ASSERT_TRUE(DrawOffscreen(*ui, target));
    EXPECT_EQ(target.TargetWidth(), 800);
    EXPECT_EQ(target.TargetHeight(), 600);
    EXPECT_TRUE(PixelIs(target, 440, 46, kCyan)) << "the slider handle at twice its coordinates";
    EXPECT_EQ(plugin.EditorWidth(), 800) << "the host window follows";
}
