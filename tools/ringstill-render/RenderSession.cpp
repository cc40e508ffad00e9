#include "tools/ringstill-render/RenderSession.h"

#include "effect/StateExtension.h"
#include "tools/ringstill-render/AudioFiles.h"
#include "tools/vst3-host/Text.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>

using namespace Steinberg;
using namespace Steinberg::Vst;
using namespace ringstill::vst3host;

namespace ringstill::render {
namespace {

constexpr const char* kAutoCatchSetting = "Auto Catch";

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

std::string Trim(const std::string& text)
{
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    const std::size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

std::string FormatPlain(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

// The speaker arrangement a host would offer for a channel count.
SpeakerArrangement ArrangementFor(int channels)
{
    if (channels == 1)
        return SpeakerArr::kMono;
    if (channels == 2)
        return SpeakerArr::kStereo;
    SpeakerArrangement arrangement = 0;
    for (int i = 0; i < channels && i < 64; ++i)
        arrangement |= SpeakerArrangement(1) << i;
    return arrangement;
}

} // namespace

RenderSession::~RenderSession() { Stop(); }

std::unique_ptr<RenderSession> RenderSession::Open(const std::string& bundle, std::string& error)
{
    std::unique_ptr<RenderSession> session(new RenderSession());
    session->module = Module::Load(bundle, &error);
    if (session->module == nullptr)
        return nullptr;
    session->instance = PluginInstance::Create(session->module, nullptr, &error);
    if (session->instance == nullptr)
        return nullptr;
    session->host = owned(new HostApplication("ringstill-render"));
    session->handler = owned(new ComponentHandler());
    if (session->instance->Initialize(session->host, session->handler) != kResultOk
        || session->instance->Controller() == nullptr)
    {
        error = "the plug-in in '" + bundle + "' did not initialise";
        return nullptr;
    }
    return session;
}

int RenderSession::FindParameter(const std::string& name) const
{
    IEditController& controller = *instance->Controller();
    const std::string wanted = Lower(Trim(name));
    int found = -1;
    for (int32 i = 0; i < controller.getParameterCount(); ++i)
    {
        ParameterInfo info {};
        if (controller.getParameterInfo(i, info) != kResultOk || Lower(Narrow(info.title)) != wanted)
            continue;
        if (found < 0 || (info.flags & ParameterInfo::kIsBypass) == 0)
            found = i;
    }
    return found;
}

bool RenderSession::Set(const std::string& assignment, std::string& error)
{
    const std::size_t eq = assignment.find('=');
    if (eq == std::string::npos)
    {
        error = "--set wants NAME=VALUE, got '" + assignment + "'";
        return false;
    }
    const std::string name = Trim(assignment.substr(0, eq));
    const std::string valueText = Trim(assignment.substr(eq + 1));
    if (Lower(name) == Lower(kAutoCatchSetting))
        return SetAutoCatch(valueText, error);
    const int index = FindParameter(name);
    if (index < 0)
    {
        error = "unknown parameter '" + name + "' (--list shows them)";
        return false;
    }
    IEditController& controller = *instance->Controller();
    ParameterInfo info {};
    controller.getParameterInfo(index, info);
    const std::string title = Narrow(info.title);
    const std::string units = Narrow(info.units);

    double normalised = -1.0;
    errno = 0;
    char* end = nullptr;
    const double plain = std::strtod(valueText.c_str(), &end);
    if (!valueText.empty() && end != nullptr && *end == '\0' && errno == 0 && std::isfinite(plain))
    {
        const double lo = controller.normalizedParamToPlain(info.id, 0.0);
        const double hi = controller.normalizedParamToPlain(info.id, 1.0);
        if (plain < std::min(lo, hi) || plain > std::max(lo, hi))
        {
            error = "value " + valueText + " is out of range for " + title + " (" + FormatPlain(std::min(lo, hi))
                    + " to " + FormatPlain(std::max(lo, hi)) + (units.empty() ? "" : " " + units) + ")";
            return false;
        }
        normalised = controller.plainParamToNormalized(info.id, plain);
    }
    else if (info.stepCount > 0)
    {
        // A switch or list: one of its value texts.
        for (int32 step = 0; step <= info.stepCount && normalised < 0.0; ++step)
        {
            const double candidate = double(step) / info.stepCount;
            String128 text = {};
            if (controller.getParamStringByValue(info.id, candidate, text) == kResultOk
                && Lower(Narrow(text)) == Lower(valueText))
                normalised = candidate;
        }
    }
    if (normalised < 0.0 || !std::isfinite(normalised))
    {
        error = "'" + valueText + "' is not a value of " + title;
        return false;
    }
    if (controller.setParamNormalized(info.id, normalised) != kResultOk)
    {
        error = "the plug-in refused " + title + " = " + valueText;
        return false;
    }
    pending.push_back({info.id, normalised});
    return true;
}

// "Auto Catch" is a setting saved in the state's extension, not a parameter: it is set by
// rewriting the extension of the plug-in's current state and restoring that.
bool RenderSession::SetAutoCatch(const std::string& valueText, std::string& error)
{
    ringstill::ExtendedSettings settings;
    if (Lower(valueText) == "adaptive")
        settings.autoCatch = ringstill::AutoCatchMode::Adaptive;
    else if (Lower(valueText) != "classic")
    {
        error = "Auto Catch is Classic or Adaptive, not '" + valueText + "'";
        return false;
    }
    std::vector<std::uint8_t> bytes;
    if (!GetState(bytes) || bytes.size() < std::size_t(ringstill::kComponentStateBytes))
    {
        error = "the plug-in gave no state to set Auto Catch in";
        return false;
    }
    iplug::ByteChunk chunk;
    if (!chunk.PutBytes(bytes.data(), ringstill::kComponentStateBytes)
        || !ringstill::AppendStateExtension(chunk, settings))
    {
        error = "out of memory";
        return false;
    }
    const std::vector<std::uint8_t> state(chunk.GetData(), chunk.GetData() + chunk.Size());
    if (instance->LoadState(state) != kResultOk)
    {
        error = "the plug-in refused the state with Auto Catch " + valueText;
        return false;
    }
    return true;
}

void RenderSession::ListParameters(std::FILE* out)
{
    IEditController& controller = *instance->Controller();
    for (int32 i = 0; i < controller.getParameterCount(); ++i)
    {
        ParameterInfo info {};
        if (controller.getParameterInfo(i, info) != kResultOk)
            continue;
        String128 now = {};
        controller.getParamStringByValue(info.id, controller.getParamNormalized(info.id), now);
        const double lo = controller.normalizedParamToPlain(info.id, 0.0);
        const double hi = controller.normalizedParamToPlain(info.id, 1.0);
        std::fprintf(out, "  %-14s %s %s  (%s%s)\n", Narrow(info.title).c_str(), Narrow(now).c_str(),
                     Narrow(info.units).c_str(),
                     (info.flags & ParameterInfo::kIsBypass) != 0 ? "the host's bypass, "
                     : info.stepCount > 0                       ? "switch or list, "
                                                                : "",
                     (FormatPlain(lo) + " to " + FormatPlain(hi)).c_str());
    }
    std::vector<std::uint8_t> bytes;
    iplug::ByteChunk chunk;
    if (GetState(bytes) && chunk.PutBytes(bytes.data(), int(bytes.size())))
        std::fprintf(out, "  %-14s %s  (a setting in the saved state: Classic or Adaptive)\n", kAutoCatchSetting,
                     ringstill::AutoCatchModeName(
                         ringstill::ReadStateExtension(chunk, ringstill::kComponentStateBytes).autoCatch));
}

bool RenderSession::LoadState(const std::string& path, std::string& error)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
    {
        error = "cannot read state file '" + path + "'";
        return false;
    }
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (file.bad() || !RestoreState(bytes, error))
    {
        error = "'" + path + "' is not a state this plug-in can restore";
        return false;
    }
    return true;
}

bool RenderSession::RestoreState(const std::vector<std::uint8_t>& bytes, std::string& error)
{
    if (instance->LoadState(bytes) != kResultOk)
    {
        error = "the plug-in refused the state";
        return false;
    }
    // Restoring the state restored the controller too; the audio side takes the values with the
    // first block like any host automation.
    IEditController& controller = *instance->Controller();
    for (int32 i = 0; i < controller.getParameterCount(); ++i)
    {
        ParameterInfo info {};
        if (controller.getParameterInfo(i, info) == kResultOk)
            pending.push_back({info.id, controller.getParamNormalized(info.id)});
    }
    return true;
}

bool RenderSession::GetState(std::vector<std::uint8_t>& bytes)
{
    bytes.clear();
    return instance->SaveState(bytes) == kResultOk;
}

bool RenderSession::SaveState(const std::string& path, std::string& error)
{
    std::vector<std::uint8_t> bytes;
    if (!GetState(bytes))
    {
        error = "the plug-in could not save its state";
        return false;
    }
    return WriteFileAtomically(path, bytes.data(), bytes.size(), error);
}

bool RenderSession::Start(int channelCount, double sampleRate, int block, bool use64, std::string& error)
{
    IComponent& component = *instance->Component();
    const int32 inputBuses = std::max<int32>(component.getBusCount(kAudio, kInput), 1);
    const int32 outputBuses = std::max<int32>(component.getBusCount(kAudio, kOutput), 1);
    std::vector<SpeakerArrangement> inputs(std::size_t(inputBuses), 0);
    std::vector<SpeakerArrangement> outputs(std::size_t(outputBuses), 0);
    for (int32 i = 1; i < inputBuses; ++i)
        instance->Processor()->getBusArrangement(kInput, i, inputs[std::size_t(i)]);
    for (int32 i = 1; i < outputBuses; ++i)
        instance->Processor()->getBusArrangement(kOutput, i, outputs[std::size_t(i)]);
    inputs[0] = outputs[0] = ArrangementFor(channelCount);
    if (channelCount < 1 || channelCount > 64
        || instance->Processor()->setBusArrangements(inputs.data(), inputBuses, outputs.data(), outputBuses)
               != kResultOk)
    {
        error = "the plug-in does not accept " + std::to_string(channelCount) + " channel"
                + (channelCount == 1 ? "" : "s") + " (it takes mono or stereo)";
        return false;
    }
    const SymbolicSampleSizes size = use64 ? kSample64 : kSample32;
    if (instance->Processor()->canProcessSampleSize(size) != kResultTrue
        || instance->StartProcessing(size, sampleRate, block, kOffline) != kResultOk)
    {
        error = std::string("the plug-in refused to process ") + (use64 ? "64" : "32") + "-bit samples at "
                + FormatPlain(sampleRate) + " Hz";
        return false;
    }
    channels = channelCount;
    blockSize = block;
    std::vector<int> inputChannels;
    std::vector<int> outputChannels;
    for (SpeakerArrangement a : inputs)
        inputChannels.push_back(SpeakerArr::getChannelCount(a));
    for (SpeakerArrangement a : outputs)
        outputChannels.push_back(SpeakerArr::getChannelCount(a));
    buffers = std::make_unique<ProcessBuffers>(size, inputChannels, outputChannels, block);
    buffers->SetProcessMode(kOffline);
    started = true;
    for (const PendingChange& change : pending)
        buffers->InputChanges().AddPoint(change.id, 0, change.normalised);
    pending.clear();
    return true;
}

bool RenderSession::Process(const float* in, float* out, int frames, std::string& error)
{
    frames = std::clamp(frames, 0, blockSize);
    for (int c = 0; c < channels; ++c)
        for (int n = 0; n < frames; ++n)
            buffers->SetInput(0, c, n, in[std::size_t(n) * std::size_t(channels) + std::size_t(c)]);
    const tresult result = instance->Process(*buffers, frames);
    buffers->InputChanges().Clear();
    if (result != kResultOk)
    {
        error = "the plug-in failed to process a block";
        return false;
    }
    for (int c = 0; c < channels; ++c)
        for (int n = 0; n < frames; ++n)
            out[std::size_t(n) * std::size_t(channels) + std::size_t(c)] = float(buffers->Output(0, c, n));
    return true;
}

void RenderSession::Stop()
{
    if (started && instance != nullptr)
        instance->StopProcessing();
    started = false;
}

int RenderSession::Latency() const { return int(instance->Processor()->getLatencySamples()); }

std::size_t RenderSession::LatencyRestarts() const { return handler->Count(HandlerCall::kRestartComponent); }

std::string DefaultPluginPath()
{
    const std::string built = RINGSTILL_BUILT_BUNDLE;
    struct stat info {};
    if (stat(built.c_str(), &info) == 0)
        return built;
    const char* home = std::getenv("HOME");
    return std::string(home != nullptr ? home : "") + "/.vst3/Ringstill.vst3";
}

} // namespace ringstill::render
