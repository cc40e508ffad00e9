#pragma once
// IVectorBase: what the vector controls (slider, switch, toggle, button) share: a VectorStyle,
// a label, a value text, and the split of the control's rectangle into a label area on top, the
// widget in the middle and a value area at the bottom (areas the style hides take no room).
// UI thread only.

#include "framework/IControl.h"
#include "framework/VectorStyle.h"

#include <string>

namespace igraphics {

class IVectorBase
{
public:
    IVectorBase(const VectorStyle& style, const char* label, bool labelInWidget = false,
                bool valueInWidget = false);
    virtual ~IVectorBase() = default;

    const VectorStyle& GetStyle() const { return mStyle; }
    const char* GetLabelStr() const { return mLabelStr.c_str(); }
    const IRECT& GetWidgetBounds() const { return mWidgetBounds; }
    const IRECT& GetLabelBounds() const { return mLabelBounds; }
    const IRECT& GetValueBounds() const { return mValueBounds; }

protected:
    const IColor& Color(EVColor role) const { return mStyle.GetColor(role); }
    bool ShowsLabel() const { return mStyle.showLabel && !mLabelStr.empty(); }
    // Splits bounds into the three areas.
    void MakeRects(const IRECT& bounds);
    void DrawLabel(IGraphicsRenderer& g, const IBlend* blend) const;
    void DrawValueText(IGraphicsRenderer& g, const char* str, const IBlend* blend) const;
    // Corner radius of a rounded area from the style's roundness (0 square, 1 fully round).
    float CornerRadius(const IRECT& r) const;

    VectorStyle mStyle;
    std::string mLabelStr;
    bool mLabelInWidget;
    bool mValueInWidget;
    IRECT mWidgetBounds;
    IRECT mLabelBounds;
    IRECT mValueBounds;
};

} // namespace igraphics
