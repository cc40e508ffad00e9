// The host's IComponentHandler (and IComponentHandler2): records every call a plug-in makes, in
// order, with the thread that made it and whether that thread was inside process at the time
// (the SDK wants these calls on the UI thread only). Recording never allocates (the list is
// reserved up front), so a call made from inside process would not disturb an allocation check.
// Any thread. Reference counted; create with new and hold in an IPtr (owned).
#pragma once

#include "tools/vst3-host/RefCounted.h"

#include "pluginterfaces/vst/ivsteditcontroller.h"

#include <cstddef>
#include <mutex>
#include <thread>
#include <vector>

namespace ringstill::vst3host {

struct HandlerCall
{
    enum Kind
    {
        kBeginEdit,
        kPerformEdit,
        kEndEdit,
        kRestartComponent,
        kSetDirty,
        kRequestOpenEditor,
        kStartGroupEdit,
        kFinishGroupEdit
    };

    Kind kind = kBeginEdit;
    Steinberg::Vst::ParamID id = 0;
    Steinberg::Vst::ParamValue value = 0.0;
    Steinberg::int32 flags = 0;
    std::thread::id thread;
    // Made while the calling thread was inside a plug-in's process (see ProcessScope).
    bool duringProcess = false;
};

// Marks the calling thread as inside a plug-in's process for its lifetime. The host's process
// call (PluginInstance::Process) holds one.
class ProcessScope
{
public:
    ProcessScope();
    ~ProcessScope();
    ProcessScope(const ProcessScope&) = delete;
    ProcessScope& operator=(const ProcessScope&) = delete;
    // Whether the calling thread is inside one.
    static bool Active();
};

class ComponentHandler final : public Steinberg::Vst::IComponentHandler,
                               public Steinberg::Vst::IComponentHandler2
{
public:
    static constexpr std::size_t kCapacity = 4096;

    ComponentHandler();

    // Copies of the calls so far; calls beyond the capacity are counted in Dropped only.
    std::vector<HandlerCall> Calls() const;
    std::size_t Count(HandlerCall::Kind kind) const;
    std::size_t Dropped() const;
    void Clear();

    // IComponentHandler
    Steinberg::tresult PLUGIN_API beginEdit(Steinberg::Vst::ParamID id) override;
    Steinberg::tresult PLUGIN_API performEdit(Steinberg::Vst::ParamID id,
                                              Steinberg::Vst::ParamValue valueNormalized) override;
    Steinberg::tresult PLUGIN_API endEdit(Steinberg::Vst::ParamID id) override;
    Steinberg::tresult PLUGIN_API restartComponent(Steinberg::int32 flags) override;
    // IComponentHandler2
    Steinberg::tresult PLUGIN_API setDirty(Steinberg::TBool state) override;
    Steinberg::tresult PLUGIN_API requestOpenEditor(Steinberg::FIDString name) override;
    Steinberg::tresult PLUGIN_API startGroupEdit() override;
    Steinberg::tresult PLUGIN_API finishGroupEdit() override;

    Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override;
    RINGSTILL_HOST_REFCOUNT

private:
    ~ComponentHandler() = default;
    void Record(HandlerCall::Kind kind, Steinberg::Vst::ParamID id = 0,
                Steinberg::Vst::ParamValue value = 0.0, Steinberg::int32 flags = 0);

    RefCount refs;
    mutable std::mutex lock;
    std::vector<HandlerCall> calls;
    std::size_t dropped = 0;
};

} // namespace ringstill::vst3host
