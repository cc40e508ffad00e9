// One loaded VST 3 module binary: the library, its entry call and its factory. Shared by every
// object created from it, so the binary stays loaded until the last of them is gone, whatever the
// order in which a caller lets go. Host main thread.
#pragma once

#include "pluginterfaces/base/ipluginbase.h"

#include <memory>
#include <string>
#include <vector>

namespace ringstill::vst3host {

class Module
{
public:
    // Loads a binary by its own path, or the binary inside a bundle folder
    // (Name.vst3/Contents/x86_64-linux/Name.so, or .../x86_64-win/Name.vst3), calls its entry
    // function (ModuleEntry or InitDll) and takes its factory. nullptr and a one-line reason in
    // error on failure.
    static std::shared_ptr<Module> Load(const std::string& path, std::string* error = nullptr);

    // The binary inside a bundle folder for this platform; any other path is returned unchanged.
    static std::string ResolveBinaryPath(const std::string& path);

    // Releases the factory (if still held), calls the exit function and unloads the binary.
    ~Module();

    Module(const Module&) = delete;
    Module& operator=(const Module&) = delete;

    const std::string& BinaryPath() const { return binaryPath; }

    // The factory reference taken at load; nullptr after ReleaseFactory.
    Steinberg::IPluginFactory* Factory() const { return factory; }
    // Lets go of the factory early, while created objects may still be alive.
    void ReleaseFactory();

    // Class information of every class, version 2 where the factory offers it.
    std::vector<Steinberg::PClassInfo2> Classes() const;

    // An exported function or variable of the binary, or nullptr.
    void* Symbol(const char* name) const;

    // The binary's own entry and exit functions, for tests of their bookkeeping. Load has
    // already called the entry once and the destructor calls the exit once.
    bool CallEntry();
    bool CallExit();

private:
    Module() = default;

    std::string binaryPath;
    void* library = nullptr;
    Steinberg::IPluginFactory* factory = nullptr;
};

} // namespace ringstill::vst3host
