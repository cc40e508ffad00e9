#include "framework/IResourceLookup.h"

#include <cstdio>

namespace igraphics {

namespace {

bool ReadWholeFile(const char* path, std::vector<std::uint8_t>& out)
{
    std::FILE* f = std::fopen(path, "rb");
    if (!f)
        return false;
    bool ok = false;
    if (std::fseek(f, 0, SEEK_END) == 0)
    {
        const long end = std::ftell(f);
        if (end > 0 && static_cast<unsigned long>(end) <= kMaxResourceFileBytes && std::fseek(f, 0, SEEK_SET) == 0)
        {
            out.resize(static_cast<std::size_t>(end));
            ok = std::fread(out.data(), 1, out.size(), f) == out.size();
        }
    }
    std::fclose(f);
    if (!ok)
        out.clear();
    return ok;
}

} // namespace

ResourceBytes LoadResourceBytes(const IEmbeddedResources* embedded, const char* name,
                                std::vector<std::uint8_t>& storage)
{
    if (!name || name[0] == '\0')
        return {};
    if (embedded)
    {
        const ResourceBytes found = embedded->Find(name);
        if (found.Found())
            return found;
    }
    if (!ReadWholeFile(name, storage))
        return {};
    return {storage.data(), storage.size()};
}

} // namespace igraphics
