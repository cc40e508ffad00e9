// PresetSlot: one preset of the plug-in: a name and the state chunk it recalls.
// Owned by the plug-in base's preset list; UI / host thread only.
#pragma once

#include "framework/ByteChunk.h"

namespace iplug {

inline constexpr int kPresetNameSize = 256;

struct PresetSlot
{
    bool initialised = false;
    char name[kPresetNameSize] = {};
    ByteChunk data;
};

} // namespace iplug
