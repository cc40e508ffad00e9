// Ringstill: the effect. One object is the plug-in base with the ten parameters
// and the "Default" preset, the audio processor (notch banks with their
// detectors, gain and soft clip, then No-Noise and No-Reverb per channel), and
// the editor delegate with the EditorFeed the editor reads.
//
// Owns its DSP lists and the feed; the framework bases own parameters, presets,
// channel slots and the idle timer. Members are released in reverse declaration
// order after the timer has stopped.
//
// Threads: construction and destruction on the host's main thread; ResetDsp on
// the thread that sets up or stops processing, never during a block;
// ProcessAudioBlock on the audio thread; IdleUpdate on the UI thread.
#pragma once

#include "effect/CleanupStage.h"
#include "effect/EditorFeed.h"
#include "effect/NoReverb.h"
#include "effect/NotchBank.h"
#include "effect/RingstillParams.h"
#include "framework/IPlugAPIBase.h"
#include "framework/IPlugProcessor.h"
#include "framework/InstanceInfo.h"
#include "framework/PluginConfig.h"

// The format binding is chosen by the target that compiles this class: the VST 3 module builds it
// on IPlugVST3 (RINGSTILL_VST3); the effect library that tests, benchmarks and tools link builds it
// on the two framework bases alone, so it needs no SDK.
#if defined(RINGSTILL_VST3)
#include "vst3/IPlugVST3.h"
#endif

#include <cstdint>
#include <vector>

namespace ringstill {

#if defined(RINGSTILL_VST3)
using RingstillBase = iplug::IPlugVST3;
#else
class RingstillBase : public iplug::IPlugAPIBase, public iplug::IPlugProcessor
{
public:
    explicit RingstillBase(const iplug::PluginConfig& config) : IPlugAPIBase(config), IPlugProcessor(config) {}
};
#endif

class Ringstill : public RingstillBase
{
public:
    // The configuration record the bases are built from.
    static iplug::PluginConfig MakeConfig();

    // Main thread. The instance information carries nothing the effect uses.
    explicit Ringstill(const iplug::InstanceInfo& info = {});
    ~Ringstill() override;

    // Audio thread: never blocks, never allocates, except to lengthen the scratch
    // buffers for a block longer than the one ResetDsp prepared for.
    void ProcessAudioBlock(double** inputs, double** outputs, int nFrames) override;
    // Setup thread, never during a block: rebuilds every DSP state empty.
    void ResetDsp() override;
    // UI thread, every 20 ms; nothing to do while the editor is closed.
    void IdleUpdate() override;
    // UI thread: the editor's "Reset": parameter defaults without host edits, every
    // slot removed through the command ring, no selection, everything redrawn.
    void RestoreDefaultsAndClear();

    // The block the editor shares with the audio thread.
    EditorFeed& Feed() { return feed; }
    const EditorFeed& Feed() const { return feed; }
    // The rate the DSP was last reset for (48000 before the first reset).
    double EffectSampleRate() const { return effectSampleRate; }
    // Audio / setup thread: the latency the effect last reported.
    std::int32_t ReportedLatency() const { return reportedLatency; }
    // The largest latency the effect can report at the rate it was reset for.
    int MaxLatency() const;

private:
    // Parameter values of one block, mapped as the DSP uses them.
    struct BlockSettings
    {
        float sensitivity = 0.5f;
        float autoCutDb = -18.0f;
        float autoQ = 25.0f;
        float trimDb = 0.0f;
        float widthScale = 1.0f;
        float noNoise = 0.0f;  // not yet limited to 0..1
        float noReverb = 0.0f; // used as it is
        float outputGain = 1.0f;
        bool hold = false;
        bool bypass = false;
    };

    BlockSettings ReadSettings() const;
    int ConnectedInputs() const;
    void ProcessBypassed(double** inputs, double** outputs, int nFrames, int channels);
    void ProcessChannel(int channel, const BlockSettings& settings, const double* input, double* output,
                        int nFrames);

    // Declaration order is the order of construction; the destructor releases in reverse.
    std::vector<NotchBank> banks;
    std::vector<NoReverbChannel> noReverbChannels;
    CleanupStage noNoise;
    std::vector<std::vector<float>> scratch;
    double effectSampleRate = 48000.0;
    std::int32_t noReverbLatency = 0;
    std::int32_t reportedLatency = 0;
    EditorFeed feed;
};

} // namespace ringstill
