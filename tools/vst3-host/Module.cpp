#include "tools/vst3-host/Module.h"

#include <cstring>
#include <filesystem>

#if SMTG_OS_WINDOWS
#include <windows.h>
#else
#include <dlfcn.h>
#endif

using namespace Steinberg;

namespace ringstill::vst3host {
namespace {

using GetFactoryFunction = IPluginFactory* (PLUGIN_API*)();
#if SMTG_OS_WINDOWS
using EntryFunction = bool (*)();
constexpr const char* kEntryName = "InitDll";
constexpr const char* kExitName = "ExitDll";
#else
using EntryFunction = bool (*)(void*);
constexpr const char* kEntryName = "ModuleEntry";
constexpr const char* kExitName = "ModuleExit";
#endif
using ExitFunction = bool (*)();

void SetError(std::string* error, const std::string& text)
{
    if (error != nullptr)
        *error = text;
}

void* OpenLibrary(const std::string& path, std::string& reason)
{
#if SMTG_OS_WINDOWS
    void* library = LoadLibraryW(std::filesystem::path(path).wstring().c_str());
    if (library == nullptr)
        reason = "error " + std::to_string(GetLastError());
    return library;
#else
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr)
    {
        const char* text = dlerror();
        reason = text != nullptr ? text : "unknown error";
    }
    return library;
#endif
}

void CloseLibrary(void* library)
{
#if SMTG_OS_WINDOWS
    FreeLibrary(static_cast<HMODULE>(library));
#else
    dlclose(library);
#endif
}

void* FindSymbol(void* library, const char* name)
{
    if (library == nullptr)
        return nullptr;
#if SMTG_OS_WINDOWS
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
#else
    return dlsym(library, name);
#endif
}

} // namespace

std::string Module::ResolveBinaryPath(const std::string& path)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path bundle(path);
    if (!fs::is_directory(bundle, ec))
        return path;
    fs::path name = bundle.filename();
    if (name.empty())
        name = bundle.parent_path().filename();
    const std::string stem = name.stem().string();
#if SMTG_OS_WINDOWS
    return (bundle / "Contents" / "x86_64-win" / (stem + ".vst3")).string();
#else
#if defined(__aarch64__)
    const char* arch = "aarch64-linux";
#else
    const char* arch = "x86_64-linux";
#endif
    return (bundle / "Contents" / arch / (stem + ".so")).string();
#endif
}

std::shared_ptr<Module> Module::Load(const std::string& path, std::string* error)
{
    std::shared_ptr<Module> module(new Module());
    module->binaryPath = ResolveBinaryPath(path);

    std::string reason;
    void* library = OpenLibrary(module->binaryPath, reason);
    if (library == nullptr)
    {
        SetError(error, "cannot load " + module->binaryPath + ": " + reason);
        return nullptr;
    }

    auto entry = reinterpret_cast<EntryFunction>(FindSymbol(library, kEntryName));
    auto getFactory = reinterpret_cast<GetFactoryFunction>(FindSymbol(library, "GetPluginFactory"));
    if (getFactory == nullptr)
    {
        CloseLibrary(library);
        SetError(error, module->binaryPath + " exports no GetPluginFactory");
        return nullptr;
    }
#if SMTG_OS_WINDOWS
    const bool entered = entry == nullptr || entry();
#else
    const bool entered = entry == nullptr || entry(library);
#endif
    if (!entered)
    {
        CloseLibrary(library);
        SetError(error, std::string(kEntryName) + " of " + module->binaryPath + " failed");
        return nullptr;
    }
    // From here on the destructor undoes the entry call and the loading.
    module->library = library;
    module->factory = getFactory();
    if (module->factory == nullptr)
    {
        SetError(error, "GetPluginFactory of " + module->binaryPath + " returned no factory");
        return nullptr;
    }
    return module;
}

Module::~Module()
{
    ReleaseFactory();
    if (library != nullptr)
    {
        CallExit();
        CloseLibrary(library);
    }
}

void Module::ReleaseFactory()
{
    if (factory != nullptr)
    {
        factory->release();
        factory = nullptr;
    }
}

std::vector<PClassInfo2> Module::Classes() const
{
    std::vector<PClassInfo2> classes;
    if (factory == nullptr)
        return classes;
    IPluginFactory2* factory2 = nullptr;
    factory->queryInterface(IPluginFactory2::iid, reinterpret_cast<void**>(&factory2));
    const int32 count = factory->countClasses();
    for (int32 i = 0; i < count; ++i)
    {
        PClassInfo2 info;
        if (factory2 != nullptr && factory2->getClassInfo2(i, &info) == kResultOk)
        {
            classes.push_back(info);
            continue;
        }
        PClassInfo info1;
        if (factory->getClassInfo(i, &info1) != kResultOk)
            continue;
        std::memcpy(info.cid, info1.cid, sizeof(TUID));
        info.cardinality = info1.cardinality;
        std::memcpy(info.category, info1.category, sizeof(info.category));
        std::memcpy(info.name, info1.name, sizeof(info.name));
        classes.push_back(info);
    }
    if (factory2 != nullptr)
        factory2->release();
    return classes;
}

void* Module::Symbol(const char* name) const { return FindSymbol(library, name); }

bool Module::CallEntry()
{
    auto entry = reinterpret_cast<EntryFunction>(FindSymbol(library, kEntryName));
    if (entry == nullptr)
        return false;
#if SMTG_OS_WINDOWS
    return entry();
#else
    return entry(library);
#endif
}

bool Module::CallExit()
{
    auto exit = reinterpret_cast<ExitFunction>(FindSymbol(library, kExitName));
    return exit != nullptr && exit();
}

} // namespace ringstill::vst3host
