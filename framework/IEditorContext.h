// IEditorContext: what the plug-in base needs of an open editor, so that the base knows no
// graphics toolkit. The toolkit's graphics context implements it; the base owns the context
// through it while the editor is open. UI thread only.
#pragma once

namespace igraphics {
class IGraphics;
}

namespace iplug {

class IEditorContext
{
public:
    virtual ~IEditorContext() = default;

    // The controls bound to the parameter take the value.
    virtual void SendParamToEditor(int index, double value, bool isNormalised) = 0;
    // The toolkit's view of the same object, for the layout and the idle functions.
    virtual igraphics::IGraphics& Graphics() = 0;
};

} // namespace iplug
