// The editor's layout: every control of the 740 x 726 editor, bound to the plug-in's parameters
// or to the feed. UI thread, once per created context.
#pragma once

#include "effect/EditorFeed.h"
#include "framework/IGEditorDelegate.h"

namespace igraphics {
class IGraphics;
}

namespace ringstill {

void LayoutEditor(iplug::IGEditorDelegate& plugin, EditorFeed& feed, igraphics::IGraphics& ui);

} // namespace ringstill
