#include "framework/LatencyDelay.h"

#include <algorithm>
#include <cstdint>
#include <new>
#include <stdexcept>

namespace iplug {

LatencyDelay::LatencyDelay(int nInputs, int nOutputs, int length)
    : nInputs(std::max(nInputs, 0)), nOutputs(std::max(nOutputs, 0))
{
    Reserve(length);
    SetLength(length);
}

bool LatencyDelay::Reserve(int maxLength)
{
    if (maxLength <= 0 || nInputs == 0)
        return true;
    try
    {
        buffer.reserve(std::size_t(maxLength) * std::size_t(nInputs));
    }
    catch (const std::bad_alloc&)
    {
        return false;
    }
    catch (const std::length_error&)
    {
        return false;
    }
    return true;
}

int LatencyDelay::ReservedLength() const
{
    return nInputs == 0 ? 0 : int(buffer.capacity() / std::size_t(nInputs));
}

void LatencyDelay::SetLength(int newLength)
{
    length = std::max(newLength, 0);
    buffer.assign(std::size_t(length) * std::size_t(nInputs), 0.0);
    writePos = 0;
}

void LatencyDelay::Process(double* const* inputs, double* const* outputs, int nFrames)
{
    if (nFrames <= 0)
        return;
    const int shared = std::min(nInputs, nOutputs);
    for (int j = shared; j < nOutputs; ++j)
        if (outputs[j])
            std::fill(outputs[j], outputs[j] + nFrames, 0.0);
    if (length == 0)
    {
        for (int j = 0; j < shared; ++j)
            if (inputs[j] && outputs[j] && inputs[j] != outputs[j])
                std::copy(inputs[j], inputs[j] + nFrames, outputs[j]);
        return;
    }
    for (int j = 0; j < shared; ++j)
    {
        const double* in = inputs[j];
        double* out = outputs[j];
        if (!in || !out)
            continue;
        double* line = buffer.data() + std::size_t(j) * std::size_t(length);
        int write = writePos;
        for (int i = 0; i < nFrames; ++i)
        {
            // Read the input before writing: hosts may process in place.
            const double x = in[i];
            out[i] = line[write];
            line[write] = x;
            if (++write == length)
                write = 0;
        }
    }
    // Every channel advanced by the same count, also when some were skipped.
    writePos = int((std::int64_t(writePos) + nFrames) % length);
}

} // namespace iplug
