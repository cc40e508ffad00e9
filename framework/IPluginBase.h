// IPluginBase: the host-independent plug-in base: names, version and identifiers,
// the parameter state chunk and the presets.
//
// The state chunk is the whole saved state: nParams plain values, IEEE-754
// binary64 little-endian, in parameter index order, nothing else.
//
// Threads: SerializeParams / UnserializeParams (and WriteState / ReadState) run on
// the host's state thread while the audio thread may be processing; every value is
// read or written atomically on its own, no lock is taken. Presets and
// RefreshEditorFromParams are UI / host thread only.
#pragma once

#include "framework/ByteChunk.h"
#include "framework/IGEditorDelegate.h"
#include "framework/PluginConfig.h"
#include "framework/PresetSlot.h"

#include <cstdint>
#include <string>
#include <vector>

namespace iplug {

class IPluginBase : public IGEditorDelegate
{
public:
    explicit IPluginBase(const PluginConfig& config);
    ~IPluginBase() override;

    const char* GetPluginName() const { return pluginName.c_str(); }
    const char* GetProductName() const { return productName.c_str(); }
    const char* GetMakerName() const { return makerName.c_str(); }
    int GetVendorVersion() const { return vendorVersion; }
    std::uint32_t GetUniqueId() const { return uniqueId; }
    std::uint32_t GetMakerId() const { return makerId; }

    // Appends every parameter's current value; false only when the chunk cannot grow.
    bool SerializeParams(ByteChunk& chunk) const;
    // Stores the values read from startPos (constrained, NaN gives the default) and
    // announces them with ParamsReset (PresetRecall). Returns the position after the
    // last value, or -1 when the chunk ran short (the rest keep their values).
    int UnserializeParams(const ByteChunk& chunk, int startPos);

    // The plug-in state as the binding saves it; by default the parameter chunk.
    virtual bool WriteState(ByteChunk& chunk) const { return SerializeParams(chunk); }
    virtual int ReadState(const ByteChunk& chunk, int startPos) { return UnserializeParams(chunk, startPos); }
    // Settings that are not parameters, which the binding saves after everything it saves itself.
    // By default there are none. Reading gets the position after the binding's own bytes, or -1
    // when those were incomplete; it must then restore the settings' defaults.
    virtual bool WriteStateExtension(ByteChunk& chunk) const
    {
        (void)chunk;
        return true;
    }
    virtual void ReadStateExtension(const ByteChunk& chunk, int pos)
    {
        (void)chunk;
        (void)pos;
    }

    // Called once at the end of the effect's constructor: the first unused slot
    // becomes "Default" holding the current (default) values.
    void CreateDefaultPreset();
    // Recalls slot n, or captures the current state into it when it is unused.
    // False for an index out of range or a slot whose data could not be read.
    bool LoadPreset(int n);

    int NPresets() const { return int(presets.size()); }
    int GetCurrentPresetIdx() const { return currentPreset; }
    // "" for an index out of range.
    const char* GetPresetName(int n) const;
    const PresetSlot* GetPreset(int n) const;

    // After a state restore or preset recall; by default RefreshEditorFromParams.
    virtual void StateRestored() { RefreshEditorFromParams(); }
    // UI thread. SendParamToEditor with every parameter's normalised value.
    void RefreshEditorFromParams();

private:
    std::string pluginName;
    std::string productName;
    std::string makerName;
    int vendorVersion = 0;
    std::uint32_t uniqueId = 0;
    std::uint32_t makerId = 0;
    int currentPreset = 0;
    std::vector<PresetSlot> presets;
};

} // namespace iplug
