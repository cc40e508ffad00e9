#include "framework/IPlugAPIBase.h"

#include <algorithm>
#include <cmath>

namespace iplug {

IPlugAPIBase::IPlugAPIBase(const PluginConfig& config)
    : IPluginBase(config), hasEditor(config.hasEditor), hostResizable(config.hostResizable)
{
    SetEditorSize(config.editorWidth, config.editorHeight);
    SetEditorSizeLimits(config.minWidth, config.maxWidth, config.minHeight, config.maxHeight);
}

IPlugAPIBase::~IPlugAPIBase()
{
    // First, so that no tick reaches a half-destroyed plug-in.
    SetTimer(nullptr);
}

void IPlugAPIBase::SetTimer(std::unique_ptr<Timer> newTimer)
{
    timer.reset();
    timer = std::move(newTimer);
}

void IPlugAPIBase::StartIdleTimer()
{
    // The tick runs from the host's or the system's event loop: nothing may leave it.
    SetTimer(Timer::Create(
        [this] {
            try
            {
                TimerTick();
            }
            catch (...)
            {
            }
        },
        kIdleTimerMs));
}

void IPlugAPIBase::TimerTick()
{
    DeliverHostNotifications();
    MidiMessage message;
    while (midiFromProcessor.Pop(message))
        SendMidiMsgToEditor(message);
    SysexRecord record;
    while (sysexFromProcessor.Pop(record))
        SendSysexMsgToEditor(record);
    IdleUpdate();
}

void IPlugAPIBase::SetParameterFromEditor(int index, double normalised)
{
    IParam* param = GetParam(index);
    if (!param)
        return;
    // The host hears a clean position even if a control computed nonsense.
    if (!std::isfinite(normalised))
        normalised = param->CurrentNormalised();
    normalised = std::clamp(normalised, 0.0, 1.0);
    param->StoreNormalised(normalised);
    HostEdit(index, normalised);
    OnParamChange(index, ParamSource::Editor, -1);
    param->StoreNormalised(normalised);
    ParamChangedForEditor(index, ParamSource::Editor);
}

void IPlugAPIBase::PushAllParamsToHost()
{
    for (int i = 0; i < NParams(); ++i)
        HostEdit(i, GetParam(i)->CurrentNormalised());
}

void IPlugAPIBase::SetHost(const char* name)
{
    if (hostKind != kHostUninit)
        return;
    hostName = name ? name : "";
    hostKind = IdentifyHost(hostName.c_str());
}

} // namespace iplug
