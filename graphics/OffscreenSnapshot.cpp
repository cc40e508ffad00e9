#include "graphics/OffscreenSnapshot.h"

#include "framework/IGraphics.h"

namespace igraphics {

bool DrawOffscreen(IGraphics& graphics, CairoRenderer& renderer)
{
    if (!renderer.CreateOffscreen(graphics.PixelWidth(), graphics.PixelHeight()))
        return false;
    return !graphics.Draw(renderer, true).Empty();
}

bool WriteSnapshotPng(IGraphics& graphics, const char* path)
{
    CairoRenderer renderer;
    return path && DrawOffscreen(graphics, renderer) && renderer.WritePng(path);
}

} // namespace igraphics
