// One object that is at once the VST 3 component (IComponent, IAudioProcessor,
// IProcessContextRequirements) and its edit controller (the SDK's EditControllerEx1 with
// parameters and units). Owns its audio and event bus lists. Reference counted through FObject;
// the host's last release destroys it. Calls come from the host's main thread unless marked.
// Every interface method runs guarded (vst3/Guard.h): nothing thrown inside reaches the host.
#pragma once

#include "public.sdk/source/vst/vstbus.h"
#include "public.sdk/source/vst/vsteditcontroller.h"
#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstcomponent.h"

namespace ringstill::vst3 {

// IComponent and IEditController both declare setState/getState with the same signature. These two
// layers give each its own name, so the processor's state and the controller's state stay apart
// in an object that is both. Derived classes override the named functions, never setState itself.
class ControllerStateRoute : public Steinberg::Vst::EditControllerEx1
{
public:
    Steinberg::tresult PLUGIN_API setState(Steinberg::IBStream* state) final;
    Steinberg::tresult PLUGIN_API getState(Steinberg::IBStream* state) final;

protected:
    // The controller has no state of its own by default: both succeed and touch nothing.
    virtual Steinberg::tresult setControllerState(Steinberg::IBStream* state);
    virtual Steinberg::tresult getControllerState(Steinberg::IBStream* state);
};

class ProcessorStateRoute : public Steinberg::Vst::IComponent
{
public:
    Steinberg::tresult PLUGIN_API setState(Steinberg::IBStream* state) final;
    Steinberg::tresult PLUGIN_API getState(Steinberg::IBStream* state) final;

protected:
    virtual Steinberg::tresult setProcessorState(Steinberg::IBStream* state) = 0;
    virtual Steinberg::tresult getProcessorState(Steinberg::IBStream* state) = 0;
};

class SingleComponentEffect : public ControllerStateRoute,
                              public ProcessorStateRoute,
                              public Steinberg::Vst::IAudioProcessor,
                              public Steinberg::Vst::IProcessContextRequirements
{
public:
    SingleComponentEffect();
    ~SingleComponentEffect() override;

    // IPluginBase (both the component's and the controller's): one host context for both halves.
    // A second initialize without terminate is refused. terminate drops buses, parameters, units,
    // the component handler and the host context.
    Steinberg::tresult PLUGIN_API initialize(Steinberg::FUnknown* context) override;
    Steinberg::tresult PLUGIN_API terminate() override;

    // IComponent
    Steinberg::tresult PLUGIN_API getControllerClassId(Steinberg::TUID classId) override;
    Steinberg::tresult PLUGIN_API setIoMode(Steinberg::Vst::IoMode mode) override;
    Steinberg::int32 PLUGIN_API getBusCount(Steinberg::Vst::MediaType type,
                                            Steinberg::Vst::BusDirection dir) override;
    Steinberg::tresult PLUGIN_API getBusInfo(Steinberg::Vst::MediaType type,
                                             Steinberg::Vst::BusDirection dir, Steinberg::int32 index,
                                             Steinberg::Vst::BusInfo& info) override;
    Steinberg::tresult PLUGIN_API getRoutingInfo(Steinberg::Vst::RoutingInfo& inInfo,
                                                 Steinberg::Vst::RoutingInfo& outInfo) override;
    Steinberg::tresult PLUGIN_API activateBus(Steinberg::Vst::MediaType type,
                                              Steinberg::Vst::BusDirection dir, Steinberg::int32 index,
                                              Steinberg::TBool state) override;
    Steinberg::tresult PLUGIN_API setActive(Steinberg::TBool state) override;

    // IAudioProcessor. The defaults accept one arrangement per existing audio bus, 32-bit samples,
    // no latency and no tail; process is the effect's own.
    Steinberg::tresult PLUGIN_API setBusArrangements(Steinberg::Vst::SpeakerArrangement* inputs,
                                                     Steinberg::int32 numIns,
                                                     Steinberg::Vst::SpeakerArrangement* outputs,
                                                     Steinberg::int32 numOuts) override;
    Steinberg::tresult PLUGIN_API getBusArrangement(Steinberg::Vst::BusDirection dir,
                                                    Steinberg::int32 index,
                                                    Steinberg::Vst::SpeakerArrangement& arr) override;
    Steinberg::tresult PLUGIN_API canProcessSampleSize(Steinberg::int32 symbolicSampleSize) override;
    Steinberg::uint32 PLUGIN_API getLatencySamples() override;
    Steinberg::tresult PLUGIN_API setupProcessing(Steinberg::Vst::ProcessSetup& setup) override;
    Steinberg::tresult PLUGIN_API setProcessing(Steinberg::TBool state) override;
    // Audio thread.
    Steinberg::tresult PLUGIN_API process(Steinberg::Vst::ProcessData& data) override = 0;
    Steinberg::uint32 PLUGIN_API getTailSamples() override;

    // IProcessContextRequirements: nothing requested by default.
    Steinberg::uint32 PLUGIN_API getProcessContextRequirements() override;

    // IEditController: the component's state is already in this object, nothing to mirror.
    Steinberg::tresult PLUGIN_API setComponentState(Steinberg::IBStream* state) override;

    // The SDK's parameter and unit lists index with at(), which throws on a bad index from the
    // host; these check first, so nothing is thrown across the boundary. Values that are not
    // finite never reach a parameter object, and text conversion sees values within 0 ... 1.
    Steinberg::tresult PLUGIN_API getParameterInfo(Steinberg::int32 paramIndex,
                                                   Steinberg::Vst::ParameterInfo& info) override;
    Steinberg::tresult PLUGIN_API getParamStringByValue(Steinberg::Vst::ParamID id,
                                                        Steinberg::Vst::ParamValue valueNormalized,
                                                        Steinberg::Vst::String128 string) override;
    Steinberg::tresult PLUGIN_API setParamNormalized(Steinberg::Vst::ParamID id,
                                                     Steinberg::Vst::ParamValue value) override;
    // IUnitInfo
    Steinberg::tresult PLUGIN_API getUnitInfo(Steinberg::int32 unitIndex,
                                              Steinberg::Vst::UnitInfo& info) override;

    // The rest of the SDK controller's interface methods, taken over only to run them guarded.
    Steinberg::int32 PLUGIN_API getParameterCount() override;
    Steinberg::tresult PLUGIN_API getParamValueByString(Steinberg::Vst::ParamID id, Steinberg::Vst::TChar* string,
                                                        Steinberg::Vst::ParamValue& valueNormalized) override;
    Steinberg::Vst::ParamValue PLUGIN_API normalizedParamToPlain(Steinberg::Vst::ParamID id,
                                                                 Steinberg::Vst::ParamValue valueNormalized) override;
    Steinberg::Vst::ParamValue PLUGIN_API plainParamToNormalized(Steinberg::Vst::ParamID id,
                                                                 Steinberg::Vst::ParamValue plainValue) override;
    Steinberg::Vst::ParamValue PLUGIN_API getParamNormalized(Steinberg::Vst::ParamID id) override;
    Steinberg::tresult PLUGIN_API setComponentHandler(Steinberg::Vst::IComponentHandler* handler) override;
    Steinberg::tresult PLUGIN_API setKnobMode(Steinberg::Vst::KnobMode mode) override;
    Steinberg::tresult PLUGIN_API openHelp(Steinberg::TBool onlyCheck) override;
    Steinberg::tresult PLUGIN_API openAboutBox(Steinberg::TBool onlyCheck) override;
    Steinberg::int32 PLUGIN_API getUnitCount() override;
    Steinberg::tresult PLUGIN_API getProgramListInfo(Steinberg::int32 listIndex,
                                                     Steinberg::Vst::ProgramListInfo& info) override;
    Steinberg::tresult PLUGIN_API getProgramInfo(Steinberg::Vst::ProgramListID listId, Steinberg::int32 programIndex,
                                                 Steinberg::Vst::CString attributeId,
                                                 Steinberg::Vst::String128 attributeValue) override;
    Steinberg::tresult PLUGIN_API hasProgramPitchNames(Steinberg::Vst::ProgramListID listId,
                                                       Steinberg::int32 programIndex) override;
    Steinberg::tresult PLUGIN_API getProgramPitchName(Steinberg::Vst::ProgramListID listId,
                                                      Steinberg::int32 programIndex, Steinberg::int16 midiPitch,
                                                      Steinberg::Vst::String128 name) override;
    Steinberg::Vst::UnitID PLUGIN_API getSelectedUnit() override;
    Steinberg::tresult PLUGIN_API selectUnit(Steinberg::Vst::UnitID unitId) override;

    // Every interface of the object is answered here. IConnectionPoint is refused: the two halves
    // are one object and have nothing to tell each other.
    Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override;
    Steinberg::uint32 PLUGIN_API addRef() override { return EditControllerEx1::addRef(); }
    Steinberg::uint32 PLUGIN_API release() override { return EditControllerEx1::release(); }

    OBJ_METHODS(SingleComponentEffect, EditControllerEx1)

protected:
    // Bus lists, owned. Buses flagged default-active start active, so a host that never calls
    // activateBus still gets audio through its main buses.
    Steinberg::Vst::AudioBus* addAudioInput(const Steinberg::Vst::TChar* name,
                                            Steinberg::Vst::SpeakerArrangement arrangement,
                                            Steinberg::Vst::BusType busType = Steinberg::Vst::kMain,
                                            Steinberg::int32 flags = Steinberg::Vst::BusInfo::kDefaultActive);
    Steinberg::Vst::AudioBus* addAudioOutput(const Steinberg::Vst::TChar* name,
                                             Steinberg::Vst::SpeakerArrangement arrangement,
                                             Steinberg::Vst::BusType busType = Steinberg::Vst::kMain,
                                             Steinberg::int32 flags = Steinberg::Vst::BusInfo::kDefaultActive);
    Steinberg::Vst::EventBus* addEventInput(const Steinberg::Vst::TChar* name, Steinberg::int32 channels = 16,
                                            Steinberg::Vst::BusType busType = Steinberg::Vst::kMain,
                                            Steinberg::int32 flags = Steinberg::Vst::BusInfo::kDefaultActive);
    Steinberg::Vst::EventBus* addEventOutput(const Steinberg::Vst::TChar* name, Steinberg::int32 channels = 16,
                                             Steinberg::Vst::BusType busType = Steinberg::Vst::kMain,
                                             Steinberg::int32 flags = Steinberg::Vst::BusInfo::kDefaultActive);
    void removeAudioBusses();
    void removeEventBusses();
    void removeAllBusses();

    // The list for a media type and direction; nullptr for an unknown pair.
    Steinberg::Vst::BusList* getBusList(Steinberg::Vst::MediaType type, Steinberg::Vst::BusDirection dir);
    // The audio bus at index of a direction, or nullptr.
    Steinberg::Vst::AudioBus* getAudioBus(Steinberg::Vst::BusDirection dir, Steinberg::int32 index);

    Steinberg::Vst::BusList audioInputs;
    Steinberg::Vst::BusList audioOutputs;
    Steinberg::Vst::BusList eventInputs;
    Steinberg::Vst::BusList eventOutputs;

    // The last setup accepted by setupProcessing.
    Steinberg::Vst::ProcessSetup processSetup;

private:
    void ReleaseComponentHandler();
};

} // namespace ringstill::vst3
