#include "tools/vst3-host/Streams.h"

#include <algorithm>

using namespace Steinberg;

namespace ringstill::vst3host {

IPtr<MemoryStream> NewStream() { return owned(new MemoryStream()); }

IPtr<MemoryStream> StreamOf(const Bytes& bytes)
{
    IPtr<MemoryStream> stream = NewStream();
    if (!bytes.empty())
        stream->write(const_cast<std::uint8_t*>(bytes.data()), static_cast<int32>(bytes.size()), nullptr);
    stream->seek(0, IBStream::kIBSeekSet, nullptr);
    return stream;
}

Bytes BytesOf(MemoryStream& stream)
{
    const char* data = stream.getData();
    const auto size = static_cast<std::size_t>(stream.getSize());
    if (data == nullptr || size == 0)
        return {};
    return Bytes(reinterpret_cast<const std::uint8_t*>(data), reinterpret_cast<const std::uint8_t*>(data) + size);
}

FaultyStream::FaultyStream(const Bytes& bytes, int32 maxRead, bool reportErrors)
: maxRead(std::max<int32>(1, maxRead)), reportErrors(reportErrors)
{
    if (!bytes.empty())
        MemoryStream::write(const_cast<std::uint8_t*>(bytes.data()), static_cast<int32>(bytes.size()), nullptr);
    MemoryStream::seek(0, IBStream::kIBSeekSet, nullptr);
}

tresult PLUGIN_API FaultyStream::read(void* buffer, int32 numBytes, int32* numBytesRead)
{
    const tresult result = MemoryStream::read(buffer, std::min(numBytes, maxRead), numBytesRead);
    return reportErrors ? kResultFalse : result;
}

} // namespace ringstill::vst3host
