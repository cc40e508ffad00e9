#include "framework/IVectorBase.h"

#include <algorithm>

namespace igraphics {

namespace {

constexpr float kTextAreaLeading = 1.25f; // a text area is this many font sizes high

} // namespace

IVectorBase::IVectorBase(const VectorStyle& style, const char* label, bool labelInWidget, bool valueInWidget)
    : mStyle(style), mLabelStr(label ? label : ""), mLabelInWidget(labelInWidget), mValueInWidget(valueInWidget)
{}

void IVectorBase::MakeRects(const IRECT& bounds)
{
    mWidgetBounds = bounds;
    mLabelBounds = {};
    mValueBounds = {};
    if (ShowsLabel())
    {
        if (mLabelInWidget)
            mLabelBounds = bounds;
        else
        {
            const float h = std::min(mStyle.labelText.size * kTextAreaLeading, bounds.H());
            mLabelBounds = IRECT(bounds.left, bounds.top, bounds.right, bounds.top + h);
            mWidgetBounds.top = mLabelBounds.bottom;
        }
    }
    if (mStyle.showValue)
    {
        if (mValueInWidget)
            mValueBounds = mWidgetBounds;
        else
        {
            const float h = std::min(mStyle.valueText.size * kTextAreaLeading, mWidgetBounds.H());
            mValueBounds = IRECT(bounds.left, mWidgetBounds.bottom - h, bounds.right, mWidgetBounds.bottom);
            mWidgetBounds.bottom = mValueBounds.top;
        }
    }
    // The widget fraction shrinks the widget about its centre.
    const float frac = std::clamp(mStyle.widgetFrac, 0.f, 1.f);
    if (frac < 1.f)
        mWidgetBounds = mWidgetBounds.GetCentredInside(mWidgetBounds.W() * frac, mWidgetBounds.H() * frac);
}

void IVectorBase::DrawLabel(IGraphicsRenderer& g, const IBlend* blend) const
{
    if (ShowsLabel())
        g.DrawText(mStyle.labelText, mLabelStr.c_str(), mLabelBounds, blend);
}

void IVectorBase::DrawValueText(IGraphicsRenderer& g, const char* str, const IBlend* blend) const
{
    if (mStyle.showValue && str && str[0] != '\0')
        g.DrawText(mStyle.valueText, str, mValueBounds, blend);
}

float IVectorBase::CornerRadius(const IRECT& r) const
{
    return std::clamp(mStyle.roundness, 0.f, 1.f) * 0.5f * std::min(r.W(), r.H());
}

} // namespace igraphics
