#include "graphics/EmbeddedResourceTable.h"
#include "graphics/EmbeddedResources.h"

namespace igraphics {

namespace {

bool SameNameIgnoringCase(const char* a, const char* b)
{
    for (; *a && *b; ++a, ++b)
    {
        const char ca = (*a >= 'A' && *a <= 'Z') ? static_cast<char>(*a - 'A' + 'a') : *a;
        const char cb = (*b >= 'A' && *b <= 'Z') ? static_cast<char>(*b - 'A' + 'a') : *b;
        if (ca != cb)
            return false;
    }
    return *a == *b;
}

class CompiledInResources final : public IEmbeddedResources
{
public:
    ResourceBytes Find(const char* name) const override { return FindEmbeddedResource(name); }
};

} // namespace

ResourceBytes FindEmbeddedResource(const char* name)
{
    if (!name)
        return {};
    for (std::size_t i = 0; i < kEmbeddedResourceCount; ++i)
        if (SameNameIgnoringCase(kEmbeddedResources[i].name, name))
            return {kEmbeddedResources[i].data, kEmbeddedResources[i].size};
    return {};
}

const IEmbeddedResources& ModuleResources()
{
    static const CompiledInResources resources;
    return resources;
}

} // namespace igraphics
