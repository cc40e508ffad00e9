#pragma once
// The Windows graphics backend: contexts get a GdiPlusRenderer and the module's embedded
// resources (the font and logo as resources of the plug-in DLL). The module hands it to the
// editor (InstallEditor) at construction; tests do the same.

#include "framework/GraphicsBackend.h"

namespace igraphics {

GraphicsBackend GdiPlusGraphicsBackend();

} // namespace igraphics
