// The module's class factory: factory information and a short list of classes, each with the
// function that constructs it. Reference counted; the module entry keeps one instance alive while
// hosts hold references (see ModuleEntry.h). Host threads; construction is serialised by the
// process-wide construction lock.
#pragma once

#include "pluginterfaces/base/ipluginbase.h"

#include <atomic>
#include <mutex>

namespace ringstill::vst3 {

// Constructs one object with a reference count of 1, or returns nullptr.
using CreateFunction = Steinberg::FUnknown* (*)(void* context);

// Serialises plug-in construction across every thread of the process. Created on first use.
std::mutex& ConstructionLock();

class PluginFactory final : public Steinberg::IPluginFactory3
{
public:
    static constexpr int kMaxClasses = 4;

    explicit PluginFactory(const Steinberg::PFactoryInfo& info);
    virtual ~PluginFactory();

    PluginFactory(const PluginFactory&) = delete;
    PluginFactory& operator=(const PluginFactory&) = delete;

    // Host thread, before the factory is handed out. False when the list is full, the create
    // function is missing or the class identifier is already registered.
    bool RegisterClass(const Steinberg::PClassInfo2& info, CreateFunction create,
                       void* context = nullptr);

    // Adds a reference unless the last one is already gone (the factory is being destroyed).
    bool TryAddRef();

    // Called from the destructor, so whoever hands the factory out can forget it.
    using DestroyHook = void (*)(PluginFactory* factory);
    void SetDestroyHook(DestroyHook hook) { destroyHook = hook; }

    // IPluginFactory
    Steinberg::tresult PLUGIN_API getFactoryInfo(Steinberg::PFactoryInfo* info) override;
    Steinberg::int32 PLUGIN_API countClasses() override;
    Steinberg::tresult PLUGIN_API getClassInfo(Steinberg::int32 index,
                                               Steinberg::PClassInfo* info) override;
    Steinberg::tresult PLUGIN_API createInstance(Steinberg::FIDString cid, Steinberg::FIDString iid,
                                                 void** obj) override;
    // IPluginFactory2
    Steinberg::tresult PLUGIN_API getClassInfo2(Steinberg::int32 index,
                                                Steinberg::PClassInfo2* info) override;
    // IPluginFactory3
    Steinberg::tresult PLUGIN_API getClassInfoUnicode(Steinberg::int32 index,
                                                      Steinberg::PClassInfoW* info) override;
    Steinberg::tresult PLUGIN_API setHostContext(Steinberg::FUnknown* context) override;

    // FUnknown
    Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override;
    Steinberg::uint32 PLUGIN_API addRef() override;
    Steinberg::uint32 PLUGIN_API release() override;

private:
    struct Entry
    {
        Steinberg::PClassInfo2 info;
        CreateFunction create = nullptr;
        void* context = nullptr;
    };

    const Entry* Find(Steinberg::FIDString cid) const;
    Steinberg::tresult CreateInstance(Steinberg::FIDString cid, Steinberg::FIDString iid, void** obj);

    std::atomic<Steinberg::uint32> refCount {1};
    Steinberg::PFactoryInfo factoryInfo;
    Entry entries[kMaxClasses];
    int entryCount = 0;
    DestroyHook destroyHook = nullptr;
};

} // namespace ringstill::vst3
