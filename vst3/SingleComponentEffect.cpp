#include "vst3/SingleComponentEffect.h"

#include "vst3/Guard.h"

#include "pluginterfaces/vst/ivstmessage.h"

#include <algorithm>
#include <cmath>

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace ringstill::vst3 {

tresult PLUGIN_API ControllerStateRoute::setState(IBStream* state)
{
    return Guarded(kInternalError, [&]() -> tresult { return setControllerState(state); });
}

tresult PLUGIN_API ControllerStateRoute::getState(IBStream* state)
{
    return Guarded(kInternalError, [&]() -> tresult { return getControllerState(state); });
}

tresult ControllerStateRoute::setControllerState(IBStream* /*state*/) { return kResultOk; }

tresult ControllerStateRoute::getControllerState(IBStream* /*state*/) { return kResultOk; }

tresult PLUGIN_API ProcessorStateRoute::setState(IBStream* state)
{
    return Guarded(kInternalError, [&]() -> tresult { return setProcessorState(state); });
}

tresult PLUGIN_API ProcessorStateRoute::getState(IBStream* state)
{
    return Guarded(kInternalError, [&]() -> tresult { return getProcessorState(state); });
}

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
    return Guarded(kInternalError, [&]() -> tresult { return EditControllerEx1::initialize(context); });
}

tresult PLUGIN_API SingleComponentEffect::terminate()
{
    return Guarded(kInternalError, [&]() -> tresult {
        removeAllBusses();
        parameters.removeAll();
        return EditControllerEx1::terminate();
    });
}

tresult PLUGIN_API SingleComponentEffect::getControllerClassId(TUID /*classId*/)
{
    // No separate controller class: the host finds IEditController on this object.
    return kNotImplemented;
}

tresult PLUGIN_API SingleComponentEffect::setIoMode(IoMode /*mode*/) { return kNotImplemented; }

int32 PLUGIN_API SingleComponentEffect::getBusCount(MediaType type, BusDirection dir)
{
    return Guarded(int32(0), [&] {
        BusList* list = getBusList(type, dir);
        return list != nullptr ? static_cast<int32>(list->size()) : 0;
    });
}

tresult PLUGIN_API SingleComponentEffect::getBusInfo(MediaType type, BusDirection dir, int32 index,
                                                     BusInfo& info)
{
    return Guarded(kInternalError, [&]() -> tresult {
        BusList* list = getBusList(type, dir);
        if (list == nullptr || index < 0 || index >= static_cast<int32>(list->size()))
            return kInvalidArgument;
        Bus* bus = list->at(static_cast<size_t>(index));
        info = {};
        info.mediaType = type;
        info.direction = dir;
        return bus->getInfo(info) ? kResultTrue : kResultFalse;
    });
}

tresult PLUGIN_API SingleComponentEffect::getRoutingInfo(RoutingInfo& /*inInfo*/, RoutingInfo& /*outInfo*/)
{
    return kNotImplemented;
}

tresult PLUGIN_API SingleComponentEffect::activateBus(MediaType type, BusDirection dir, int32 index,
                                                      TBool state)
{
    return Guarded(kInternalError, [&]() -> tresult {
        BusList* list = getBusList(type, dir);
        if (list == nullptr || index < 0 || index >= static_cast<int32>(list->size()))
            return kInvalidArgument;
        list->at(static_cast<size_t>(index))->setActive(state);
        return kResultTrue;
    });
}

tresult PLUGIN_API SingleComponentEffect::setActive(TBool /*state*/) { return kResultOk; }

tresult PLUGIN_API SingleComponentEffect::setBusArrangements(SpeakerArrangement* inputs, int32 numIns,
                                                             SpeakerArrangement* outputs, int32 numOuts)
{
    return Guarded(kInternalError, [&]() -> tresult {
        if (numIns != static_cast<int32>(audioInputs.size()) || numOuts != static_cast<int32>(audioOutputs.size())
            || (numIns > 0 && inputs == nullptr) || (numOuts > 0 && outputs == nullptr))
            return kResultFalse;
        for (int32 i = 0; i < numIns; ++i)
            getAudioBus(kInput, i)->setArrangement(inputs[i]);
        for (int32 i = 0; i < numOuts; ++i)
            getAudioBus(kOutput, i)->setArrangement(outputs[i]);
        return kResultTrue;
    });
}

tresult PLUGIN_API SingleComponentEffect::getBusArrangement(BusDirection dir, int32 index,
                                                            SpeakerArrangement& arr)
{
    return Guarded(kInternalError, [&]() -> tresult {
        AudioBus* bus = getAudioBus(dir, index);
        if (bus == nullptr)
            return kInvalidArgument;
        arr = bus->getArrangement();
        return kResultTrue;
    });
}

tresult PLUGIN_API SingleComponentEffect::canProcessSampleSize(int32 symbolicSampleSize)
{
    return symbolicSampleSize == kSample32 ? kResultTrue : kResultFalse;
}

uint32 PLUGIN_API SingleComponentEffect::getLatencySamples() { return 0; }

tresult PLUGIN_API SingleComponentEffect::setupProcessing(ProcessSetup& setup)
{
    return Guarded(kInternalError, [&]() -> tresult {
        processSetup = setup;
        return kResultOk;
    });
}

tresult PLUGIN_API SingleComponentEffect::setProcessing(TBool /*state*/) { return kResultOk; }

uint32 PLUGIN_API SingleComponentEffect::getTailSamples() { return kNoTail; }

uint32 PLUGIN_API SingleComponentEffect::getProcessContextRequirements() { return 0; }

tresult PLUGIN_API SingleComponentEffect::setComponentState(IBStream* /*state*/) { return kResultOk; }

tresult PLUGIN_API SingleComponentEffect::getParameterInfo(int32 paramIndex, ParameterInfo& info)
{
    return Guarded(kInternalError, [&]() -> tresult {
        if (paramIndex < 0 || paramIndex >= parameters.getParameterCount())
            return kResultFalse;
        return EditControllerEx1::getParameterInfo(paramIndex, info);
    });
}

tresult PLUGIN_API SingleComponentEffect::getParamStringByValue(ParamID id, ParamValue valueNormalized,
                                                                String128 string)
{
    return Guarded(kInternalError, [&]() -> tresult {
        if (string == nullptr)
            return kInvalidArgument;
        const ParamValue value = std::isfinite(valueNormalized) ? std::clamp(valueNormalized, 0.0, 1.0) : 0.0;
        return EditControllerEx1::getParamStringByValue(id, value, string);
    });
}

tresult PLUGIN_API SingleComponentEffect::setParamNormalized(ParamID id, ParamValue value)
{
    return Guarded(kInternalError, [&]() -> tresult {
        if (!std::isfinite(value))
            return kResultFalse;
        return EditControllerEx1::setParamNormalized(id, value);
    });
}

tresult PLUGIN_API SingleComponentEffect::getUnitInfo(int32 unitIndex, UnitInfo& info)
{
    return Guarded(kInternalError, [&]() -> tresult {
        if (unitIndex < 0 || unitIndex >= EditControllerEx1::getUnitCount())
            return kResultFalse;
        return EditControllerEx1::getUnitInfo(unitIndex, info);
    });
}

int32 PLUGIN_API SingleComponentEffect::getParameterCount()
{
    return Guarded(int32(0), [&] { return EditControllerEx1::getParameterCount(); });
}

tresult PLUGIN_API SingleComponentEffect::getParamValueByString(ParamID id, TChar* string,
                                                                ParamValue& valueNormalized)
{
    return Guarded(kInternalError,
                   [&]() -> tresult { return EditControllerEx1::getParamValueByString(id, string, valueNormalized); });
}

ParamValue PLUGIN_API SingleComponentEffect::normalizedParamToPlain(ParamID id, ParamValue valueNormalized)
{
    return Guarded(0.0, [&] { return EditControllerEx1::normalizedParamToPlain(id, valueNormalized); });
}

ParamValue PLUGIN_API SingleComponentEffect::plainParamToNormalized(ParamID id, ParamValue plainValue)
{
    return Guarded(0.0, [&] { return EditControllerEx1::plainParamToNormalized(id, plainValue); });
}

ParamValue PLUGIN_API SingleComponentEffect::getParamNormalized(ParamID id)
{
    return Guarded(0.0, [&] { return EditControllerEx1::getParamNormalized(id); });
}

tresult PLUGIN_API SingleComponentEffect::setComponentHandler(IComponentHandler* handler)
{
    return Guarded(kInternalError, [&]() -> tresult { return EditControllerEx1::setComponentHandler(handler); });
}

tresult PLUGIN_API SingleComponentEffect::setKnobMode(KnobMode mode)
{
    return Guarded(kInternalError, [&]() -> tresult { return EditControllerEx1::setKnobMode(mode); });
}

tresult PLUGIN_API SingleComponentEffect::openHelp(TBool onlyCheck)
{
    return Guarded(kInternalError, [&]() -> tresult { return EditControllerEx1::openHelp(onlyCheck); });
}

tresult PLUGIN_API SingleComponentEffect::openAboutBox(TBool onlyCheck)
{
    return Guarded(kInternalError, [&]() -> tresult { return EditControllerEx1::openAboutBox(onlyCheck); });
}

int32 PLUGIN_API SingleComponentEffect::getUnitCount()
{
    return Guarded(int32(0), [&] { return EditControllerEx1::getUnitCount(); });
}

tresult PLUGIN_API SingleComponentEffect::getProgramListInfo(int32 listIndex, ProgramListInfo& info)
{
    return Guarded(kInternalError, [&]() -> tresult { return EditControllerEx1::getProgramListInfo(listIndex, info); });
}

tresult PLUGIN_API SingleComponentEffect::getProgramInfo(ProgramListID listId, int32 programIndex,
                                                         Steinberg::Vst::CString attributeId, String128 attributeValue)
{
    return Guarded(kInternalError, [&]() -> tresult {
        return EditControllerEx1::getProgramInfo(listId, programIndex, attributeId, attributeValue);
    });
}

tresult PLUGIN_API SingleComponentEffect::hasProgramPitchNames(ProgramListID listId, int32 programIndex)
{
    return Guarded(kInternalError, [&]() -> tresult { return EditControllerEx1::hasProgramPitchNames(listId, programIndex); });
}

tresult PLUGIN_API SingleComponentEffect::getProgramPitchName(ProgramListID listId, int32 programIndex,
                                                              int16 midiPitch, String128 name)
{
    return Guarded(kInternalError, [&]() -> tresult {
        return EditControllerEx1::getProgramPitchName(listId, programIndex, midiPitch, name);
    });
}

UnitID PLUGIN_API SingleComponentEffect::getSelectedUnit()
{
    return Guarded(UnitID(kRootUnitId), [&] { return EditControllerEx1::getSelectedUnit(); });
}

tresult PLUGIN_API SingleComponentEffect::selectUnit(UnitID unitId)
{
    return Guarded(kInternalError, [&]() -> tresult { return EditControllerEx1::selectUnit(unitId); });
}

tresult PLUGIN_API SingleComponentEffect::queryInterface(const TUID iid, void** obj)
{
    return Guarded(kInternalError, [&]() -> tresult {
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
    });
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
