#include "editor/RingstillEditor.h"

#include "editor/EditorLayout.h"
#include "effect/RingstillParams.h"
#include "framework/IGraphics.h"

#include <utility>

namespace ringstill {

// Construction thread.
void InstallEditor(iplug::IGEditorDelegate& plugin, EditorFeed& feed, igraphics::GraphicsBackend backend)
{
    plugin.SetMakeGraphicsFunc([&plugin, backend = std::move(backend)]() -> iplug::IGEditorDelegate::GraphicsPtr {
        return igraphics::MakeGraphics(plugin, backend, kEditorWidth, kEditorHeight, kEditorFps, kEditorScale);
    });
    plugin.SetLayoutFunc([&plugin, &feed](igraphics::IGraphics& ui) {
        LayoutEditor(plugin, feed, ui);
        // A new layout shows no selection yet: the next idle tick sets up the selected-notch
        // controls even when the selection is the one an earlier editor showed.
        feed.shownSelection.store(-2);
    });
    plugin.SetIdleFunc([&feed](igraphics::IGraphics& ui) { UpdateEditor(ui, feed); });
}

} // namespace ringstill
