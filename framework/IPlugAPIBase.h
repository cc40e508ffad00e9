// IPlugAPIBase: the plug-in base a format binding derives from. It is built from the
// effect's PluginConfig, owns the idle Timer, knows the host, and declares the
// host-notification operations the binding overrides (they do nothing here).
//
// Threads: construction, the host calls (SetHost, PushAllParamsToHost) and the
// editor calls (SetParameterFromEditor, Begin/EndHostEdit, ResizeEditor) run on the
// UI / host thread. TimerTick and IdleUpdate run on the UI thread. The MIDI and
// system-exclusive rings each have one producer and one consumer thread.
#pragma once

#include "framework/HostKind.h"
#include "framework/IPluginBase.h"
#include "framework/MidiMessage.h"
#include "framework/PluginConfig.h"
#include "framework/SpscQueue.h"
#include "framework/Timer.h"

#include <memory>
#include <string>

namespace iplug {

class IPlugAPIBase : public IPluginBase
{
public:
    static constexpr int kMidiRingSlots = 33;
    static constexpr int kSysexRingSlots = 5;
    using MidiRing = SpscQueue<MidiMessage, kMidiRingSlots>;
    using SysexRing = SpscQueue<SysexRecord, kSysexRingSlots>;

    explicit IPlugAPIBase(const PluginConfig& config);
    // Destroys the timer first. A derived class whose IdleUpdate reads its own members
    // should call SetTimer(nullptr) at the start of its destructor, before they go.
    ~IPlugAPIBase() override;

    // Constructor / UI thread. Takes ownership; a previous timer is destroyed first.
    void SetTimer(std::unique_ptr<Timer> timer);
    Timer* GetTimer() const { return timer.get(); }
    // Creates the 20 ms idle timer bound to TimerTick and hands it to SetTimer.
    void StartIdleTimer();

    // UI thread, from the idle timer: lets the binding tell the host what other
    // threads changed, forwards what the audio side queued for the editor, then
    // calls IdleUpdate.
    void TimerTick();
    // UI thread, at every idle tick. Host calls the audio thread must not make (a
    // latency change) are made here by the binding; nothing by default.
    virtual void DeliverHostNotifications() {}
    // UI thread. The effect's idle hook; does nothing by default.
    virtual void IdleUpdate() {}
    // UI thread. Receivers of what the audio side queued for the editor.
    virtual void SendMidiMsgToEditor(const MidiMessage& message) { (void)message; }
    virtual void SendSysexMsgToEditor(const SysexRecord& record) { (void)record; }

    // Host notifications, UI thread; the binding forwards them to the host.
    void BeginHostEdit(int index) override { (void)index; }
    virtual void HostEdit(int index, double normalised)
    {
        (void)index;
        (void)normalised;
    }
    void EndHostEdit(int index) override { (void)index; }
    virtual void HostParameterDetailsChanged() {}
    bool ResizeEditor(int width, int height) override { return IEditorDelegate::ResizeEditor(width, height); }

    // UI thread. The path of every editor gesture: store, tell the host, announce.
    void SetParameterFromEditor(int index, double normalised) override;
    // UI / host thread. HostEdit with every parameter's current normalised value.
    virtual void PushAllParamsToHost();

    // Host thread. Only the first call identifies the host.
    void SetHost(const char* hostName);
    const char* GetHostName() const { return hostName.c_str(); }
    HostKind GetHost() const { return hostKind; }

    bool HasEditor() const { return hasEditor; }
    bool IsHostResizable() const { return hostResizable; }

    // Editor -> audio side (consumed by the binding in process) and audio side ->
    // editor (consumed by TimerTick). Empty in a plug-in without MIDI.
    MidiRing& MidiFromEditor() { return midiFromEditor; }
    MidiRing& MidiFromProcessor() { return midiFromProcessor; }
    SysexRing& SysexFromEditor() { return sysexFromEditor; }
    SysexRing& SysexFromProcessor() { return sysexFromProcessor; }

private:
    std::unique_ptr<Timer> timer;
    bool hasEditor = false;
    bool hostResizable = false;
    std::string hostName;
    HostKind hostKind = kHostUninit;
    MidiRing midiFromEditor;
    MidiRing midiFromProcessor;
    SysexRing sysexFromEditor;
    SysexRing sysexFromProcessor;
};

} // namespace iplug
