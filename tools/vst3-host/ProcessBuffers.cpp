#include "tools/vst3-host/ProcessBuffers.h"

#include <algorithm>

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace ringstill::vst3host {

ProcessBuffers::ProcessBuffers(SymbolicSampleSizes sampleSize, std::vector<int> inputChannels,
                               std::vector<int> outputChannels, int capacity)
: sampleSize(sampleSize), capacity(std::max(0, capacity)), inputChanges(std::make_unique<ParameterChanges>()),
  outputChanges(std::make_unique<ParameterChanges>())
{
    Allocate(inputs, inputChannels);
    Allocate(outputs, outputChannels);
    Bind(inputs, inputBuffers);
    Bind(outputs, outputBuffers);

    data.processMode = kRealtime;
    data.symbolicSampleSize = sampleSize;
    data.numSamples = 0;
    data.numInputs = static_cast<int32>(inputBuffers.size());
    data.numOutputs = static_cast<int32>(outputBuffers.size());
    data.inputs = inputBuffers.empty() ? nullptr : inputBuffers.data();
    data.outputs = outputBuffers.empty() ? nullptr : outputBuffers.data();
    data.inputParameterChanges = inputChanges.get();
    data.outputParameterChanges = outputChanges.get();
    data.inputEvents = nullptr;
    data.outputEvents = nullptr;
    data.processContext = nullptr;
}

void ProcessBuffers::Allocate(std::vector<Bus>& buses, const std::vector<int>& channels)
{
    // At least one sample per channel, so a zero-capacity block still has valid pointers.
    const auto frames = static_cast<size_t>(std::max(1, capacity));
    buses.resize(channels.size());
    for (size_t b = 0; b < channels.size(); ++b)
    {
        Bus& bus = buses[b];
        bus.channels = std::max(0, channels[b]);
        for (int c = 0; c < bus.channels; ++c)
        {
            if (sampleSize == kSample64)
                bus.samples64.emplace_back(frames, 0.0);
            else
                bus.samples32.emplace_back(frames, 0.0f);
        }
        for (auto& channel : bus.samples32)
            bus.pointers32.push_back(channel.data());
        for (auto& channel : bus.samples64)
            bus.pointers64.push_back(channel.data());
    }
}

void ProcessBuffers::Bind(std::vector<Bus>& buses, std::vector<AudioBusBuffers>& out)
{
    out.resize(buses.size());
    for (size_t b = 0; b < buses.size(); ++b)
    {
        out[b].numChannels = buses[b].channels;
        out[b].silenceFlags = 0;
        if (sampleSize == kSample64)
            out[b].channelBuffers64 = buses[b].pointers64.empty() ? nullptr : buses[b].pointers64.data();
        else
            out[b].channelBuffers32 = buses[b].pointers32.empty() ? nullptr : buses[b].pointers32.data();
    }
}

ProcessData& ProcessBuffers::Prepare(int numSamples)
{
    data.numSamples = std::clamp(numSamples, 0, capacity);
    for (AudioBusBuffers& buffers : outputBuffers)
        buffers.silenceFlags = 0;
    return data;
}

void ProcessBuffers::SetContext(const ProcessContext* newContext)
{
    if (newContext == nullptr)
    {
        data.processContext = nullptr;
        return;
    }
    context = *newContext;
    data.processContext = &context;
}

void ProcessBuffers::SetInputSilenceFlags(int bus, uint64 flags)
{
    inputBuffers[static_cast<size_t>(bus)].silenceFlags = flags;
}

void ProcessBuffers::SetInput(int bus, int channel, int frame, double value)
{
    Bus& b = inputs[static_cast<size_t>(bus)];
    if (sampleSize == kSample64)
        b.samples64[static_cast<size_t>(channel)][static_cast<size_t>(frame)] = value;
    else
        b.samples32[static_cast<size_t>(channel)][static_cast<size_t>(frame)] = static_cast<float>(value);
}

double ProcessBuffers::Input(int bus, int channel, int frame) const
{
    const Bus& b = inputs[static_cast<size_t>(bus)];
    return sampleSize == kSample64 ? b.samples64[static_cast<size_t>(channel)][static_cast<size_t>(frame)]
                                   : b.samples32[static_cast<size_t>(channel)][static_cast<size_t>(frame)];
}

double ProcessBuffers::Output(int bus, int channel, int frame) const
{
    const Bus& b = outputs[static_cast<size_t>(bus)];
    return sampleSize == kSample64 ? b.samples64[static_cast<size_t>(channel)][static_cast<size_t>(frame)]
                                   : b.samples32[static_cast<size_t>(channel)][static_cast<size_t>(frame)];
}

void ProcessBuffers::FillOutputs(double value)
{
    for (Bus& bus : outputs)
    {
        for (auto& channel : bus.samples32)
            std::fill(channel.begin(), channel.end(), static_cast<float>(value));
        for (auto& channel : bus.samples64)
            std::fill(channel.begin(), channel.end(), value);
    }
}

void ProcessBuffers::ClearInputs()
{
    for (Bus& bus : inputs)
    {
        for (auto& channel : bus.samples32)
            std::fill(channel.begin(), channel.end(), 0.0f);
        for (auto& channel : bus.samples64)
            std::fill(channel.begin(), channel.end(), 0.0);
    }
}

} // namespace ringstill::vst3host
