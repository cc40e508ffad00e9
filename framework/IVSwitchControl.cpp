#include "framework/IVSwitchControl.h"

#include "framework/IParam.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace igraphics {

namespace {

// Just above 1: sums of 1 / (n - 1) may overshoot 1 by a rounding error on the last state.
constexpr double kWrapLimit = 1.0000000000000002;

} // namespace

void DefaultClickActionFunc(IControl* caller)
{
    if (caller)
        caller->StartAnimation(kPressAnimationMs);
}

IVSwitchControl::IVSwitchControl(const IRECT& bounds, int paramIdx, const char* label, const VectorStyle& style,
                                 bool valueInButton)
    : IControl(bounds, paramIdx, DefaultClickActionFunc), IVectorBase(style, label, false, valueInButton),
      mNumStates(2)
{
    SetMouseDblAsSingleClick(true);
    OnResize();
}

IVSwitchControl::IVSwitchControl(const IRECT& bounds, IActionFunction action, const char* label,
                                 const VectorStyle& style, int numStates, bool valueInButton)
    : IControl(bounds, std::move(action)), IVectorBase(style, label, false, valueInButton),
      mNumStates(std::max(numStates, 2))
{
    SetMouseDblAsSingleClick(true);
    OnResize();
}

int IVSwitchControl::NStates() const
{
    if (const iplug::IParam* param = GetParam())
        return std::max(int(std::lround(param->GetMax() - param->GetMin())) + 1, 2);
    return mNumStates;
}

void IVSwitchControl::OnMouseDown(float, float, const IMouseMod&)
{
    mPressed = true;
    const int n = NStates();
    double v = GetValue();
    if (n == 2)
        v = (v == 0.0) ? 1.0 : 0.0;
    else
    {
        v += 1.0 / double(n - 1);
        if (v > kWrapLimit)
            v = 0.0;
    }
    SetValue(v);
    MarkDirty(true);
}

void IVSwitchControl::OnMouseUp(float, float, const IMouseMod&)
{
    mPressed = false;
    MarkDirty(false);
}

void IVSwitchControl::OnResize()
{
    MakeRects(mRECT);
}

std::string IVSwitchControl::StateText() const
{
    char text[64];
    if (const iplug::IParam* param = GetParam())
    {
        param->FormatDisplay(GetValue(), true, text, iplug::kParamTextSize, true);
        return text;
    }
    const int n = NStates();
    std::snprintf(text, sizeof(text), "%d", int(std::lround(GetValue() * double(n - 1))));
    return text;
}

void IVSwitchControl::Draw(IGraphicsRenderer& g)
{
    const IBlend* blend = GetBlend();
    const IRECT& r = mWidgetBounds;
    const float radius = CornerRadius(r);
    const bool pressed = mPressed || IsAnimating();
    if (mStyle.drawShadows && !pressed)
        g.FillRoundRect(Color(kSH), r.GetTranslated(mStyle.shadowOffset, mStyle.shadowOffset), radius, blend);
    g.FillRoundRect(Color(kBG), r, radius, blend);
    if (GetValue() > 0.0)
    {
        // With more than two states the fill grows with the state.
        const int n = NStates();
        IRECT on = r.GetPadded(-2.f);
        if (n > 2)
            on.right = on.left + on.W() * float(std::clamp(GetValue(), 0.0, 1.0));
        g.FillRoundRect(pressed ? Color(kPR) : Color(kFG), on, CornerRadius(on), blend);
    }
    else if (pressed)
        g.FillRoundRect(Color(kPR), r.GetPadded(-2.f), CornerRadius(r.GetPadded(-2.f)), blend);
    if (mMouseIsOver)
        g.FillRoundRect(Color(kHL), r, radius, blend);
    if (mStyle.drawFrame && mStyle.frameThickness > 0.f)
        g.DrawRoundRect(Color(kFR), r.GetPadded(-0.5f * mStyle.frameThickness), radius, blend,
                        mStyle.frameThickness);
    DrawLabel(g, blend);
    if (mStyle.showValue)
        DrawValueText(g, StateText().c_str(), blend);
}

IVToggleControl::IVToggleControl(const IRECT& bounds, int paramIdx, const char* label, const VectorStyle& style,
                                 const char* offText, const char* onText)
    : IVSwitchControl(bounds, paramIdx, label, style, true), mOffText(offText ? offText : ""),
      mOnText(onText ? onText : "")
{}

IVToggleControl::IVToggleControl(const IRECT& bounds, IActionFunction action, const char* label,
                                 const VectorStyle& style, const char* offText, const char* onText, bool initialState)
    : IVSwitchControl(bounds, std::move(action), label, style, 2, true), mOffText(offText ? offText : ""),
      mOnText(onText ? onText : "")
{
    SetValue(initialState ? 1.0 : 0.0);
}

std::string IVToggleControl::StateText() const
{
    return GetValue() > 0.5 ? mOnText : mOffText;
}

} // namespace igraphics
