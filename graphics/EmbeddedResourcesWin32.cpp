// Windows: the font and logo are resources of the module (graphics/Resources.rc), named by
// their file names. Resource names compare without regard to case, as the lookup promises.
#include "graphics/EmbeddedResources.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace igraphics {

namespace {

// The module this code is linked into (the plug-in DLL or a test executable), not the host's.
HMODULE ThisModule()
{
    static const HMODULE module = [] {
        HMODULE m = nullptr;
        ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                             reinterpret_cast<LPCWSTR>(&ThisModule), &m);
        return m;
    }();
    return module;
}

class ModuleResourceTable final : public IEmbeddedResources
{
public:
    ResourceBytes Find(const char* name) const override { return FindEmbeddedResource(name); }
};

} // namespace

ResourceBytes FindEmbeddedResource(const char* name)
{
    // "#123" would name a numbered resource, which ours never are.
    if (!name || name[0] == '\0' || name[0] == '#')
        return {};
    wchar_t wide[MAX_PATH];
    if (::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, name, -1, wide, MAX_PATH) <= 0)
        return {};
    const HMODULE module = ThisModule();
    HRSRC found = ::FindResourceW(module, wide, MAKEINTRESOURCEW(10)); // RT_RCDATA
    if (!found)
        return {};
    const DWORD size = ::SizeofResource(module, found);
    HGLOBAL loaded = ::LoadResource(module, found);
    const void* bytes = loaded ? ::LockResource(loaded) : nullptr;
    if (!bytes || size == 0)
        return {};
    return {static_cast<const std::uint8_t*>(bytes), static_cast<std::size_t>(size)};
}

const IEmbeddedResources& ModuleResources()
{
    static const ModuleResourceTable resources;
    return resources;
}

} // namespace igraphics
