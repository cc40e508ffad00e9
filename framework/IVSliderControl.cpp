#include "framework/IVSliderControl.h"

#include "framework/IGraphics.h"
#include "framework/IParam.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace igraphics {

IVSliderControl::IVSliderControl(const IRECT& bounds, int paramIdx, const char* label, const VectorStyle& style,
                                 EDirection dir, float handleSize, float trackSize)
    : IControl(bounds, paramIdx), IVectorBase(style, label), mDirection(dir),
      mHandleSize(std::max(handleSize, 0.f)), mTrackSize(std::max(trackSize, 0.f))
{
    OnResize();
}

IVSliderControl::IVSliderControl(const IRECT& bounds, IActionFunction action, const char* label,
                                 const VectorStyle& style, EDirection dir, float handleSize, float trackSize)
    : IControl(bounds, std::move(action)), IVectorBase(style, label), mDirection(dir),
      mHandleSize(std::max(handleSize, 0.f)), mTrackSize(std::max(trackSize, 0.f))
{
    OnResize();
}

void IVSliderControl::OnResize()
{
    MakeRects(mRECT);
    const IRECT& w = mWidgetBounds;
    const float halfTrack = 0.5f * mTrackSize;
    if (mDirection == EDirection::Horizontal)
    {
        const float inset = std::min(mHandleSize, 0.5f * w.W());
        mTrackBounds = IRECT(w.left + inset, w.MH() - halfTrack, w.right - inset, w.MH() + halfTrack);
    }
    else
    {
        const float inset = std::min(mHandleSize, 0.5f * w.H());
        mTrackBounds = IRECT(w.MW() - halfTrack, w.top + inset, w.MW() + halfTrack, w.bottom - inset);
    }
}

bool IVSliderControl::IsStepped() const
{
    const iplug::IParam* param = GetParam();
    return param && param->HasFlag(iplug::ParamFlags::Stepped);
}

double IVSliderControl::ValueForPosition(float x, float y) const
{
    double v = 0.0;
    if (mDirection == EDirection::Horizontal)
        v = mTrackBounds.W() > 0.f ? (x - mTrackBounds.left) / mTrackBounds.W() : 0.0;
    else
        v = mTrackBounds.H() > 0.f ? (mTrackBounds.bottom - y) / mTrackBounds.H() : 0.0;
    return std::clamp(v, 0.0, 1.0);
}

void IVSliderControl::SnapToMouse(float x, float y, bool always)
{
    double v = ValueForPosition(x, y);
    if (const iplug::IParam* param = GetParam(); param && IsStepped())
        v = param->NormaliseValue(param->DenormaliseValue(v)); // onto the nearest step
    else
        v = std::round(v / kDragQuantum) * kDragQuantum;
    if (!always && v == GetValue())
        return;
    SetValue(v);
    MarkDirty(true);
}

void IVSliderControl::OnMouseDown(float x, float y, const IMouseMod&)
{
    mDragging = true;
    if (mStyle.hideCursor && GetUI())
        GetUI()->HideMouseCursor(true);
    SnapToMouse(x, y, true);
}

void IVSliderControl::OnMouseUp(float, float, const IMouseMod&)
{
    mDragging = false;
    if (mStyle.hideCursor && GetUI())
        GetUI()->HideMouseCursor(false);
    MarkDirty(false);
}

void IVSliderControl::OnMouseDrag(float x, float y, float, float, const IMouseMod&)
{
    SnapToMouse(x, y, false);
}

void IVSliderControl::OnMouseWheel(float, float, const IMouseMod& mod, float d)
{
    double v = GetValue();
    const iplug::IParam* param = GetParam();
    if (param && IsStepped())
    {
        const double range = param->GetMax() - param->GetMin();
        const double step = range > 0.0 ? param->GetStep() / range : 1.0;
        if (d == 0.f)
            return;
        v = param->NormaliseValue(param->DenormaliseValue(v + (d > 0.f ? step : -step)));
    }
    else
        v += double(d) * ((mod.S || mod.C) ? kFineWheelStep : kWheelStep);
    SetValue(v);
    MarkDirty(true);
}

std::string IVSliderControl::ValueText() const
{
    char text[64];
    if (const iplug::IParam* param = GetParam())
    {
        const double value = param->DenormaliseValue(GetValue());
        param->FormatDisplay(value, false, text, iplug::kParamTextSize, true);
        std::string shown(text);
        if (param->GetLabel()[0] != '\0' && !param->DisplayTextFor(value))
            shown.append(" ").append(param->GetLabel());
        return shown;
    }
    std::snprintf(text, sizeof(text), "%.3f", GetValue());
    return text;
}

void IVSliderControl::Draw(IGraphicsRenderer& g)
{
    const IBlend* blend = GetBlend();
    if (Color(kBG).a > 0)
        g.FillRect(Color(kBG), mWidgetBounds, blend);

    const double v = std::clamp(GetValue(), 0.0, 1.0);
    const float trackRadius = CornerRadius(mTrackBounds);
    g.FillRoundRect(Color(kSH), mTrackBounds, trackRadius, blend);
    float cx = 0.f;
    float cy = 0.f;
    IRECT filled = mTrackBounds;
    if (mDirection == EDirection::Horizontal)
    {
        cx = mTrackBounds.left + float(v) * mTrackBounds.W();
        cy = mTrackBounds.MH();
        filled.right = cx;
    }
    else
    {
        cx = mTrackBounds.MW();
        cy = mTrackBounds.bottom - float(v) * mTrackBounds.H();
        filled.top = cy;
    }
    if (filled.HasArea())
        g.FillRoundRect(Color(kX1), filled, trackRadius, blend);

    const float r = mHandleSize;
    if (r > 0.f)
    {
        if (mStyle.drawShadows)
            g.FillCircle(Color(kSH), cx + mStyle.shadowOffset, cy + mStyle.shadowOffset, r, blend);
        g.FillCircle(mDragging ? Color(kPR) : Color(kFG), cx, cy, r, blend);
        if (mMouseIsOver || mDragging)
            g.FillCircle(Color(kHL), cx, cy, r, blend);
        if (mStyle.drawFrame && mStyle.frameThickness > 0.f)
            g.DrawCircle(Color(kFR), cx, cy, r - 0.5f * mStyle.frameThickness, blend, mStyle.frameThickness);
    }
    DrawLabel(g, blend);
    if (mStyle.showValue)
        DrawValueText(g, ValueText().c_str(), blend);
}

} // namespace igraphics
