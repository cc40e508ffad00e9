#include "vst3/SingleComponentEffect.h"

#include "pluginterfaces/vst/ivstmessage.h"

#include <algorithm>
#include <cmath>

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace ringstill::vst3 {

tresult ControllerStateRoute::setControllerState(IBStream* /*state*/) { return kResultOk; }

tresult ControllerStateRoute::getControllerState(IBStream* /*state*/) { return kResultOk; }

SingleComponentEffect::SingleComponentEffect()
: audioInputs(kAudio, kInput), audioOutputs(kAudio, kOutput), eventInputs(kEvent, kInput),
  eventOutputs(kEvent, kOutput), processSetup {kRealtime, kSample32, 1024, 44100.0}
{
}

SingleComponentEffect::~SingleComponentEffect()
{
    // A host may release the object without terminate; the handler reference must not leak then.
    ReleaseComponentHandler();
}

void SingleComponentEffect::ReleaseComponentHandler()
{
    if (componentHandler != nullptr)
    {
        componentHandler->release();
        componentHandler = nullptr;
    }
    if (componentHandler2 != nullptr)
    {
        componentHandler2->release();
        componentHandler2 = nullptr;
    }
}

tresult PLUGIN_API SingleComponentEffect::initialize(FUnknown* context)
{
    return EditControllerEx1::initialize(context);
}

tresult PLUGIN_API SingleComponentEffect::terminate()
{
    removeAllBusses();
    parameters.removeAll();
    return EditControllerEx1::terminate();
}

tresult PLUGIN_API SingleComponentEffect::getControllerClassId(TUID /*classId*/)
{
    // No separate controller class: the host finds IEditController on this object.
    return kNotImplemented;
}

tresult PLUGIN_API SingleComponentEffect::setIoMode(IoMode /*mode*/) { return kNotImplemented; }

int32 PLUGIN_API SingleComponentEffect::getBusCount(MediaType type, BusDirection dir)
{
    BusList* list = getBusList(type, dir);
    return list != nullptr ? static_cast<int32>(list->size()) : 0;
}

tresult PLUGIN_API SingleComponentEffect::getBusInfo(MediaType type, BusDirection dir, int32 index,
                                                     BusInfo& info)
{
    BusList* list = getBusList(type, dir);
    if (list == nullptr || index < 0 || index >= static_cast<int32>(list->size()))
        return kInvalidArgument;
    Bus* bus = list->at(static_cast<size_t>(index));
    info = {};
    info.mediaType = type;
    info.direction = dir;
    return bus->getInfo(info) ? kResultTrue : kResultFalse;
}

tresult PLUGIN_API SingleComponentEffect::getRoutingInfo(RoutingInfo& /*inInfo*/, RoutingInfo& /*outInfo*/)
{
    return kNotImplemented;
}

tresult PLUGIN_API SingleComponentEffect::activateBus(MediaType type, BusDirection dir, int32 index,
                                                      TBool state)
{
    BusList* list = getBusList(type, dir);
    if (list == nullptr || index < 0 || index >= static_cast<int32>(list->size()))
        return kInvalidArgument;
    list->at(static_cast<size_t>(index))->setActive(state);
    return kResultTrue;
}

tresult PLUGIN_API SingleComponentEffect::setActive(TBool /*state*/) { return kResultOk; }

tresult PLUGIN_API SingleComponentEffect::setBusArrangements(SpeakerArrangement* inputs, int32 numIns,
                                                             SpeakerArrangement* outputs, int32 numOuts)
{
    if (numIns != static_cast<int32>(audioInputs.size()) || numOuts != static_cast<int32>(audioOutputs.size())
        || (numIns > 0 && inputs == nullptr) || (numOuts > 0 && outputs == nullptr))
        return kResultFalse;
    for (int32 i = 0; i < numIns; ++i)
        getAudioBus(kInput, i)->setArrangement(inputs[i]);
    for (int32 i = 0; i < numOuts; ++i)
        getAudioBus(kOutput, i)->setArrangement(outputs[i]);
    return kResultTrue;
}

tresult PLUGIN_API SingleComponentEffect::getBusArrangement(BusDirection dir, int32 index,
                                                            SpeakerArrangement& arr)
{
    AudioBus* bus = getAudioBus(dir, index);
    if (bus == nullptr)
        return kInvalidArgument;
    arr = bus->getArrangement();
    return kResultTrue;
}

tresult PLUGIN_API SingleComponentEffect::canProcessSampleSize(int32 symbolicSampleSize)
{
    return symbolicSampleSize == kSample32 ? kResultTrue : kResultFalse;
}

uint32 PLUGIN_API SingleComponentEffect::getLatencySamples() { return 0; }

tresult PLUGIN_API SingleComponentEffect::setupProcessing(ProcessSetup& setup)
{
    processSetup = setup;
    return kResultOk;
}

tresult PLUGIN_API SingleComponentEffect::setProcessing(TBool /*state*/) { return kResultOk; }

uint32 PLUGIN_API SingleComponentEffect::getTailSamples() { return kNoTail; }

uint32 PLUGIN_API SingleComponentEffect::getProcessContextRequirements() { return 0; }

tresult PLUGIN_API SingleComponentEffect::setComponentState(IBStream* /*state*/) { return kResultOk; }

tresult PLUGIN_API SingleComponentEffect::getParameterInfo(int32 paramIndex, ParameterInfo& info)
{
    if (paramIndex < 0 || paramIndex >= parameters.getParameterCount())
        return kResultFalse;
    return EditControllerEx1::getParameterInfo(paramIndex, info);
}

tresult PLUGIN_API SingleComponentEffect::getParamStringByValue(ParamID id, ParamValue valueNormalized,
                                                                String128 string)
{
    if (string == nullptr)
        return kInvalidArgument;
    const ParamValue value = std::isfinite(valueNormalized) ? std::clamp(valueNormalized, 0.0, 1.0) : 0.0;
    return EditControllerEx1::getParamStringByValue(id, value, string);
}

tresult PLUGIN_API SingleComponentEffect::setParamNormalized(ParamID id, ParamValue value)
{
    if (!std::isfinite(value))
        return kResultFalse;
    return EditControllerEx1::setParamNormalized(id, value);
}

tresult PLUGIN_API SingleComponentEffect::getUnitInfo(int32 unitIndex, UnitInfo& info)
{
    if (unitIndex < 0 || unitIndex >= getUnitCount())
        return kResultFalse;
    return EditControllerEx1::getUnitInfo(unitIndex, info);
}

tresult PLUGIN_API SingleComponentEffect::queryInterface(const TUID iid, void** obj)
{
    if (obj == nullptr)
        return kInvalidArgument;
    if (FUnknownPrivate::iidEqual(iid, IConnectionPoint::iid))
    {
        *obj = nullptr;
        return kNoInterface;
    }
    QUERY_INTERFACE(iid, obj, IComponent::iid, IComponent)
    QUERY_INTERFACE(iid, obj, IAudioProcessor::iid, IAudioProcessor)
    QUERY_INTERFACE(iid, obj, IProcessContextRequirements::iid, IProcessContextRequirements)
    // IEditController, IEditController2, IUnitInfo, IPluginBase, FUnknown and FObject.
    return EditControllerEx1::queryInterface(iid, obj);
}

static void AddBus(BusList& list, Bus* bus, int32 flags)
{
    if ((flags & BusInfo::kDefaultActive) != 0)
        bus->setActive(true);
    list.push_back(IPtr<Bus>(bus, false));
}

AudioBus* SingleComponentEffect::addAudioInput(const TChar* name, SpeakerArrangement arrangement,
                                               BusType busType, int32 flags)
{
    auto* bus = new AudioBus(name, busType, flags, arrangement);
    AddBus(audioInputs, bus, flags);
    return bus;
}

AudioBus* SingleComponentEffect::addAudioOutput(const TChar* name, SpeakerArrangement arrangement,
                                                BusType busType, int32 flags)
{
    auto* bus = new AudioBus(name, busType, flags, arrangement);
    AddBus(audioOutputs, bus, flags);
    return bus;
}

EventBus* SingleComponentEffect::addEventInput(const TChar* name, int32 channels, BusType busType,
                                               int32 flags)
{
    auto* bus = new EventBus(name, busType, flags, channels);
    AddBus(eventInputs, bus, flags);
    return bus;
}

EventBus* SingleComponentEffect::addEventOutput(const TChar* name, int32 channels, BusType busType,
                                                int32 flags)
{
    auto* bus = new EventBus(name, busType, flags, channels);
    AddBus(eventOutputs, bus, flags);
    return bus;
}

void SingleComponentEffect::removeAudioBusses()
{
    audioInputs.clear();
    audioOutputs.clear();
}

void SingleComponentEffect::removeEventBusses()
{
    eventInputs.clear();
    eventOutputs.clear();
}

void SingleComponentEffect::removeAllBusses()
{
    removeAudioBusses();
    removeEventBusses();
}

BusList* SingleComponentEffect::getBusList(MediaType type, BusDirection dir)
{
    if (type == kAudio)
        return dir == kInput ? &audioInputs : dir == kOutput ? &audioOutputs : nullptr;
    if (type == kEvent)
        return dir == kInput ? &eventInputs : dir == kOutput ? &eventOutputs : nullptr;
    return nullptr;
}

AudioBus* SingleComponentEffect::getAudioBus(BusDirection dir, int32 index)
{
    BusList* list = getBusList(kAudio, dir);
    if (list == nullptr || index < 0 || index >= static_cast<int32>(list->size()))
        return nullptr;
    return static_cast<AudioBus*>(list->at(static_cast<size_t>(index)).get());
}

} // namespace ringstill::vst3
