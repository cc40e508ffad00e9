// The idle tick that keeps the status texts and the selected notch's controls in step with the
// feed, and the "Reset" action. UI thread only.
#include "editor/AutoCatchSwitch.h"
#include "editor/EditorTags.h"
#include "editor/NotchSliders.h"
#include "editor/RingstillEditor.h"
#include "effect/NotchBank.h"
#include "effect/RingstillParams.h"
#include "framework/IGraphics.h"
#include "framework/ITextControl.h"

#include <cmath>
#include <cstdio>

namespace ringstill {

namespace {

void MarkTag(igraphics::IGraphics& ui, int tag)
{
    if (igraphics::IControl* c = ui.GetControlWithTag(tag))
        c->MarkDirty(false);
}

void SetTagText(igraphics::IGraphics& ui, int tag, const char* text)
{
    if (auto* c = dynamic_cast<igraphics::ITextControl*>(ui.GetControlWithTag(tag)))
        c->SetText(text);
}

// Positions a slider without its action; a disabled slider keeps its value.
void ShowSlider(igraphics::IGraphics& ui, int tag, bool on, double value)
{
    igraphics::IControl* c = ui.GetControlWithTag(tag);
    if (c == nullptr)
        return;
    if (on)
        c->StoreControlValue(value);
    c->SetDisabled(!on);
    c->MarkDirty(false);
}

} // namespace

// UI thread.
void UpdateEditor(igraphics::IGraphics& ui, EditorFeed& feed)
{
    for (int tag : {kSpectrumTag, kBankTag, kInputMeterTag, kOutputMeterTag})
        MarkTag(ui, tag);

    char text[32];
    std::snprintf(text, sizeof text, "Active filters: %d", static_cast<int>(feed.activeNotchCount.load()));
    SetTagText(ui, kActiveCountTag, text);

    if (igraphics::IControl* about = ui.GetControlWithTag(kAboutTag); about != nullptr && !about->IsHidden())
        about->MarkDirty(false);
    // A mode restored by the host shows at once.
    if (auto* mode = dynamic_cast<AutoCatchSwitch*>(ui.GetControlWithTag(kAutoCatchModeTag));
        mode != nullptr && mode->Shown() != mode->Current())
        mode->MarkDirty(false);

    const std::int32_t selected = feed.selectedNotch.load();
    if (selected != feed.shownSelection.load())
    {
        feed.shownSelection.exchange(selected);
        const NotchView view = selected < 0 ? NotchView{} : ReadSelectedView(feed, selected);
        const bool on = view.active != 0;
        ShowSlider(ui, kReduceTag, on, notchslider::PositionOfDepth(view.targetDepth));
        ShowSlider(ui, kFrequencyTag, on, notchslider::PositionOfFrequency(view.frequency));
        ShowSlider(ui, kBandwidthTag, on, notchslider::PositionOfQ(view.q));
        if (on)
            std::snprintf(text, sizeof text, "Filter %d%s", static_cast<int>(selected) + 1,
                          view.manual != 0 ? "  (manual)" : "  (auto)");
        else
            std::snprintf(text, sizeof text, "Filter: none selected");
        SetTagText(ui, kFilterTextTag, text);
    }

    const std::int32_t current = feed.selectedNotch.load();
    const NotchView view = current < 0 ? NotchView{} : ReadSelectedView(feed, current);
    const bool on = view.active != 0;
    if (on)
        std::snprintf(text, sizeof text, "%.1f dB", static_cast<double>(view.targetDepth));
    else
        std::snprintf(text, sizeof text, "--");
    SetTagText(ui, kReduceValueTag, text);
    if (on && view.frequency >= 1000.0f)
        std::snprintf(text, sizeof text, "%.2f kHz", static_cast<double>(view.frequency / 1000.0f));
    else if (on)
        std::snprintf(text, sizeof text, "%.0f Hz", static_cast<double>(view.frequency));
    else
        std::snprintf(text, sizeof text, "--");
    SetTagText(ui, kFrequencyValueTag, text);
    if (on)
        std::snprintf(text, sizeof text, "%.1f Q", static_cast<double>(view.q));
    else
        std::snprintf(text, sizeof text, "--");
    SetTagText(ui, kBandwidthValueTag, text);
}

// UI thread.
void RestoreDefaultsAndClear(iplug::IGEditorDelegate& plugin, EditorFeed& feed)
{
    igraphics::IGraphics* ui = plugin.GetUI();
    for (int i = 0; i < kNumParams; ++i)
    {
        iplug::IParam* param = plugin.GetParam(i);
        param->StoreValue(param->GetDefault());
        if (ui != nullptr)
            ui->SendParamToEditor(i, param->CurrentNormalised(), true);
        plugin.ParamChangedForEditor(i, iplug::ParamSource::Delegate);
    }
    for (int slot = 0; slot < kMaxNotches; ++slot)
        PushNotchCommand(feed, NotchCommandType::Remove, slot);
    feed.selectedNotch.exchange(-1);
    if (ui != nullptr)
        ui->ForAllControls([](igraphics::IControl& c) { c.MarkDirty(false); });
}

} // namespace ringstill
