// The graphics context: control list, mouse routing with the host edit gestures, mouse-over and
// tooltips, parameter values from the plug-in, dirty tracking and the frame timer, resizing.

#include "framework/ICornerResizerControl.h"
#include "framework/IGraphics.h"
#include "framework/IPanelControl.h"
#include "graphics/CairoRenderer.h"
#include "tests/support/ToolkitTestDelegate.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>

using namespace igraphics;
using namespace ringstill::test;
using namespace std::chrono_literals;

namespace {

constexpr IMouseMod kLeft{true};

class GraphicsTest : public testing::Test
{
protected:
    ToolkitTestDelegate plugin;
    IGraphics ui{plugin, 400, 300};

    ProbeControl* AddProbe(const IRECT& r, int paramIdx = kNoParameter, int tag = kNoTag)
    {
        auto* probe = static_cast<ProbeControl*>(ui.AttachControl(std::make_unique<ProbeControl>(r, paramIdx), tag));
        return probe;
    }
};

} // namespace

// --- Control list -----------------------------------------------------------------------------

TEST_F(GraphicsTest, ControlsAreFoundByTagAndOwnedInAttachOrder)
{
    ProbeControl* a = AddProbe({0, 0, 10, 10}, kNoParameter, 5);
    ProbeControl* b = AddProbe({0, 0, 10, 10}, kNoParameter, 6);
    EXPECT_EQ(ui.GetControlWithTag(5), a);
    EXPECT_EQ(ui.GetControlWithTag(6), b);
    EXPECT_EQ(ui.GetControlWithTag(7), nullptr);
    EXPECT_EQ(ui.GetControlWithTag(kNoTag), nullptr) << "untagged controls are not found by -1";
    EXPECT_EQ(a->GetUI(), &ui);
    EXPECT_EQ(ui.GetControl(1), b);
}

TEST_F(GraphicsTest, InsertAtFrontPutsAControlBeneathAllOthers)
{
    AddProbe({0, 0, 10, 10});
    IControl* background = ui.InsertControlAtFront(std::make_unique<IPanelControl>(ui.GetBounds(), COLOR_BLACK));
    EXPECT_EQ(ui.GetControl(0), background);
    EXPECT_EQ(ui.NControls(), 2);
}

TEST_F(GraphicsTest, AttachedControlsStartAtTheirParametersValue)
{
    plugin.GetParam(kParamGain)->StoreValue(12.0);
    ProbeControl* probe = AddProbe({0, 0, 10, 10}, kParamGain);
    EXPECT_DOUBLE_EQ(probe->ControlValue(), 0.75);
}

TEST_F(GraphicsTest, GroupsAreVisitedTogether)
{
    ui.AttachControl(std::make_unique<ProbeControl>(IRECT(0, 0, 1, 1)), kNoTag, "meters");
    ui.AttachControl(std::make_unique<ProbeControl>(IRECT(0, 0, 1, 1)), kNoTag, "");
    ui.AttachControl(std::make_unique<ProbeControl>(IRECT(0, 0, 1, 1)), kNoTag, "meters");
    int visited = 0;
    ui.ForControlInGroup("meters", [&](IControl&) { ++visited; });
    EXPECT_EQ(visited, 2);
    int all = 0;
    ui.ForAllControls([&](IControl&) { ++all; });
    EXPECT_EQ(all, 3);
}

// --- Mouse routing ----------------------------------------------------------------------------

TEST_F(GraphicsTest, APressGoesToTheMostRecentControlUnderThePointer)
{
    ProbeControl* below = AddProbe({0, 0, 100, 100});
    ProbeControl* above = AddProbe({50, 50, 150, 150});
    ui.OnMouseDownEditor(60, 60, kLeft);
    ui.OnMouseUpEditor(60, 60, kLeft);
    EXPECT_TRUE(below->events.empty());
    EXPECT_EQ(above->events.size(), 2u);
    ui.OnMouseDownEditor(10, 10, kLeft);
    EXPECT_EQ(below->events.size(), 1u);
}

TEST_F(GraphicsTest, HiddenIgnoringAndDisabledControlsAreSkipped)
{
    ProbeControl* below = AddProbe({0, 0, 100, 100});
    ProbeControl* hidden = AddProbe({0, 0, 100, 100});
    ProbeControl* ignoring = AddProbe({0, 0, 100, 100});
    ProbeControl* disabled = AddProbe({0, 0, 100, 100});
    hidden->Hide(true);
    ignoring->SetIgnoreMouse(true);
    disabled->SetDisabled(true);
    ui.OnMouseDownEditor(10, 10, kLeft);
    ui.OnMouseUpEditor(10, 10, kLeft);
    EXPECT_EQ(below->events.size(), 2u);
    EXPECT_TRUE(hidden->events.empty());
    EXPECT_TRUE(ignoring->events.empty());
    EXPECT_TRUE(disabled->events.empty());

    disabled->SetAcceptMouseWhenDisabled(true);
    EXPECT_EQ(ui.GetMouseControl(10, 10), disabled);
}

TEST_F(GraphicsTest, TheTargetRectangleDecidesTheHit)
{
    ProbeControl* probe = AddProbe({0, 0, 100, 100});
    probe->SetTargetRECT({0, 0, 20, 20});
    EXPECT_EQ(ui.GetMouseControl(50, 50), nullptr);
    EXPECT_EQ(ui.GetMouseControl(10, 10), probe);
    EXPECT_EQ(ui.GetMouseControl(20, 10), nullptr) << "right edge belongs to the neighbour";
}

TEST_F(GraphicsTest, DragsGoToThePressedControlUntilRelease)
{
    ProbeControl* a = AddProbe({0, 0, 100, 100});
    ProbeControl* b = AddProbe({100, 0, 200, 100});
    ui.OnMouseDownEditor(50, 50, kLeft);
    ui.OnMouseDragEditor(150, 50, 100, 0, kLeft);
    ui.OnMouseUpEditor(150, 50, kLeft);
    ui.OnMouseDragEditor(150, 50, 0, 0, kLeft);
    EXPECT_EQ(a->events, (std::vector<std::string>{"down 50,50", "drag 150,50", "up 150,50"}));
    EXPECT_TRUE(b->events.empty());
    EXPECT_EQ(ui.GetCapturedControl(), nullptr);
}

TEST_F(GraphicsTest, WindowPixelsAreConvertedByTheTotalScale)
{
    ProbeControl* probe = AddProbe({0, 0, 100, 100});
    ASSERT_TRUE(ui.Resize(400, 300, 2.f));
    ui.SetScreenScale(1.5f);
    ui.OnMouseDown(150, 90, kLeft); // window pixels
    EXPECT_EQ(probe->events.front(), "down 50,30");
}

TEST_F(GraphicsTest, EachGestureOnABoundControlIsOneBeginEndPairPerParameter)
{
    auto control = std::make_unique<ProbeControl>(IRECT(0, 0, 100, 100), std::vector<int>{kParamGain, kParamAmount});
    ui.AttachControl(std::move(control));
    ui.OnMouseDownEditor(10, 10, kLeft);
    ui.OnMouseDragEditor(20, 10, 10, 0, kLeft);
    ui.OnMouseUpEditor(20, 10, kLeft);
    EXPECT_EQ(plugin.log, (std::vector<std::string>{"begin 0", "begin 1", "end 0", "end 1"}));

    plugin.log.clear();
    ui.OnMouseWheelEditor(10, 10, {}, 1.f);
    EXPECT_EQ(plugin.log, (std::vector<std::string>{"begin 0", "begin 1", "end 0", "end 1"}));
}

TEST_F(GraphicsTest, UnboundControlsCauseNoHostEdits)
{
    AddProbe({0, 0, 100, 100});
    ui.OnMouseDownEditor(10, 10, kLeft);
    ui.OnMouseUpEditor(10, 10, kLeft);
    EXPECT_TRUE(plugin.log.empty());
}

TEST_F(GraphicsTest, ClosingTheEditorMidGestureEndsTheHostEdit)
{
    {
        IGraphics closing(plugin, 400, 300);
        closing.AttachControl(std::make_unique<ProbeControl>(IRECT(0, 0, 100, 100), kParamGain));
        closing.OnMouseDownEditor(10, 10, kLeft);
    }
    EXPECT_EQ(plugin.log, (std::vector<std::string>{"begin 0", "end 0"}));
}

TEST_F(GraphicsTest, ASecondButtonDuringAGestureChangesNothing)
{
    ProbeControl* a = AddProbe({0, 0, 100, 100}, kParamGain);
    ui.OnMouseDownEditor(10, 10, kLeft);
    ui.OnMouseDownEditor(10, 10, IMouseMod(true, true));
    ui.OnMouseUpEditor(10, 10, kLeft);
    EXPECT_EQ(a->events.size(), 2u);
    EXPECT_EQ(plugin.log, (std::vector<std::string>{"begin 0", "end 0"}));
}

// --- Mouse-over and tooltips ------------------------------------------------------------------

TEST_F(GraphicsTest, MouseOverFollowsThePointerWhenEnabled)
{
    ProbeControl* a = AddProbe({0, 0, 100, 100});
    ProbeControl* b = AddProbe({100, 0, 200, 100});
    ui.OnMouseOverEditor(50, 50, {});
    EXPECT_FALSE(a->GetMouseIsOver()) << "tracking is off until enabled";
    ui.EnableMouseOver(true);
    ui.OnMouseOverEditor(50, 50, {});
    EXPECT_TRUE(a->GetMouseIsOver());
    a->ClearDirty();
    ui.OnMouseOverEditor(150, 50, {});
    EXPECT_FALSE(a->GetMouseIsOver());
    EXPECT_TRUE(a->IsDirty()) << "leaving redraws";
    EXPECT_TRUE(b->GetMouseIsOver());
    ui.OnMouseOut();
    EXPECT_FALSE(b->GetMouseIsOver());
    EXPECT_EQ(ui.GetMouseOverControl(), nullptr);
}

TEST_F(GraphicsTest, ATooltipAppearsOnlyAfterThePointerRests)
{
    ProbeControl* a = AddProbe({0, 0, 100, 100});
    ProbeControl* label = AddProbe({100, 0, 200, 100});
    a->SetTooltip("Drag me.");
    label->SetIgnoreMouse(true);
    label->SetTooltip("never shown");
    ui.EnableTooltips(true);
    EXPECT_TRUE(ui.MouseOverEnabled());

    const auto t0 = ui.Now();
    ui.Tick(t0);
    ui.OnMouseOverEditor(40, 40, {});
    ui.Tick(t0 + 300ms);
    EXPECT_EQ(ui.ShownTooltip(), nullptr);
    ui.Tick(t0 + 700ms);
    ASSERT_NE(ui.ShownTooltip(), nullptr);
    EXPECT_STREQ(ui.ShownTooltip(), "Drag me.");
    EXPECT_GE(ui.TooltipRECT().top, 40.f) << "below the pointer";

    ui.OnMouseDownEditor(40, 40, kLeft);
    EXPECT_EQ(ui.ShownTooltip(), nullptr) << "a press hides it";
    ui.OnMouseUpEditor(40, 40, kLeft);

    ui.OnMouseOverEditor(150, 40, {});
    ui.Tick(t0 + 3000ms);
    EXPECT_EQ(ui.ShownTooltip(), nullptr) << "controls that ignore the mouse show none";
}

TEST_F(GraphicsTest, TooltipsStayOffUnlessEnabled)
{
    ProbeControl* a = AddProbe({0, 0, 100, 100});
    a->SetTooltip("tip");
    ui.EnableMouseOver(true);
    const auto t0 = ui.Now();
    ui.OnMouseOverEditor(40, 40, {});
    ui.Tick(t0 + 5000ms);
    EXPECT_EQ(ui.ShownTooltip(), nullptr);
}

// --- Values from the plug-in ------------------------------------------------------------------

TEST_F(GraphicsTest, ParameterValuesReachEveryBoundControlWithoutAction)
{
    int actions = 0;
    ProbeControl* a = AddProbe({0, 0, 10, 10}, kParamGain);
    ProbeControl* b = AddProbe({0, 0, 10, 10}, kParamGain);
    ProbeControl* other = AddProbe({0, 0, 10, 10}, kParamAmount);
    a->SetActionFunction([&](IControl*) { ++actions; });
    const double otherBefore = other->ControlValue();
    a->ClearDirty();
    ui.SendParamToEditor(kParamGain, 0.25, true);
    EXPECT_DOUBLE_EQ(a->ControlValue(), 0.25);
    EXPECT_DOUBLE_EQ(b->ControlValue(), 0.25);
    EXPECT_TRUE(a->IsDirty());
    EXPECT_DOUBLE_EQ(other->ControlValue(), otherBefore);
    EXPECT_EQ(actions, 0);
    EXPECT_TRUE(plugin.edits.empty()) << "nothing goes back to the host";

    ui.SendParamToEditor(kParamGain, 12.0, false);
    EXPECT_DOUBLE_EQ(a->ControlValue(), 0.75) << "plain values are normalised first";

    a->ClearDirty();
    ui.SendParamToEditor(kParamGain, 0.75, true);
    EXPECT_FALSE(a->IsDirty()) << "an unchanged value changes nothing";
}

TEST_F(GraphicsTest, AControlBeingDraggedKeepsItsValue)
{
    ProbeControl* dragged = AddProbe({0, 0, 10, 10}, kParamGain);
    ProbeControl* peer = AddProbe({20, 0, 30, 10}, kParamGain);
    dragged->StoreControlValue(0.9);
    ui.OnMouseDownEditor(5, 5, kLeft);
    ui.SendParamToEditor(kParamGain, 0.1, true);
    EXPECT_DOUBLE_EQ(dragged->ControlValue(), 0.9);
    EXPECT_DOUBLE_EQ(peer->ControlValue(), 0.1);
    ui.OnMouseUpEditor(5, 5, kLeft);
    ui.SendParamToEditor(kParamGain, 0.2, true);
    EXPECT_DOUBLE_EQ(dragged->ControlValue(), 0.2);
}

TEST(EditorDelegateContext, TheOpenContextReceivesParameterValuesAndStartsInStep)
{
    ToolkitTestDelegate plugin;
    plugin.GetParam(kParamAmount)->StoreValue(80.0);
    IControl* probe = nullptr;
    plugin.SetMakeGraphicsFunc([&] { return MakeGraphics(plugin, {}, 400, 300); });
    plugin.SetLayoutFunc([&](IGraphics& g) {
        probe = g.AttachControl(std::make_unique<ProbeControl>(IRECT(0, 0, 10, 10), kParamAmount));
        probe->StoreControlValue(0.0); // the layout may leave anything; opening corrects it
    });
    plugin.SendParamToEditor(kParamAmount, 0.3, true); // closed: nothing to do, no crash
    ASSERT_NE(plugin.OpenEditor(), nullptr);
    EXPECT_DOUBLE_EQ(probe->ControlValue(), 0.8);
    plugin.SendParamToEditor(kParamAmount, 0.3, true);
    EXPECT_DOUBLE_EQ(probe->ControlValue(), 0.3);
    plugin.LoadPreset(0);
    EXPECT_DOUBLE_EQ(probe->ControlValue(), 0.8) << "a preset recall refreshes the editor";
    plugin.CloseEditor();
}

// --- Dirty tracking and frames ----------------------------------------------------------------

TEST_F(GraphicsTest, MarkingEverythingDirtyUsesNoAction)
{
    int actions = 0;
    ProbeControl* a = AddProbe({0, 0, 10, 10}, kParamGain);
    a->SetActionFunction([&](IControl*) { ++actions; });
    a->StoreControlValue(3.0);
    a->ClearDirty();
    ui.SetAllControlsDirty();
    EXPECT_TRUE(a->IsDirty());
    EXPECT_DOUBLE_EQ(a->ControlValue(), 1.0) << "values are limited to 0..1";
    EXPECT_EQ(actions, 0);
    EXPECT_TRUE(plugin.edits.empty());
}

TEST_F(GraphicsTest, TheDirtyAreaCoversDirtyControlsOnly)
{
    ProbeControl* a = AddProbe({10, 10, 20, 20});
    ProbeControl* b = AddProbe({100, 100, 120, 120});
    a->ClearDirty();
    b->ClearDirty();
    EXPECT_TRUE(ui.DirtyArea().Empty());
    b->SetRedraw();
    const IRECT area = ui.DirtyArea();
    EXPECT_LE(area.left, 100.f);
    EXPECT_GE(area.right, 120.f);
    EXPECT_GT(area.left, 20.f) << "the clean control is not included";
}

TEST_F(GraphicsTest, FramesComeAtTheFrameRateAndOnlyWhenSomethingIsDirty)
{
    FakeWindow window;
    ui.SetPlatformWindow(&window);
    ProbeControl* a = AddProbe({10, 10, 20, 20});
    const auto t0 = ui.Now();
    EXPECT_TRUE(ui.Tick(t0));
    ASSERT_EQ(window.invalidated.size(), 1u);
    EXPECT_EQ(window.invalidated[0], ui.GetBounds()) << "the first frame draws everything";
    CairoRenderer target;
    ASSERT_TRUE(target.CreateOffscreen(ui.PixelWidth(), ui.PixelHeight()));
    EXPECT_EQ(ui.Draw(target), ui.GetBounds());
    EXPECT_EQ(a->draws, 1);
    EXPECT_FALSE(a->IsDirty());
    EXPECT_FALSE(ui.Tick(t0 + 40ms)) << "nothing dirty, no frame";
    a->SetRedraw();
    EXPECT_TRUE(ui.Tick(t0 + 50ms));
    EXPECT_LE(window.invalidated.back().right, 25.f) << "only the dirty part is asked for";
    ui.Draw(target);
    a->SetRedraw();
    EXPECT_FALSE(ui.Tick(t0 + 60ms)) << "a frame every 1/30 s at most";
    EXPECT_TRUE(ui.Tick(t0 + 90ms));
    ui.SetPlatformWindow(nullptr);
}

// --- Size and scale ---------------------------------------------------------------------------

TEST_F(GraphicsTest, ResizeIsConstrainedAndReachesTheHostAndTheWindow)
{
    FakeWindow window;
    ui.SetPlatformWindow(&window);
    EXPECT_TRUE(ui.Resize(1000, 100, 1.f));
    EXPECT_EQ(ui.Width(), 800);
    EXPECT_EQ(ui.Height(), 150);
    ASSERT_EQ(plugin.resizes.size(), 1u);
    EXPECT_EQ(plugin.resizes[0].width, 800);
    EXPECT_EQ(plugin.resizes[0].height, 150);
    EXPECT_EQ(window.pixelWidth, 800);

    EXPECT_TRUE(ui.Resize(400, 300, 10.f));
    EXPECT_FLOAT_EQ(ui.GetDrawScale(), kDefaultMaxScale) << "the scale stays within its limits";
    EXPECT_EQ(plugin.resizes.back().width, 800) << "the host sees editor size x draw scale";
    EXPECT_FALSE(ui.Resize(400, 300, 2.f)) << "no change, no resize";
    ui.SetScreenScale(1.5f);
    EXPECT_EQ(window.pixelWidth, 1200);
    EXPECT_EQ(ui.PixelHeight(), 900);
    ui.SetPlatformWindow(nullptr);
}

TEST_F(GraphicsTest, ControlsAreToldAboutAResize)
{
    ICornerResizerControl* resizer = ui.AttachCornerResizer(EUIResizerMode::Scale, 20.f);
    EXPECT_EQ(resizer->GetRECT(), IRECT(381, 281, 399, 299));
    ui.Resize(500, 400, 1.f);
    EXPECT_EQ(resizer->GetRECT(), IRECT(481, 381, 499, 399));
    ui.Resize(500, 400, 2.f);
    EXPECT_EQ(resizer->GetRECT(), IRECT(491, 391, 499, 399)) << "the same size on screen";
}

TEST_F(GraphicsTest, TheCornerResizerInScaleModeScalesByTheSmallerPointerRatio)
{
    FakeWindow window;
    ui.SetPlatformWindow(&window);
    ui.AttachCornerResizer(EUIResizerMode::Scale, 20.f);
    ui.EnableMouseOver(true);
    ui.OnMouseOver(390, 290, {});
    EXPECT_EQ(window.cursor, ECursor::SizeNWSE);

    ui.OnMouseDown(390, 290, kLeft);
    EXPECT_TRUE(ui.IsResizing());
    ui.OnMouseDrag(468, 377, 78, 87, kLeft); // x ratio 1.2, y ratio 1.3
    EXPECT_FLOAT_EQ(ui.GetDrawScale(), 1.2f);
    EXPECT_EQ(ui.Width(), 400) << "the size stays";
    ui.OnMouseDrag(429, 377, -39, 0, kLeft); // in window pixels: x ratio 1.1 of the press
    EXPECT_NEAR(ui.GetDrawScale(), 1.1f, 1e-5);
    ui.OnMouseUp(429, 377, kLeft);
    EXPECT_FALSE(ui.IsResizing());
    EXPECT_EQ(plugin.resizes.back().width, 440);

    ui.OnMouseDblClick(429, 319, kLeft); // on the handle at its new place
    EXPECT_FLOAT_EQ(ui.GetDrawScale(), 1.f) << "double-click returns to the initial scale";
    ui.SetPlatformWindow(nullptr);
}

TEST_F(GraphicsTest, TheCornerResizerInSizeModeFollowsThePointer)
{
    ui.AttachCornerResizer(EUIResizerMode::Size, 20.f);
    ui.OnMouseDownEditor(390, 290, kLeft);
    ui.OnMouseDragEditor(500, 350, 110, 60, kLeft);
    EXPECT_EQ(ui.Width(), 500);
    EXPECT_EQ(ui.Height(), 350);
    ui.OnMouseDragEditor(100, 100, 0, 0, kLeft);
    EXPECT_EQ(ui.Width(), 200) << "limited by ConstrainEditorSize";
    EXPECT_EQ(ui.Height(), 150);
    ui.OnMouseUpEditor(100, 100, kLeft);
    EXPECT_FLOAT_EQ(ui.GetDrawScale(), 1.f);
}

// --- Keys and addresses -----------------------------------------------------------------------

TEST_F(GraphicsTest, KeysNoControlTakesGoToTheKeyHandler)
{
    std::vector<int> keys;
    EXPECT_FALSE(ui.OnKeyDown(0, 0, IKeyPress(" ", kVK_SPACE))) << "unhandled without a handler";
    ui.SetKeyHandlerFunc([&](const IKeyPress& key, bool isUp) {
        keys.push_back(isUp ? -key.vk : key.vk);
        return key.vk == kVK_SPACE;
    });
    EXPECT_TRUE(ui.OnKeyDown(0, 0, IKeyPress(" ", kVK_SPACE)));
    EXPECT_FALSE(ui.OnKeyDown(0, 0, IKeyPress("", kVK_F1)));
    EXPECT_TRUE(ui.OnKeyUp(0, 0, IKeyPress(" ", kVK_SPACE)));
    EXPECT_EQ(keys, (std::vector<int>{kVK_SPACE, kVK_F1, -kVK_SPACE}));
}

TEST_F(GraphicsTest, AddressesOpenThroughTheWindow)
{
    EXPECT_FALSE(ui.OpenURL("https://example.com")) << "no window, nothing opens";
    FakeWindow window;
    ui.SetPlatformWindow(&window);
    EXPECT_TRUE(ui.OpenURL("https://example.com"));
    EXPECT_FALSE(ui.OpenURL(""));
    EXPECT_EQ(window.urls, (std::vector<std::string>{"https://example.com"}));
    ui.SetPlatformWindow(nullptr);
}

TEST_F(GraphicsTest, WithoutARendererNoResourceLoads)
{
    EXPECT_FALSE(ui.LoadBitmap("no-such.png").IsValid());
    EXPECT_FALSE(ui.LoadFont("Roboto-Regular", "no-such.ttf"));
    EXPECT_TRUE(ui.Draw().Empty());
}
