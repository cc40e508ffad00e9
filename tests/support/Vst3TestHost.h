#pragma once
// What the VST 3 test fixtures share: the interface query and an initialised plug-in instance.

#include "tools/vst3-host/ComponentHandler.h"
#include "tools/vst3-host/HostApplication.h"
#include "tools/vst3-host/Module.h"
#include "tools/vst3-host/PluginInstance.h"

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

} // namespace ringstill::test
