// A platform without an editor window of its own yet: the view keeps its size and scale
// bookkeeping, but no window opens.
#include "vst3/EditorWindow.h"

namespace iplug {

std::unique_ptr<EditorWindow> OpenEditorWindow(igraphics::IGraphics& graphics, void* parent,
                                               Steinberg::IPlugFrame* frame)
{
    (void)graphics;
    (void)parent;
    (void)frame;
    return nullptr;
}

} // namespace iplug
