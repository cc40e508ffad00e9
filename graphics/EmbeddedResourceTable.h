#pragma once
// The resources compiled into the module on Linux: a table generated at build time from the
// resources folder (cmake/EmbedResources.cmake). Only EmbeddedResourcesLinux.cpp reads it.

#include <cstddef>

namespace igraphics {

struct EmbeddedResource
{
    const char* name; // file name, e.g. "Ringstill.png"
    const unsigned char* data;
    std::size_t size;
};

extern const EmbeddedResource kEmbeddedResources[];
extern const std::size_t kEmbeddedResourceCount;

} // namespace igraphics
