#pragma once
// The graphics backend of the platform the module is built for: the one the VST 3 module hands
// to the editor (InstallEditor) when it constructs the plug-in. Linux: cairo with the embedded
// resources; Windows: GDI+ with the module's resources.

#include "framework/GraphicsBackend.h"

namespace igraphics {

GraphicsBackend PlatformGraphicsBackend();

} // namespace igraphics
