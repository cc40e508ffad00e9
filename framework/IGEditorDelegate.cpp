#include "framework/IGEditorDelegate.h"

#include "framework/IGraphics.h"

namespace iplug {

IGEditorDelegate::IGEditorDelegate(int nParams) : IEditorDelegate(nParams) {}

IGEditorDelegate::~IGEditorDelegate()
{
    CloseEditor();
}

igraphics::IGraphics* IGEditorDelegate::OpenEditor()
{
    if (graphics)
        return graphics.get();
    if (!makeGraphics)
        return nullptr;
    GraphicsPtr made = makeGraphics();
    if (!made)
        return nullptr;
    // Owned before the layout runs, so controls that ask for the open context find it.
    graphics = std::move(made);
    if (layout)
        layout(*graphics);
    for (int i = 0; i < NParams(); ++i)
        graphics->SendParamToEditor(i, GetParam(i)->CurrentNormalised(), true);
    return graphics.get();
}

void IGEditorDelegate::SendParamToEditor(int index, double value, bool isNormalised)
{
    if (graphics)
        graphics->SendParamToEditor(index, value, isNormalised);
}

void IGEditorDelegate::CloseEditor()
{
    // Moved out first: controls destroyed with the context must see the editor closed.
    GraphicsPtr closing = std::move(graphics);
    graphics = GraphicsPtr(nullptr, &IGEditorDelegate::NoDelete);
    closing.reset();
}

} // namespace iplug
