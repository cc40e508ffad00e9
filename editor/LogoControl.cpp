#include "editor/LogoControl.h"

#include "framework/IGraphicsRenderer.h"

namespace ringstill {

LogoControl::LogoControl(const igraphics::IRECT& bounds, const igraphics::IBitmap& bitmap)
    : IControl(bounds), bitmap(bitmap)
{
}

// UI thread.
void LogoControl::Draw(igraphics::IGraphicsRenderer& g)
{
    g.DrawFittedBitmap(bitmap, mRECT);
}

} // namespace ringstill
