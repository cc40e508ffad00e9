// IPlugProcessor: the host-independent audio side of the plug-in. It parses the
// accepted channel layouts, keeps one ChannelSlot per input and output channel with
// its scratch buffer, holds sample rate, block capacity, latency, tail, bypass and
// the host's transport, and provides the pass-through used while the host bypasses
// the plug-in. The format binding derives from it and binds the host's buffers;
// the effect overrides ProcessAudioBlock and ResetDsp.
//
// Threads: construction and the setup calls (SetSampleRate, SetBlockCapacity,
// ReserveLatency, CreateLatencyDelay) run on the host's setup thread, never while a
// block is processed. ProcessAudioBlock, PassThrough, ProcessBuffers and the channel
// binding run on the audio thread and allocate nothing. ChangeLatency is called from
// the audio thread or from ResetDsp; within the reserved latency it allocates
// nothing. Latency and tail are atomics the host may read from any thread.
#pragma once

#include "framework/ChannelLayout.h"
#include "framework/ChannelSlot.h"
#include "framework/LatencyDelay.h"
#include "framework/PluginConfig.h"
#include "framework/TransportInfo.h"

#include <atomic>
#include <memory>
#include <span>
#include <vector>

namespace iplug {

class IPlugProcessor
{
public:
    // A tail of this many samples means an infinite tail.
    static constexpr int kInfiniteTail = 2147483647;

    explicit IPlugProcessor(const PluginConfig& config);
    virtual ~IPlugProcessor();
    IPlugProcessor(const IPlugProcessor&) = delete;
    IPlugProcessor& operator=(const IPlugProcessor&) = delete;

    // Audio thread. The effect's block entry; the base copies input i to output i
    // and silences outputs without an input.
    virtual void ProcessAudioBlock(double** inputs, double** outputs, int nFrames);
    // Setup thread, never during a block: after processing is set up and when it stops.
    virtual void ResetDsp() {}
    // Setup thread. The host activated or deactivated the plug-in.
    virtual void OnActivate(bool active) { (void)active; }
    // Audio or setup thread. Sets the latency and re-sizes the bypass delay to it.
    virtual void ChangeLatency(int samples);
    virtual void ChangeTailLength(int samples);

    // Audio thread. Copies the inputs to the outputs, delayed by the latency when a
    // latency delay exists.
    void PassThrough(int nFrames);
    // Audio thread. PassThrough while bypassed, otherwise ProcessAudioBlock on the
    // bound channel pointers.
    void ProcessBuffers(int nFrames);

    // Setup thread.
    void SetSampleRate(double sampleRate) { this->sampleRate = sampleRate; }
    // Re-sizes and zero-fills every scratch when n differs from the capacity.
    void SetBlockCapacity(int n);
    // Creates the bypass delay (only with at least one input channel), length = latency.
    void CreateLatencyDelay();
    // Makes ChangeLatency allocation-free up to maxSamples; false when out of memory.
    bool ReserveLatency(int maxSamples);

    // Audio thread.
    void SetBypassed(bool bypassed) { this->bypassed = bypassed; }
    void SetRenderingOffline(bool offline) { renderingOffline = offline; }
    TransportInfo& Transport() { return transport; }

    // Channel binding, audio thread. A null buffer binds the slot's own scratch.
    // Disconnecting a channel points it at its scratch, silenced if it was connected.
    void ConnectChannel(BusDirection direction, int channel, double* buffer);
    void DisconnectChannel(BusDirection direction, int channel);
    void DisconnectAll(BusDirection direction);
    ChannelSlot& Slot(BusDirection direction, int channel) { return Slots(direction)[std::size_t(channel)]; }
    double** ChannelPointers(BusDirection direction) { return Pointers(direction).data(); }
    double** InputPointers() { return inputPointers.data(); }
    double** OutputPointers() { return outputPointers.data(); }

    // Accessors, any thread that owns the state they read (see above).
    double GetSampleRate() const { return sampleRate; }
    int GetBlockCapacity() const { return blockCapacity; }
    int GetLatency() const { return latency.load(std::memory_order_acquire); }
    int GetTailLength() const { return tailLength.load(std::memory_order_relaxed); }
    bool IsBypassed() const { return bypassed; }
    bool IsRenderingOffline() const { return renderingOffline; }
    const TransportInfo& GetTransport() const { return transport; }
    int GetPluginType() const { return pluginType; }
    bool DoesMidiIn() const { return midiIn; }
    bool DoesMidiOut() const { return midiOut; }
    bool DoesMpe() const { return mpe; }
    const LatencyDelay* GetLatencyDelay() const { return latencyDelay.get(); }

    // Channel entries (connected or not), connected counts and flags.
    int NInChannels() const { return int(inputSlots.size()); }
    int NOutChannels() const { return int(outputSlots.size()); }
    int NChannels(BusDirection direction) const { return direction == kInput ? NInChannels() : NOutChannels(); }
    int NInChansConnected() const { return CountConnected(inputSlots); }
    int NOutChansConnected() const { return CountConnected(outputSlots); }
    bool IsInChannelConnected(int channel) const { return IsConnected(inputSlots, channel); }
    bool IsOutChannelConnected(int channel) const { return IsConnected(outputSlots, channel); }

    // Layouts.
    const std::vector<ChannelLayout>& GetChannelLayouts() const { return layouts; }
    const ChannelLayoutMaxima& GetLayoutMaxima() const { return maxima; }
    // The largest bus count of a direction over all layouts; the index of the last
    // layout with that count goes to lastLayoutIndex (-1 without layouts).
    int MaxNBuses(BusDirection direction, int* lastLayoutIndex = nullptr) const;
    // The first layout whose bus channel counts equal these lists exactly, or -1.
    int LayoutIndexFor(std::span<const int> inputBusChannels, std::span<const int> outputBusChannels) const;
    // The largest channel count of input bus 0 over all layouts; -1 when an input
    // bus of the first layout takes any count.
    int MaxNChannelsForMainInput() const;

private:
    std::vector<ChannelSlot>& Slots(BusDirection d) { return d == kInput ? inputSlots : outputSlots; }
    std::vector<double*>& Pointers(BusDirection d) { return d == kInput ? inputPointers : outputPointers; }
    static int CountConnected(const std::vector<ChannelSlot>& slots);
    static bool IsConnected(const std::vector<ChannelSlot>& slots, int channel)
    {
        return channel >= 0 && channel < int(slots.size()) && slots[std::size_t(channel)].connected;
    }

    int pluginType = kPluginTypeEffect;
    bool midiIn = false;
    bool midiOut = false;
    bool mpe = false;
    std::atomic<int> latency{0};
    double sampleRate = 48000.0;
    int blockCapacity = 0;
    std::atomic<int> tailLength{0};
    bool bypassed = false;
    bool renderingOffline = false;
    std::vector<ChannelLayout> layouts;
    ChannelLayoutMaxima maxima;
    std::vector<double*> inputPointers;
    std::vector<double*> outputPointers;
    std::vector<ChannelSlot> inputSlots;
    std::vector<ChannelSlot> outputSlots;
    std::unique_ptr<LatencyDelay> latencyDelay;
    int reservedLatency = 0;
    TransportInfo transport;
};

} // namespace iplug
