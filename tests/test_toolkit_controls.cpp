// The control base and the framework controls: values, dirty marking with and without action,
// flags, and the slider, switches, button, text, caption and its value prompt.

#include "framework/ICaptionControl.h"
#include "framework/IGraphics.h"
#include "framework/IVButtonControl.h"
#include "framework/IVSliderControl.h"
#include "framework/IVSwitchControl.h"
#include "tests/support/ToolkitTestDelegate.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <limits>
#include <memory>

using namespace igraphics;
using namespace ringstill::test;
using namespace std::chrono_literals;

namespace {

constexpr IMouseMod kLeft{true};
constexpr IMouseMod kRight{false, true};

class ControlsTest : public testing::Test
{
protected:
    ToolkitTestDelegate plugin;
    IGraphics ui{plugin, 400, 300};

    template <typename T, typename... Args>
    T* Add(Args&&... args)
    {
        return ui.Attach<T>(std::forward<Args>(args)...);
    }

    void Click(float x, float y, const IMouseMod& mod = kLeft)
    {
        ui.OnMouseDownEditor(x, y, mod);
        ui.OnMouseUpEditor(x, y, mod);
    }

    void Type(const char* text)
    {
        for (const char* c = text; *c; ++c)
        {
            const char one[2] = {*c, '\0'};
            ui.OnKeyDown(0, 0, IKeyPress(one, 0));
        }
    }

    double Normalised(int param) const { return plugin.GetParam(param)->CurrentNormalised(); }
};

// Horizontal slider 200 wide with handle size 10: the track runs from x = 10 to x = 190.
constexpr IRECT kSliderRect{0, 0, 200, 20};
constexpr float kTrackLeft = 10.f;
constexpr float kTrackWidth = 180.f;

// No label or value areas: the widget fills the slider's rectangle.
constexpr VectorStyle kBare = [] {
    VectorStyle style;
    style.showLabel = false;
    style.showValue = false;
    return style;
}();

float TrackX(double v)
{
    return kTrackLeft + float(v) * kTrackWidth;
}

} // namespace

// --- Values and dirty marking -----------------------------------------------------------------

TEST_F(ControlsTest, MarkDirtyClampsValuesIntoZeroToOne)
{
    auto* probe = Add<ProbeControl>(IRECT(0, 0, 10, 10), std::vector<int>{kNoParameter, kNoParameter, kNoParameter});
    probe->StoreControlValue(1.7, 0);
    probe->StoreControlValue(-0.2, 1);
    probe->StoreControlValue(std::numeric_limits<double>::quiet_NaN(), 2);
    EXPECT_DOUBLE_EQ(probe->ControlValue(0), 1.7) << "storing alone does not clamp";
    probe->MarkDirty(false);
    EXPECT_DOUBLE_EQ(probe->ControlValue(0), 1.0);
    EXPECT_DOUBLE_EQ(probe->ControlValue(1), 0.0);
    EXPECT_DOUBLE_EQ(probe->ControlValue(2), 0.0) << "a NaN never reaches a parameter";
    EXPECT_TRUE(probe->IsDirty());
}

TEST_F(ControlsTest, MarkDirtyWithActionSendsTheParameterThenRunsTheAction)
{
    auto* probe = Add<ProbeControl>(IRECT(0, 0, 10, 10), kParamGain);
    probe->SetActionFunction([&](IControl* caller) {
        EXPECT_EQ(caller, probe);
        plugin.log.push_back("action");
    });
    probe->StoreControlValue(1.5);
    probe->MarkDirty(true);
    EXPECT_EQ(plugin.log, (std::vector<std::string>{"edit 0", "action"}));
    EXPECT_DOUBLE_EQ(plugin.edits[0].value, 1.0) << "the clamped value is sent";
    EXPECT_DOUBLE_EQ(plugin.GetParam(kParamGain)->CurrentValue(), 24.0);

    plugin.log.clear();
    probe->MarkDirty(false);
    EXPECT_TRUE(plugin.log.empty()) << "without action nothing is sent and no action runs";
}

TEST_F(ControlsTest, MarkDirtyOfOneValueSendsOnlyThatParameter)
{
    auto* probe = Add<ProbeControl>(IRECT(0, 0, 10, 10), std::vector<int>{kParamGain, kParamAmount});
    probe->StoreControlValue(0.4, 1);
    probe->MarkDirty(true, 1);
    ASSERT_EQ(plugin.edits.size(), 1u);
    EXPECT_EQ(plugin.edits[0].index, kParamAmount);
    EXPECT_EQ(probe->ValIdxForParam(kParamAmount), 1);
    EXPECT_EQ(probe->ValIdxForParam(kParamHold), -1);
}

TEST_F(ControlsTest, PeersBoundToTheSameParameterFollowAUserChange)
{
    auto* a = Add<ProbeControl>(IRECT(0, 0, 10, 10), kParamAmount);
    auto* b = Add<ProbeControl>(IRECT(0, 0, 10, 10), kParamAmount);
    int peerActions = 0;
    b->SetActionFunction([&](IControl*) { ++peerActions; });
    a->StoreControlValue(0.9);
    a->MarkDirty(true);
    EXPECT_DOUBLE_EQ(b->ControlValue(), 0.9);
    EXPECT_EQ(peerActions, 0);
    EXPECT_EQ(plugin.edits.size(), 1u);
}

TEST_F(ControlsTest, DoubleClickResetsToTheDefaultInsideOneHostEdit)
{
    auto* probe = Add<ProbeControl>(IRECT(0, 0, 10, 10), kParamAmount);
    probe->StoreControlValue(0.1);
    ui.OnMouseDblClickEditor(5, 5, kLeft);
    EXPECT_DOUBLE_EQ(probe->ControlValue(), 0.5);
    EXPECT_DOUBLE_EQ(plugin.GetParam(kParamAmount)->CurrentValue(), 50.0);
    EXPECT_EQ(plugin.log, (std::vector<std::string>{"begin 1", "edit 1", "end 1"}));
}

TEST_F(ControlsTest, DoubleClickOnAnUnboundControlChangesNothing)
{
    int actions = 0;
    auto* probe = Add<ProbeControl>(IRECT(0, 0, 10, 10), [&](IControl*) { ++actions; });
    probe->StoreControlValue(0.3);
    ui.OnMouseDblClickEditor(5, 5, kLeft);
    EXPECT_DOUBLE_EQ(probe->ControlValue(), 0.3);
    EXPECT_EQ(actions, 0);
}

TEST_F(ControlsTest, HidingAndDisablingRedrawAndDisabledControlsUseAQuarterBlend)
{
    auto* probe = Add<ProbeControl>(IRECT(0, 0, 10, 10));
    EXPECT_FLOAT_EQ(IBlend::Weight(probe->GetBlend()), 1.f);
    probe->ClearDirty();
    probe->SetDisabled(true);
    EXPECT_TRUE(probe->IsDirty());
    EXPECT_FLOAT_EQ(IBlend::Weight(probe->GetBlend()), 0.25f);
    probe->SetDisabled(false);
    EXPECT_FLOAT_EQ(IBlend::Weight(probe->GetBlend()), 1.f);
    probe->ClearDirty();
    probe->Hide(true);
    EXPECT_TRUE(probe->IsDirty());
    EXPECT_TRUE(probe->IsHidden());
}

// --- Slider -----------------------------------------------------------------------------------

TEST_F(ControlsTest, ASliderPressJumpsToThePointerQuantisedToAThousandth)
{
    auto* slider = Add<IVSliderControl>(kSliderRect, kParamAmount, "", kBare, EDirection::Horizontal, 10.f, 4.f);
    EXPECT_EQ(slider->GetTrackBounds(), IRECT(10, 8, 190, 12));
    ui.OnMouseDownEditor(TrackX(0.12345), 10, kLeft);
    EXPECT_NEAR(slider->GetValue(), 0.123, 1e-12);
    ASSERT_EQ(plugin.edits.size(), 1u);
    EXPECT_NEAR(plugin.edits[0].value, 0.123, 1e-12);
    ui.OnMouseDragEditor(TrackX(0.6667), 50, 0, 0, kLeft);
    EXPECT_NEAR(slider->GetValue(), 0.667, 1e-12) << "only the position along the track counts";
    ui.OnMouseDragEditor(500, 10, 0, 0, kLeft);
    EXPECT_DOUBLE_EQ(slider->GetValue(), 1.0) << "beyond the track end";
    ui.OnMouseDragEditor(-50, 10, 0, 0, kLeft);
    EXPECT_DOUBLE_EQ(slider->GetValue(), 0.0);
    slider->ClearDirty();
    ui.OnMouseUpEditor(-50, 10, kLeft);
    EXPECT_TRUE(slider->IsDirty()) << "release redraws";
    EXPECT_EQ(plugin.log.front(), "begin 1");
    EXPECT_EQ(plugin.log.back(), "end 1");
}

TEST_F(ControlsTest, AVerticalSliderRunsFromBottomToTop)
{
    auto* slider = Add<IVSliderControl>(IRECT(0, 0, 20, 200), kParamAmount, "", kBare, EDirection::Vertical,
                                        10.f, 4.f);
    ui.OnMouseDownEditor(10, 190 - 0.25f * 180, kLeft);
    EXPECT_NEAR(slider->GetValue(), 0.25, 1e-12);
    ui.OnMouseUpEditor(10, 0, kLeft);
}

TEST_F(ControlsTest, AnUnboundSliderRunsItsActionOnEveryChange)
{
    std::vector<double> seen;
    auto* slider = Add<IVSliderControl>(kSliderRect, [&](IControl* c) { seen.push_back(c->GetValue()); }, "",
                                        kBare, EDirection::Horizontal, 10.f, 4.f);
    ui.OnMouseDownEditor(TrackX(0.5), 10, kLeft);
    ui.OnMouseDragEditor(TrackX(0.5), 10, 0, 0, kLeft); // no change, no action
    ui.OnMouseDragEditor(TrackX(0.75), 10, 0, 0, kLeft);
    ui.OnMouseUpEditor(TrackX(0.75), 10, kLeft);
    EXPECT_EQ(seen, (std::vector<double>{0.5, 0.75}));
    EXPECT_TRUE(plugin.log.empty());
    (void)slider;
}

TEST_F(ControlsTest, TheWheelMovesAHundredthOrAThousandthWithShiftOrControl)
{
    auto* slider = Add<IVSliderControl>(kSliderRect, kParamAmount, "", kBare, EDirection::Horizontal, 10.f, 4.f);
    ASSERT_DOUBLE_EQ(slider->GetValue(), 0.5);
    ui.OnMouseWheelEditor(100, 10, {}, 1.f);
    EXPECT_NEAR(slider->GetValue(), 0.51, 1e-12);
    ui.OnMouseWheelEditor(100, 10, {}, -3.f);
    EXPECT_NEAR(slider->GetValue(), 0.48, 1e-12);
    ui.OnMouseWheelEditor(100, 10, IMouseMod(false, false, true), 1.f);
    EXPECT_NEAR(slider->GetValue(), 0.481, 1e-12);
    ui.OnMouseWheelEditor(100, 10, IMouseMod(false, false, false, true), -2.f);
    EXPECT_NEAR(slider->GetValue(), 0.479, 1e-12);
    EXPECT_NEAR(Normalised(kParamAmount), 0.479, 1e-12);
    slider->StoreControlValue(0.995);
    ui.OnMouseWheelEditor(100, 10, {}, 1.f);
    EXPECT_DOUBLE_EQ(slider->GetValue(), 1.0) << "limited at the end";
}

TEST_F(ControlsTest, TheWheelMovesAStepperOneStepAndDragsSnapToSteps)
{
    auto* slider = Add<IVSliderControl>(kSliderRect, kParamDetent, "", kBare, EDirection::Horizontal, 10.f, 4.f);
    ui.OnMouseWheelEditor(100, 10, {}, 0.3f);
    EXPECT_DOUBLE_EQ(slider->GetValue(), 0.25);
    ui.OnMouseWheelEditor(100, 10, {}, 5.f);
    EXPECT_DOUBLE_EQ(slider->GetValue(), 0.5) << "one step whatever the delta";
    ui.OnMouseWheelEditor(100, 10, {}, -1.f);
    EXPECT_DOUBLE_EQ(slider->GetValue(), 0.25);
    ui.OnMouseDownEditor(TrackX(0.6), 10, kLeft);
    EXPECT_DOUBLE_EQ(slider->GetValue(), 0.5);
    EXPECT_DOUBLE_EQ(plugin.GetParam(kParamDetent)->CurrentValue(), 50.0);
    ui.OnMouseUpEditor(TrackX(0.6), 10, kLeft);
}

TEST_F(ControlsTest, ASliderBeingDraggedIgnoresTheHost)
{
    auto* slider = Add<IVSliderControl>(kSliderRect, kParamAmount, "", kBare, EDirection::Horizontal, 10.f, 4.f);
    ui.OnMouseDownEditor(TrackX(0.2), 10, kLeft);
    plugin.SendParamToEditor(kParamAmount, 0.9, true); // no open editor in the delegate: direct
    ui.SendParamToEditor(kParamAmount, 0.9, true);
    EXPECT_NEAR(slider->GetValue(), 0.2, 1e-12);
    ui.OnMouseUpEditor(TrackX(0.2), 10, kLeft);
}

TEST_F(ControlsTest, TheSliderHidesThePointerWhileDraggingWhenItsStyleSaysSo)
{
    FakeWindow window;
    ui.SetPlatformWindow(&window);
    Add<IVSliderControl>(kSliderRect, kParamAmount, "", kBare, EDirection::Horizontal, 10.f, 4.f);
    ui.OnMouseDownEditor(50, 10, kLeft);
    EXPECT_TRUE(window.cursorHidden);
    ui.OnMouseUpEditor(50, 10, kLeft);
    EXPECT_FALSE(window.cursorHidden);
    ui.SetPlatformWindow(nullptr);
}

// --- Switches ---------------------------------------------------------------------------------

TEST_F(ControlsTest, ATwoStateToggleFlipsZeroToOneAndAnythingElseToZero)
{
    auto* toggle = Add<IVToggleControl>(IRECT(0, 0, 20, 20), kParamHold);
    Click(10, 10);
    EXPECT_DOUBLE_EQ(toggle->GetValue(), 1.0);
    EXPECT_DOUBLE_EQ(plugin.GetParam(kParamHold)->CurrentValue(), 1.0);
    EXPECT_EQ(toggle->StateText(), "ON");
    Click(10, 10);
    EXPECT_DOUBLE_EQ(toggle->GetValue(), 0.0);
    EXPECT_EQ(toggle->StateText(), "OFF");
    toggle->StoreControlValue(0.4);
    Click(10, 10);
    EXPECT_DOUBLE_EQ(toggle->GetValue(), 0.0) << "anything but 0 becomes 0";
    EXPECT_EQ(plugin.log, (std::vector<std::string>{"begin 2", "edit 2", "end 2", "begin 2", "edit 2", "end 2",
                                                    "begin 2", "edit 2", "end 2"}));
}

TEST_F(ControlsTest, AnNStateSwitchStepsThroughItsStatesAndWraps)
{
    auto* mode = Add<IVSwitchControl>(IRECT(0, 0, 20, 20), kParamMode);
    EXPECT_EQ(mode->NStates(), 3);
    EXPECT_DOUBLE_EQ(mode->GetValue(), 0.5) << "the default, Mid";
    Click(10, 10);
    EXPECT_DOUBLE_EQ(mode->GetValue(), 1.0);
    EXPECT_EQ(mode->StateText(), "High");
    Click(10, 10);
    EXPECT_DOUBLE_EQ(mode->GetValue(), 0.0);

    std::vector<double> seen;
    auto* four = Add<IVSwitchControl>(IRECT(50, 0, 70, 20), [&](IControl* c) { seen.push_back(c->GetValue()); }, "",
                                      kDefaultStyle, 4);
    for (int i = 0; i < 4; ++i)
        Click(60, 10);
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_NEAR(seen[0], 1.0 / 3.0, 1e-15);
    EXPECT_NEAR(seen[1], 2.0 / 3.0, 1e-15);
    EXPECT_NEAR(seen[2], 1.0, 1e-15) << "three thirds stay the top state, not a wrap";
    EXPECT_DOUBLE_EQ(seen[3], 0.0);
    (void)four;
}

TEST_F(ControlsTest, ASwitchActsOnPressAndOnlyRedrawsOnRelease)
{
    int actions = 0;
    auto* toggle = Add<IVToggleControl>(IRECT(0, 0, 20, 20), [&](IControl*) { ++actions; });
    ui.OnMouseDownEditor(10, 10, kLeft);
    EXPECT_EQ(actions, 1);
    EXPECT_TRUE(toggle->IsPressed());
    toggle->ClearDirty();
    ui.OnMouseUpEditor(10, 10, kLeft);
    EXPECT_EQ(actions, 1);
    EXPECT_TRUE(toggle->IsDirty());
    EXPECT_FALSE(toggle->IsPressed());
}

TEST_F(ControlsTest, ADoubleClickOnASwitchIsOneMorePress)
{
    auto* toggle = Add<IVToggleControl>(IRECT(0, 0, 20, 20), kParamHold);
    ui.OnMouseDownEditor(10, 10, kLeft);
    ui.OnMouseUpEditor(10, 10, kLeft);
    ui.OnMouseDblClickEditor(10, 10, kLeft);
    ui.OnMouseUpEditor(10, 10, kLeft);
    EXPECT_DOUBLE_EQ(toggle->GetValue(), 0.0) << "toggled twice";
    EXPECT_EQ(plugin.log.size(), 6u);
}

// --- Button -----------------------------------------------------------------------------------

TEST_F(ControlsTest, AButtonPressSetsOneRunsTheActionAndReturnsToZeroAfterItsAnimation)
{
    int actions = 0;
    int animationEnds = 0;
    auto* button = Add<IVButtonControl>(IRECT(0, 0, 60, 30), [&](IControl* c) {
        EXPECT_DOUBLE_EQ(c->GetValue(), 1.0);
        ++actions;
    });
    button->SetAnimationEndActionFunction([&](IControl*) { ++animationEnds; });
    const auto t0 = ui.Now();
    Click(10, 10);
    EXPECT_EQ(actions, 1);
    EXPECT_DOUBLE_EQ(button->GetValue(), 1.0);
    EXPECT_TRUE(button->IsAnimating());
    ui.Tick(t0 + 50ms);
    EXPECT_DOUBLE_EQ(button->GetValue(), 1.0) << "still pressed halfway";
    ui.Tick(t0 + 150ms);
    EXPECT_DOUBLE_EQ(button->GetValue(), 0.0);
    EXPECT_EQ(animationEnds, 1);
    EXPECT_FALSE(button->IsAnimating());
    EXPECT_EQ(actions, 1) << "the return to 0 is not an action";
}

// --- Text and caption -------------------------------------------------------------------------

TEST_F(ControlsTest, ATextControlRedrawsOnlyForANewText)
{
    auto* text = Add<ITextControl>(IRECT(0, 0, 100, 20), "Active filters: 0");
    EXPECT_TRUE(text->GetIgnoreMouse()) << "plain text ignores the mouse";
    text->ClearDirty();
    text->SetText("Active filters: 0");
    EXPECT_FALSE(text->IsDirty());
    text->SetText("Active filters: 2");
    EXPECT_TRUE(text->IsDirty());
    EXPECT_STREQ(text->GetText(), "Active filters: 2");
}

TEST_F(ControlsTest, ACaptionShowsTheDisplayTextWithOrWithoutTheLabel)
{
    auto* withLabel = Add<ICaptionControl>(IRECT(0, 0, 60, 20), kParamGain);
    auto* without = Add<ICaptionControl>(IRECT(0, 20, 60, 40), kParamAmount, IText(), COLOR_TRANSPARENT, false);
    auto* hold = Add<ICaptionControl>(IRECT(0, 40, 60, 60), kParamHold);
    EXPECT_EQ(withLabel->DisplayText(), "0.0 dB");
    EXPECT_EQ(without->DisplayText(), "50");
    EXPECT_EQ(hold->DisplayText(), "off") << "a display text names the value: no label";
    EXPECT_FALSE(withLabel->GetIgnoreMouse());
}

TEST_F(ControlsTest, ACaptionPromptsWithATextFieldAndTheTypedValueMovesTheSlider)
{
    auto* slider = Add<IVSliderControl>(kSliderRect, kParamGain, "", kBare, EDirection::Horizontal, 10.f, 4.f);
    auto* box = Add<ICaptionControl>(IRECT(300, 0, 360, 20), kParamGain, IText(), COLOR_TRANSPARENT, false);
    Click(310, 10);
    ASSERT_TRUE(ui.IsTextEntryOpen());
    EXPECT_EQ(ui.GetTextEntry().Text(), "0.0") << "the current display text, without the label";
    EXPECT_TRUE(ui.GetTextEntry().AllSelected());
    EXPECT_EQ(plugin.log, (std::vector<std::string>{"begin 0", "end 0"})) << "the press itself sets nothing";

    plugin.log.clear();
    Type("12.34");
    EXPECT_EQ(ui.GetTextEntry().Text(), "12.34") << "typing replaced the selection";
    ui.OnKeyDown(0, 0, IKeyPress("", kVK_RETURN));
    EXPECT_FALSE(ui.IsTextEntryOpen());
    EXPECT_DOUBLE_EQ(plugin.GetParam(kParamGain)->CurrentValue(), 12.34);
    EXPECT_EQ(plugin.log, (std::vector<std::string>{"begin 0", "edit 0", "end 0"}));
    EXPECT_NEAR(slider->GetValue(), (12.34 + 24.0) / 48.0, 1e-12) << "the slider follows";
    EXPECT_EQ(box->DisplayText(), "12.3");
}

TEST_F(ControlsTest, TheTextFieldEditsWithTheKeyboardAndEscapeDropsIt)
{
    Add<ICaptionControl>(IRECT(300, 0, 360, 20), kParamGain);
    Click(310, 10, kRight);
    ASSERT_TRUE(ui.IsTextEntryOpen()) << "the right button prompts too";
    ui.OnKeyDown(0, 0, IKeyPress("", kVK_END));
    ui.OnKeyDown(0, 0, IKeyPress("", kVK_BACK));
    Type("5");
    EXPECT_EQ(ui.GetTextEntry().Text(), "0.5");
    ui.OnKeyDown(0, 0, IKeyPress("", kVK_HOME));
    Type("-");
    EXPECT_EQ(ui.GetTextEntry().Text(), "-0.5");
    ui.OnKeyDown(0, 0, IKeyPress("", kVK_RIGHT));
    ui.OnKeyDown(0, 0, IKeyPress("", kVK_DELETE));
    EXPECT_EQ(ui.GetTextEntry().Text(), "-05");
    EXPECT_TRUE(ui.OnKeyUp(0, 0, IKeyPress("", kVK_DELETE))) << "the field owns the keyboard";
    plugin.log.clear();
    ui.OnKeyDown(0, 0, IKeyPress("", kVK_ESCAPE));
    EXPECT_FALSE(ui.IsTextEntryOpen());
    EXPECT_DOUBLE_EQ(plugin.GetParam(kParamGain)->CurrentValue(), 0.0);
    EXPECT_TRUE(plugin.log.empty());
}

TEST_F(ControlsTest, APressOutsideTheTextFieldCompletesIt)
{
    auto* other = Add<ProbeControl>(IRECT(0, 100, 50, 150));
    Add<ICaptionControl>(IRECT(300, 0, 360, 20), kParamAmount);
    Click(310, 10);
    Type("75");
    ui.OnMouseDownEditor(300, 5, kLeft);
    EXPECT_TRUE(ui.IsTextEntryOpen()) << "a press inside keeps it";
    ui.OnMouseDownEditor(10, 120, kLeft);
    EXPECT_FALSE(ui.IsTextEntryOpen());
    EXPECT_DOUBLE_EQ(plugin.GetParam(kParamAmount)->CurrentValue(), 75.0);
    EXPECT_TRUE(other->events.empty()) << "the closing press goes nowhere else";
}

TEST_F(ControlsTest, TextThatIsNoNumberGivesZeroForADoubleParameter)
{
    Add<ICaptionControl>(IRECT(300, 0, 360, 20), kParamRaw);
    Click(310, 10);
    ASSERT_TRUE(ui.IsTextEntryOpen()) << "a stepped double without display texts gets a text field";
    plugin.GetParam(kParamRaw)->StoreValue(1.0);
    Type("abc");
    ui.OnKeyDown(0, 0, IKeyPress("", kVK_RETURN));
    EXPECT_DOUBLE_EQ(plugin.GetParam(kParamRaw)->CurrentValue(), 0.0);
}

TEST_F(ControlsTest, AnEnumCaptionPromptsWithAPopupOfItsTextsWithTheCurrentOneChecked)
{
    auto* box = Add<ICaptionControl>(IRECT(300, 0, 360, 20), kParamMode);
    auto* mode = Add<IVSwitchControl>(IRECT(0, 0, 20, 20), kParamMode);
    Click(310, 10);
    ASSERT_TRUE(ui.IsPopupMenuOpen());
    const IPopupMenu& menu = ui.GetPopupMenu();
    ASSERT_EQ(menu.NItems(), 3);
    EXPECT_EQ(menu.Item(0), "Low");
    EXPECT_EQ(menu.Item(2), "High");
    EXPECT_EQ(menu.Checked(), 1);
    EXPECT_GE(menu.Rect().top, 20.f) << "below the caption";

    plugin.log.clear();
    const IRECT high = menu.RowRect(2);
    Click(high.MW(), high.MH());
    EXPECT_FALSE(ui.IsPopupMenuOpen());
    EXPECT_DOUBLE_EQ(plugin.GetParam(kParamMode)->CurrentValue(), 2.0);
    EXPECT_EQ(plugin.log, (std::vector<std::string>{"begin 3", "edit 3", "end 3"}));
    EXPECT_DOUBLE_EQ(mode->GetValue(), 1.0);
    EXPECT_EQ(box->DisplayText(), "High");
}

TEST_F(ControlsTest, ABoolCaptionPopupWorksFromTheKeyboardAndAPressOutsideChoosesNothing)
{
    Add<ICaptionControl>(IRECT(300, 0, 360, 20), kParamHold);
    Click(310, 10);
    ASSERT_TRUE(ui.IsPopupMenuOpen());
    EXPECT_EQ(ui.GetPopupMenu().Item(0), "off");
    EXPECT_EQ(ui.GetPopupMenu().Item(1), "on");
    EXPECT_EQ(ui.GetPopupMenu().Checked(), 0);
    ui.OnKeyDown(0, 0, IKeyPress("", kVK_DOWN));
    ui.OnKeyDown(0, 0, IKeyPress("", kVK_RETURN));
    EXPECT_DOUBLE_EQ(plugin.GetParam(kParamHold)->CurrentValue(), 1.0);

    Click(310, 10);
    ASSERT_TRUE(ui.IsPopupMenuOpen());
    EXPECT_EQ(ui.GetPopupMenu().Checked(), 1);
    plugin.log.clear();
    Click(10, 250);
    EXPECT_FALSE(ui.IsPopupMenuOpen());
    EXPECT_DOUBLE_EQ(plugin.GetParam(kParamHold)->CurrentValue(), 1.0);
    EXPECT_TRUE(plugin.log.empty());
}

TEST_F(ControlsTest, APopupNearTheBottomOpensAboveItsCaption)
{
    Add<ICaptionControl>(IRECT(300, 280, 360, 300), kParamMode);
    Click(310, 290);
    ASSERT_TRUE(ui.IsPopupMenuOpen());
    EXPECT_LE(ui.GetPopupMenu().Rect().bottom, 280.f);
}

TEST_F(ControlsTest, ADisabledCaptionDoesNotPrompt)
{
    auto* box = Add<ICaptionControl>(IRECT(300, 0, 360, 20), kParamGain);
    box->SetDisabled(true);
    box->SetAcceptMouseWhenDisabled(true);
    Click(310, 10);
    EXPECT_FALSE(ui.IsTextEntryOpen());
}

TEST_F(ControlsTest, TheTextFieldTakesAndRemovesWholeUtf8Characters)
{
    Add<ICaptionControl>(IRECT(300, 0, 360, 20), kParamGain);
    Click(310, 10);
    ui.OnKeyDown(0, 0, IKeyPress("\xC3\xA9", 0)); // é
    ui.OnKeyDown(0, 0, IKeyPress("x", 'X'));
    EXPECT_EQ(ui.GetTextEntry().Text(), "\xC3\xA9x");
    ui.OnKeyDown(0, 0, IKeyPress("", kVK_LEFT));
    ui.OnKeyDown(0, 0, IKeyPress("", kVK_BACK));
    EXPECT_EQ(ui.GetTextEntry().Text(), "x") << "both bytes of the character went";
    EXPECT_FALSE(ui.OnKeyDown(0, 0, IKeyPress("c", 'C', false, true))) << "shortcuts are left to the host";
    ui.OnKeyDown(0, 0, IKeyPress("", kVK_ESCAPE));
}

TEST_F(ControlsTest, ThePopupFollowsThePointerAndEnterTakesTheHighlightedEntry)
{
    Add<ICaptionControl>(IRECT(300, 0, 360, 20), kParamMode);
    Click(310, 10);
    ASSERT_TRUE(ui.IsPopupMenuOpen());
    const IRECT low = ui.GetPopupMenu().RowRect(0);
    ui.OnMouseOverEditor(low.MW(), low.MH(), {});
    EXPECT_EQ(ui.GetPopupMenu().Highlighted(), 0);
    ui.OnKeyDown(0, 0, IKeyPress("", kVK_RETURN));
    EXPECT_DOUBLE_EQ(plugin.GetParam(kParamMode)->CurrentValue(), 0.0);
}

namespace {

class KeyProbe : public ProbeControl
{
public:
    using ProbeControl::ProbeControl;
    bool OnKeyDown(float, float, const IKeyPress& key) override
    {
        keys.push_back(key.vk);
        return key.vk == kVK_UP;
    }
    std::vector<int> keys;
};

} // namespace

TEST_F(ControlsTest, KeysGoToTheControlUnderThePointerFirst)
{
    auto* probe = Add<KeyProbe>(IRECT(0, 0, 100, 100));
    bool handlerCalled = false;
    ui.SetKeyHandlerFunc([&](const IKeyPress&, bool) {
        handlerCalled = true;
        return true;
    });
    EXPECT_TRUE(ui.OnKeyDown(50, 50, IKeyPress("", kVK_UP)));
    EXPECT_FALSE(handlerCalled);
    EXPECT_TRUE(ui.OnKeyDown(50, 50, IKeyPress("", kVK_DOWN)));
    EXPECT_TRUE(handlerCalled) << "what the control leaves goes to the handler";
    EXPECT_EQ(probe->keys, (std::vector<int>{kVK_UP, kVK_DOWN}));
}
