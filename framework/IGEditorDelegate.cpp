#include "framework/IGEditorDelegate.h"

namespace iplug {

IGEditorDelegate::IGEditorDelegate(int nParams) : IEditorDelegate(nParams) {}

IGEditorDelegate::~IGEditorDelegate()
{
    CloseEditor();
}

igraphics::IGraphics* IGEditorDelegate::OpenEditor()
{
    if (graphics)
        return &graphics->Graphics();
    if (!makeGraphics)
        return nullptr;
    GraphicsPtr made = makeGraphics();
    if (!made)
        return nullptr;
    // Owned before the layout runs, so controls that ask for the open context find it.
    graphics = std::move(made);
    if (layout)
        layout(graphics->Graphics());
    for (int i = 0; i < NParams(); ++i)
        graphics->SendParamToEditor(i, GetParam(i)->CurrentNormalised(), true);
    return &graphics->Graphics();
}

void IGEditorDelegate::SendParamToEditor(int index, double value, bool isNormalised)
{
    if (graphics)
        graphics->SendParamToEditor(index, value, isNormalised);
}

void IGEditorDelegate::RunEditorIdle()
{
    if (graphics && idle)
        idle(graphics->Graphics());
}

void IGEditorDelegate::CloseEditor()
{
    // Moved out first: controls destroyed with the context must see the editor closed.
    GraphicsPtr closing = std::move(graphics);
    closing.reset();
}

} // namespace iplug
