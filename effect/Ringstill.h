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
#include "framework/InstanceInfo.h"
#include "framework/PluginConfig.h"

// The format binding the class derives from is chosen by the binary that builds it
// (ringstill_add_effect_variant): iplug::IPlugVST3 in the VST 3 module, iplug::IPlugOffline in
// tests, tools and benchmarks. Each binary holds one build of the class.
#if !defined(RINGSTILL_FORMAT_BINDING)
#error "Ringstill is built by ringstill_add_effect_variant(), which names its format binding"
#endif
#include RINGSTILL_FORMAT_BINDING

#include <cstdint>
#include <vector>

namespace ringstill {

class Ringstill : public iplug::FormatBinding
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
    // UI thread, every 20 ms: the editor's idle function, when an editor is installed and open.
    void IdleUpdate() override;

    // Host threads: the Auto Catch mode, saved after the binding's state when it is not Classic.
    bool WriteStateExtension(iplug::ByteChunk& chunk) const override;
    void ReadStateExtension(const iplug::ByteChunk& chunk, int pos) override;

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
        float autoCutDb = kDefaultNotchDepthDb;
        float autoQ = kDefaultNotchQ;
        float trimDb = 0.0f;
        float widthScale = 1.0f;
        float noNoise = 0.0f;  // not yet limited to 0..1
        float noReverb = 0.0f; // used as it is
        float outputGain = 1.0f;
        bool hold = false;
        bool bypass = false;
        AutoCatchMode autoCatch = kDefaultAutoCatchMode;
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
