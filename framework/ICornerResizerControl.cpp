#include "framework/ICornerResizerControl.h"

#include "framework/IGraphics.h"

namespace igraphics {

ICornerResizerControl::ICornerResizerControl(const IRECT& graphicsBounds, float size, const IColor& color,
                                             const IColor& mouseOverColor, const IColor& dragColor)
    : IControl(graphicsBounds), mSize(size), mColor(color), mMouseOverColor(mouseOverColor), mDragColor(dragColor)
{
    Place(graphicsBounds, 1.f);
}

void ICornerResizerControl::Place(const IRECT& b, float drawScale)
{
    // One pixel clear of the edges, as a grip usually sits.
    const float s = mSize / (drawScale > 0.f ? drawScale : 1.f);
    mRECT = IRECT(b.right - s + 1.f, b.bottom - s + 1.f, b.right - 1.f, b.bottom - 1.f);
    mTargetRECT = mRECT;
    SetRedraw();
}

void ICornerResizerControl::OnResize()
{
    if (IGraphics* ui = GetUI())
        Place(ui->GetBounds(), ui->GetDrawScale());
}

void ICornerResizerControl::OnMouseDown(float x, float y, const IMouseMod&)
{
    mDragging = true;
    SetRedraw();
    if (IGraphics* ui = GetUI())
        ui->StartResizeGesture(x, y);
}

void ICornerResizerControl::OnMouseUp(float, float, const IMouseMod&)
{
    mDragging = false;
    SetRedraw();
    if (IGraphics* ui = GetUI())
        ui->EndResizeGesture();
}

void ICornerResizerControl::OnMouseDrag(float x, float y, float, float, const IMouseMod&)
{
    if (IGraphics* ui = GetUI())
        ui->OnDragResize(x, y);
}

void ICornerResizerControl::OnMouseDblClick(float, float, const IMouseMod&)
{
    if (IGraphics* ui = GetUI())
        ui->Resize(ui->InitialWidth(), ui->InitialHeight(), ui->InitialScale());
}

void ICornerResizerControl::OnMouseOver(float x, float y, const IMouseMod& mod)
{
    IControl::OnMouseOver(x, y, mod);
    if (IGraphics* ui = GetUI())
        ui->SetMouseCursor(ECursor::SizeNWSE);
}

void ICornerResizerControl::OnMouseOut()
{
    IControl::OnMouseOut();
    if (IGraphics* ui = GetUI())
        ui->SetMouseCursor(ECursor::Arrow);
}

void ICornerResizerControl::Draw(IGraphicsRenderer& g)
{
    const IColor& c = mDragging ? mDragColor : (mMouseIsOver ? mMouseOverColor : mColor);
    g.PathClear();
    g.PathMoveTo(mRECT.right, mRECT.top);
    g.PathLineTo(mRECT.right, mRECT.bottom);
    g.PathLineTo(mRECT.left, mRECT.bottom);
    g.PathClose();
    g.PathFill(c, GetBlend());
}

} // namespace igraphics
