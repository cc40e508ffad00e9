// The effect's editor as a binary installs it on its plug-in object: the 740 x 726 context at
// 30 frames per second and scale 1, the layout of every control, and the idle update that keeps
// the texts and the selected notch's controls in step with the feed. The editor reaches the
// effect only through the plug-in base (parameters) and the EditorFeed. UI thread.
#pragma once

#include "effect/EditorFeed.h"
#include "framework/GraphicsBackend.h"
#include "framework/IGEditorDelegate.h"

namespace igraphics {
class IGraphics;
}

namespace ringstill {

// Construction thread, before the host can open the editor. The feed outlives the plug-in's
// editor (both belong to the plug-in object); the backend supplies renderer and resources.
void InstallEditor(iplug::IGEditorDelegate& plugin, EditorFeed& feed, igraphics::GraphicsBackend backend);

// Every 20 ms while the editor is open: marks the live controls dirty, writes "Active filters: "
// with the count, and shows the selected notch in its sliders and readouts.
void UpdateEditor(igraphics::IGraphics& ui, EditorFeed& feed);

// The editor's "Reset": parameter defaults without host edits, every slot removed through the
// command ring, no selection, everything redrawn.
void RestoreDefaultsAndClear(iplug::IGEditorDelegate& plugin, EditorFeed& feed);

} // namespace ringstill
