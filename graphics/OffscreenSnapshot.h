#pragma once
// Drawing a whole graphics context without a window: into an offscreen image of the context's
// pixel size (editor size x draw scale x screen scale), and from there into a PNG file. Used by
// the tests and by the render tool's snapshot. UI thread (the context's thread).

#include "graphics/CairoRenderer.h"

namespace igraphics {

class IGraphics;

// Gives renderer a fresh offscreen image and draws every control into it (dirty or not).
// False when the image could not be made or nothing could be drawn.
bool DrawOffscreen(IGraphics& graphics, CairoRenderer& renderer);

// DrawOffscreen into a renderer of its own, then writes the image as PNG to path.
bool WriteSnapshotPng(IGraphics& graphics, const char* path);

} // namespace igraphics
