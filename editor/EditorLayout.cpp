#include "editor/EditorLayout.h"

#include "editor/AboutPopup.h"
#include "editor/AutoCatchSwitch.h"
#include "editor/BankControl.h"
#include "editor/EditorTags.h"
#include "editor/LogoControl.h"
#include "editor/MeterControl.h"
#include "editor/NotchSliders.h"
#include "editor/SmallButton.h"
#include "editor/SpectrumControl.h"
#include "editor/RingstillEditor.h"
#include "effect/RingstillParams.h"
#include "framework/ICaptionControl.h"
#include "framework/IGraphics.h"
#include "framework/IPanelControl.h"
#include "framework/ITextControl.h"
#include "framework/IVButtonControl.h"
#include "framework/IVSliderControl.h"
#include "framework/IVSwitchControl.h"

#include <algorithm>
#include <cmath>
#include <memory>

namespace ringstill {

using namespace igraphics;

namespace {

constexpr IColor kEditorBackground{255, 38, 45, 56};
constexpr IColor kValueBoxBackground{255, 25, 30, 39};

constexpr IText kSectionHeading{16.f, IColor(255, 240, 242, 246), kFontName, EAlign::Near, EVAlign::Middle};
constexpr IText kActiveHeading{16.f, IColor(255, 225, 230, 238), kFontName, EAlign::Near, EVAlign::Middle};
constexpr IText kRowLabel{15.f, IColor(255, 220, 224, 230), kFontName, EAlign::Near, EVAlign::Middle};
constexpr IText kReadout{15.f, IColor(255, 225, 228, 233), kFontName, EAlign::Center, EVAlign::Middle};
constexpr IText kHint{13.f, IColor(255, 195, 200, 210), kFontName, EAlign::Near, EVAlign::Middle};
constexpr IText kVersion{12.f, IColor(255, 170, 176, 188), kFontName, EAlign::Center, EVAlign::Middle};
constexpr IText kButtonText{15.f, IColor(255, 228, 232, 240), kFontName, EAlign::Center, EVAlign::Middle};

// No label, value or shadow: the layout draws its own texts beside the controls.
VectorStyle BareStyle(bool drawFrame)
{
    VectorStyle s;
    s.showLabel = false;
    s.showValue = false;
    s.drawFrame = drawFrame;
    s.drawShadows = false;
    return s;
}

VectorStyle ParamSliderStyle()
{
    VectorStyle s = BareStyle(false);
    s.SetColor(kFG, IColor(255, 64, 190, 214));
    s.SetColor(kFR, IColor(255, 235, 238, 242));
    s.SetColor(kHL, IColor(70, 64, 190, 214));
    s.SetColor(kSH, IColor(255, 70, 78, 92));
    s.SetColor(kX1, IColor(255, 64, 190, 214));
    return s;
}

VectorStyle NotchSliderStyle()
{
    VectorStyle s = BareStyle(false);
    s.SetColor(kFG, IColor(255, 150, 170, 236));
    s.SetColor(kFR, IColor(255, 220, 226, 238));
    s.SetColor(kSH, IColor(255, 60, 66, 80));
    s.SetColor(kX1, IColor(255, 150, 170, 236));
    return s;
}

VectorStyle SwitchStyle()
{
    VectorStyle s = BareStyle(true);
    s.roundness = 0.15f;
    s.SetColor(kBG, IColor(255, 40, 46, 58));
    s.SetColor(kFG, IColor(255, 64, 190, 214));
    s.SetColor(kPR, IColor(255, 44, 150, 170));
    s.SetColor(kFR, IColor(255, 210, 224, 244));
    return s;
}

VectorStyle ButtonStyle()
{
    VectorStyle s = BareStyle(true);
    s.showLabel = true;
    s.roundness = 0.5f;
    s.SetColor(kFG, IColor(0, 0, 0, 0));
    s.SetColor(kPR, IColor(60, 120, 170, 220));
    s.SetColor(kFR, IColor(255, 120, 190, 220));
    s.SetColor(kHL, IColor(40, 255, 255, 255));
    s.labelText = kButtonText;
    s.valueText = kButtonText;
    return s;
}

// Text that never takes the mouse, so tooltips belong to the controls beside it.
IControl* AttachText(IGraphics& ui, const IRECT& r, const char* text, const IText& style, int tag = kNoTag)
{
    IControl* c = ui.AttachControl(std::make_unique<ITextControl>(r, text, style, COLOR_TRANSPARENT), tag);
    c->SetIgnoreMouse(true);
    return c;
}

// UI thread: the slider actions of the selected notch.
void ReduceMoved(EditorFeed& feed, IControl* caller)
{
    const int sel = feed.selectedNotch.load();
    if (sel < 0)
        return;
    const NotchView view = ReadSelectedView(feed, sel);
    if (view.active == 0)
        return;
    const double v = caller->ControlValue();
    PushNotchCommand(feed, NotchCommandType::Set, sel, view.frequency, notchslider::DepthOf(v), 0.0f);
}

void FrequencyMoved(EditorFeed& feed, IControl* caller)
{
    const int sel = feed.selectedNotch.load();
    if (sel < 0)
        return;
    const NotchView view = ReadSelectedView(feed, sel);
    if (view.active == 0)
        return;
    const double v = caller->ControlValue();
    PushNotchCommand(feed, NotchCommandType::Set, sel, notchslider::FrequencyOf(v),
                     view.targetDepth, 0.0f);
}

void BandwidthMoved(EditorFeed& feed, IControl* caller)
{
    const int sel = feed.selectedNotch.load();
    if (sel < 0)
        return;
    const double v = caller->ControlValue();
    PushNotchCommand(feed, NotchCommandType::SetWidth, sel, notchslider::QOf(v), 0.0f, 0.0f);
}

struct ParamRow
{
    int param;
    const char* label;
    const char* tooltip;
};

void AttachParamRow(IGraphics& ui, const ParamRow& row, float x0, float R, float y, const VectorStyle& style)
{
    AttachText(ui, IRECT(x0, y, x0 + 108.f, y + 26.f), row.label, kRowLabel);
    IControl* slider = ui.AttachControl(std::make_unique<IVSliderControl>(
        IRECT(x0 + 110.f, y, R - 72.f, y + 26.f), row.param, "", style, EDirection::Horizontal, 13.f, 4.f));
    slider->SetTooltip(row.tooltip);
    IControl* box = ui.AttachControl(
        std::make_unique<ICaptionControl>(IRECT(R - 68.f, y, R, y + 26.f), row.param, kReadout, kValueBoxBackground, false));
    box->MarkDirty(false);
}

} // namespace

// UI thread, once per created context.
void LayoutEditor(iplug::IGEditorDelegate& plugin, EditorFeed& feed, IGraphics& ui)
{
    const float W = static_cast<float>(ui.Width());
    const float H = static_cast<float>(ui.Height());
    const float R = W - 10.f;
    const float x0 = 10.f;

    ui.AttachCornerResizer(EUIResizerMode::Scale, 20.f);
    ui.InsertControlAtFront(std::make_unique<IPanelControl>(IRECT(0.f, 0.f, W, H), kEditorBackground));
    ui.LoadFont(kFontName, kFontFile);
    ui.EnableMouseOver(true);
    ui.EnableTooltips(true);

    ui.AttachControl(std::make_unique<SpectrumControl>(IRECT(x0, 10.f, R - 78.f, 180.f), feed), kSpectrumTag)
        ->SetTooltip("Live spectrum with the notch responses. Drag a handle to move it, mouse-wheel to change "
                     "width, double-click empty space to add.");
    ui.AttachControl(std::make_unique<MeterControl>(IRECT(R - 72.f, 10.f, R - 72.f + 33.f, 180.f), feed, false, "In"),
                     kInputMeterTag);
    ui.AttachControl(std::make_unique<MeterControl>(IRECT(R - 33.f, 10.f, R, 180.f), feed, true, "Out"),
                     kOutputMeterTag);

    float y = 186.f;
    ui.AttachControl(std::make_unique<BankControl>(IRECT(x0, y, R, y + 22.f), feed), kBankTag)
        ->SetTooltip("Notch bank (up to 20). Gold = auto, blue = manual, grey = free. Click to select.");
    y += 28.f;
    const float s = y;

    AttachText(ui, IRECT(x0, y, R, y + 18.f), "Active filter  (drag a handle, wheel = width, double-click graph to add)",
               kActiveHeading, kFilterTextTag);
    y += 20.f;

    const float sx = x0 + 110.f;
    const float sw = (R - sx) * 0.42f;
    const float rx = sx + sw + 8.f;
    const float rr = rx + 64.f;
    const VectorStyle notchStyle = NotchSliderStyle();
    struct NotchRow
    {
        const char* label;
        int sliderTag;
        int readoutTag;
        const char* tooltip;
        void (*moved)(EditorFeed&, IControl*);
    };
    const NotchRow rows[] = {
        {"Reduce dB", kReduceTag, kReduceValueTag, "Selected notch depth (dB).", &ReduceMoved},
        {"Frequency", kFrequencyTag, kFrequencyValueTag, "Selected notch frequency (Hz).", &FrequencyMoved},
        {"Bandwidth", kBandwidthTag, kBandwidthValueTag, "Selected notch width.", &BandwidthMoved},
    };
    for (const NotchRow& row : rows)
    {
        AttachText(ui, IRECT(x0, y, x0 + 108.f, y + 24.f), row.label, kRowLabel);
        auto moved = row.moved;
        IControl* slider = ui.AttachControl(
            std::make_unique<IVSliderControl>(IRECT(sx, y, sx + sw, y + 24.f),
                                              [&feed, moved](IControl* caller) { moved(feed, caller); }, "",
                                              notchStyle, EDirection::Horizontal, 9.f, 3.f),
            row.sliderTag);
        slider->SetTooltip(row.tooltip);
        AttachText(ui, IRECT(rx, y, rr, y + 24.f), "--", kReadout, row.readoutTag);
        y += 27.f;
    }

    const VectorStyle buttonStyle = ButtonStyle();
    ui.AttachControl(std::make_unique<IVButtonControl>(
                         IRECT(x0, y, x0 + 100.f, y + 30.f),
                         [&feed](IControl*) {
                             const int sel = feed.selectedNotch.load();
                             if (sel >= 0)
                                 PushNotchCommand(feed, NotchCommandType::Remove, sel);
                         },
                         "Clear", buttonStyle))
        ->SetTooltip("Clear the selected notch.");
    y += 38.f;
    AttachText(ui, IRECT(x0 + 112.f, 315.f, R, 347.f), "double-click the graph to add a notch", kHint);

    const float lx = rr + 12.f;
    const float aw = R - lx;
    if (aw > 60.f)
    {
        const IRECT versionRect(lx, y - 18.f, R, y - 4.f);
        const IBitmap logo = ui.LoadBitmap(kLogoFile, 1.f);
        if (logo.W() > 1 && logo.H() > 1)
        {
            const float a = static_cast<float>(logo.W()) / static_cast<float>(logo.H());
            float h = aw / a;
            const float ah = (y - 4.f - 16.f) - s;
            float w = aw;
            if (h > ah)
            {
                h = ah;
                w = ah * a;
            }
            w = std::max(w, 1.f);
            if (h <= 0.f)
                h = w;
            const float left = (lx + R) / 2.f - w / 2.f;
            const float top = (s + y - 20.f) / 2.f - h / 2.f;
            ui.AttachControl(std::make_unique<LogoControl>(IRECT(left, top, left + w, top + h), logo));
        }
        AttachText(ui, versionRect, kVersionLabel, kVersion);
    }

    AttachText(ui, IRECT(x0, y, R, y + 18.f), "Auto Catch  (real-time notches, zero-latency)", kSectionHeading);
    ui.AttachControl(std::make_unique<AutoCatchSwitch>(IRECT(R - 132.f, y, R, y + 18.f), feed,
                                                       [&plugin] { plugin.MarkStateDirty(); }),
                     kAutoCatchModeTag)
        ->SetTooltip("Classic: the original detector. Adaptive: searches 40 Hz to 20 kHz, proves each new notch on "
                     "the loop (a howl collapses under it, a note does not) and keeps the notches that hold a howl.");
    y += 20.f;
    const VectorStyle paramStyle = ParamSliderStyle();
    const ParamRow autoRows[] = {
        {kSensitivity, "Sensitivity", "How readily the detector reacts to a rising tone."},
        {kAutoCut, "Auto Cut", "How deep new automatic notches cut (dB)."},
        {kAutoWidth, "Auto Width", "How narrow new automatic notches are."},
    };
    for (const ParamRow& row : autoRows)
    {
        AttachParamRow(ui, row, x0, R, y, paramStyle);
        y += 30.f;
    }

    AttachText(ui, IRECT(x0, y, R, y + 18.f), "Master  (adjust every notch at once)", kSectionHeading);
    y += 20.f;
    const ParamRow masterRows[] = {
        {kMasterTrim, "Master Trim", "Extra cut (dB) applied to every notch together."},
        {kMasterWidth, "Master Width", "Scales the width of every notch together."},
        {kNoNoise, "No-Noise", "Reduces steady background noise. Adds latency when above 0."},
        {kNoReverb, "No-Reverb", "Reduces the reverb tail. Adds latency when above 0."},
        {kGain, "Gain", "Makeup gain (dB)."},
    };
    for (const ParamRow& row : masterRows)
    {
        AttachParamRow(ui, row, x0, R, y, paramStyle);
        y += 30.f;
    }

    const VectorStyle switchStyle = SwitchStyle();
    const struct
    {
        int param;
        float offset;
        const char* label;
        const char* tooltip;
    } switches[] = {
        {kHold, 0.f, "Hold", "Freeze the current notches."},
        {kBypass, 130.f, "Bypass", "Bypass the whole plugin (audio passes through untouched)."},
    };
    for (const auto& sw1 : switches)
    {
        const float o = sw1.offset;
        ui.AttachControl(std::make_unique<IVToggleControl>(IRECT(x0 + o, y + 1.f, x0 + o + 22.f, y + 23.f), sw1.param, "",
                                                           switchStyle, "OFF", "ON"))
            ->SetTooltip(sw1.tooltip);
        AttachText(ui, IRECT(x0 + o + 28.f, y, x0 + o + 130.f, y + 26.f), sw1.label, kRowLabel);
    }

    ui.AttachControl(std::make_unique<IVButtonControl>(IRECT(R - 100.f, y, R, y + 30.f),
                                                       [&plugin, &feed](IControl*) { RestoreDefaultsAndClear(plugin, feed); },
                                                       "Reset", buttonStyle))
        ->SetTooltip("Restore defaults and clear every notch.");
    y += 32.f;

    AttachText(ui, IRECT(x0, y, R, y + 18.f),
               "Feedback suppressor: truly zero-latency.  No-Noise / No-Reverb add up to ~10 ms.", kHint);
    y += 20.f;
    AttachText(ui, IRECT(x0, y, R, y + 20.f), "Active filters: 0", kActiveHeading, kActiveCountTag);

    auto about = std::make_unique<AboutPopup>(IRECT(0.f, 0.f, W, H));
    AboutPopup* aboutPtr = about.get();
    ui.AttachControl(std::make_unique<SmallButton>(IRECT(W - 70.f, H - 30.f, W - 8.f, H - 8.f), "About",
                                                   [aboutPtr] {
                                                       aboutPtr->Hide(false);
                                                       aboutPtr->MarkDirty(false);
                                                   }))
        ->SetTooltip("About Ringstill, copyright and license");
    ui.AttachControl(std::move(about), kAboutTag)->Hide(true);
}

} // namespace ringstill
