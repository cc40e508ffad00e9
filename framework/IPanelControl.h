#pragma once
// IPanelControl: fills its rectangle with one colour (the editor's background, for one).
// UI thread only.

#include "framework/IColor.h"
#include "framework/IControl.h"

namespace igraphics {

class IPanelControl : public IControl
{
public:
    IPanelControl(const IRECT& bounds, const IColor& color) : IControl(bounds), mColor(color) {}

    void Draw(IGraphicsRenderer& g) override { g.FillRect(mColor, mRECT, GetBlend()); }

    const IColor& GetColor() const { return mColor; }
    void SetColor(const IColor& color)
    {
        mColor = color;
        SetRedraw();
    }

private:
    IColor mColor;
};

} // namespace igraphics
