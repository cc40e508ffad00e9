// One plug-in instance set up for offline rendering: the module loaded from its bundle through the
// host library, parameters set by name, the component state loaded or saved, and blocks of
// interleaved audio processed in 32- or 64-bit samples. Main thread only (rendering offline, the
// host's main and audio threads are the same).
#pragma once

#include "tools/vst3-host/ComponentHandler.h"
#include "tools/vst3-host/HostApplication.h"
#include "tools/vst3-host/Module.h"
#include "tools/vst3-host/PluginInstance.h"
#include "tools/vst3-host/ProcessBuffers.h"

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace ringstill::render {

class RenderSession
{
public:
    ~RenderSession();

    // Loads the bundle (or binary) and initialises its first class.
    static std::unique_ptr<RenderSession> Open(const std::string& bundle, std::string& error);

    // "Name=Value": the parameter's title (case does not matter) and a plain value in its units,
    // or one of its value texts ("on"); or "Auto Catch=Classic|Adaptive", the setting saved in the
    // state's extension. Refused: unknown names, values outside the range.
    bool Set(const std::string& assignment, std::string& error);
    bool LoadState(const std::string& path, std::string& error);
    // The same from bytes in memory.
    bool RestoreState(const std::vector<std::uint8_t>& bytes, std::string& error);
    bool SaveState(const std::string& path, std::string& error);
    // The component state as the host would store it; false if the plug-in refused.
    bool GetState(std::vector<std::uint8_t>& bytes);
    void ListParameters(std::FILE* out);

    // Asks for a bus arrangement of this many channels on the main buses and starts processing.
    // Further buses (a side-chain) keep the plug-in's own arrangement and get silence.
    bool Start(int channels, double sampleRate, int blockSize, bool use64, std::string& error);
    // Processes frames (at most the block size) of interleaved audio. The first block also carries
    // the parameter values set before Start, as a host's automation would.
    bool Process(const float* in, float* out, int frames, std::string& error);
    void Stop();

    int Latency() const;
    int Channels() const { return channels; }
    std::size_t LatencyRestarts() const;

private:
    RenderSession() = default;
    // Index of the plug-in parameter titled name; the plug-in's own parameters win over the host
    // bypass when both carry the same title.
    int FindParameter(const std::string& name) const;
    bool SetAutoCatch(const std::string& valueText, std::string& error);

    std::shared_ptr<ringstill::vst3host::Module> module;
    Steinberg::IPtr<ringstill::vst3host::HostApplication> host;
    Steinberg::IPtr<ringstill::vst3host::ComponentHandler> handler;
    std::unique_ptr<ringstill::vst3host::PluginInstance> instance;
    std::unique_ptr<ringstill::vst3host::ProcessBuffers> buffers;
    struct PendingChange
    {
        Steinberg::Vst::ParamID id;
        double normalised;
    };
    std::vector<PendingChange> pending;
    int channels = 0;
    int blockSize = 0;
    bool started = false;
};

// The bundle of this build tree when it is there, else the one installed in ~/.vst3.
std::string DefaultPluginPath();

} // namespace ringstill::render
