#include "graphics/GdiPlusBackend.h"

#include "graphics/EmbeddedResources.h"
#include "graphics/GdiPlusRenderer.h"

#if __has_include("graphics/PlatformBackend.h")
#include "graphics/PlatformBackend.h"
#else
namespace igraphics {
GraphicsBackend PlatformGraphicsBackend();
}
#endif

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
