// The Ringstill module: its one class, and the function the factory constructs it with.
#include "editor/RingstillEditor.h"
#include "effect/Ringstill.h"
#include "framework/ProcessLock.h"
#include "graphics/PlatformBackend.h"
#include "vst3/ClassInfo.h"
#include "vst3/ModuleEntry.h"


namespace {

// Host thread. One plug-in at a time across the whole process, whichever thread asks.
Steinberg::FUnknown* CreateRingstill(void* /*context*/)
{
    iplug::ProcessLockGuard guard;
    ringstill::Ringstill* plug = nullptr;
    try
    {
        plug = new ringstill::Ringstill(iplug::InstanceInfo {});
        // The editor, with the platform's renderer and the module's font and logo.
        ringstill::InstallEditor(*plug, plug->Feed(), igraphics::PlatformGraphicsBackend());
        return static_cast<Steinberg::Vst::IAudioProcessor*>(plug);
    }
    catch (...)
    {
        // Out of memory while building the object: the host gets no instance, not an exception,
        // and a half-equipped object goes again.
        if (plug != nullptr)
            plug->release();
        return nullptr;
    }
}

} // namespace

void ringstill::vst3::DescribeModule(PluginFactory& factory)
{
    factory.RegisterClass(MakeEffectClassInfo(ringstill::kPluginName, ringstill::kMakerId, ringstill::kUniqueId),
                          &CreateRingstill);
}
