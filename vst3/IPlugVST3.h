// IPlugVST3: the plug-in as one VST 3 single-component effect. It is the framework's plug-in base
// (parameters, presets, host notifications), the VST 3 audio processor (IPlugVST3ProcessorBase)
// and the SDK-level component + edit controller, and answers the controller extensions a host
// asks for (units, MIDI mapping, track information). The effect class derives from it and
// overrides only ProcessAudioBlock, ResetDsp and IdleUpdate.
//
// Reference counted (the SDK's FObject): created with one reference by the factory, destroyed by
// the last release. The view holds a reference while it exists.
// Threads: controller, view and setup calls on the host's main (UI) thread; process on the audio
// thread; getState/setState may come from another host thread while processing. The component
// handler is only ever called on the UI thread: what the audio thread changes (the latency) is
// published atomically and announced at the next idle tick.
// Every interface method runs guarded (vst3/Guard.h): nothing thrown inside reaches the host.
#pragma once

#include "framework/IKeyPress.h"
#include "framework/IPlugAPIBase.h"
#include "vst3/EditorWindow.h"
#include "vst3/HostRunLoop.h"
#include "vst3/IPlugVST3ProcessorBase.h"
#include "vst3/SingleComponentEffect.h"

#include "pluginterfaces/vst/ivstchannelcontextinfo.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

namespace iplug {

class IPlugVST3View;

// The host's track information, as last received (the effect does not use it).
struct ChannelContextInfo
{
    std::string name; // UTF-8
    std::string uid;
    std::int64_t index = 0;
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    std::uint8_t alpha = 0;
    std::string indexNamespace;
    std::int64_t indexNamespaceOrder = 0;
    std::int64_t pluginLocation = 0;
};

class IPlugVST3 : public IPlugAPIBase,
                  public IPlugVST3ProcessorBase,
                  public ringstill::vst3::SingleComponentEffect,
                  public Steinberg::Vst::IMidiMapping,
                  public Steinberg::Vst::ChannelContext::IInfoListener
{
public:
    explicit IPlugVST3(const PluginConfig& config);
    ~IPlugVST3() override;

    // --- IPluginBase: buses, parameters, units, host identification.
    Steinberg::tresult PLUGIN_API initialize(Steinberg::FUnknown* context) override;
    Steinberg::tresult PLUGIN_API terminate() override;

    // --- IAudioProcessor
    Steinberg::tresult PLUGIN_API setBusArrangements(Steinberg::Vst::SpeakerArrangement* inputs,
                                                     Steinberg::int32 numIns,
                                                     Steinberg::Vst::SpeakerArrangement* outputs,
                                                     Steinberg::int32 numOuts) override;
    Steinberg::tresult PLUGIN_API canProcessSampleSize(Steinberg::int32 symbolicSampleSize) override;
    Steinberg::tresult PLUGIN_API setupProcessing(Steinberg::Vst::ProcessSetup& setup) override;
    Steinberg::tresult PLUGIN_API setActive(Steinberg::TBool state) override;
    Steinberg::tresult PLUGIN_API setProcessing(Steinberg::TBool state) override;
    // Audio thread: never allocates, locks or waits.
    Steinberg::tresult PLUGIN_API process(Steinberg::Vst::ProcessData& data) override;
    Steinberg::uint32 PLUGIN_API getLatencySamples() override;
    Steinberg::uint32 PLUGIN_API getTailSamples() override;

    // --- IEditController
    // The handler, and on Linux its run loop (or the host context's) for the idle ticks.
    Steinberg::tresult PLUGIN_API setComponentHandler(Steinberg::Vst::IComponentHandler* handler) override;
    Steinberg::tresult PLUGIN_API setParamNormalized(Steinberg::Vst::ParamID id,
                                                     Steinberg::Vst::ParamValue value) override;
    Steinberg::IPlugView* PLUGIN_API createView(Steinberg::FIDString name) override;

    // --- IUnitInfo: preset names under kPresetParamId; no program data.
    Steinberg::int32 PLUGIN_API getProgramListCount() override;
    Steinberg::tresult PLUGIN_API getProgramName(Steinberg::Vst::ProgramListID listId, Steinberg::int32 programIndex,
                                                 Steinberg::Vst::String128 name) override;
    Steinberg::tresult PLUGIN_API getUnitByBus(Steinberg::Vst::MediaType type, Steinberg::Vst::BusDirection dir,
                                               Steinberg::int32 busIndex, Steinberg::int32 channel,
                                               Steinberg::Vst::UnitID& unitId) override;
    Steinberg::tresult PLUGIN_API setUnitProgramData(Steinberg::int32 listOrUnitId, Steinberg::int32 programIndex,
                                                     Steinberg::IBStream* data) override;

    // --- IMidiMapping
    Steinberg::tresult PLUGIN_API getMidiControllerAssignment(Steinberg::int32 busIndex, Steinberg::int16 channel,
                                                              Steinberg::Vst::CtrlNumber midiControllerNumber,
                                                              Steinberg::Vst::ParamID& id) override;
    // --- IInfoListener
    Steinberg::tresult PLUGIN_API setChannelContextInfos(Steinberg::Vst::IAttributeList* list) override;

    // --- FUnknown, answered once for every base.
    Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override;
    Steinberg::uint32 PLUGIN_API addRef() override { return SingleComponentEffect::addRef(); }
    Steinberg::uint32 PLUGIN_API release() override { return SingleComponentEffect::release(); }

    // --- Host notifications of the framework, through the host's component handler.
    void BeginHostEdit(int index) override;
    void HostEdit(int index, double normalised) override;
    void EndHostEdit(int index) override;
    void HostParameterDetailsChanged() override;
    // UI thread: IComponentHandler2::setDirty, so the host saves the project again.
    void MarkStateDirty() override;
    void PushAllParamsToHost() override;
    void SetParameterFromEditor(int index, double normalised) override;
    bool ResizeEditor(int width, int height) override;

    // Audio or setup thread: the new latency reaches the bypass delay and getLatencySamples at
    // once; the host is told of a change at the next idle tick (DeliverHostNotifications).
    void ChangeLatency(int samples) override;
    // UI thread, idle tick: restartComponent for a latency that changed since the last tick.
    void DeliverHostNotifications() override;
    // Whether this host is told of a new latency by the thread that changed it, not by the tick.
    bool HostHearsLatencyAtOnce() const;

    // --- Editor window hooks, UI thread. By default they put the graphics context into the host's
    // window through the platform's editor window (OpenEditorWindow in vst3/EditorWindow.h).
    // parent is the host's window (an X11 window id on Linux, an HWND on Windows).
    virtual void OpenEditorWindow(void* parent);
    virtual void CloseEditorWindow();
    // The graphics context is to take this window size (draw scale included) and screen scale.
    virtual void ResizeEditorContext(int width, int height, float scale);
    // True when the editor handled the key.
    virtual bool OnEditorKey(const igraphics::IKeyPress& key, bool isUp);
    // Whether the last OpenEditorWindow of the default hooks found no way to open the window.
    bool EditorWindowFailed() const { return editorWindowFailed; }
    bool HasEditorWindow() const { return editorWindow != nullptr; }

    // UI thread. The editor's screen scale (1 until the host sets one).
    float EditorScale() const { return editorScale; }
    void SetEditorScale(float scale) { editorScale = scale; }
    // What the last close of the editor left (zeros before the first close).
    int ClosedWidth() const { return closedWidth; }
    int ClosedHeight() const { return closedHeight; }
    float ClosedScale() const { return closedScale; }
    void RememberClosedEditor(int width, int height, float scale)
    {
        closedWidth = width;
        closedHeight = height;
        closedScale = scale;
    }
    // The view currently open, or nullptr; the view registers and unregisters itself.
    IPlugVST3View* GetView() const { return view; }
    void SetView(IPlugVST3View* openView) { view = openView; }

    const ChannelContextInfo& GetChannelContext() const { return channelContext; }

    OBJ_METHODS(IPlugVST3, SingleComponentEffect)

protected:
    // The 80-byte parameter chunk followed by the host bypass as a 32-bit integer.
    Steinberg::tresult getProcessorState(Steinberg::IBStream* state) override;
    Steinberg::tresult setProcessorState(Steinberg::IBStream* state) override;

private:
    Steinberg::tresult ArrangeBuses(Steinberg::Vst::SpeakerArrangement* inputs, Steinberg::int32 numIns,
                                    Steinberg::Vst::SpeakerArrangement* outputs, Steinberg::int32 numOuts);
    Steinberg::tresult ReadChannelContext(Steinberg::Vst::IAttributeList* list);
    void CreateBuses(int inputLayout, int outputLayout);
    void CreateDefaultBuses();
    void TickOnHostRunLoop();
    // Setup thread: ResetDsp with process kept off the DSP until it has completed.
    void ResetDspGuarded();
    void RegisterParametersAndUnits();
    void AddParameter(Steinberg::Vst::Parameter* parameter);
    void IdentifyHostFrom(Steinberg::FUnknown* context);

    IPlugVST3View* view = nullptr;
    float editorScale = 1.0f;
    int closedWidth = 0;
    int closedHeight = 0;
    float closedScale = 0.0f;
    // The corner resizer's draw scale at the last close, taken up again by the next open.
    float closedDrawScale = 0.0f;
    std::unique_ptr<EditorWindow> editorWindow;
    bool editorWindowFailed = false;
    ChannelContextInfo channelContext;
    // Set by the thread that changed the latency, taken by the idle tick.
    std::atomic<bool> latencyRestartPending {false};
    // Linux: the idle timers ticking on the host's run loop with the editor closed.
    std::unique_ptr<HostRunLoopTicks> hostRunLoopTicks;
};

} // namespace iplug
