#include "framework/IPlugProcessor.h"

#include <algorithm>

namespace iplug {

IPlugProcessor::IPlugProcessor(const PluginConfig& config)
    : pluginType(config.pluginType),
      midiIn(config.midiIn),
      midiOut(config.midiOut),
      mpe(config.mpe),
      latency(std::max(config.latency, 0))
{
    ParseChannelLayouts(config.channelLayouts, layouts, maxima);
    inputSlots.resize(std::size_t(maxima.inputChannels));
    outputSlots.resize(std::size_t(maxima.outputChannels));
    // Every entry points at its (still empty) scratch until the binding binds it.
    inputPointers.assign(inputSlots.size(), nullptr);
    outputPointers.assign(outputSlots.size(), nullptr);
}

IPlugProcessor::~IPlugProcessor() = default;

void IPlugProcessor::ProcessAudioBlock(double** inputs, double** outputs, int nFrames)
{
    if (nFrames <= 0)
        return;
    const int nIn = NInChannels();
    for (int i = 0; i < NOutChannels(); ++i)
    {
        double* out = outputs[i];
        if (!out)
            continue;
        const double* in = i < nIn ? inputs[i] : nullptr;
        if (!in)
            std::fill(out, out + nFrames, 0.0);
        else if (in != out)
            std::copy(in, in + nFrames, out);
    }
}

void IPlugProcessor::ChangeLatency(int samples)
{
    samples = std::max(samples, 0);
    latency.store(samples, std::memory_order_release);
    if (latencyDelay)
        latencyDelay->SetLength(samples);
}

void IPlugProcessor::ChangeTailLength(int samples)
{
    tailLength.store(samples, std::memory_order_relaxed);
}

void IPlugProcessor::PassThrough(int nFrames)
{
    if (GetLatency() > 0 && latencyDelay)
    {
        latencyDelay->Process(inputPointers.data(), outputPointers.data(), nFrames);
        return;
    }
    IPlugProcessor::ProcessAudioBlock(inputPointers.data(), outputPointers.data(), nFrames);
}

void IPlugProcessor::ProcessBuffers(int nFrames)
{
    if (bypassed)
        PassThrough(nFrames);
    else
        ProcessAudioBlock(inputPointers.data(), outputPointers.data(), nFrames);
}

void IPlugProcessor::SetBlockCapacity(int n)
{
    n = std::max(n, 0);
    if (n == blockCapacity)
        return;
    for (BusDirection direction : {kInput, kOutput})
    {
        std::vector<ChannelSlot>& slots = Slots(direction);
        std::vector<double*>& pointers = Pointers(direction);
        for (std::size_t i = 0; i < slots.size(); ++i)
        {
            const bool onScratch = pointers[i] == slots[i].scratch.data();
            slots[i].scratch.assign(std::size_t(n), 0.0);
            if (onScratch)
                pointers[i] = slots[i].scratch.data();
        }
    }
    blockCapacity = n;
}

void IPlugProcessor::CreateLatencyDelay()
{
    if (NInChannels() < 1)
        return;
    const int length = GetLatency();
    latencyDelay = std::make_unique<LatencyDelay>(NInChannels(), NOutChannels(), length);
    latencyDelay->Reserve(std::max(reservedLatency, length));
}

bool IPlugProcessor::ReserveLatency(int maxSamples)
{
    reservedLatency = std::max(reservedLatency, maxSamples);
    return latencyDelay ? latencyDelay->Reserve(maxSamples) : true;
}

void IPlugProcessor::ConnectChannel(BusDirection direction, int channel, double* buffer)
{
    std::vector<ChannelSlot>& slots = Slots(direction);
    if (channel < 0 || channel >= int(slots.size()))
        return;
    ChannelSlot& slot = slots[std::size_t(channel)];
    slot.connected = true;
    Pointers(direction)[std::size_t(channel)] = buffer ? buffer : slot.scratch.data();
}

void IPlugProcessor::DisconnectChannel(BusDirection direction, int channel)
{
    std::vector<ChannelSlot>& slots = Slots(direction);
    if (channel < 0 || channel >= int(slots.size()))
        return;
    ChannelSlot& slot = slots[std::size_t(channel)];
    // A 32-bit host's samples may still sit in the scratch: a disconnected input
    // must read as silence.
    if (slot.connected)
        std::fill(slot.scratch.begin(), slot.scratch.end(), 0.0);
    slot.connected = false;
    slot.hostBuffer32 = nullptr;
    Pointers(direction)[std::size_t(channel)] = slot.scratch.data();
}

void IPlugProcessor::DisconnectAll(BusDirection direction)
{
    for (int i = 0; i < NChannels(direction); ++i)
        DisconnectChannel(direction, i);
}

int IPlugProcessor::CountConnected(const std::vector<ChannelSlot>& slots)
{
    return int(std::count_if(slots.begin(), slots.end(), [](const ChannelSlot& s) { return s.connected; }));
}

int IPlugProcessor::MaxNBuses(BusDirection direction, int* lastLayoutIndex) const
{
    int best = 0;
    int bestIndex = -1;
    for (std::size_t i = 0; i < layouts.size(); ++i)
    {
        const auto& buses = direction == kInput ? layouts[i].inputBuses : layouts[i].outputBuses;
        if (bestIndex < 0 || int(buses.size()) >= best)
        {
            best = int(buses.size());
            bestIndex = int(i);
        }
    }
    if (lastLayoutIndex)
        *lastLayoutIndex = bestIndex;
    return best;
}

int IPlugProcessor::LayoutIndexFor(std::span<const int> inputBusChannels,
                                   std::span<const int> outputBusChannels) const
{
    auto matches = [](const std::vector<BusSpec>& buses, std::span<const int> counts) {
        if (buses.size() != counts.size())
            return false;
        for (std::size_t i = 0; i < buses.size(); ++i)
            if (buses[i].channelCount != counts[i])
                return false;
        return true;
    };
    for (std::size_t i = 0; i < layouts.size(); ++i)
        if (matches(layouts[i].inputBuses, inputBusChannels) && matches(layouts[i].outputBuses, outputBusChannels))
            return int(i);
    return -1;
}

int IPlugProcessor::MaxNChannelsForMainInput() const
{
    if (!layouts.empty())
        for (const BusSpec& bus : layouts.front().inputBuses)
            if (bus.channelCount == kAnyChannelCount)
                return -1;
    int best = 0;
    for (const ChannelLayout& layout : layouts)
        if (!layout.inputBuses.empty())
            best = std::max(best, layout.inputBuses.front().channelCount);
    return best;
}

} // namespace iplug
