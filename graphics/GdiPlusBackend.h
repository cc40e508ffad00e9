#pragma once
// The Windows graphics backend: contexts get a GdiPlusRenderer and the module's embedded
// resources (the font and logo as resources of the plug-in DLL). The module installs it on the
// editor delegate (SetGraphicsBackend) at construction; tests install it the same way.

#include "framework/GraphicsBackend.h"

namespace igraphics {

GraphicsBackend GdiPlusGraphicsBackend();

} // namespace igraphics
