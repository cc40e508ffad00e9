// One plug-in object created through a module's factory, seen through the interfaces a host uses:
// IComponent, IAudioProcessor and IEditController (from the same object for a single-component
// effect, else from the controller class the component names). Each interface reference can be
// released on its own, in any order; the module stays loaded until this instance is gone.
// Host main thread, except Process (audio thread).
#pragma once

#include "tools/vst3-host/ComponentHandler.h"
#include "tools/vst3-host/HostApplication.h"
#include "tools/vst3-host/Module.h"
#include "tools/vst3-host/ProcessBuffers.h"

#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstcomponent.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"

#include <memory>
#include <string>

namespace ringstill::vst3host {

class PluginInstance
{
public:
    // Creates the class with identifier cid (the first class when cid is nullptr) and queries its
    // interfaces. Nothing is initialised yet. nullptr and a reason in error on failure.
    static std::unique_ptr<PluginInstance> Create(std::shared_ptr<Module> module,
                                                  const Steinberg::TUID cid = nullptr,
                                                  std::string* error = nullptr);

    // Terminates what was initialised and releases every reference still held.
    ~PluginInstance();

    PluginInstance(const PluginInstance&) = delete;
    PluginInstance& operator=(const PluginInstance&) = delete;

    // initialize on the component (and on a separate controller), then hands the controller the
    // component handler. host and handler get one reference each; nullptr gives none.
    Steinberg::tresult Initialize(HostApplication* host, ComponentHandler* handler);
    // terminate on what was initialised (controller first).
    Steinberg::tresult Terminate();

    // The usual host sequence up to processing: setupProcessing, setActive (true), setProcessing (true).
    Steinberg::tresult StartProcessing(Steinberg::Vst::SymbolicSampleSizes sampleSize, double sampleRate,
                                       int maxSamplesPerBlock,
                                       Steinberg::Vst::ProcessModes mode = Steinberg::Vst::kRealtime);
    // setProcessing (false), setActive (false).
    Steinberg::tresult StopProcessing();
    // Audio thread: process on the prepared block.
    Steinberg::tresult Process(ProcessBuffers& buffers, int numSamples);

    // Component state into a new byte list, and restored from one.
    Steinberg::tresult SaveState(std::vector<std::uint8_t>& bytes);
    Steinberg::tresult LoadState(const std::vector<std::uint8_t>& bytes);

    bool IsSingleComponent() const { return singleComponent; }
    Steinberg::Vst::IComponent* Component() const { return component; }
    Steinberg::Vst::IAudioProcessor* Processor() const { return processor; }
    Steinberg::Vst::IEditController* Controller() const { return controller; }

    // Releases one reference and forgets it; returns what the plug-in's release returned
    // (0 when that was the last reference), or -1 when nothing was held.
    long ReleaseComponent();
    long ReleaseProcessor();
    long ReleaseController();

private:
    PluginInstance() = default;

    // Declared first, destroyed last: the binary outlives every reference below.
    std::shared_ptr<Module> module;
    Steinberg::Vst::IComponent* component = nullptr;
    Steinberg::Vst::IAudioProcessor* processor = nullptr;
    Steinberg::Vst::IEditController* controller = nullptr;
    bool singleComponent = false;
    bool componentInitialized = false;
    bool controllerInitialized = false;
};

} // namespace ringstill::vst3host
