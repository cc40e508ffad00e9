#pragma once
// What the VST 3 test fixtures share: the interface query, the factory export, an initialised
// plug-in instance and a host frame.

#include "tools/vst3-host/ComponentHandler.h"
#include "tools/vst3-host/HostApplication.h"
#include "tools/vst3-host/Module.h"
#include "tools/vst3-host/PluginInstance.h"

#include "pluginterfaces/gui/iplugview.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace ringstill::test {

// The object's interface, or null when it has none.
template <typename Interface>
Steinberg::IPtr<Interface> QueryOf(Steinberg::FUnknown* object)
{
    void* result = nullptr;
    if (object == nullptr || object->queryInterface(Interface::iid, &result) != Steinberg::kResultOk)
        return nullptr;
    return Steinberg::owned(static_cast<Interface*>(result));
}

// The module's GetPluginFactory export, to call as a host does; null when it has none.
using GetFactoryProc = Steinberg::IPluginFactory*(PLUGIN_API*)();
inline GetFactoryProc FactoryEntryOf(const vst3host::Module& module)
{
    return reinterpret_cast<GetFactoryProc>(module.Symbol("GetPluginFactory"));
}

// The module's first class, created and initialised with this host; a failure of either step is
// a test failure (and gives null when the creation failed).
inline std::unique_ptr<vst3host::PluginInstance> NewInitialisedInstance(std::shared_ptr<vst3host::Module> module,
                                                                        vst3host::HostApplication* host,
                                                                        vst3host::ComponentHandler* handler)
{
    std::string error;
    auto created = vst3host::PluginInstance::Create(std::move(module), nullptr, &error);
    EXPECT_NE(created, nullptr) << error;
    if (created != nullptr)
    {
        EXPECT_EQ(created->Initialize(host, handler), Steinberg::kResultOk);
    }
    return created;
}

// A host frame that lives on a test's stack: answers for IPlugFrame only and is not counted.
// What it does with a resize request is the test's.
class TestFrame : public Steinberg::IPlugFrame
{
public:
    Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override
    {
        QUERY_INTERFACE(iid, obj, Steinberg::FUnknown::iid, Steinberg::IPlugFrame)
        QUERY_INTERFACE(iid, obj, Steinberg::IPlugFrame::iid, Steinberg::IPlugFrame)
        *obj = nullptr;
        return Steinberg::kNoInterface;
    }
    Steinberg::uint32 PLUGIN_API addRef() override { return 1; }
    Steinberg::uint32 PLUGIN_API release() override { return 1; }
};

} // namespace ringstill::test
