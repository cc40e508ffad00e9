// The host-visible parameter objects of the VST 3 binding. IPlugVST3Parameter presents one of the
// plug-in's IParam records to the host (title, units, steps, flags, conversions); the IParam stays
// the value the effect reads. IPlugVST3BypassParameter is the host's own bypass switch.
//
// Owned by the controller's parameter container (reference counted SDK objects); an
// IPlugVST3Parameter refers to an IParam owned by the plug-in, which outlives it.
// Threads: the host's UI thread; the stored normalised value is the host's view, the audio side
// receives its values through process.
#pragma once

#include "framework/IParam.h"

#include "public.sdk/source/vst/vstparameters.h"

namespace iplug {

class IPlugVST3Parameter final : public Steinberg::Vst::Parameter
{
public:
    IPlugVST3Parameter(IParam& param, Steinberg::Vst::ParamID id, Steinberg::Vst::UnitID unitId);

    // The parameter's display text without its label; at most 127 characters.
    void toString(Steinberg::Vst::ParamValue valueNormalized, Steinberg::Vst::String128 string) const override;
    // Parses the host's text like a typed entry; always succeeds.
    bool fromString(const Steinberg::Vst::TChar* string, Steinberg::Vst::ParamValue& valueNormalized) const override;
    Steinberg::Vst::ParamValue toPlain(Steinberg::Vst::ParamValue valueNormalized) const override;
    Steinberg::Vst::ParamValue toNormalized(Steinberg::Vst::ParamValue plainValue) const override;

    IParam& GetIParam() const { return param; }

private:
    IParam& param;
};

class IPlugVST3BypassParameter final : public Steinberg::Vst::StringListParameter
{
public:
    // "Bypass", a list of "off" and "on", automatable and flagged as the host's bypass.
    explicit IPlugVST3BypassParameter(Steinberg::Vst::ParamID id);
};

} // namespace iplug
