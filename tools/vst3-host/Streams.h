// Streams for component and controller state: the SDK's memory stream, with helpers to move bytes
// in and out, and a stream that misbehaves the way some hosts' streams do. Main thread.
#pragma once

#include "public.sdk/source/common/memorystream.h"
#include "base/source/fobject.h"

#include <cstdint>
#include <vector>

namespace ringstill::vst3host {

using Bytes = std::vector<std::uint8_t>;

// An empty stream with one reference (owned by the returned pointer).
Steinberg::IPtr<Steinberg::MemoryStream> NewStream();
// A stream holding a copy of bytes, positioned at its start.
Steinberg::IPtr<Steinberg::MemoryStream> StreamOf(const Bytes& bytes);
// Everything written to the stream so far, whatever its position.
Bytes BytesOf(Steinberg::MemoryStream& stream);

// Hands out at most maxRead bytes per read and, when asked, reports every read as failed
// (kResultFalse) although it still delivers the bytes.
class FaultyStream final : public Steinberg::MemoryStream
{
public:
    FaultyStream(const Bytes& bytes, Steinberg::int32 maxRead, bool reportErrors);

    Steinberg::tresult PLUGIN_API read(void* buffer, Steinberg::int32 numBytes,
                                       Steinberg::int32* numBytesRead) override;

private:
    Steinberg::int32 maxRead;
    bool reportErrors;
};

} // namespace ringstill::vst3host
