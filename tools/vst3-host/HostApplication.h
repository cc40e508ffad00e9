// The host context handed to initialize: IHostApplication with a name the caller chooses (so a
// plug-in's host-specific paths can be reached), creating the SDK's message and attribute list
// objects on request. Reference counted; create with new and hold in an IPtr (owned).
#pragma once

#include "tools/vst3-host/RefCounted.h"

#include "pluginterfaces/vst/ivsthostapplication.h"

#include <mutex>
#include <string>

namespace ringstill::vst3host {

class HostApplication final : public Steinberg::Vst::IHostApplication
{
public:
    explicit HostApplication(std::string name = "Ringstill Test Host");

    // Main thread; takes effect for the next getName.
    void SetName(const std::string& name);

    Steinberg::tresult PLUGIN_API getName(Steinberg::Vst::String128 name) override;
    Steinberg::tresult PLUGIN_API createInstance(Steinberg::TUID cid, Steinberg::TUID iid,
                                                 void** obj) override;

    Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override;
    RINGSTILL_HOST_REFCOUNT

private:
    ~HostApplication() = default;

    RefCount refs;
    std::mutex nameLock;
    std::string name;
};

} // namespace ringstill::vst3host
