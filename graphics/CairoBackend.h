#pragma once
// The Linux graphics backend: contexts get a CairoRenderer and the module's embedded resources.
// The module, the tests and the render tool hand it to the editor (InstallEditor) before the
// editor opens.

#include "framework/GraphicsBackend.h"

namespace igraphics {

GraphicsBackend CairoGraphicsBackend();

} // namespace igraphics
