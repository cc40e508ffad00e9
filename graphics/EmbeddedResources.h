#pragma once
// The module's embedded resources (the font and the logo), found by file name. Linux compiles
// them in as byte arrays; Windows keeps them as module resources. Either way the graphics
// context sees them only through IEmbeddedResources.

#include "framework/IResourceLookup.h"

namespace igraphics {

// Any thread. The embedded bytes of name ("Roboto-Regular.ttf", "Ringstill.png"), compared
// without regard to ASCII case as Windows resource names are; empty when there is none.
ResourceBytes FindEmbeddedResource(const char* name);

// The lookup to hand to the graphics context; lives as long as the module.
const IEmbeddedResources& ModuleResources();

} // namespace igraphics
