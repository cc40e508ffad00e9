#include "tests/support/HostileHost.h"

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace ringstill::test {

double SpecialDouble(HostileRandom& random)
{
    const double values[] = {std::numeric_limits<double>::quiet_NaN(),
                             -std::numeric_limits<double>::quiet_NaN(),
                             std::numeric_limits<double>::infinity(),
                             -std::numeric_limits<double>::infinity(),
                             DBL_MAX,
                             -DBL_MAX,
                             1e30,
                             -1e30,
                             std::numeric_limits<double>::denorm_min(),
                             -std::numeric_limits<double>::denorm_min(),
                             1e-310,
                             -0.0,
                             1e-300,
                             -1.0,
                             2.0};
    if (random.Chance(0.15))
    {
        // Any bit pattern at all.
        const std::uint64_t bits = random.Bits();
        double value = 0.0;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }
    return random.Pick(values);
}

// ---------------------------------------------------------------- stream

HostileStream::HostileStream(std::vector<std::uint8_t> bytes, Mode mode, std::uint64_t seed)
    : bytes(std::move(bytes)), mode(mode), random(seed)
{
}

tresult PLUGIN_API HostileStream::read(void* buffer, int32 numBytes, int32* numBytesRead)
{
    int32 delivered = 0;
    auto report = [&](int32 count, tresult result) {
        if (numBytesRead != nullptr)
            *numBytesRead = count;
        return result;
    };
    if (buffer == nullptr || numBytes < 0)
        return report(0, kInvalidArgument);
    if (mode == Mode::FailingReads)
        return report(0, kResultFalse);
    if (mode == Mode::Endless)
    {
        auto* out = static_cast<std::uint8_t*>(buffer);
        for (int32 i = 0; i < numBytes; ++i)
            out[i] = std::uint8_t(random.Bits());
        return report(numBytes, kResultOk);
    }
    const std::int64_t remaining = std::max<std::int64_t>(0, std::int64_t(bytes.size()) - position);
    delivered = int32(std::min<std::int64_t>(numBytes, remaining));
    if (mode == Mode::ShortReads)
        delivered = std::min(delivered, int32(random.Int(1, 5)));
    if (delivered > 0)
        std::memcpy(buffer, bytes.data() + position, std::size_t(delivered));
    position += delivered;
    if (mode == Mode::OverReports)
        return report(random.Chance(0.5) ? delivered + random.Int(1, 300) : -random.Int(1, 100), kResultOk);
    return report(delivered, mode == Mode::ErrorsWithBytes ? kResultFalse : kResultOk);
}

tresult PLUGIN_API HostileStream::write(void* buffer, int32 numBytes, int32* numBytesWritten)
{
    if (numBytesWritten != nullptr)
        *numBytesWritten = 0;
    if (mode == Mode::FailingWrites)
        return kResultFalse;
    if (buffer == nullptr || numBytes < 0)
        return kInvalidArgument;
    const auto* in = static_cast<const std::uint8_t*>(buffer);
    written.insert(written.end(), in, in + numBytes);
    if (numBytesWritten != nullptr)
        *numBytesWritten = numBytes;
    return kResultOk;
}

tresult PLUGIN_API HostileStream::seek(int64 pos, int32 seekMode, int64* result)
{
    std::int64_t target = pos;
    if (seekMode == kIBSeekCur)
        target = position + pos;
    else if (seekMode == kIBSeekEnd)
        target = std::int64_t(bytes.size()) + pos;
    if (target < 0)
        return kResultFalse;
    position = target;
    if (result != nullptr)
        *result = position;
    return kResultOk;
}

tresult PLUGIN_API HostileStream::tell(int64* pos)
{
    if (pos == nullptr)
        return kInvalidArgument;
    *pos = position;
    return kResultOk;
}

tresult PLUGIN_API HostileStream::queryInterface(const TUID iid, void** obj)
{
    QUERY_INTERFACE(iid, obj, FUnknown::iid, IBStream)
    QUERY_INTERFACE(iid, obj, IBStream::iid, IBStream)
    *obj = nullptr;
    return kNoInterface;
}

// ---------------------------------------------------------------- parameter queues

void HostileQueue::Fill(HostileRandom& random, ParamID queueId, int frames)
{
    id = queueId;
    count = random.Int(0, kMaxPoints);
    const bool sorted = random.Chance(0.6);
    for (int i = 0; i < count; ++i)
    {
        const int32 extremes[] = {INT_MIN, -1, 0, frames - 1, frames, frames + 1, INT_MAX};
        offsets[i] = random.Chance(0.8) ? random.Int(0, std::max(frames - 1, 0)) : random.Pick(extremes);
        const double edges[] = {0.0, 1.0, 0.5, 0.0009, 0.001, 0.0011, 0.999, 1e-9};
        const double roll = random.Unit();
        values[i] = roll < 0.6 ? random.Unit() : roll < 0.8 ? random.Pick(edges) : SpecialDouble(random);
    }
    if (sorted)
        std::sort(offsets, offsets + count);
    const double lie = random.Unit();
    reportedCount = lie < 0.9   ? count
                    : lie < 0.95 ? count + random.Int(1, 1000)
                    : lie < 0.98 ? -random.Int(1, 5)
                                 : INT_MAX;
    failReads = random.Chance(0.04);
}

void HostileQueue::SetSingle(ParamID queueId, ParamValue value)
{
    id = queueId;
    count = 1;
    reportedCount = 1;
    failReads = false;
    offsets[0] = 0;
    values[0] = value;
}

tresult PLUGIN_API HostileQueue::getPoint(int32 index, int32& sampleOffset, ParamValue& value)
{
    if (failReads || index < 0 || index >= count)
        return kResultFalse;
    sampleOffset = offsets[index];
    value = values[index];
    return kResultOk;
}

tresult PLUGIN_API HostileQueue::queryInterface(const TUID iid, void** obj)
{
    QUERY_INTERFACE(iid, obj, FUnknown::iid, IParamValueQueue)
    QUERY_INTERFACE(iid, obj, IParamValueQueue::iid, IParamValueQueue)
    *obj = nullptr;
    return kNoInterface;
}

void HostileChanges::Fill(HostileRandom& random, int frames)
{
    count = random.Int(0, kMaxQueues);
    for (int i = 0; i < count; ++i)
    {
        const ParamID reserved[] = {65536, 65536, 65537, 65538, 65538 + 130, 10, 11, 1000, 0x7FFFFFFF, 0xFFFFFFFF};
        const ParamID id = random.Chance(0.75) ? ParamID(random.Int(0, 9)) : random.Pick(reserved);
        queues[i].Fill(random, id, frames);
    }
    const double lie = random.Unit();
    reportedCount = lie < 0.92 ? count : lie < 0.97 ? count + random.Int(1, 50) : lie < 0.99 ? -1 : INT_MAX;
    nullIndex = random.Chance(0.05) && count > 0 ? random.Int(0, count - 1) : -1;
}

void HostileChanges::Set(const ParamID* ids, const double* values, int n)
{
    count = std::min(n, int(kMaxQueues));
    for (int i = 0; i < count; ++i)
        queues[i].SetSingle(ids[i], values[i]);
    reportedCount = count;
    nullIndex = -1;
}

IParamValueQueue* PLUGIN_API HostileChanges::getParameterData(int32 index)
{
    if (index < 0 || index >= count || index == nullIndex)
        return nullptr;
    return &queues[index];
}

tresult PLUGIN_API HostileChanges::queryInterface(const TUID iid, void** obj)
{
    QUERY_INTERFACE(iid, obj, FUnknown::iid, IParameterChanges)
    QUERY_INTERFACE(iid, obj, IParameterChanges::iid, IParameterChanges)
    *obj = nullptr;
    return kNoInterface;
}

// ---------------------------------------------------------------- audio

HostileAudio::HostileAudio(int maxFrames) : maxFrames(maxFrames)
{
    const auto size = std::size_t(maxFrames + kGuard);
    in64.assign(2, std::vector<double>(size, 0.0));
    out64.assign(2, std::vector<double>(size, 0.0));
    in32.assign(2, std::vector<float>(size, 0.0f));
    out32.assign(2, std::vector<float>(size, 0.0f));
}

void HostileAudio::Prepare(HostileRandom& random, ProcessData& data, int32 sampleSize, int busChannels, int n,
                           bool finiteOnly)
{
    is64 = sampleSize == kSample64;
    frames = std::clamp(n, 0, maxFrames);
    // Mostly the arranged count; sometimes a host that disagrees with its own arrangement.
    const double roll = random.Unit();
    channels = roll < 0.9 ? busChannels : roll < 0.97 ? 3 - busChannels : 0;
    inPlace = random.Chance(0.1);
    for (int c = 0; c < 2; ++c)
    {
        FillChannel(random, c, finiteOnly);
        std::fill(out64[std::size_t(c)].begin(), out64[std::size_t(c)].end(), kSentinel);
        std::fill(out32[std::size_t(c)].begin(), out32[std::size_t(c)].end(), float(kSentinel));
        for (int i = frames; i < frames + kGuard; ++i)
        {
            In64(c, i) = kSentinel;
            in32[std::size_t(c)][std::size_t(i)] = float(kSentinel);
        }
        inPointers64[c] = in64[std::size_t(c)].data();
        inPointers32[c] = in32[std::size_t(c)].data();
        outPointers64[c] = inPlace ? inPointers64[c] : out64[std::size_t(c)].data();
        outPointers32[c] = inPlace ? inPointers32[c] : out32[std::size_t(c)].data();
    }
    missingBuffer = random.Chance(0.02);
    if (missingBuffer)
    {
        // A host that hands over a channel without a buffer.
        const int c = random.Int(0, 1);
        if (random.Chance(0.5))
            inPointers64[c] = nullptr, inPointers32[c] = nullptr;
        else
            outPointers64[c] = nullptr, outPointers32[c] = nullptr;
    }
    inputBus = {};
    inputBus.numChannels = channels;
    inputBus.channelBuffers64 = inPointers64;
    outputBus = {};
    outputBus.numChannels = channels;
    outputBus.channelBuffers64 = outPointers64;
    if (!is64)
    {
        inputBus.channelBuffers32 = inPointers32;
        outputBus.channelBuffers32 = outPointers32;
    }

    data.processMode = random.Chance(0.1) ? kOffline : kRealtime;
    data.symbolicSampleSize = random.Chance(0.01) ? 2 : sampleSize;
    data.numSamples = random.Chance(0.01) ? -random.Int(1, 1000) : frames;
    data.numInputs = random.Chance(0.03) ? 0 : 1;
    data.numOutputs = random.Chance(0.02) ? 0 : 1;
    data.inputs = data.numInputs > 0 || random.Chance(0.5) ? &inputBus : nullptr;
    data.outputs = data.numOutputs > 0 || random.Chance(0.5) ? &outputBus : nullptr;
    data.inputEvents = nullptr;
    data.outputEvents = nullptr;
    data.outputParameterChanges = nullptr;
    data.processContext = nullptr;
}

void HostileAudio::FillChannel(HostileRandom& random, int c, bool finiteOnly)
{
    // (Not 1e300 either, which a 32-bit host's samples cannot hold.)
    const int finiteKinds[] = {0, 5, 6, 7, 8, 9, 11, 13};
    const int kind = finiteOnly ? random.Pick(finiteKinds) : random.Int(0, 13);
    const double amplitude = 0.2 + 0.8 * random.Unit();
    const double step = 0.01 + 1.5 * random.Unit();
    const int period = random.Int(2, 200);
    const double phase = random.Unit() * 6.283;
    for (int n = 0; n < frames; ++n)
    {
        double x = 0.0;
        switch (kind)
        {
        case 0: x = 0.0; break;
        case 1: x = std::numeric_limits<double>::quiet_NaN(); break;
        case 2: x = std::numeric_limits<double>::infinity(); break;
        case 3: x = -std::numeric_limits<double>::infinity(); break;
        case 4: x = n % 2 ? std::numeric_limits<double>::infinity() : -std::numeric_limits<double>::infinity(); break;
        case 5: x = n % 2 ? 1e30 : -1e30; break;
        case 6: x = n % 2 ? 1e-310 : 1e-40; break;
        case 7: x = (n / period) % 2 ? 1.0 : -1.0; break;
        case 8: x = 2.0 * random.Unit() - 1.0; break;
        case 9: x = amplitude * std::sin(step * n + phase); break;
        case 10: x = random.Chance(0.01) ? SpecialDouble(random) : amplitude * std::sin(step * n + phase); break;
        case 11: x = amplitude > 0.6 ? 1.0 : -1.0; break;
        case 12: x = n % 3 ? 1e300 : -1e300; break;
        default: x = 1e-6 * (2.0 * random.Unit() - 1.0); break;
        }
        In64(c, n) = x;
        in32[std::size_t(c)][std::size_t(n)] = float(x);
    }
}

bool HostileAudio::OutputsFinite() const
{
    for (int c = 0; c < channels; ++c)
    {
        if (is64 && outPointers64[c] != nullptr)
        {
            for (int n = 0; n < frames; ++n)
                if (!std::isfinite(outPointers64[c][n]))
                    return false;
        }
        else if (!is64 && outPointers32[c] != nullptr)
        {
            for (int n = 0; n < frames; ++n)
                if (!std::isfinite(outPointers32[c][n]))
                    return false;
        }
    }
    return true;
}

bool HostileAudio::GuardsIntact() const
{
    for (int c = 0; c < 2; ++c)
        for (int i = frames; i < frames + kGuard; ++i)
        {
            const auto at = std::size_t(i);
            if (out64[std::size_t(c)][at] != kSentinel || out32[std::size_t(c)][at] != float(kSentinel)
                || in64[std::size_t(c)][at] != kSentinel || in32[std::size_t(c)][at] != float(kSentinel))
                return false;
        }
    return true;
}

} // namespace ringstill::test
