// The editor's two functions the effect installs: one makes the 740 x 726 context
// (30 frames per second, scale 1) with the delegate's graphics backend, the other fills it
// with every control. UI thread.
#pragma once

#include "framework/IGEditorDelegate.h"

namespace igraphics {
class IGraphics;
}

namespace ringstill {

class Ringstill;

iplug::IGEditorDelegate::GraphicsPtr MakeEditorGraphics(Ringstill& effect);
void LayoutEditor(Ringstill& effect, igraphics::IGraphics& graphics);

} // namespace ringstill
