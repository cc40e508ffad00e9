#include "vst3/ModuleEntry.h"

#include "vst3/ClassInfo.h"
#include "vst3/Guard.h"

#include <memory>
#include <mutex>

#if SMTG_OS_WINDOWS
#include <windows.h>
#endif

using namespace Steinberg;

namespace ringstill::vst3 {
namespace {

// Guards the factory pointer, the entry count and the module handle. Constant-initialised, so it
// exists before any static constructor of the module runs.
std::mutex gModuleLock;
PluginFactory* gFactory = nullptr;
int gEntryCount = 0;
void* gModuleHandle = nullptr;

void ForgetFactory(PluginFactory* factory)
{
    std::lock_guard<std::mutex> guard(gModuleLock);
    if (gFactory == factory)
        gFactory = nullptr;
}

IPluginFactory* AcquireFactory()
{
    std::lock_guard<std::mutex> guard(gModuleLock);
    // A factory whose last reference is going away is left to its destructor; hand out a new one.
    if (gFactory != nullptr && gFactory->TryAddRef())
        return gFactory;
    // The hook only once the factory is complete: it takes the lock held here.
    auto factory = std::make_unique<PluginFactory>(MakeFactoryInfo());
    DescribeModule(*factory);
    factory->SetDestroyHook(&ForgetFactory);
    gFactory = factory.release();
    return gFactory;
}

bool Enter(void* handle)
{
    std::lock_guard<std::mutex> guard(gModuleLock);
    if (gEntryCount++ == 0)
        gModuleHandle = handle;
    return true;
}

bool Leave()
{
    std::lock_guard<std::mutex> guard(gModuleLock);
    // An unmatched exit is refused instead of driving the count below zero.
    if (gEntryCount < 1)
        return false;
    if (--gEntryCount == 0)
        gModuleHandle = nullptr;
    return true;
}

} // namespace

void* ModuleHandle()
{
    std::lock_guard<std::mutex> guard(gModuleLock);
    return gModuleHandle;
}

} // namespace ringstill::vst3

extern "C" {

SMTG_EXPORT_SYMBOL IPluginFactory* PLUGIN_API GetPluginFactory()
{
    return ringstill::vst3::Guarded(static_cast<IPluginFactory*>(nullptr),
                                    [] { return ringstill::vst3::AcquireFactory(); });
}

#if SMTG_OS_WINDOWS
SMTG_EXPORT_SYMBOL bool InitDll()
{
    return ringstill::vst3::Guarded(false, [] {
        // The module instance of this DLL, found from the address of one of its own functions.
        HMODULE module = nullptr;
        GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           reinterpret_cast<LPCWSTR>(&InitDll), &module);
        return ringstill::vst3::Enter(module);
    });
}

SMTG_EXPORT_SYMBOL bool ExitDll()
{
    return ringstill::vst3::Guarded(false, [] { return ringstill::vst3::Leave(); });
}
#else
SMTG_EXPORT_SYMBOL bool ModuleEntry(void* sharedLibraryHandle)
{
    return ringstill::vst3::Guarded(false, [&] { return ringstill::vst3::Enter(sharedLibraryHandle); });
}

SMTG_EXPORT_SYMBOL bool ModuleExit()
{
    return ringstill::vst3::Guarded(false, [] { return ringstill::vst3::Leave(); });
}
#endif

} // extern "C"
