#pragma once
// What a graphics context needs from the platform backend (graphics/): a renderer for its
// drawing, font and bitmap decoding, and the module's embedded resources. The format binding
// (or a test, or the render tool) installs one on the editor delegate; the effect's
// make-graphics function then stays free of platform code. Without a backend a context still
// works, but loads no font or bitmap and draws only when given a renderer.

#include "framework/IGraphicsRenderer.h"
#include "framework/IResourceLookup.h"

#include <functional>
#include <memory>

namespace igraphics {

struct GraphicsBackend
{
    std::function<std::unique_ptr<IGraphicsRenderer>()> makeRenderer;
    const IEmbeddedResources* resources = nullptr; // lives as long as the module
};

} // namespace igraphics
