// The editor through a real effect: layout rectangles, the spectrum's geometry and
// gestures, the bank strip, the idle tick's texts and sliders, meters, the about
// panel, the Reset action, and the pixels of the drawn editor.
#include "editor/AboutPopup.h"
#include "editor/AutoCatchSwitch.h"
#include "editor/BankControl.h"
#include "editor/EditorTags.h"
#include "editor/MeterControl.h"
#include "editor/SpectrumControl.h"
#include "effect/Ringstill.h"
#include "framework/ICaptionControl.h"
#include "framework/IGraphics.h"
#include "framework/ITextControl.h"
#include "framework/IVSliderControl.h"
#include "graphics/CairoBackend.h"
#include "graphics/CairoRenderer.h"
#include "graphics/EmbeddedResources.h"
#include "graphics/OffscreenSnapshot.h"
#include "tests/support/EditorFixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace ringstill {
namespace {

using igraphics::IColor;
using igraphics::IControl;
using igraphics::IMouseMod;
using igraphics::IRECT;

using test::EditorTest;
using test::ExpectRect;
using test::kBlock;

TEST_F(EditorTest, TheLayoutPlacesTheReferenceRectangles)
{
    ExpectRect(ui->GetControlWithTag(kSpectrumTag)->GetRECT(), 10, 10, 652, 180);
    ExpectRect(ui->GetControlWithTag(kInputMeterTag)->GetRECT(), 658, 10, 691, 180);
    ExpectRect(ui->GetControlWithTag(kOutputMeterTag)->GetRECT(), 697, 10, 730, 180);
    ExpectRect(ui->GetControlWithTag(kBankTag)->GetRECT(), 10, 186, 730, 208);
    ExpectRect(ui->GetControlWithTag(kReduceTag)->GetRECT(), 120, 234, 376.2f, 258);
    ExpectRect(ui->GetControlWithTag(kReduceValueTag)->GetRECT(), 384.2f, 234, 448.2f, 258);
    ExpectRect(ui->GetControlWithTag(kActiveCountTag)->GetRECT(), 10, 685, 730, 705);
    ExpectRect(ui->GetControlWithTag(kAboutTag)->GetRECT(), 0, 0, 740, 726);
    EXPECT_TRUE(HasRect(IRECT(10, 315, 110, 345)));        // Clear
    EXPECT_TRUE(HasRect(IRECT(120, 373, 658, 399)));       // Sensitivity slider
    EXPECT_TRUE(HasRect(IRECT(662, 373, 730, 399)));       // its value box
    EXPECT_TRUE(HasRect(IRECT(120, 603, 658, 629)));       // Gain slider
    EXPECT_TRUE(HasRect(IRECT(630, 633, 730, 663)));       // Reset
    EXPECT_TRUE(HasRect(IRECT(670, 696, 732, 718)));       // About
    EXPECT_TRUE(HasRect(IRECT(521.1f, 214, 669.1f, 333))); // logo
    EXPECT_TRUE(HasRect(IRECT(10, 634, 32, 656)));         // Hold
    EXPECT_TRUE(ui->GetControlWithTag(kAboutTag)->IsHidden());
    EXPECT_EQ(TextOf(kActiveCountTag), "Active filters: 0");
}

TEST_F(EditorTest, TheSpectrumGeometryMatchesTheWorkedExample)
{
    auto* s = Tagged<SpectrumControl>(kSpectrumTag);
    EXPECT_NEAR(s->XOfFrequency(1000.f), 356.59f, 0.01f);
    EXPECT_NEAR(s->XOfFrequency(3000.f), 453.92f, 0.01f);
    EXPECT_NEAR(s->YOfDb(-18.f), 85.21f, 0.01f);
    EXPECT_NEAR(s->YOfDb(-12.f), 63.72f, 0.01f);
    const float lines[] = {20.74f, 56.56f, 92.37f, 128.19f, 164.f};
    for (int i = 0; i < 5; ++i)
        EXPECT_NEAR(s->YOfDb(static_cast<float>(-10 * i)), lines[i], 0.01f);
    EXPECT_NEAR(s->XOfFrequency(100.f) - 14.f, 138.59f, 0.01f);
    EXPECT_NEAR(s->FrequencyOfX(356.59f), 1000.f, 0.5f);
    EXPECT_FLOAT_EQ(s->DbOfY(0.f), 3.f);
    EXPECT_FLOAT_EQ(s->DbOfY(500.f), -40.f);
}

TEST_F(EditorTest, ANotchResponseCutsItsDepthAtItsCentre)
{
    EXPECT_NEAR(NotchResponseDb(1000.0, 1000.0, 25.0, -18.0, 48000.0), -18.0f, 0.01f);
    EXPECT_NEAR(NotchResponseDb(100.0, 1000.0, 25.0, -18.0, 48000.0), 0.0f, 0.05f);
    EXPECT_EQ(NotchResponseDb(1000.0, 0.0, 25.0, -18.0, 48000.0), 0.0f);
}

TEST_F(EditorTest, FindHandleReachesLessThanSixteenPixelsAndTiesGoToTheLowerSlot)
{
    AddManual(1000.f);
    AddManual(1000.f);
    Draw();
    auto* s = Tagged<SpectrumControl>(kSpectrumTag);
    const float cx = s->XOfFrequency(1000.f), cy = s->YOfDb(-18.f);
    EXPECT_EQ(s->FindHandle(cx + 15.9f, cy), 0);
    EXPECT_EQ(s->FindHandle(cx + 16.f, cy), -1);
    EXPECT_EQ(s->FindHandle(cx, cy), 0);
}

TEST_F(EditorTest, PressSelectsAndDragSendsSet)
{
    AddManual(1000.f);
    Draw();
    auto* s = Tagged<SpectrumControl>(kSpectrumTag);
    s->OnMouseDown(357.f, 85.f, left);
    EXPECT_EQ(fx.Feed().selectedNotch.load(), 0);
    s->OnMouseDrag(453.92f, 63.72f, 0, 0, left);
    const NotchCommand c = LastCommand();
    EXPECT_EQ(c.type, static_cast<int>(NotchCommandType::Set));
    EXPECT_NEAR(c.a, 3000.f, 1.f);
    EXPECT_NEAR(c.b, -12.f, 0.01f);
    s->OnMouseDown(100.f, 150.f, left);
    EXPECT_EQ(fx.Feed().selectedNotch.load(), -1);
    const int before = Pending();
    s->OnMouseDrag(200.f, 100.f, 0, 0, left);
    EXPECT_EQ(Pending(), before);
}

TEST_F(EditorTest, DoubleClickAddsOnlyAwayFromHandles)
{
    AddManual(1000.f);
    Draw();
    auto* s = Tagged<SpectrumControl>(kSpectrumTag);
    s->OnMouseDblClick(360.f, 85.f, left);
    EXPECT_EQ(Pending(), 0);
    s->OnMouseDblClick(453.92f, 20.f, left);
    ASSERT_EQ(Pending(), 1);
    const NotchCommand c = LastCommand();
    EXPECT_EQ(c.type, static_cast<int>(NotchCommandType::Add));
    EXPECT_NEAR(c.a, 3000.f, 1.f);
    EXPECT_EQ(c.b, -18.f);
    EXPECT_EQ(c.c, 25.f);
}

TEST_F(EditorTest, WheelScalesTheSelectedSlotsWidthWithinItsLimits)
{
    auto* s = Tagged<SpectrumControl>(kSpectrumTag);
    fx.Feed().selectedNotch.exchange(4); // a Free slot with the default Q 25
    s->OnMouseWheel(0, 0, left, 1.f);
    EXPECT_NEAR(LastCommand().a, 28.f, 1e-4f);
    EXPECT_EQ(LastCommand().slotIndex, 4);
    s->OnMouseWheel(0, 0, left, -1.f);
    EXPECT_NEAR(LastCommand().a, 22.25f, 1e-4f);
    AddManual(1000.f, -18.f, 59.f);
    AddManual(2000.f, -18.f, 0.55f);
    Draw();
    fx.Feed().selectedNotch.exchange(0);
    s->OnMouseWheel(0, 0, left, 1.f);
    EXPECT_FLOAT_EQ(LastCommand().a, 60.f);
    fx.Feed().selectedNotch.exchange(1);
    s->OnMouseWheel(0, 0, left, -1.f);
    EXPECT_FLOAT_EQ(LastCommand().a, 0.5f);
    fx.Feed().selectedNotch.exchange(-1);
    const int before = Pending();
    s->OnMouseWheel(0, 0, left, 1.f);
    EXPECT_EQ(Pending(), before);
}

TEST_F(EditorTest, TheBankStripSelectsTheCellUnderThePress)
{
    auto* b = Tagged<BankControl>(kBankTag);
    ExpectRect(b->CellRect(0, 20), 11, 187, 45, 207);
    ExpectRect(b->CellRect(1, 20), 47, 187, 81, 207);
    ExpectRect(b->CellRect(19, 20), 695, 187, 729, 207);
    b->OnMouseDown(100.f, 190.f, left);
    EXPECT_EQ(fx.Feed().selectedNotch.load(), 2);
    b->OnMouseDown(729.9f, 190.f, left);
    EXPECT_EQ(fx.Feed().selectedNotch.load(), 19);
    b->OnMouseDown(46.f, 190.f, left); // the gap between cells 1 and 2
    EXPECT_EQ(fx.Feed().selectedNotch.load(), 1);
}

TEST_F(EditorTest, IdleShowsNoSelectionThenTheSelectedManualNotch)
{
    fx.IdleUpdate();
    EXPECT_EQ(TextOf(kFilterTextTag), "Filter: none selected");
    EXPECT_TRUE(ui->GetControlWithTag(kReduceTag)->IsDisabled());
    EXPECT_EQ(TextOf(kReduceValueTag), "--");
    EXPECT_EQ(TextOf(kFrequencyValueTag), "--");
    EXPECT_EQ(TextOf(kBandwidthValueTag), "--");

    AddManual(1000.f);
    fx.Feed().selectedNotch.exchange(0);
    fx.IdleUpdate();
    EXPECT_EQ(TextOf(kFilterTextTag), "Filter 1  (manual)");
    EXPECT_EQ(TextOf(kActiveCountTag), "Active filters: 1");
    EXPECT_NEAR(ui->GetControlWithTag(kReduceTag)->ControlValue(), 0.55, 1e-5);
    EXPECT_NEAR(ui->GetControlWithTag(kFrequencyTag)->ControlValue(), 0.56632, 1e-5);
    EXPECT_NEAR(ui->GetControlWithTag(kBandwidthTag)->ControlValue(), 0.81713, 1e-5);
    EXPECT_FALSE(ui->GetControlWithTag(kReduceTag)->IsDisabled());
    EXPECT_EQ(TextOf(kReduceValueTag), "-18.0 dB");
    EXPECT_EQ(TextOf(kFrequencyValueTag), "1.00 kHz");
    EXPECT_EQ(TextOf(kBandwidthValueTag), "25.0 Q");
    EXPECT_EQ(Pending(), 0); // positioning the sliders sends nothing
}

TEST_F(EditorTest, ReadoutsFollowPrintfRoundingAndAutoNotchesSayAuto)
{
    {
        int lock = 0;
        while (fx.Feed().viewLock.exchange(1) != 0)
            ++lock;
        fx.Feed().notchViews[2] = NotchView{1, 0, {0, 0}, 999.6f, -12.f, 25.f};
        fx.Feed().notchViews[3] = NotchView{1, 0, {0, 0}, 12345.f, -12.f, 25.f};
        fx.Feed().viewLock.store(0);
    }
    fx.Feed().selectedNotch.exchange(2);
    fx.IdleUpdate();
    EXPECT_EQ(TextOf(kFilterTextTag), "Filter 3  (auto)");
    EXPECT_EQ(TextOf(kFrequencyValueTag), "1000 Hz");
    fx.Feed().selectedNotch.exchange(3);
    fx.IdleUpdate();
    EXPECT_EQ(TextOf(kFrequencyValueTag), "12.35 kHz");
}

TEST(EditorMeter, ValueTexts)
{
    char text[32];
    FormatMeterValue(-100.f, text, sizeof text);
    EXPECT_STREQ(text, "-inf");
    FormatMeterValue(20.f * std::log10(0.001f), text, sizeof text);
    EXPECT_STREQ(text, "-inf");
    FormatMeterValue(20.f * std::log10(0.0011f), text, sizeof text);
    EXPECT_STREQ(text, "-59");
    FormatMeterValue(0.f, text, sizeof text);
    EXPECT_STREQ(text, "0");
    FormatMeterValue(20.f * std::log10(1.5f), text, sizeof text);
    EXPECT_STREQ(text, "3");
    FormatMeterValue(-6.02f, text, sizeof text);
    EXPECT_STREQ(text, "-6");
}

TEST_F(EditorTest, MetersFillTheirSegments)
{
    auto* m = Tagged<MeterControl>(kInputMeterTag);
    ExpectRect(m->BarRect(), 661, 13, 688, 149);
    EXPECT_NEAR(m->YOfDb(0.f), 25.36f, 0.01f);
    EXPECT_NEAR(m->YOfDb(20.f * std::log10(0.5f)), 37.77f, 0.02f);
    fx.Feed().inputPeak.exchange(1.5f);
    fx.Feed().outputPeak.exchange(0.0011f);
    Draw();
    EXPECT_TRUE(PixelNear(674, 140, IColor(255, 60, 200, 60)));
    EXPECT_TRUE(PixelNear(674, 30, IColor(255, 235, 235, 40)));
    EXPECT_TRUE(PixelNear(674, 23, IColor(255, 235, 40, 40)));
    EXPECT_TRUE(PixelNear(713, 148, IColor(255, 60, 200, 60), 30)); // the thin green segment of -59 dB
    WritePng("meters.png");
}

TEST_F(EditorTest, TheAboutPanelHitTestsItsLinksAndCloses)
{
    auto* about = Tagged<AboutPopup>(kAboutTag);
    EXPECT_EQ(CopyrightWithSign(kVendorCopyright), "Copyright \xC2\xA9 2026 Tollent Audio. All rights reserved.");
    EXPECT_EQ(ShownWebAddress(kVendorWebAddress), "www.tollent.audio");
    about->Hide(false);
    Draw();
    ExpectRect(about->PanelRect(), 110, 195, 630, 531);
    ExpectRect(about->CloseRect(), 502, 481, 606, 513);
    EXPECT_TRUE(PixelNear(5, 5, IColor(255, 14, 17, 22), 6)); // the veil over the background
    WritePng("about.png");
    const IRECT web = about->WebLinkRect();
    about->OnMouseDown(web.left + 2.f, web.top + 18.f, left);
    EXPECT_FALSE(about->IsHidden());
    about->OnMouseDown(web.right + 1.f, web.top + 10.f, left); // 5 px past the end of the text
    EXPECT_FALSE(about->IsHidden());
    about->OnMouseDown(300.f, 450.f, left);
    EXPECT_FALSE(about->IsHidden());
    about->OnMouseDown(50.f, 50.f, left);
    EXPECT_TRUE(about->IsHidden());
}

TEST_F(EditorTest, ResetWhileBypassedQueuesRemovalsUntilUnbypassed)
{
    AddManual(1000.f);
    fx.GetParam(kGain)->StoreValue(6.0);
    fx.GetParam(kBypass)->StoreValue(1.0);
    Process();
    RestoreDefaultsAndClear(fx, fx.Feed());
    EXPECT_EQ(fx.GetParam(kGain)->CurrentValue(), 0.0);
    EXPECT_EQ(fx.GetParam(kBypass)->CurrentValue(), 0.0);
    EXPECT_EQ(Pending(), 20);
    EXPECT_EQ(fx.Feed().selectedNotch.load(), -1);
    EXPECT_EQ(ReadSelectedView(fx.Feed(), 0).active, 1);
    fx.GetParam(kBypass)->StoreValue(1.0);
    Process();
    EXPECT_EQ(Pending(), 20);
    fx.GetParam(kBypass)->StoreValue(0.0);
    Process();
    EXPECT_EQ(Pending(), 0);
}

TEST_F(EditorTest, AValueEnteredInTheBoxMovesTheSliderOfItsRow)
{
    fx.GetParam(kGain)->StoreValue(12.0);
    fx.SendParamToEditor(kGain, fx.GetParam(kGain)->CurrentNormalised(), true);
    double sliderValue = -1.0;
    ui->ForAllControls([&](IControl& c) {
        if (dynamic_cast<igraphics::IVSliderControl*>(&c) != nullptr && c.GetParamIdx() == kGain)
            sliderValue = c.ControlValue();
    });
    EXPECT_NEAR(sliderValue, 0.75, 1e-9);
}

TEST_F(EditorTest, TheAutoCatchSwitchPicksTheModeAndShowsOneTheHostRestored)
{
    auto* mode = Tagged<AutoCatchSwitch>(kAutoCatchModeTag);
    ASSERT_NE(mode, nullptr);
    const IRECT r = mode->GetRECT();
    EXPECT_FLOAT_EQ(r.right, 730.f) << "at the right end of the heading line";
    EXPECT_TRUE(HasRect(IRECT(10.f, r.top, 730.f, r.bottom))) << "the Auto Catch heading shares its line";
    ui->ForAllControls([&](IControl& c) {
        if (&c != mode && c.GetRECT().H() < 100.f && c.GetRECT().W() < 700.f)
        {
            EXPECT_FALSE(c.GetRECT().Intersects(r.GetPadded(-1.f))) << "it moves no control";
        }
    });
    EXPECT_NE(std::string(mode->GetTooltip()).find("Adaptive"), std::string::npos);

    const IRECT adaptive = mode->HalfRect(AutoCatchMode::Adaptive);
    const IRECT classic = mode->HalfRect(AutoCatchMode::Classic);
    Click(adaptive.MW(), adaptive.MH());
    EXPECT_EQ(fx.Feed().autoCatchMode.load(), 1);
    Click(classic.MW(), classic.MH());
    EXPECT_EQ(fx.Feed().autoCatchMode.load(), 0);

    fx.Feed().autoCatchMode.store(1); // a state restored by the host
    fx.IdleUpdate();
    Draw();
    WritePng("auto-catch-adaptive.png");
    EXPECT_TRUE(PixelNear(int(adaptive.left + 6.f), int(adaptive.MH()), IColor(255, 64, 190, 214)));
    EXPECT_FALSE(PixelNear(int(classic.left + 6.f), int(classic.MH()), IColor(255, 64, 190, 214)));
}

TEST_F(EditorTest, TheDrawnEditorShowsItsColoursAndHandles)
{
    AddManual(1000.f);
    {
        while (fx.Feed().viewLock.exchange(1) != 0) {}
        fx.Feed().notchViews[1] = NotchView{1, 0, {0, 0}, 3000.f, -12.f, 25.f};
        fx.Feed().viewLock.store(0);
    }
    fx.Feed().selectedNotch.exchange(1);
    fx.IdleUpdate();
    Draw();
    WritePng("editor.png");
    EXPECT_TRUE(PixelNear(5, 5, IColor(255, 38, 45, 56)));
    EXPECT_TRUE(PixelNear(700, 385, IColor(255, 25, 30, 39)));
    EXPECT_TRUE(PixelNear(357, 85, IColor(255, 0, 150, 235)));
    EXPECT_TRUE(PixelNear(454, 64, IColor(255, 255, 200, 0)));
    EXPECT_TRUE(PixelNear(454 + 7, 64, IColor(255, 255, 255, 255), 40)); // the selection ring
    EXPECT_TRUE(PixelNear(14, 190, IColor(255, 0, 150, 235)));           // bank cell 1: manual
    EXPECT_TRUE(PixelNear(50, 190, IColor(255, 255, 200, 0)));           // cell 2: auto
}

} // namespace
} // namespace ringstill

namespace ringstill {
namespace {

// A live signal under two notches: the spectrum is drawn normalised to its loudest bin.
TEST_F(EditorTest, ALiveSpectrumIsDrawnAboveTheFloor)
{
    for (int b = 0; b < 40; ++b)
    {
        for (int i = 0; i < kBlock; ++i)
        {
            const double t = static_cast<double>(b * kBlock + i) / 48000.0;
            in[static_cast<std::size_t>(i)] = 0.05 * std::sin(6.283185307 * 220.0 * t)
                                              + 0.02 * std::sin(6.283185307 * 1500.0 * t)
                                              + 0.01 * std::sin(6.283185307 * 6000.0 * t);
        }
        Process();
    }
    AddManual(1000.f);
    AddManual(3500.f, -24.f, 12.f);
    fx.Feed().selectedNotch.exchange(1);
    fx.IdleUpdate();
    Draw();
    WritePng("editor-live.png");
    auto* s = Tagged<SpectrumControl>(kSpectrumTag);
    // The loudest bin sits at 0 dB: the outline colour appears near the 220 Hz column's top.
    const int x = static_cast<int>(std::lround(s->XOfFrequency(220.f)));
    int outline = 0;
    for (int y = 15; y < 40; ++y)
        outline += PixelNear(x, y, IColor(255, 47, 208, 230), 40) ? 1 : 0;
    EXPECT_GT(outline, 0);
    EXPECT_TRUE(PixelNear(5, 5, IColor(255, 38, 45, 56)));
}

} // namespace
} // namespace ringstill

namespace ringstill {
namespace {

// The spectrum keeps its grid and its notches' curve between frames: after any change, its
// pixels are those of a spectrum control that never drew before.
enum class SpectrumChange
{
    NotchMoved,
    NotchWidened,
    NotchDeepened,
    NotchRemoved,
    NotchAdded,
    RateChanged,
    Rescaled,
};

class SpectrumCache : public EditorTest, public testing::WithParamInterface<SpectrumChange>
{
protected:
    void Apply(SpectrumChange change)
    {
        switch (change)
        {
        case SpectrumChange::NotchMoved:
            PushNotchCommand(fx.Feed(), NotchCommandType::Set, 0, 1500.f, -18.f, 0.f);
            break;
        case SpectrumChange::NotchWidened:
            PushNotchCommand(fx.Feed(), NotchCommandType::SetWidth, 1, 4.f, 0.f, 0.f);
            break;
        case SpectrumChange::NotchDeepened:
            PushNotchCommand(fx.Feed(), NotchCommandType::Set, 1, 3500.f, -36.f, 0.f);
            break;
        case SpectrumChange::NotchRemoved:
            PushNotchCommand(fx.Feed(), NotchCommandType::Remove, 0, 0.f, 0.f, 0.f);
            break;
        case SpectrumChange::NotchAdded:
            PushNotchCommand(fx.Feed(), NotchCommandType::Add, 0, 250.f, -30.f, 6.f);
            break;
        case SpectrumChange::RateChanged:
            Prepare(32000.0, 1);
            PushNotchCommand(fx.Feed(), NotchCommandType::Add, 0, 1000.f, -18.f, 25.f);
            break;
        case SpectrumChange::Rescaled:
            ui->SetScreenScale(1.5f);
            break;
        }
        Process();
    }

    // The spectrum's pixels as the editor drew them, against a new control's drawn alone.
    testing::AssertionResult SameAsAFreshSpectrum()
    {
        const IRECT rect = Tagged(kSpectrumTag)->GetRECT();
        const float scale = ui->GetTotalScale();
        SpectrumControl fresh(rect, fx.Feed());
        igraphics::CairoRenderer alone;
        const igraphics::ResourceBytes font = igraphics::FindEmbeddedResource(kFontFile);
        if (!alone.LoadFont(kFontName, font.data, font.size) ||
            !alone.CreateOffscreen(ui->PixelWidth(), ui->PixelHeight()) || !alone.BeginFrame(scale))
            return testing::AssertionFailure() << "no renderer";
        fresh.Draw(alone);
        alone.EndFrame();
        int differ = 0;
        for (int y = static_cast<int>(rect.top * scale); y < static_cast<int>(rect.bottom * scale); ++y)
            for (int x = static_cast<int>(rect.left * scale); x < static_cast<int>(rect.right * scale); ++x)
                differ += target.ReadPixel(x, y) != alone.ReadPixel(x, y) ? 1 : 0;
        if (differ > 0)
            return testing::AssertionFailure() << differ << " pixels differ";
        return testing::AssertionSuccess();
    }
};

TEST_P(SpectrumCache, AfterAChangeTheSpectrumIsDrawnAsNew)
{
    AddManual(1000.f);
    AddManual(3500.f, -24.f, 12.f);
    fx.IdleUpdate();
    Draw();
    Draw(); // from the kept layers
    ASSERT_TRUE(SameAsAFreshSpectrum());
    Apply(GetParam());
    fx.IdleUpdate();
    Draw();
    EXPECT_TRUE(SameAsAFreshSpectrum());
}

std::string ChangeName(const testing::TestParamInfo<SpectrumChange>& info)
{
    static const char* const kNames[] = {"NotchMoved", "NotchWidened", "NotchDeepened", "NotchRemoved",
                                         "NotchAdded", "RateChanged",  "Rescaled"};
    return kNames[static_cast<int>(info.param)];
}

INSTANTIATE_TEST_SUITE_P(Changes, SpectrumCache,
                         testing::Values(SpectrumChange::NotchMoved, SpectrumChange::NotchWidened,
                                         SpectrumChange::NotchDeepened, SpectrumChange::NotchRemoved,
                                         SpectrumChange::NotchAdded, SpectrumChange::RateChanged,
                                         SpectrumChange::Rescaled),
                         ChangeName);

} // namespace
} // namespace ringstill
