// The settings of the effect that are not parameters, saved after the 84 bytes of the component
// state only when one of them differs from its default (so a state with every default is the
// 84 bytes a build without them writes and reads):
//   "RSTX", version (int32 LE, 1), payload length N (int32 LE), N payload bytes.
// Payload byte 0 is the Auto Catch mode (0 Classic, 1 Adaptive); later settings of this kind take
// the bytes after it. A missing, unknown-version, truncated or garbage extension reads as the
// defaults and is never an error. Host threads (getState / setState).
#pragma once

#include "effect/AutoCatchMode.h"
#include "framework/ByteChunk.h"

namespace ringstill {

// Where the extension starts: after the ten parameters (8 bytes each) and the host's bypass.
inline constexpr int kComponentStateBytes = 84;
inline constexpr char kStateExtensionMagic[4] = {'R', 'S', 'T', 'X'};
inline constexpr std::int32_t kStateExtensionVersion = 1;

struct ExtendedSettings
{
    AutoCatchMode autoCatch = kDefaultAutoCatchMode;

    bool IsDefault() const { return autoCatch == kDefaultAutoCatchMode; }
};

// Appends the extension unless every setting is at its default; false only when the chunk
// cannot grow.
bool AppendStateExtension(iplug::ByteChunk& chunk, const ExtendedSettings& settings);

// The settings of the extension that starts at pos (nothing there, or anything unreadable: the
// defaults).
ExtendedSettings ReadStateExtension(const iplug::ByteChunk& chunk, int pos);

} // namespace ringstill
