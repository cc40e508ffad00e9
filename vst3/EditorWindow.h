#pragma once
// The platform window that holds an open graphics context inside the host's window: the X11
// child window on Linux, the Win32 child window on Windows. The view opens it in attached and
// destroys it in removed. UI thread only.

#include <memory>

namespace igraphics {
class IGraphics;
}
namespace Steinberg {
class IPlugFrame;
}

namespace iplug {

// The platform window holding an open graphics context inside the host's window.
class EditorWindow
{
public:
    virtual ~EditorWindow() = default;
};

// UI thread. Opens the context's window in the host's parent (an X11 window id on Linux, an
// HWND on Windows); frame is the view's IPlugFrame (may be null). Null when it cannot.
std::unique_ptr<EditorWindow> OpenEditorWindow(igraphics::IGraphics& graphics, void* parent,
                                               Steinberg::IPlugFrame* frame);

} // namespace iplug
