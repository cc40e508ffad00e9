#pragma once
// The Linux graphics backend: contexts get a CairoRenderer and the module's embedded resources.
// The format binding, the tests and the render tool install it on the editor delegate
// (SetGraphicsBackend) before the editor opens.

#include "framework/GraphicsBackend.h"

namespace igraphics {

GraphicsBackend CairoGraphicsBackend();

} // namespace igraphics
