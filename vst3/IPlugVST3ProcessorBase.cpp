#include "vst3/IPlugVST3ProcessorBase.h"

#include "pluginterfaces/vst/ivstparameterchanges.h"

#include <algorithm>
#include <cmath>

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace iplug {
namespace {

// Far more queues than a host has parameters to send.
constexpr int32 kMaxParameterQueues = 1 << 16;

} // namespace

SpeakerArrangement SpeakerArrangementFor(int channels)
{
    switch (channels)
    {
    case 1: return 0x80000; // mono
    case 2: return 0x3;     // left, right
    case 3: return 0x7;
    case 4: return 0xF00000; // first-order ambisonic
    case 5: return 0x37;
    case 6: return 0x3F;
    case 7: return 0xF7;
    case 8: return 0x63F;
    case 9: return 0x7C000F00000; // second-order ambisonic
    case 10: return 0x300063F;
    case 16: return 0x3FFC000F00000; // third-order ambisonic
    default: return 0;
    }
}

IPlugVST3ProcessorBase::IPlugVST3ProcessorBase(const PluginConfig& config) : IPlugProcessor(config) {}

bool IPlugVST3ProcessorBase::IsSupportedSampleRate(double sampleRate)
{
    return std::isfinite(sampleRate) && sampleRate >= kMinSampleRate && sampleRate <= kMaxSampleRate;
}

int IPlugVST3ProcessorBase::BlockCapacityFor(int32 maxSamplesPerBlock, double sampleRate)
{
    const int requested = maxSamplesPerBlock < 1 ? kDefaultBlockCapacity : maxSamplesPerBlock;
    const double longest = std::clamp(std::floor(sampleRate * kMaxBlockSeconds), 1.0, double(kMaxBlockCapacity));
    return std::min(requested, int(longest));
}

bool IPlugVST3ProcessorBase::SetupProcessing(const ProcessSetup& setup)
{
    if (!AcceptsSetup(setup))
        return false;
    lastSetup = setup;
    SetSampleRate(setup.sampleRate);
    SetBlockCapacity(BlockCapacityFor(setup.maxSamplesPerBlock, setup.sampleRate));
    // Sized for the channels now; the effect reserves its longest latency on it when it resets.
    CreateLatencyDelay();
    return true;
}

// Audio thread: fixed-size copies only.
void IPlugVST3ProcessorBase::ProcessTiming(const ProcessData& data)
{
    if (data.processContext != nullptr)
        processContext = *data.processContext;
    TransportInfo& transport = Transport();
    const uint32 state = processContext.state;
    transport.tempo = processContext.tempo;
    transport.samplePosition = (state & ProcessContext::kProjectTimeMusicValid) != 0
                                   ? double(processContext.projectTimeSamples)
                                   : -1.0;
    transport.musicalPosition = processContext.projectTimeMusic;
    transport.lastBarPosition = processContext.barPositionMusic;
    transport.cycleStart = processContext.cycleStartMusic;
    transport.cycleEnd = processContext.cycleEndMusic;
    transport.numerator = processContext.timeSigNumerator;
    transport.denominator = processContext.timeSigDenominator;
    transport.running = (state & ProcessContext::kPlaying) != 0;
    transport.cycleActive = (state & ProcessContext::kCycleActive) != 0;
    SetRenderingOffline(data.processMode == kOffline);
}

// Audio thread: one value per parameter per block, the last one the host queued.
void IPlugVST3ProcessorBase::ProcessParameterChanges(const ProcessData& data, IEditorDelegate& plug)
{
    IParameterChanges* changes = data.inputParameterChanges;
    if (changes == nullptr)
        return;
    // A host reporting absurd counts costs a bounded number of calls.
    const int32 queues = std::min(changes->getParameterCount(), kMaxParameterQueues);
    for (int32 i = 0; i < queues; ++i)
    {
        IParamValueQueue* queue = changes->getParameterData(i);
        if (queue == nullptr)
            continue;
        const int32 points = queue->getPointCount();
        if (points <= 0)
            continue;
        int32 offset = 0;
        ParamValue value = 0.0;
        if (queue->getPoint(points - 1, offset, value) != kResultOk || !std::isfinite(value))
            continue;
        const ParamID id = queue->getParameterId();
        if (id == kBypassParamId)
        {
            SetBypassed(value > 0.5);
        }
        else if (id < ParamID(plug.NParams()))
        {
            plug.GetParam(int(id))->StoreNormalised(std::clamp(value, 0.0, 1.0));
            plug.OnParamChange(int(id), ParamSource::Host, offset);
        }
    }
}

// Audio thread.
void IPlugVST3ProcessorBase::ProcessAudio(ProcessData& data, BusList& outputBuses)
{
    if (!IsSupportedSampleSize(data.symbolicSampleSize))
        return;
    const bool is64 = data.symbolicSampleSize == kSample64;
    const int total = std::max(data.numSamples, 0);
    if (total == 0)
        return;
    const int capacity = GetBlockCapacity();
    if (capacity < 1 || !IsDspReady())
    {
        // Never set up, or the last reset failed: nothing may run on buffers that were not sized.
        SilenceHostOutputs(data);
        return;
    }
    for (int offset = 0; offset < total; offset += capacity)
    {
        const int nFrames = std::min(capacity, total - offset);
        BindInputs(data, is64, offset, nFrames);
        BindOutputs(data, outputBuses, is64, offset, nFrames);
        ProcessBuffers(nFrames);
        if (!is64)
            WriteOutputs32(nFrames);
    }
    for (int32 b = 0; b < data.numOutputs && data.outputs != nullptr; ++b)
        data.outputs[b].silenceFlags = 0;
}

void IPlugVST3ProcessorBase::BindInputs(const ProcessData& data, bool is64, int offset, int nFrames)
{
    const int slots = NInChannels();
    const AudioBusBuffers* bus = data.numInputs > 0 && data.inputs != nullptr ? &data.inputs[0] : nullptr;
    const int connected = bus != nullptr ? std::clamp(int(bus->numChannels), 0, slots) : 0;
    for (int i = 0; i < slots; ++i)
    {
        if (i < connected)
        {
            if (is64 && bus->channelBuffers64 != nullptr && bus->channelBuffers64[i] != nullptr)
            {
                ConnectChannel(kInput, i, bus->channelBuffers64[i] + offset);
                continue;
            }
            if (!is64 && bus->channelBuffers32 != nullptr && bus->channelBuffers32[i] != nullptr)
            {
                ConnectChannel(kInput, i, nullptr);
                const float* in = bus->channelBuffers32[i] + offset;
                double* scratch = Slot(kInput, i).scratch.data();
                for (int s = 0; s < nFrames; ++s)
                    scratch[s] = double(in[s]);
                continue;
            }
        }
        // Unbound channels read the slot's scratch, which holds zeros.
        DisconnectChannel(kInput, i);
    }
}

void IPlugVST3ProcessorBase::BindOutputs(const ProcessData& data, BusList& outputBuses, bool is64, int offset,
                                         int nFrames)
{
    const int slots = NOutChannels();
    int slot = 0;
    for (int32 b = 0; b < data.numOutputs && data.outputs != nullptr; ++b)
    {
        const AudioBusBuffers& bus = data.outputs[b];
        const bool active = b < int32(outputBuses.size()) && outputBuses[std::size_t(b)]->isActive();
        for (int32 c = 0; c < bus.numChannels && slot < slots; ++c, ++slot)
        {
            if (active && is64 && bus.channelBuffers64 != nullptr && bus.channelBuffers64[c] != nullptr)
            {
                ConnectChannel(kOutput, slot, bus.channelBuffers64[c] + offset);
                Slot(kOutput, slot).hostBuffer32 = nullptr;
            }
            else if (active && !is64 && bus.channelBuffers32 != nullptr && bus.channelBuffers32[c] != nullptr)
            {
                ConnectChannel(kOutput, slot, nullptr);
                ChannelSlot& output = Slot(kOutput, slot);
                output.hostBuffer32 = bus.channelBuffers32[c] + offset;
                // An output the effect leaves alone (no input for it) goes out silent, not as
                // whatever an earlier block left in the scratch.
                std::fill_n(output.scratch.data(), nFrames, 0.0);
            }
            else
            {
                DisconnectChannel(kOutput, slot);
            }
        }
    }
    for (; slot < slots; ++slot)
        DisconnectChannel(kOutput, slot);
}

void IPlugVST3ProcessorBase::WriteOutputs32(int nFrames)
{
    for (int i = 0; i < NOutChannels(); ++i)
    {
        ChannelSlot& slot = Slot(kOutput, i);
        if (!slot.connected || slot.hostBuffer32 == nullptr)
            continue;
        const double* scratch = slot.scratch.data();
        for (int s = 0; s < nFrames; ++s)
            slot.hostBuffer32[s] = float(scratch[s]);
    }
}

void IPlugVST3ProcessorBase::SilenceHostOutputs(ProcessData& data)
{
    if (!IsSupportedSampleSize(data.symbolicSampleSize) || data.numSamples < 1)
        return;
    const bool is64 = data.symbolicSampleSize == kSample64;
    for (int32 b = 0; b < data.numOutputs && data.outputs != nullptr; ++b)
    {
        AudioBusBuffers& bus = data.outputs[b];
        for (int32 c = 0; c < bus.numChannels; ++c)
        {
            if (is64 && bus.channelBuffers64 != nullptr && bus.channelBuffers64[c] != nullptr)
                std::fill(bus.channelBuffers64[c], bus.channelBuffers64[c] + data.numSamples, 0.0);
            else if (!is64 && bus.channelBuffers32 != nullptr && bus.channelBuffers32[c] != nullptr)
                std::fill(bus.channelBuffers32[c], bus.channelBuffers32[c] + data.numSamples, 0.0f);
        }
        bus.silenceFlags = bus.numChannels >= 64  ? ~uint64(0)
                           : bus.numChannels < 1 ? 0
                                                 : (uint64(1) << bus.numChannels) - 1;
    }
}

} // namespace iplug
