#include "graphics/GdiPlusBackend.h"

#include "graphics/EmbeddedResources.h"
#include "graphics/GdiPlusRenderer.h"

#include "graphics/PlatformBackend.h"

namespace igraphics {

GraphicsBackend GdiPlusGraphicsBackend()
{
    GraphicsBackend backend;
    backend.makeRenderer = [] { return std::unique_ptr<IGraphicsRenderer>(std::make_unique<GdiPlusRenderer>()); };
    backend.resources = &ModuleResources();
    return backend;
}

// The backend of this platform, for the module.
GraphicsBackend PlatformGraphicsBackend()
{
    return GdiPlusGraphicsBackend();
}

} // namespace igraphics
