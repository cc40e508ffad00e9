// PluginConfig: the construction record an effect hands to the framework bases.
// Owned by the effect's constructor (a temporary); the bases copy what they need
// from it while they are constructed. Read on the constructing thread only.
#pragma once

#include "framework/FourCharCode.h"

#include <cstdint>

namespace iplug {

enum PluginType : int
{
    kPluginTypeEffect = 0,
    kPluginTypeInstrument = 1,
    kPluginTypeMidiEffect = 2,
};

struct PluginConfig
{
    int nParams = 0;
    int nPresets = 0;
    const char* channelLayouts = "";
    const char* pluginName = "";
    const char* productName = "";
    const char* makerName = "";
    int vendorVersion = 0;
    std::uint32_t uniqueId = 0;
    std::uint32_t makerId = 0;
    int latency = 0;
    bool midiIn = false;
    bool midiOut = false;
    bool mpe = false;
    int pluginType = kPluginTypeEffect;
    bool hasEditor = false;
    int editorWidth = 0;
    int editorHeight = 0;
    int minWidth = 0;
    int maxWidth = 0;
    int minHeight = 0;
    int maxHeight = 0;
    bool hostResizable = false;
    const char* bundleId = "";
    const char* appGroupId = "";
};

} // namespace iplug
