#include "framework/IPluginBase.h"

#include "framework/TextCopy.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace iplug {

namespace {
const char* OrEmpty(const char* text) { return text ? text : ""; }
constexpr const char* kUserPresetName = "user preset";
} // namespace

IPluginBase::IPluginBase(const PluginConfig& config)
    : IGEditorDelegate(config.nParams),
      pluginName(OrEmpty(config.pluginName)),
      productName(OrEmpty(config.productName)),
      makerName(OrEmpty(config.makerName)),
      vendorVersion(config.vendorVersion),
      uniqueId(config.uniqueId),
      makerId(config.makerId),
      presets(std::size_t(std::max(config.nPresets, 0)))
{
    for (PresetSlot& slot : presets)
        std::snprintf(slot.name, sizeof slot.name, "%s", "empty");
}

IPluginBase::~IPluginBase() = default;

bool IPluginBase::SerializeParams(ByteChunk& chunk) const
{
    for (int i = 0; i < NParams(); ++i)
        if (!chunk.PutDouble(GetParam(i)->CurrentValue()))
            return false;
    return true;
}

int IPluginBase::UnserializeParams(const ByteChunk& chunk, int startPos)
{
    int pos = startPos;
    for (int i = 0; i < NParams(); ++i)
    {
        double v = 0.0;
        pos = chunk.GetDouble(v, pos);
        if (pos < 0)
            break;
        GetParam(i)->StoreValue(v);
    }
    ParamsReset(ParamSource::PresetRecall);
    return pos;
}

void IPluginBase::CreateDefaultPreset()
{
    for (PresetSlot& slot : presets)
    {
        if (slot.initialised)
            continue;
        slot.initialised = true;
        CopyText(slot.name, sizeof slot.name, "Default");
        slot.data.Clear();
        WriteState(slot.data);
        return;
    }
}

bool IPluginBase::LoadPreset(int n)
{
    if (n < 0 || n >= NPresets())
        return false;
    PresetSlot& slot = presets[std::size_t(n)];
    if (slot.initialised)
    {
        if (ReadState(slot.data, 0) <= 0)
            return false;
    }
    else
    {
        int userPresets = 0;
        for (const PresetSlot& other : presets)
            if (std::strstr(other.name, kUserPresetName))
                ++userPresets;
        slot.data.Clear();
        if (!WriteState(slot.data))
            return false;
        slot.initialised = true;
        std::snprintf(slot.name, sizeof slot.name, "%s %d", kUserPresetName, userPresets + 1);
    }
    currentPreset = n;
    StateRestored();
    return true;
}

const char* IPluginBase::GetPresetName(int n) const
{
    const PresetSlot* slot = GetPreset(n);
    return slot ? slot->name : "";
}

const PresetSlot* IPluginBase::GetPreset(int n) const
{
    return (n >= 0 && n < NPresets()) ? &presets[std::size_t(n)] : nullptr;
}

void IPluginBase::RefreshEditorFromParams()
{
    for (int i = 0; i < NParams(); ++i)
        SendParamToEditor(i, GetParam(i)->CurrentNormalised(), true);
}

} // namespace iplug
