// IPlugVST3ProcessorBase: the audio side of the VST 3 binding. Keeps the host's last process setup
// and process context, turns the host's parameter queues into parameter values, binds the host's
// 32- or 64-bit buffers to the processor's channel slots and runs the effect (or the pass-through
// while the host bypasses it).
//
// Threads: SetupProcessing on the host's setup thread while processing is stopped; everything
// reached from process (ProcessTiming, ProcessParameterChanges, ProcessAudio) on the audio thread,
// where nothing allocates, locks or waits.
#pragma once

#include "framework/IEditorDelegate.h"
#include "framework/IPlugProcessor.h"

#include "public.sdk/source/vst/vstbus.h"
#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstprocesscontext.h"

#include <atomic>

namespace iplug {

// Host-visible identifiers beyond the plug-in's own parameters (whose identifier is their index).
inline constexpr Steinberg::Vst::ParamID kBypassParamId = 65536;
inline constexpr Steinberg::Vst::ParamID kPresetParamId = 65537;
inline constexpr Steinberg::Vst::ParamID kMidiCcParamBase = 65538;
// 128 controllers, channel pressure and pitch bend per MIDI channel.
inline constexpr int kMidiCcParamsPerChannel = 130;

// The sample rates a setup is accepted at: from below the lowest rate of any host (8 kHz) and the
// SDK validator's 1234.5678 Hz to above the highest (768 kHz) and the validator's 1,234,567.8 Hz.
// Outside, what is sized from the rate (latency, buffers, work per block) loses all measure.
inline constexpr double kMinSampleRate = 1000.0;
inline constexpr double kMaxSampleRate = 2000000.0;
// The block capacity when the host gives a maximum below 1.
inline constexpr int kDefaultBlockCapacity = 1024;
// Longer host blocks run in pieces of at most this many samples and this much audio, so buffers
// and work sized from one piece stay within bounds at every rate.
inline constexpr int kMaxBlockCapacity = 65536;
inline constexpr double kMaxBlockSeconds = 2.0;

// The speaker arrangement a bus of this many channels announces; 0 (empty) for counts without one.
Steinberg::Vst::SpeakerArrangement SpeakerArrangementFor(int channels);

class IPlugVST3ProcessorBase : public IPlugProcessor
{
public:
    explicit IPlugVST3ProcessorBase(const PluginConfig& config);

    static bool IsSupportedSampleSize(Steinberg::int32 symbolicSampleSize)
    {
        return symbolicSampleSize == Steinberg::Vst::kSample32 || symbolicSampleSize == Steinberg::Vst::kSample64;
    }
    // Finite and within kMinSampleRate ... kMaxSampleRate.
    static bool IsSupportedSampleRate(double sampleRate);
    // The block capacity for the host's maximum block size at this rate.
    static int BlockCapacityFor(Steinberg::int32 maxSamplesPerBlock, double sampleRate);
    static bool AcceptsSetup(const Steinberg::Vst::ProcessSetup& setup)
    {
        return IsSupportedSampleSize(setup.symbolicSampleSize) && IsSupportedSampleRate(setup.sampleRate);
    }

    // Setup thread. Copies the setup, sets rate and block capacity and (re)creates the bypass delay.
    // False, with nothing changed, for a setup AcceptsSetup refuses. The caller resets the DSP
    // afterwards.
    bool SetupProcessing(const Steinberg::Vst::ProcessSetup& setup);
    // Setup thread. Whether the effect's DSP is built for the current setup; process runs the
    // effect only then and otherwise outputs silence, so a reset that failed half-way is never run.
    void SetDspReady(bool ready) { dspReady.store(ready, std::memory_order_release); }
    bool IsDspReady() const { return dspReady.load(std::memory_order_acquire); }
    const Steinberg::Vst::ProcessSetup& GetProcessSetup() const { return lastSetup; }
    const Steinberg::Vst::ProcessContext& GetProcessContext() const { return processContext; }

    // Audio thread. Copies the block's context (a block without one keeps the last) into the transport.
    void ProcessTiming(const Steinberg::Vst::ProcessData& data);
    // Audio thread. The last point of every queue: the host bypass, or one of the plug-in's
    // parameters (stored and announced with its sample offset). Unreadable or non-finite points and
    // unknown identifiers are skipped.
    void ProcessParameterChanges(const Steinberg::Vst::ProcessData& data, IEditorDelegate& plug);
    // Audio thread. Binds the buffers and runs the block. A block longer than the capacity given in
    // setup runs in pieces of at most that size, so the scratch buffers are never overrun.
    // outputBuses tells which of the component's output buses the host activated.
    void ProcessAudio(Steinberg::Vst::ProcessData& data, Steinberg::Vst::BusList& outputBuses);
    // Audio thread. Zeros in every host output channel of a block of a supported sample size.
    static void SilenceHostOutputs(Steinberg::Vst::ProcessData& data);

private:
    void BindInputs(const Steinberg::Vst::ProcessData& data, bool is64, int offset, int nFrames);
    void BindOutputs(const Steinberg::Vst::ProcessData& data, Steinberg::Vst::BusList& outputBuses, bool is64,
                     int offset, int nFrames);
    void WriteOutputs32(int nFrames);

    Steinberg::Vst::ProcessSetup lastSetup {Steinberg::Vst::kRealtime, Steinberg::Vst::kSample32, 0, 48000.0};
    Steinberg::Vst::ProcessContext processContext {};
    std::atomic<bool> dspReady {false};
};

} // namespace iplug
