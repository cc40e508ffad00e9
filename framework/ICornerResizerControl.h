#pragma once
// ICornerResizerControl: the square handle in the editor's bottom-right corner, size pixels on
// screen (size / draw scale in editor coordinates). Over it the pointer shows a diagonal resize
// cursor; a press starts the context's resize gesture (size or scale mode, the context's
// choice), released with the mouse; a double-click returns the editor to its initial size and
// scale. The context holds it apart from the other controls. UI thread only.

#include "framework/IColor.h"
#include "framework/IControl.h"

namespace igraphics {

class ICornerResizerControl : public IControl
{
public:
    ICornerResizerControl(const IRECT& graphicsBounds, float size, const IColor& color = IColor(60, 255, 255, 255),
                          const IColor& mouseOverColor = IColor(110, 255, 255, 255),
                          const IColor& dragColor = IColor(170, 255, 255, 255));

    void OnMouseDown(float x, float y, const IMouseMod& mod) override;
    void OnMouseUp(float x, float y, const IMouseMod& mod) override;
    void OnMouseDrag(float x, float y, float dX, float dY, const IMouseMod& mod) override;
    void OnMouseDblClick(float x, float y, const IMouseMod& mod) override;
    void OnMouseOver(float x, float y, const IMouseMod& mod) override;
    void OnMouseOut() override;
    // Keeps the handle in the corner of the context's current bounds.
    void OnResize() override;
    void Draw(IGraphicsRenderer& g) override;

    float GetSize() const { return mSize; }

private:
    void Place(const IRECT& graphicsBounds, float drawScale);

    float mSize;
    IColor mColor;
    IColor mMouseOverColor;
    IColor mDragColor;
    bool mDragging = false;
};

} // namespace igraphics
