// How the editor behaves for a user, through the context's own mouse routing where a
// person would act: which controls take the mouse and show tooltips, the spectrum at
// other sample rates, when the selected-notch sliders and readouts follow the notch,
// a selected free slot, closing and reopening the editor, the notch sliders' commands,
// a DSP reset, the about panel, and the drawn live spectrum.
#include "editor/AboutPopup.h"
#include "editor/BankControl.h"
#include "editor/MeterControl.h"
#include "editor/SpectrumControl.h"
#include "framework/ICaptionControl.h"
#include "tests/support/EditorFixture.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace ringstill {
namespace {

using igraphics::IColor;
using igraphics::IControl;
using igraphics::ITextControl;
using test::EditorTest;
using test::ExpectRect;
using test::kBlock;
using test::Over;

constexpr IColor kEditorBackground{255, 38, 45, 56};
constexpr IColor kSpectrumBackground{255, 11, 15, 20};
constexpr IColor kManualHandle{255, 0, 150, 235};
constexpr IColor kWhite{255, 255, 255, 255};
constexpr IColor kOutline{255, 47, 208, 230};
constexpr IColor kSpectrumFill{64, 23, 176, 196};
constexpr IColor kVeil{200, 12, 15, 20};
constexpr IColor kPanelFill{255, 40, 47, 60};
constexpr IColor kFreeCell{128, 90, 90, 90};

// Where the spectrum draws a frequency at 48 kHz and above in the reference rectangle.
float PlotX(float f)
{
    return 10.0f + std::log(f / 20.0f) / std::log(1000.0f) * 612.0f;
}

int Brightness(const IColor& c)
{
    return c.r + c.g + c.b;
}

// --- mouse routing and tooltips ---------------------------------------------------------------

TEST_F(EditorTest, TextsIgnoreTheMouseWhileTheValueBoxesTakeIt)
{
    int texts = 0, boxes = 0;
    ui->ForAllControls([&](IControl& c) {
        if (dynamic_cast<igraphics::ICaptionControl*>(&c) != nullptr)
        {
            ++boxes;
            EXPECT_FALSE(c.GetIgnoreMouse());
        }
        else if (dynamic_cast<ITextControl*>(&c) != nullptr)
        {
            ++texts;
            EXPECT_TRUE(c.GetIgnoreMouse()) << static_cast<const ITextControl&>(c).GetText();
        }
    });
    EXPECT_EQ(boxes, 8);
    EXPECT_GE(texts, 20);
    EXPECT_NE(dynamic_cast<igraphics::ICaptionControl*>(ui->GetMouseControl(690.f, 386.f)), nullptr);
}

TEST_F(EditorTest, OnlyTheControlsCarryTooltipsAndTheTextsBesideThemNone)
{
    struct Spot
    {
        float x, y;
        const char* tooltip;
    };
    const Spot withTips[] = {
        {300, 100,
         "Live spectrum with the notch responses. Drag a handle to move it, mouse-wheel to change width, "
         "double-click empty space to add."},
        {300, 197, "Notch bank (up to 20). Gold = auto, blue = manual, grey = free. Click to select."},
        {200, 246, "Selected notch depth (dB)."},
        {200, 273, "Selected notch frequency (Hz)."},
        {200, 300, "Selected notch width."},
        {300, 386, "How readily the detector reacts to a rising tone."},
        {300, 616, "Makeup gain (dB)."},
        {21, 645, "Freeze the current notches."},
        {151, 645, "Bypass the whole plugin (audio passes through untouched)."},
        {60, 330, "Clear the selected notch."},
        {680, 648, "Restore defaults and clear every notch."},
        {700, 707, "About Ringstill, copyright and license"},
    };
    for (const Spot& s : withTips)
    {
        IControl* under = ui->GetMouseControl(s.x, s.y);
        ASSERT_NE(under, nullptr) << s.x << ", " << s.y;
        EXPECT_STREQ(under->GetTooltip(), s.tooltip) << s.x << ", " << s.y;
    }
    // Row labels, readouts, headings, hint, version, explanation and status line.
    const Spot textsOnly[] = {{50, 246, ""},  {400, 246, ""}, {300, 223, ""}, {300, 331, ""},
                              {700, 342, ""}, {300, 362, ""}, {50, 386, ""},  {60, 645, ""},
                              {300, 674, ""}, {300, 695, ""}};
    for (const Spot& s : textsOnly)
    {
        IControl* under = ui->GetMouseControl(s.x, s.y);
        EXPECT_EQ(dynamic_cast<ITextControl*>(under), nullptr) << s.x << ", " << s.y;
        EXPECT_STREQ(under != nullptr ? under->GetTooltip() : "", "") << s.x << ", " << s.y;
    }
}

TEST_F(EditorTest, RestingOnASliderShowsItsTooltipAndOnItsLabelNone)
{
    using namespace std::chrono_literals;
    const auto t0 = ui->Now();
    ui->Tick(t0);
    ui->OnMouseOverEditor(300.f, 386.f, igraphics::IMouseMod());
    ui->Tick(t0 + 300ms);
    EXPECT_EQ(ui->ShownTooltip(), nullptr) << "not before the delay";
    ui->Tick(t0 + 700ms);
    ASSERT_NE(ui->ShownTooltip(), nullptr);
    EXPECT_STREQ(ui->ShownTooltip(), "How readily the detector reacts to a rising tone.");
    const igraphics::IRECT tip = ui->TooltipRECT();
    EXPECT_GT(tip.top, 386.f) << "below the pointer";
    Draw();
    WritePng("behaviour-tooltip.png");
    EXPECT_TRUE(PixelNear(static_cast<int>(tip.left) + 2, static_cast<int>(tip.top) + 2, IColor(255, 255, 255, 225)));

    ui->OnMouseOverEditor(40.f, 386.f, igraphics::IMouseMod()); // the "Sensitivity" label
    EXPECT_EQ(ui->ShownTooltip(), nullptr);
    ui->Tick(t0 + 3000ms);
    EXPECT_EQ(ui->ShownTooltip(), nullptr);
    Draw();
    EXPECT_FALSE(PixelNear(static_cast<int>(tip.left) + 2, static_cast<int>(tip.top) + 2, IColor(255, 255, 255, 225)));
}

TEST_F(EditorTest, ATooltipNearTheEdgesStaysInsideTheEditor)
{
    using namespace std::chrono_literals;
    const auto t0 = ui->Now();
    ui->Tick(t0);
    ui->OnMouseOverEditor(690.f, 700.f, igraphics::IMouseMod()); // "About", left of the corner resizer
    ui->Tick(t0 + 700ms);
    ASSERT_STREQ(ui->ShownTooltip(), "About Ringstill, copyright and license");
    const igraphics::IRECT tip = ui->TooltipRECT();
    EXPECT_GE(tip.left, 0.f);
    EXPECT_GE(tip.top, 0.f);
    EXPECT_LE(tip.right, 740.f);
    EXPECT_LE(tip.bottom, 726.f);
    EXPECT_LT(tip.bottom, 700.f) << "above the pointer when there is no room below";
    Draw();
    WritePng("behaviour-tooltip-corner.png");
    EXPECT_TRUE(PixelNear(static_cast<int>(tip.left) + 2, static_cast<int>(tip.top) + 2, IColor(255, 255, 255, 225)));
}

TEST_F(EditorTest, TheShownAboutPanelHidesTheTooltipsBeneathIt)
{
    using namespace std::chrono_literals;
    Click(700.f, 707.f);
    Draw();
    const auto t0 = ui->Now();
    ui->Tick(t0);
    ui->OnMouseOverEditor(300.f, 386.f, igraphics::IMouseMod()); // the "Sensitivity" slider, under the panel
    ui->Tick(t0 + 1000ms);
    EXPECT_EQ(ui->GetMouseOverControl(), Tagged(kAboutTag));
    EXPECT_EQ(ui->ShownTooltip(), nullptr);
    ui->OnMouseOverEditor(300.f, 100.f, igraphics::IMouseMod()); // the spectrum, under the veil only
    ui->Tick(t0 + 2000ms);
    EXPECT_EQ(ui->ShownTooltip(), nullptr);
}

// --- the spectrum at other sample rates ---------------------------------------------------------

TEST_F(EditorTest, AtThirtyTwoKilohertzTheSpectrumTopsAtSixteen)
{
    auto* s = Tagged<SpectrumControl>(kSpectrumTag);
    const IColor gridAt48 = target.ReadPixel(621, 100);
    EXPECT_GT(Brightness(gridAt48), Brightness(kSpectrumBackground) + 8) << "the 20 kHz line at 48 kHz";

    Prepare(32000.0, 1);
    Process();
    PublishView(0, NotchView{1, 1, {0, 0}, 18000.f, -18.f, 25.f});
    Draw();
    WritePng("behaviour-spectrum-32k.png");
    EXPECT_FLOAT_EQ(s->TopFrequency(), 16000.f);
    EXPECT_FLOAT_EQ(s->XOfFrequency(16000.f), 622.f);
    EXPECT_FLOAT_EQ(s->XOfFrequency(18000.f), 622.f);
    EXPECT_TRUE(PixelNear(621, 100, kSpectrumBackground, 3)) << "no 20 kHz line";
    EXPECT_TRUE(PixelNear(622, 100, kSpectrumBackground, 3));
    EXPECT_TRUE(PixelNear(622, 85, kManualHandle, 8)) << "the 18 kHz handle on the right edge";
    // "10k" is still written under its line.
    const float x10k = s->XOfFrequency(10000.f);
    EXPECT_NEAR(x10k, 10.f + std::log(500.f) / std::log(800.f) * 612.f, 0.01f);
    int lit = 0;
    for (int y = 166; y < 180; ++y)
        for (int x = static_cast<int>(x10k) - 14; x < static_cast<int>(x10k) + 16; ++x)
            lit += Brightness(target.ReadPixel(x, y)) > Brightness(kSpectrumBackground) + 60 ? 1 : 0;
    EXPECT_GT(lit, 5);
}

TEST_F(EditorTest, AtNinetySixKilohertzTheSpectrumTopsAtTwentyAndHigherNotchesSitOnTheEdge)
{
    Prepare(96000.0, 1);
    AddManual(30000.f);
    ASSERT_EQ(ReadSelectedView(fx.Feed(), 0).active, 1);
    EXPECT_FLOAT_EQ(ReadSelectedView(fx.Feed(), 0).frequency, 30000.f);
    Draw();
    WritePng("behaviour-spectrum-96k.png");
    auto* s = Tagged<SpectrumControl>(kSpectrumTag);
    EXPECT_FLOAT_EQ(s->TopFrequency(), 20000.f);
    EXPECT_FLOAT_EQ(s->XOfFrequency(30000.f), 622.f);
    EXPECT_NEAR(s->XOfFrequency(1000.f), 356.59f, 0.01f) << "the same axis as at 48 kHz";
    EXPECT_TRUE(PixelNear(622, 85, kManualHandle, 8));
    EXPECT_EQ(s->FindHandle(622.f, 85.21f), 0);
}

// --- the selected notch's sliders and readouts --------------------------------------------------

TEST_F(EditorTest, SlidersFollowOnlyAChangeOfSelectionWhileReadoutsFollowEveryTick)
{
    AddManual(1000.f);
    Draw();
    Click(356.59f, 85.21f); // the handle
    ASSERT_EQ(fx.Feed().selectedNotch.load(), 0);
    fx.IdleUpdate();
    EXPECT_NEAR(Tagged(kReduceTag)->ControlValue(), 0.55, 1e-5);

    // The user drags the handle: the notch moves, the sliders stay where they were.
    ui->OnMouseDownEditor(356.59f, 85.21f, left);
    ui->OnMouseDragEditor(PlotX(3000.f), 63.72f, 0, 0, left);
    ui->OnMouseUpEditor(PlotX(3000.f), 63.72f, left);
    Process();
    fx.IdleUpdate();
    EXPECT_NEAR(ReadSelectedView(fx.Feed(), 0).frequency, 3000.f, 1.f);
    EXPECT_NEAR(Tagged(kReduceTag)->ControlValue(), 0.55, 1e-5);
    EXPECT_NEAR(Tagged(kFrequencyTag)->ControlValue(), 0.56632, 1e-5);
    EXPECT_NEAR(Tagged(kBandwidthTag)->ControlValue(), 0.81713, 1e-5);
    EXPECT_EQ(TextOf(kFilterTextTag), "Filter 1  (manual)");
    EXPECT_EQ(TextOf(kReduceValueTag), "-12.0 dB");
    EXPECT_EQ(TextOf(kFrequencyValueTag), "3.00 kHz");
    EXPECT_EQ(TextOf(kBandwidthValueTag), "25.0 Q");

    // A change of selection (through the bank strip) moves them to the new notch ...
    AddManual(5000.f, -6.f, 10.f);
    Draw();
    Click(64.f, 197.f);
    ASSERT_EQ(fx.Feed().selectedNotch.load(), 1);
    fx.IdleUpdate();
    EXPECT_NEAR(Tagged(kReduceTag)->ControlValue(), 0.85, 1e-5);
    EXPECT_NEAR(Tagged(kFrequencyTag)->ControlValue(), 0.799313, 1e-5);
    EXPECT_NEAR(Tagged(kBandwidthTag)->ControlValue(), 0.625741, 1e-5);
    EXPECT_EQ(TextOf(kFilterTextTag), "Filter 2  (manual)");
    // ... and back, now to where the first notch was dragged.
    Click(28.f, 197.f);
    fx.IdleUpdate();
    EXPECT_NEAR(Tagged(kReduceTag)->ControlValue(), 0.7, 1e-5);
    EXPECT_NEAR(Tagged(kFrequencyTag)->ControlValue(), std::log(150.0) / std::log(1000.0), 2e-5);
    EXPECT_EQ(TextOf(kFilterTextTag), "Filter 1  (manual)");
}

TEST_F(EditorTest, AFreeSlotSelectedActsLikeNoSelectionButWheelAndClearStillReachIt)
{
    AddManual(1000.f);
    Draw();
    Click(208.f, 197.f); // bank cell 6, a free slot
    ASSERT_EQ(fx.Feed().selectedNotch.load(), 5);
    fx.IdleUpdate();
    for (int tag : {kReduceTag, kFrequencyTag, kBandwidthTag})
        EXPECT_TRUE(Tagged(tag)->IsDisabled()) << tag;
    EXPECT_EQ(TextOf(kFilterTextTag), "Filter: none selected");
    EXPECT_EQ(TextOf(kReduceValueTag), "--");
    EXPECT_EQ(TextOf(kFrequencyValueTag), "--");
    EXPECT_EQ(TextOf(kBandwidthValueTag), "--");

    Draw();
    WritePng("behaviour-free-slot.png");
    EXPECT_TRUE(PixelNear(190, 197, kWhite, 40)) << "the grey cell carries the frame";
    EXPECT_TRUE(PixelNear(196, 197, Over(kFreeCell, kEditorBackground), 4));
    EXPECT_FALSE(PixelNear(static_cast<int>(PlotX(1000.f)) + 7, 85, kWhite, 40)) << "no ring on the real notch";

    ui->OnMouseWheelEditor(300.f, 100.f, left, 1.f);
    ASSERT_EQ(Pending(), 1);
    EXPECT_EQ(LastCommand().type, static_cast<int>(NotchCommandType::SetWidth));
    EXPECT_EQ(LastCommand().slotIndex, 5);
    EXPECT_NEAR(LastCommand().a, 28.f, 1e-4f);

    Click(60.f, 330.f); // "Clear"
    ASSERT_EQ(Pending(), 2);
    EXPECT_EQ(LastCommand().type, static_cast<int>(NotchCommandType::Remove));
    EXPECT_EQ(LastCommand().slotIndex, 5);
    Process();
    EXPECT_EQ(ReadSelectedView(fx.Feed(), 0).active, 1) << "the real notch is untouched";
}

TEST_F(EditorTest, TheNotchSlidersSendTheirCommands)
{
    AddManual(1000.f);
    fx.Feed().selectedNotch.exchange(0);
    fx.IdleUpdate();

    // A press three quarters along the "Reduce dB" track (handle inset 9 on each side).
    const float trackLeft = 120.f + 9.f, trackWidth = 256.2f - 18.f;
    Click(trackLeft + 0.75f * trackWidth, 246.f);
    ASSERT_EQ(Pending(), 1);
    NotchCommand c = LastCommand();
    EXPECT_EQ(c.type, static_cast<int>(NotchCommandType::Set));
    EXPECT_EQ(c.slotIndex, 0);
    EXPECT_FLOAT_EQ(c.a, 1000.f) << "the frequency stays";
    EXPECT_NEAR(c.b, -10.f, 1e-3f);

    Tagged(kFrequencyTag)->SetValueFromUserInput(0.5);
    c = LastCommand();
    EXPECT_EQ(c.type, static_cast<int>(NotchCommandType::Set));
    EXPECT_NEAR(c.a, 20.f * std::sqrt(1000.f), 0.01f);
    EXPECT_FLOAT_EQ(c.b, -18.f) << "the depth of the view, not of the slider";

    Tagged(kBandwidthTag)->SetValueFromUserInput(1.0);
    c = LastCommand();
    EXPECT_EQ(c.type, static_cast<int>(NotchCommandType::SetWidth));
    EXPECT_FLOAT_EQ(c.a, 60.f);
    Tagged(kBandwidthTag)->SetValueFromUserInput(0.0);
    EXPECT_FLOAT_EQ(LastCommand().a, 0.5f);
    EXPECT_EQ(Pending(), 4);

    // A free slot: depth and frequency need an active notch, the width does not.
    fx.Feed().selectedNotch.exchange(4);
    Tagged(kReduceTag)->SetValueFromUserInput(0.2);
    Tagged(kFrequencyTag)->SetValueFromUserInput(0.2);
    EXPECT_EQ(Pending(), 4);
    Tagged(kBandwidthTag)->SetValueFromUserInput(0.5);
    EXPECT_EQ(Pending(), 5);
    EXPECT_EQ(LastCommand().slotIndex, 4);
    EXPECT_NEAR(LastCommand().a, 0.5f * std::sqrt(120.f), 1e-4f);

    // Nothing selected: no slider sends anything.
    fx.Feed().selectedNotch.exchange(-1);
    Tagged(kReduceTag)->SetValueFromUserInput(0.3);
    Tagged(kFrequencyTag)->SetValueFromUserInput(0.3);
    Tagged(kBandwidthTag)->SetValueFromUserInput(0.3);
    EXPECT_EQ(Pending(), 5);
}

TEST_F(EditorTest, ANotchAboveTwentyKilohertzPutsTheFrequencySliderAtItsEnd)
{
    Prepare(96000.0, 1);
    AddManual(30000.f);
    fx.Feed().selectedNotch.exchange(0);
    fx.IdleUpdate();
    EXPECT_FALSE(Tagged(kFrequencyTag)->IsDisabled());
    EXPECT_DOUBLE_EQ(Tagged(kFrequencyTag)->ControlValue(), 1.0);
    EXPECT_EQ(TextOf(kFrequencyValueTag), "30.00 kHz");
    EXPECT_EQ(Pending(), 0) << "positioning the slider sends nothing";
}

TEST_F(EditorTest, WithTwoChannelsOneManualNotchCountsOncePerChannel)
{
    Prepare(48000.0, 2);
    AddManual(1000.f);
    fx.IdleUpdate();
    EXPECT_EQ(TextOf(kActiveCountTag), "Active filters: 2");
}

// --- dragging a handle ----------------------------------------------------------------------------

TEST_F(EditorTest, DraggingAHandleBeyondThePlotStopsAtZeroAndMinusFortyDecibels)
{
    AddManual(1000.f);
    Draw();
    ui->OnMouseDownEditor(356.59f, 85.21f, left);
    ui->OnMouseDragEditor(356.59f, 0.f, 0, 0, left); // above the plot
    EXPECT_FLOAT_EQ(LastCommand().b, 3.f);
    Process();
    EXPECT_FLOAT_EQ(ReadSelectedView(fx.Feed(), 0).targetDepth, 0.f) << "the Set command stops at 0 dB";
    ui->OnMouseDragEditor(356.59f, 400.f, 0, 0, left); // below it
    ui->OnMouseUpEditor(356.59f, 400.f, left);
    EXPECT_FLOAT_EQ(LastCommand().b, -40.f);
    Process();
    EXPECT_FLOAT_EQ(ReadSelectedView(fx.Feed(), 0).targetDepth, -40.f);
    EXPECT_NEAR(ReadSelectedView(fx.Feed(), 0).frequency, 1000.f, 0.5f);
}

TEST_F(EditorTest, EveryDragEventSendsOneSetAndAFullRingDropsTheNewest)
{
    AddManual(1000.f);
    Draw();
    ui->OnMouseDownEditor(356.59f, 85.21f, left);
    fx.GetParam(kBypass)->StoreValue(1.0); // bypassed: nothing drains the ring
    for (int i = 0; i < 300; ++i)
    {
        ui->OnMouseDragEditor(100.f + static_cast<float>(i), 85.21f, 1.f, 0, left);
        if (i == 9)
        {
            EXPECT_EQ(Pending(), 10);
        }
    }
    ui->OnMouseUpEditor(399.f, 85.21f, left);
    EXPECT_EQ(Pending(), kCommandRingSize - 1);
    auto* s = Tagged<SpectrumControl>(kSpectrumTag);
    EXPECT_FLOAT_EQ(LastCommand().a, s->FrequencyOfX(100.f + 254.f)) << "the 255th drag is the last kept";
    Process();
    EXPECT_EQ(Pending(), kCommandRingSize - 1);
    fx.GetParam(kBypass)->StoreValue(0.0);
    Process();
    EXPECT_EQ(Pending(), 0);
    EXPECT_NEAR(ReadSelectedView(fx.Feed(), 0).frequency, s->FrequencyOfX(354.f), 0.5f);
}

// --- closing, reopening and resetting -----------------------------------------------------------

TEST_F(EditorTest, TheIdleTickDoesNothingWithTheEditorClosedAndAReopenedEditorShowsTheKeptSelection)
{
    CloseEditor();
    AddManual(1000.f);
    fx.Feed().selectedNotch.exchange(0);
    fx.IdleUpdate();
    EXPECT_EQ(fx.Feed().shownSelection.load(), -2) << "nothing was shown";

    ASSERT_NE(OpenEditor(), nullptr);
    fx.IdleUpdate();
    EXPECT_EQ(fx.Feed().shownSelection.load(), 0);
    EXPECT_EQ(TextOf(kFilterTextTag), "Filter 1  (manual)");
    EXPECT_NEAR(Tagged(kReduceTag)->ControlValue(), 0.55, 1e-5);

    CloseEditor();
    fx.IdleUpdate();
    ASSERT_NE(OpenEditor(), nullptr);
    fx.IdleUpdate();
    EXPECT_EQ(fx.Feed().selectedNotch.load(), 0);
    // The reopened editor shows the kept selection, not the layout's first state ...
    EXPECT_EQ(fx.Feed().shownSelection.load(), 0);
    EXPECT_EQ(TextOf(kFilterTextTag), "Filter 1  (manual)");
    for (int tag : {kReduceTag, kFrequencyTag, kBandwidthTag})
        EXPECT_FALSE(Tagged(tag)->IsDisabled()) << tag;
    EXPECT_NEAR(Tagged(kReduceTag)->ControlValue(), 0.55, 1e-5);
    // ... while the readouts and the count follow every tick.
    EXPECT_EQ(TextOf(kReduceValueTag), "-18.0 dB");
    EXPECT_EQ(TextOf(kFrequencyValueTag), "1.00 kHz");
    EXPECT_EQ(TextOf(kBandwidthValueTag), "25.0 Q");
    EXPECT_EQ(TextOf(kActiveCountTag), "Active filters: 1");
    Draw();
    WritePng("behaviour-reopened.png");
    EXPECT_TRUE(PixelNear(11, 197, kWhite, 40)) << "the bank strip frames the kept selection";
    EXPECT_TRUE(PixelNear(static_cast<int>(PlotX(1000.f)) + 7, 85, kWhite, 60)) << "the spectrum rings it";

    // Once the selection changes the controls follow again.
    Click(300.f, 150.f); // empty space
    fx.IdleUpdate();
    EXPECT_EQ(TextOf(kFilterTextTag), "Filter: none selected");
    EXPECT_TRUE(Tagged(kReduceTag)->IsDisabled());
}

TEST_F(EditorTest, ResetDspBringsBackTheNoSelectionDisplay)
{
    AddManual(1000.f);
    fx.Feed().selectedNotch.exchange(0);
    fx.IdleUpdate();
    ASSERT_EQ(TextOf(kFilterTextTag), "Filter 1  (manual)");

    fx.ResetDsp();
    fx.IdleUpdate();
    EXPECT_EQ(fx.Feed().selectedNotch.load(), 0) << "the selection stays";
    EXPECT_EQ(TextOf(kFilterTextTag), "Filter: none selected");
    for (int tag : {kReduceTag, kFrequencyTag, kBandwidthTag})
        EXPECT_TRUE(Tagged(tag)->IsDisabled()) << tag;
    EXPECT_NEAR(Tagged(kReduceTag)->ControlValue(), 0.55, 1e-5) << "a disabled slider keeps its value";
    EXPECT_EQ(TextOf(kReduceValueTag), "--");
    EXPECT_EQ(TextOf(kFrequencyValueTag), "--");
    EXPECT_EQ(TextOf(kActiveCountTag), "Active filters: 0");
    Draw();
    WritePng("behaviour-after-reset.png");
    EXPECT_TRUE(PixelNear(16, 197, Over(kFreeCell, kEditorBackground), 4)) << "slot 1 is free again";
    EXPECT_TRUE(PixelNear(static_cast<int>(PlotX(1000.f)) - 3, 85, kSpectrumBackground, 3)) << "no handle";
}

// --- what the idle tick redraws -----------------------------------------------------------------

TEST_F(EditorTest, ASteadyIdleTickRedrawsOnlyTheFourLiveControls)
{
    fx.IdleUpdate();
    Draw();
    fx.IdleUpdate();
    ui->ForAllControls([&](IControl& c) {
        const bool live = c.GetTag() >= kSpectrumTag && c.GetTag() <= kOutputMeterTag;
        EXPECT_EQ(c.IsDirty(), live) << "tag " << c.GetTag() << " at (" << c.GetRECT().left << ", "
                                     << c.GetRECT().top << ")";
    });
    // Nothing below the bank strip needs drawing (the area carries a small margin).
    const igraphics::IRECT area = ui->DirtyArea();
    EXPECT_LE(area.left, 10.f);
    EXPECT_LE(area.top, 10.f);
    EXPECT_GE(area.right, 730.f);
    EXPECT_GE(area.bottom, 208.f);
    EXPECT_LT(area.bottom, 212.f);

    // A new selection also redraws the selected-notch controls, once.
    AddManual(1000.f);
    fx.Feed().selectedNotch.exchange(0);
    Draw();
    fx.IdleUpdate();
    for (int tag : {kReduceTag, kFrequencyTag, kBandwidthTag, kFilterTextTag, kReduceValueTag, kActiveCountTag})
        EXPECT_TRUE(Tagged(tag)->IsDirty()) << tag;
    Draw();
    fx.IdleUpdate();
    for (int tag : {kReduceTag, kFrequencyTag, kBandwidthTag, kFilterTextTag, kReduceValueTag, kActiveCountTag})
        EXPECT_FALSE(Tagged(tag)->IsDirty()) << tag;
    EXPECT_FALSE(Tagged(kAboutTag)->IsDirty()) << "hidden";

    // While the about panel is shown every tick redraws it.
    Click(700.f, 707.f);
    Draw();
    fx.IdleUpdate();
    EXPECT_TRUE(Tagged(kAboutTag)->IsDirty());
}

// --- parameters and Reset through the mouse -------------------------------------------------------

TEST_F(EditorTest, TheResetButtonRestoresTheDefaultsMovesTheSlidersBackAndClearsEveryNotch)
{
    // The "Gain" slider pressed three quarters along its track (handle inset 13): +12 dB.
    Click(133.f + 0.75f * 512.f, 616.f);
    EXPECT_NEAR(fx.GetParam(kGain)->CurrentValue(), 12.0, 1e-9);
    Click(21.f, 645.f); // "Hold" on
    EXPECT_EQ(fx.GetParam(kHold)->CurrentValue(), 1.0);
    AddManual(1000.f);
    AddManual(3000.f, -12.f, 10.f);
    Draw();
    Click(64.f, 197.f);
    fx.IdleUpdate();
    ASSERT_EQ(TextOf(kFilterTextTag), "Filter 2  (manual)");

    Click(680.f, 648.f); // "Reset"
    EXPECT_EQ(fx.GetParam(kGain)->CurrentValue(), 0.0);
    EXPECT_EQ(fx.GetParam(kHold)->CurrentValue(), 0.0);
    EXPECT_EQ(fx.Feed().selectedNotch.load(), -1);
    EXPECT_EQ(Pending(), kMaxNotches);
    const std::vector<NotchCommand> waiting = Waiting();
    for (int i = 0; i < static_cast<int>(waiting.size()); ++i)
    {
        const NotchCommand& c = waiting[static_cast<std::size_t>(i)];
        EXPECT_EQ(c.type, static_cast<int>(NotchCommandType::Remove));
        EXPECT_EQ(c.slotIndex, i);
    }
    int gainControls = 0;
    ui->ForAllControls([&](IControl& c) {
        if (c.GetParamIdx() == kGain)
        {
            ++gainControls;
            EXPECT_DOUBLE_EQ(c.ControlValue(), 0.5) << "the slider and its box follow the parameter";
        }
    });
    EXPECT_EQ(gainControls, 2);

    fx.IdleUpdate();
    EXPECT_EQ(TextOf(kFilterTextTag), "Filter: none selected");
    Draw();
    auto* gainBox = dynamic_cast<ITextControl*>(ui->GetMouseControl(690.f, 616.f));
    ASSERT_NE(gainBox, nullptr);
    EXPECT_STREQ(gainBox->GetText(), "0.0");
    // The removed notches fade out over the following blocks and free their slots.
    for (int b = 0; b < 200 && fx.Feed().activeNotchCount.load() > 0; ++b)
        Process();
    EXPECT_EQ(fx.Feed().activeNotchCount.load(), 0);
    EXPECT_EQ(ReadSelectedView(fx.Feed(), 0).active, 0);
    EXPECT_EQ(ReadSelectedView(fx.Feed(), 1).active, 0);
}

TEST_F(EditorTest, ADoubleClickResetsAParameterSliderAndAddsANotchOnEmptySpectrum)
{
    Click(133.f + 0.75f * 512.f, 616.f);
    ASSERT_NEAR(fx.GetParam(kGain)->CurrentValue(), 12.0, 1e-9);
    ui->OnMouseDblClickEditor(300.f, 616.f, left);
    EXPECT_EQ(fx.GetParam(kGain)->CurrentValue(), 0.0);

    // Whatever the pointer's height, the new notch is manual at -18 dB with Q 25.
    ui->OnMouseDblClickEditor(PlotX(3000.f), 150.f, left);
    ASSERT_EQ(Pending(), 1);
    Process();
    const NotchView added = ReadSelectedView(fx.Feed(), 0);
    EXPECT_EQ(added.active, 1);
    EXPECT_EQ(added.manual, 1);
    EXPECT_NEAR(added.frequency, 3000.f, 1.f);
    EXPECT_FLOAT_EQ(added.targetDepth, -18.f);
    EXPECT_FLOAT_EQ(added.q, 25.f);
    Draw();
    ui->OnMouseDblClickEditor(PlotX(3000.f) + 5.f, 85.21f, left); // on its handle
    EXPECT_EQ(Pending(), 0);
}

TEST_F(EditorTest, AValueTypedIntoABoxMovesTheParameterAndTheSliderOfItsRow)
{
    Click(690.f, 616.f); // the "Gain" value box
    ASSERT_TRUE(ui->IsTextEntryOpen());
    EXPECT_EQ(ui->GetTextEntry().Text(), "0.0") << "the field starts with the display text";
    for (const char* c : {"1", "2"})
        ui->OnKeyDown(0, 0, igraphics::IKeyPress(c, 0));
    ui->OnKeyDown(0, 0, igraphics::IKeyPress("", igraphics::kVK_RETURN));
    EXPECT_FALSE(ui->IsTextEntryOpen());
    EXPECT_DOUBLE_EQ(fx.GetParam(kGain)->CurrentValue(), 12.0);
    IControl* slider = ui->GetMouseControl(300.f, 616.f);
    ASSERT_NE(slider, nullptr);
    EXPECT_EQ(slider->GetParamIdx(), kGain);
    EXPECT_DOUBLE_EQ(slider->ControlValue(), 0.75);
    Draw();
    EXPECT_STREQ(dynamic_cast<ITextControl*>(ui->GetMouseControl(690.f, 616.f))->GetText(), "12.0");
}

TEST_F(EditorTest, ADisabledNotchSliderIgnoresThePress)
{
    AddManual(1000.f);
    fx.Feed().selectedNotch.exchange(0);
    fx.IdleUpdate();
    fx.ResetDsp(); // the notch is gone, the sliders are disabled at their last place
    fx.IdleUpdate();
    ASSERT_TRUE(Tagged(kReduceTag)->IsDisabled());
    EXPECT_NE(ui->GetMouseControl(300.f, 246.f), Tagged(kReduceTag));
    Click(300.f, 246.f);
    EXPECT_NEAR(Tagged(kReduceTag)->ControlValue(), 0.55, 1e-5);
    EXPECT_EQ(Pending(), 0);
}

// --- meters -------------------------------------------------------------------------------------

// A broken host can hand over samples too large for single precision: the peak is then infinite.
TEST_F(EditorTest, AnInfiniteLevelFillsTheMeterAndReadsInf)
{
    char text[32];
    FormatMeterValue(std::numeric_limits<float>::infinity(), text, sizeof text);
    EXPECT_STREQ(text, "inf");
    FormatMeterValue(std::numeric_limits<float>::quiet_NaN(), text, sizeof text);
    EXPECT_STREQ(text, "-inf");
    FormatMeterValue(770.6f, text, sizeof text); // the loudest finite single-precision level
    EXPECT_STREQ(text, "770");

    fx.Feed().inputPeak.exchange(std::numeric_limits<float>::infinity());
    Draw();
    WritePng("behaviour-meter-inf.png");
    EXPECT_TRUE(PixelNear(674, 15, IColor(255, 235, 40, 40))) << "red to the top of the bar";
    EXPECT_TRUE(PixelNear(674, 140, IColor(255, 60, 200, 60)));
}

// --- the about panel ----------------------------------------------------------------------------

TEST_F(EditorTest, TheAboutPanelOpensItsLinksAndClosesOnCloseOrOutside)
{
    auto* about = Tagged<AboutPopup>(kAboutTag);
    Click(700.f, 707.f); // "About"
    ASSERT_FALSE(about->IsHidden());
    Draw();
    WritePng("behaviour-about.png");
    ExpectRect(about->PanelRect(), 110, 195, 630, 531);
    ExpectRect(about->CloseRect(), 502, 481, 606, 513);
    const igraphics::IRECT web = about->WebLinkRect();
    const igraphics::IRECT mail = about->MailLinkRect();
    EXPECT_FLOAT_EQ(web.left, 134.f);
    EXPECT_FLOAT_EQ(web.top, 325.f);
    EXPECT_FLOAT_EQ(mail.top, 345.f);
    EXPECT_GT(web.W(), 40.f);

    Click(web.left + 5.f, web.top + 18.f); // on the underline
    Click(mail.left + 5.f, mail.top + 10.f);
    EXPECT_EQ(window.urls, (std::vector<std::string>{"https://www.tollent.audio/", "mailto:support@tollent.audio"}));
    Click(web.right - 1.f, web.top + 10.f); // 3 px past the end of the text: still the link
    EXPECT_EQ(window.urls.size(), 3u);
    Click(web.right + 1.f, web.top + 10.f); // 5 px past it
    Click(300.f, 480.f);                    // inside the panel, on nothing
    const std::int32_t selected = fx.Feed().selectedNotch.load();
    Click(300.f, 197.f); // where the bank strip lies under the panel
    EXPECT_EQ(window.urls.size(), 3u);
    EXPECT_FALSE(about->IsHidden());
    EXPECT_EQ(fx.Feed().selectedNotch.load(), selected) << "the strip under the panel got nothing";

    Click(550.f, 497.f); // "Close"
    EXPECT_TRUE(about->IsHidden());
    Draw();
    EXPECT_TRUE(PixelNear(5, 5, kEditorBackground, 2)) << "the editor without the veil";

    // Outside the panel a click closes it and does not reach the control beneath.
    fx.GetParam(kGain)->StoreValue(6.0);
    Click(700.f, 707.f);
    ASSERT_FALSE(about->IsHidden());
    Click(680.f, 648.f); // where "Reset" lies
    EXPECT_TRUE(about->IsHidden());
    EXPECT_EQ(fx.GetParam(kGain)->CurrentValue(), 6.0);
    EXPECT_EQ(Pending(), 0);
    EXPECT_EQ(window.urls.size(), 3u);
}

TEST_F(EditorTest, AClickBeforeTheAboutPanelWasEverDrawnClosesIt)
{
    auto* about = Tagged<AboutPopup>(kAboutTag);
    ui->OnMouseDownEditor(700.f, 707.f, igraphics::IMouseMod(false, true)); // any button opens it
    ui->OnMouseUpEditor(700.f, 707.f, igraphics::IMouseMod(false, true));
    ASSERT_FALSE(about->IsHidden());
    Click(400.f, 420.f); // where the panel will be: its rectangles are still empty
    EXPECT_TRUE(about->IsHidden());
    EXPECT_TRUE(window.urls.empty());
}

TEST_F(EditorTest, TheAboutPanelVeilsTheEditor)
{
    Click(700.f, 707.f);
    Draw();
    EXPECT_TRUE(PixelNear(5, 5, Over(kVeil, kEditorBackground), 3));
    EXPECT_TRUE(PixelNear(15, 15, Over(kVeil, kSpectrumBackground), 3));
    EXPECT_TRUE(PixelNear(700, 700, Over(kVeil, kEditorBackground), 3));
    EXPECT_TRUE(PixelNear(130, 500, kPanelFill, 2));
    EXPECT_TRUE(PixelNear(400, 420, kPanelFill, 2));
    // The links are drawn in their colour.
    const igraphics::IRECT web = Tagged<AboutPopup>(kAboutTag)->WebLinkRect();
    // A one-pixel line on a whole coordinate straddles two pixel rows, each half covered.
    int link = 0;
    for (int x = static_cast<int>(web.left); x < static_cast<int>(web.right) - 4; ++x)
        link += PixelNear(x, static_cast<int>(web.top) + 17, Over(IColor(128, 130, 190, 240), kPanelFill), 8) ? 1 : 0;
    EXPECT_GT(link, static_cast<int>(web.W()) - 8) << "the underline runs under the whole link";
}

// --- the live spectrum --------------------------------------------------------------------------

TEST_F(EditorTest, TheLiveSpectrumIsOutlinedAndShadedUnderTheCurve)
{
    unsigned seed = 1u;
    double phase = 0.0;
    for (int b = 0; b < 40; ++b)
    {
        for (int i = 0; i < kBlock; ++i)
        {
            seed = seed * 1664525u + 1013904223u;
            const double white = static_cast<double>(seed >> 8) / static_cast<double>(1u << 24) * 2.0 - 1.0;
            in[static_cast<std::size_t>(i)] = 0.2 * white + 0.05 * std::sin(phase);
            phase += 6.283185307179586 * 2500.0 / 48000.0;
        }
        Process();
    }
    Draw();
    WritePng("behaviour-live-spectrum.png");

    const IColor fill = Over(kSpectrumFill, kSpectrumBackground);
    int outline = 0, shadedColumns = 0, clearAbove = 0;
    for (float f : {150.f, 700.f, 1400.f, 4000.f, 7000.f, 14000.f})
    {
        const int x = static_cast<int>(PlotX(f));
        int top = -1;
        for (int y = 11; y < 164 && top < 0; ++y)
            if (PixelNear(x, y, kOutline, 40))
                top = y;
        ASSERT_GE(top, 0) << f << " Hz has an outline";
        ++outline;
        // Under the curve, away from the dB grid lines, the plot is shaded down to its bottom.
        // Under the curve the plot is shaded down to its bottom (the outline's own steps aside).
        int filled = 0;
        for (int y = top; y < 162; ++y)
            filled += PixelNear(x, y, fill, 4) ? 1 : 0;
        if (PixelNear(x, 160, fill, 4) && filled >= (162 - top) / 2)
            ++shadedColumns;
        else
            ADD_FAILURE() << f << " Hz: " << filled << " shaded pixels below y = " << top;
        // Above it the plot keeps its background.
        if (top > 30 && PixelNear(x, top - 6, kSpectrumBackground, 4))
            ++clearAbove;
    }
    EXPECT_EQ(outline, 6);
    EXPECT_EQ(shadedColumns, 6);
    EXPECT_GE(clearAbove, 4);

    // Normalised to its loudest bin: the tone's peak reaches 0 dB and nothing lies above it.
    int highest = 200;
    for (int x = 10; x <= 622; ++x)
        for (int y = 11; y < 164; ++y)
            if (PixelNear(x, y, kOutline, 40))
            {
                highest = std::min(highest, y);
                break;
            }
    EXPECT_GE(highest, 18);
    EXPECT_LE(highest, 24);
}

} // namespace
} // namespace ringstill
