#include "vst3/IPlugVST3Parameter.h"

#include "framework/TextConversion.h"

#include "pluginterfaces/base/ustring.h"

#include <cmath>

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace iplug {
namespace {

constexpr int kString128Units = 128;

int32 StepCountOf(const IParam& param)
{
    if (param.Type() == ParamType::Double)
        return 0;
    return int32(param.GetMax() - param.GetMin());
}

int32 FlagsOf(const IParam& param)
{
    int32 flags = 0;
    if (!param.HasFlag(ParamFlags::NotAutomatable))
        flags |= ParameterInfo::kCanAutomate;
    if (param.Type() == ParamType::Enum)
        flags |= ParameterInfo::kIsList;
    return flags;
}

// A switch or list whose current value has a text of its own shows that text alone, without a unit.
bool CurrentValueHasText(const IParam& param)
{
    const double current = std::trunc(param.CurrentValue());
    for (const DisplayTextEntry& entry : param.DisplayTexts())
        if (entry.value == current && entry.text[0] != '\0')
            return true;
    return false;
}

void CopyWide(const char* text, String128 out)
{
    WidenText(text, reinterpret_cast<char16_t*>(out), kString128Units);
}

} // namespace

IPlugVST3Parameter::IPlugVST3Parameter(IParam& param, ParamID id, UnitID unitId) : param(param)
{
    info.id = id;
    CopyWide(param.GetName(), info.title);
    CopyWide(param.GetName(), info.shortTitle);
    if (CurrentValueHasText(param))
        info.units[0] = 0;
    else
        CopyWide(param.GetLabel(), info.units);
    info.stepCount = StepCountOf(param);
    info.defaultNormalizedValue = param.GetDefaultNormalised();
    info.unitId = unitId;
    info.flags = FlagsOf(param);
    precision = param.GetDisplayPrecision();
    valueNormalized = info.defaultNormalizedValue;
}

void IPlugVST3Parameter::toString(ParamValue valueNormalized, String128 string) const
{
    char text[kString128Units] = {};
    param.FormatDisplay(valueNormalized, true, text, sizeof text, true);
    CopyWide(text, string);
}

bool IPlugVST3Parameter::fromString(const TChar* string, ParamValue& valueNormalized) const
{
    char text[kString128Units * 3] = {};
    if (string != nullptr)
        NarrowText(reinterpret_cast<const char16_t*>(string), text, int(sizeof text), TextEncoding::SystemAnsi);
    valueNormalized = param.NormaliseValue(param.ParseDisplayText(text));
    return true;
}

ParamValue IPlugVST3Parameter::toPlain(ParamValue valueNormalized) const
{
    return param.DenormaliseValue(valueNormalized);
}

ParamValue IPlugVST3Parameter::toNormalized(ParamValue plainValue) const
{
    return param.NormaliseValue(plainValue);
}

IPlugVST3BypassParameter::IPlugVST3BypassParameter(ParamID id)
: StringListParameter(STR16("Bypass"), id, nullptr,
                      ParameterInfo::kCanAutomate | ParameterInfo::kIsList | ParameterInfo::kIsBypass)
{
    // Room first: the SDK's list would lose a text it cannot keep.
    strings.reserve(2);
    appendString(STR16("off"));
    appendString(STR16("on"));
}

} // namespace iplug
