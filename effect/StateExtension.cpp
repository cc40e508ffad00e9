#include "effect/StateExtension.h"

#include <cstring>

namespace ringstill {

namespace {

constexpr int kPayloadBytes = 1; // the Auto Catch mode

} // namespace

bool AppendStateExtension(iplug::ByteChunk& chunk, const ExtendedSettings& settings)
{
    if (settings.IsDefault())
        return true;
    const std::uint8_t payload[kPayloadBytes] = {static_cast<std::uint8_t>(settings.autoCatch)};
    return chunk.PutBytes(kStateExtensionMagic, 4) && chunk.PutInt32(kStateExtensionVersion)
           && chunk.PutInt32(kPayloadBytes) && chunk.PutBytes(payload, kPayloadBytes);
}

ExtendedSettings ReadStateExtension(const iplug::ByteChunk& chunk, int pos)
{
    ExtendedSettings settings;
    if (pos < 0)
        return settings;
    char magic[4];
    std::int32_t version = 0;
    std::int32_t length = 0;
    pos = chunk.GetBytes(magic, 4, pos);
    if (pos < 0 || std::memcmp(magic, kStateExtensionMagic, 4) != 0)
        return settings;
    pos = chunk.GetInt32(version, pos);
    if (pos < 0 || version != kStateExtensionVersion)
        return settings;
    pos = chunk.GetInt32(length, pos);
    // The whole payload must be there: a truncated extension says nothing reliable.
    if (pos < 0 || length < 1 || length > chunk.Size() - pos)
        return settings;
    std::uint8_t mode = 0;
    chunk.GetBytes(&mode, 1, pos);
    if (mode == static_cast<std::uint8_t>(AutoCatchMode::Adaptive))
        settings.autoCatch = AutoCatchMode::Adaptive;
    return settings;
}

} // namespace ringstill
