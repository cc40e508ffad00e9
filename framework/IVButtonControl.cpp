#include "framework/IVButtonControl.h"

namespace igraphics {

IVButtonControl::IVButtonControl(const IRECT& bounds, IActionFunction action, const char* label,
                                 const VectorStyle& style, bool labelInButton, bool valueInButton)
    : IControl(bounds, std::move(action)), IVectorBase(style, label, labelInButton, valueInButton)
{
    SetMouseDblAsSingleClick(true);
    OnResize();
}

void IVButtonControl::OnMouseDown(float, float, const IMouseMod&)
{
    SetValue(1.0);
    StartAnimation(kPressAnimationMs);
    MarkDirty(true);
}

void IVButtonControl::OnEndAnimation()
{
    SetValue(0.0);
    MarkDirty(false);
    IControl::OnEndAnimation();
}

void IVButtonControl::OnResize()
{
    MakeRects(mRECT);
}

void IVButtonControl::SetValueStr(const char* str)
{
    mValueStr = str ? str : "";
    SetRedraw();
}

void IVButtonControl::Draw(IGraphicsRenderer& g)
{
    const IBlend* blend = GetBlend();
    const IRECT& r = mWidgetBounds;
    const float radius = CornerRadius(r);
    const bool pressed = GetValue() > 0.5;
    if (mStyle.drawShadows && !pressed)
        g.FillRoundRect(Color(kSH), r.GetTranslated(mStyle.shadowOffset, mStyle.shadowOffset), radius, blend);
    g.FillRoundRect(pressed ? Color(kPR) : Color(kFG), r, radius, blend);
    if (mMouseIsOver)
        g.FillRoundRect(Color(kHL), r, radius, blend);
    if (mStyle.drawFrame && mStyle.frameThickness > 0.f)
        g.DrawRoundRect(Color(kFR), r.GetPadded(-0.5f * mStyle.frameThickness), radius, blend,
                        mStyle.frameThickness);
    DrawLabel(g, blend);
    DrawValueText(g, mValueStr.c_str(), blend);
}

} // namespace igraphics
