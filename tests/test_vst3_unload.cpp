// The module's binary after a host lets go of it: unloaded, unless its editor made a font face.
// cairo may keep a face in its caches and call back into the binary that made it long after, so
// from the first face on the binary stays loaded. Each test runs in a process of its own (ctest).
#include "tools/vst3-host/ComponentHandler.h"
#include "tools/vst3-host/HostApplication.h"
#include "tools/vst3-host/Module.h"
#include "tools/vst3-host/PluginInstance.h"

#include "pluginterfaces/gui/iplugview.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

using namespace ringstill::vst3host;
using namespace Steinberg;

bool BinaryIsLoaded()
{
    void* handle = dlopen(RINGSTILL_PLUGIN_BINARY, RTLD_NOW | RTLD_NOLOAD);
    if (handle != nullptr)
        dlclose(handle);
    return handle != nullptr;
}

// Loads the module, makes one plug-in, optionally opens its editor (without a window: the host
// gives no run loop), and lets go of everything.
void UseOnce(bool openEditor)
{
    std::string error;
    std::shared_ptr<Module> module = Module::Load(RINGSTILL_PLUGIN_BUNDLE, &error);
    ASSERT_NE(module, nullptr) << error;
    IPtr<HostApplication> host = owned(new HostApplication("unload test"));
    IPtr<ComponentHandler> handler = owned(new ComponentHandler);
    auto instance = PluginInstance::Create(module, nullptr, &error);
    ASSERT_NE(instance, nullptr) << error;
    ASSERT_EQ(instance->Initialize(host, handler), kResultOk);
    if (openEditor)
    {
        IPlugView* view = instance->Controller()->createView("editor");
        ASSERT_NE(view, nullptr);
        void* parent = reinterpret_cast<void*>(std::uintptr_t(0x4a00007));
        EXPECT_EQ(view->attached(parent, kPlatformTypeX11EmbedWindowID), kResultOk);
        EXPECT_EQ(view->removed(), kResultOk);
        view->release();
    }
    instance.reset();
    module.reset();
}

TEST(Vst3PluginUnload, WithoutTheEditorTheBinaryIsUnloaded)
{
    ASSERT_FALSE(BinaryIsLoaded());
    UseOnce(false);
    EXPECT_FALSE(BinaryIsLoaded());
    // And it loads again.
    UseOnce(false);
    EXPECT_FALSE(BinaryIsLoaded());
}

TEST(Vst3PluginUnload, AfterTheEditorMadeItsFontTheBinaryStaysLoaded)
{
    ASSERT_FALSE(BinaryIsLoaded());
    UseOnce(true);
    EXPECT_TRUE(BinaryIsLoaded());
    // Loading it again finds the same binary and works as before.
    UseOnce(true);
    EXPECT_TRUE(BinaryIsLoaded());
}

} // namespace
