#include "graphics/CairoBackend.h"

#include "graphics/CairoRenderer.h"
#include "graphics/EmbeddedResources.h"
#include "graphics/PlatformBackend.h"

namespace igraphics {

GraphicsBackend CairoGraphicsBackend()
{
    GraphicsBackend backend;
    backend.makeRenderer = [] { return std::unique_ptr<IGraphicsRenderer>(std::make_unique<CairoRenderer>()); };
    backend.resources = &ModuleResources();
    return backend;
}

GraphicsBackend PlatformGraphicsBackend()
{
    return CairoGraphicsBackend();
}

} // namespace igraphics
