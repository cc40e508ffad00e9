// Windows: the editor opens as a Win32 child window of the host's HWND.
#include "vst3/EditorWindow.h"

#include "graphics/Win32Window.h"

#include <memory>
#include <utility>

namespace iplug {

namespace {

class Win32EditorWindow final : public EditorWindow
{
public:
    explicit Win32EditorWindow(std::unique_ptr<igraphics::Win32Window> window) : window(std::move(window)) {}

private:
    std::unique_ptr<igraphics::Win32Window> window;
};

} // namespace

// UI thread. Size changes reach the host through the context's ResizeEditor and the view's
// frame, so the window itself does not need the frame.
std::unique_ptr<EditorWindow> OpenEditorWindow(igraphics::IGraphics& graphics, void* parent,
                                               Steinberg::IPlugFrame* frame)
{
    (void)frame;
    auto window = igraphics::Win32Window::Open(graphics, parent);
    if (!window)
        return nullptr;
    return std::make_unique<Win32EditorWindow>(std::move(window));
}

} // namespace iplug
