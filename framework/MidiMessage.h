// MidiMessage and SysexRecord: the plain records carried by the framework's
// editor <-> audio rings. Copied by value into and out of the rings.
#pragma once

#include <cstdint>

namespace iplug {

struct MidiMessage
{
    int offset = 0; // sample position inside the block
    std::uint8_t status = 0;
    std::uint8_t data1 = 0;
    std::uint8_t data2 = 0;
};

// Fixed-size, so that a ring of them never allocates.
struct SysexRecord
{
    static constexpr int kMaxBytes = 512;
    int offset = 0;
    int size = 0;
    std::uint8_t data[kMaxBytes] = {};
};

} // namespace iplug
