#include "effect/Ringstill.h"

#include "effect/StateExtension.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <span>
#include <thread>

namespace ringstill {

namespace {

// Host samples beyond the float range become infinities explicitly rather than
// through an out-of-range conversion; the bank treats them like any infinity.
float ToFloat(double v)
{
    if (v > static_cast<double>(FLT_MAX))
        return INFINITY;
    if (v < -static_cast<double>(FLT_MAX))
        return -INFINITY;
    return static_cast<float>(v);
}

// Largest finite |sample|, so a bad sample can never reach a meter.
template <typename Sample>
float BlockPeak(const Sample* samples, int n)
{
    if (samples == nullptr)
        return 0.0f;
    double peak = 0.0;
    for (int i = 0; i < n; ++i)
    {
        const double a = std::fabs(static_cast<double>(samples[i]));
        if (a > peak && a <= DBL_MAX) // NaN and infinity fail one of the two
            peak = a;
    }
    return static_cast<float>(std::min(peak, static_cast<double>(FLT_MAX)));
}

} // namespace

iplug::PluginConfig Ringstill::MakeConfig()
{
    iplug::PluginConfig config;
    config.nParams = kNumParams;
    config.nPresets = kNumPresets;
    config.channelLayouts = kChannelLayouts;
    config.pluginName = kPluginName;
    config.productName = kProductName;
    config.makerName = kMakerName;
    config.vendorVersion = kVendorVersion;
    config.uniqueId = kUniqueId;
    config.makerId = kMakerId;
    config.latency = 0;
    config.midiIn = false;
    config.midiOut = false;
    config.mpe = false;
    config.pluginType = iplug::kPluginTypeEffect;
    config.hasEditor = true;
    config.editorWidth = kEditorWidth;
    config.editorHeight = kEditorHeight;
    config.minWidth = kEditorMinSize;
    config.maxWidth = kEditorMaxSize;
    config.minHeight = kEditorMinSize;
    config.maxHeight = kEditorMaxSize;
    config.hostResizable = false;
    config.bundleId = "";
    config.appGroupId = "";
    return config;
}

// Main thread.
Ringstill::Ringstill(const iplug::InstanceInfo& info)
    : iplug::FormatBinding(MakeConfig())
{
    (void)info;
    StartIdleTimer();

    // The denoiser wrapper has no channels, and so no latency, until ResetDsp.
    noNoise.latency = 0;

    GetParam(kSensitivity)->DefineDouble("Sensitivity", 50.0, 0.0, 100.0, 1.0, "%");
    GetParam(kAutoCut)->DefineDouble("Auto Cut", kDefaultNotchDepthDb, -40.0, -3.0, 0.1, "dB");
    GetParam(kAutoWidth)->DefineDouble("Auto Width", kDefaultNotchQ, 2.0, 60.0, 0.1, "Q");
    GetParam(kMasterTrim)->DefineDouble("Master Trim", 0.0, -12.0, 12.0, 0.1, "dB");
    GetParam(kMasterWidth)->DefineDouble("Master Width", 1.0, 0.5, 2.0, 0.01, "x");
    GetParam(kNoNoise)->DefineDouble("No-Noise", 0.0, 0.0, 100.0, 0.1, "%");
    GetParam(kNoReverb)->DefineDouble("No-Reverb", 0.0, 0.0, 100.0, 0.1, "%");
    GetParam(kGain)->DefineDouble("Gain", 0.0, -24.0, 24.0, 0.1, "dB");
    GetParam(kHold)->DefineBool("Hold", false);
    GetParam(kBypass)->DefineBool("Bypass", false);

    CreateDefaultPreset();
    // The editor is installed by the binary that builds the plug-in (InstallEditor), so the
    // effect knows no graphics.
}

// Main thread.
Ringstill::~Ringstill()
{
    // No tick may reach IdleUpdate while the members go.
    SetTimer(nullptr);
}

// UI thread.
void Ringstill::IdleUpdate()
{
    RunEditorIdle();
}

// Host thread.
bool Ringstill::WriteStateExtension(iplug::ByteChunk& chunk) const
{
    ExtendedSettings settings;
    settings.autoCatch = static_cast<AutoCatchMode>(feed.autoCatchMode.load());
    return AppendStateExtension(chunk, settings);
}

// Host thread. Takes effect at the next block; nothing the user placed is cleared.
void Ringstill::ReadStateExtension(const iplug::ByteChunk& chunk, int pos)
{
    feed.autoCatchMode.store(static_cast<std::uint8_t>(ringstill::ReadStateExtension(chunk, pos).autoCatch));
}

int Ringstill::MaxLatency() const
{
    return noNoise.NoNoiseLatency() + noReverbLatency;
}

// Audio thread.
Ringstill::BlockSettings Ringstill::ReadSettings() const
{
    auto value = [this](int index) { return GetParam(index)->CurrentValue(); };
    BlockSettings s;
    s.sensitivity = static_cast<float>(value(kSensitivity) / 100.0);
    s.autoCutDb = static_cast<float>(value(kAutoCut));
    s.autoQ = static_cast<float>(value(kAutoWidth));
    s.trimDb = static_cast<float>(value(kMasterTrim));
    s.widthScale = static_cast<float>(value(kMasterWidth));
    // The amounts are compared in float, as the stages compare them, so that
    // the latency reported and the stage that runs always agree.
    s.noNoise = static_cast<float>(value(kNoNoise) / 100.0);
    s.noReverb = static_cast<float>(value(kNoReverb) / 100.0);
    s.outputGain = static_cast<float>(std::pow(10.0, value(kGain) / 20.0));
    s.hold = value(kHold) >= kSwitchOnValue;
    s.bypass = value(kBypass) >= kSwitchOnValue;
    s.autoCatch = static_cast<AutoCatchMode>(feed.autoCatchMode.load(std::memory_order_relaxed));
    return s;
}

// Audio thread. Connected inputs that also have an output and their DSP state.
int Ringstill::ConnectedInputs() const
{
    int k = std::min(NInChansConnected(), NOutChannels());
    k = std::min(k, static_cast<int>(banks.size()));
    k = std::min(k, static_cast<int>(noReverbChannels.size()));
    return std::min(k, static_cast<int>(scratch.size()));
}

// Audio thread: never blocks; allocates only for a block longer than prepared.
void Ringstill::ProcessAudioBlock(double** inputs, double** outputs, int nFrames)
{
    const BlockSettings settings = ReadSettings();
    const int n = std::max(nFrames, 0);
    const int k = ConnectedInputs();

    if (settings.bypass)
    {
        ProcessBypassed(inputs, outputs, n, std::min(NInChansConnected(), NOutChannels()));
        return;
    }

    ApplyNotchCommands(feed, std::span<NotchBank>(banks));

    const std::int32_t latency = (settings.noNoise > kCleanupOffAmount ? noNoise.NoNoiseLatency() : 0)
                                 + (settings.noReverb > kCleanupOffAmount ? noReverbLatency : 0);
    if (latency != reportedLatency)
    {
        ChangeLatency(latency);
        reportedLatency = latency;
    }

    // Before the channels run: the host may pass one buffer for input and output.
    feed.inputPeak.exchange(k > 0 ? BlockPeak(inputs[0], n) : 0.0f);

    std::int32_t active = 0;
    for (int c = 0; c < k; ++c)
    {
        ProcessChannel(c, settings, inputs[c], outputs[c], n);
        active += CountActiveNotches(banks[static_cast<std::size_t>(c)]);
    }
    feed.activeNotchCount.exchange(active);
    // Channel 0's scratch holds exactly what went to output 0.
    feed.outputPeak.exchange(k > 0 ? BlockPeak(scratch[0].data(), n) : 0.0f);

    PublishEditorView(feed, std::span<const NotchBank>(banks));
}

// Audio thread. The input goes out untouched and the DSP state stands still.
void Ringstill::ProcessBypassed(double** inputs, double** outputs, int nFrames, int channels)
{
    if (reportedLatency != 0)
    {
        ChangeLatency(0);
        reportedLatency = 0;
    }
    for (int c = 0; c < channels; ++c)
    {
        const double* in = inputs[c];
        double* out = outputs[c];
        if (in != nullptr && out != nullptr && in != out)
            std::copy(in, in + nFrames, out);
    }
    const float peak = channels > 0 ? BlockPeak(inputs[0], nFrames) : 0.0f;
    feed.inputPeak.exchange(peak);
    feed.outputPeak.exchange(peak);
    feed.activeNotchCount.exchange(0);
}

// Audio thread. Detector and notches, gain and soft clip, No-Noise, No-Reverb.
void Ringstill::ProcessChannel(int channel, const BlockSettings& settings, const double* input, double* output,
                               int nFrames)
{
    const std::size_t c = static_cast<std::size_t>(channel);
    std::vector<float>& buffer = scratch[c];
    if (buffer.size() < static_cast<std::size_t>(nFrames))
        buffer.resize(static_cast<std::size_t>(nFrames)); // the host broke its promise: grow once
    float* x = buffer.data();
    if (input != nullptr)
        for (int i = 0; i < nFrames; ++i)
            x[i] = ToFloat(input[i]);
    else
        std::fill(x, x + nFrames, 0.0f);

    NotchBank& bank = banks[c];
    bank.sensitivity = settings.sensitivity;
    bank.autoCutDb = settings.autoCutDb;
    bank.autoQ = settings.autoQ;
    bank.trimDb = settings.trimDb;
    bank.widthScale = settings.widthScale;
    bank.outputGain = settings.outputGain;
    bank.hold = settings.hold;
    bank.autoCatch = settings.autoCatch;
    ProcessBankBlock(bank, x, nFrames);

    noNoise.SetNoNoiseAmount(settings.noNoise);
    noNoise.ProcessNoNoise(x, nFrames, channel);

    NoReverbChannel& noReverb = noReverbChannels[c];
    noReverb.amount = settings.noReverb;
    if (settings.noReverb > kCleanupOffAmount)
        noReverb.ProcessBlock(x, nFrames);

    if (output != nullptr)
        for (int i = 0; i < nFrames; ++i)
            output[i] = static_cast<double>(x[i]);
}

// Setup thread, never during a block.
void Ringstill::ResetDsp()
{
    double fs = GetSampleRate();
    if (!(fs > 0.0) || !std::isfinite(fs))
        fs = 48000.0; // the fallback every stage uses
    effectSampleRate = fs;
    feed.sampleRate.store(fs, std::memory_order_relaxed);
    const int m = NInChannels() > 0 ? NInChannels() : 2;
    const int maxBlock = GetBlockCapacity() >= 1 ? GetBlockCapacity() : 1024;
    const std::size_t channels = static_cast<std::size_t>(m);

    banks.clear();
    banks.resize(channels);
    for (NotchBank& bank : banks)
        ConfigureBank(bank, fs);

    noReverbChannels.clear();
    noReverbChannels.resize(channels);
    for (NoReverbChannel& channel : noReverbChannels)
        channel.Prepare(fs);

    noNoise.ConfigureNoNoise(fs, m, maxBlock);

    scratch.assign(channels, std::vector<float>(static_cast<std::size_t>(maxBlock), 0.0f));

    noReverbLatency = noReverbChannels.empty() ? 0 : noReverbChannels.front().latency;

    // Room for every latency a block can report, so ChangeLatency on the audio
    // thread never has to grow the bypass delay.
    ReserveLatency(MaxLatency());
    ChangeLatency(0);
    reportedLatency = 0;

    // ResetEditorFeed only tries the view lock. When the editor held it and the
    // views have the wrong shape for the new rate, the first publication would
    // have to allocate on the audio thread; the editor holds the lock for one
    // copy at most, so wait for it here instead.
    const NotchBank& channel0 = banks.front();
    auto viewsShaped = [&] {
        return feed.spectrumView.size() == static_cast<std::size_t>(channel0.analysisSize / 2)
               && feed.notchViews.size() == static_cast<std::size_t>(kMaxNotches);
    };
    ResetEditorFeed(feed, &channel0);
    while (!viewsShaped())
    {
        std::this_thread::yield();
        ResetEditorFeed(feed, &channel0);
    }

    // The notches these described are gone.
    feed.activeNotchCount.exchange(0);
    feed.inputPeak.exchange(0.0f);
    feed.outputPeak.exchange(0.0f);
}

} // namespace ringstill
