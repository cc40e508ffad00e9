// ByteChunk: a growable byte buffer for plug-in state (the parameter chunk, presets).
// Owned by whoever holds it (a preset slot, the binding's getState/setState call).
// Not thread-safe; used on the host's state thread or the UI thread, never on the
// audio thread. Appends report failure instead of throwing when memory runs out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <stdexcept>
#include <vector>

namespace iplug {

class ByteChunk
{
public:
    int Size() const { return int(bytes.size()); }
    const std::uint8_t* GetData() const { return bytes.data(); }
    std::uint8_t* GetData() { return bytes.data(); }
    void Clear() { bytes.clear(); }

    // Appends size bytes; false when the chunk cannot grow.
    bool PutBytes(const void* data, int size)
    {
        if (size < 0)
            return false;
        if (size == 0)
            return true;
        try
        {
            const auto* p = static_cast<const std::uint8_t*>(data);
            // resize + copy rather than a range insert, which g++ 12 misreads at -O3.
            const std::size_t old = bytes.size();
            bytes.resize(old + static_cast<std::size_t>(size));
            std::memcpy(bytes.data() + old, p, static_cast<std::size_t>(size));
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

    // Copies size bytes from position pos; returns the position after them,
    // or -1 when the chunk holds fewer bytes there (nothing is copied then).
    int GetBytes(void* out, int size, int pos) const
    {
        if (pos < 0 || size < 0 || std::int64_t(pos) + size > std::int64_t(bytes.size()))
            return -1;
        if (size > 0)
            std::memcpy(out, bytes.data() + pos, std::size_t(size));
        return pos + size;
    }

    // Doubles are stored as IEEE-754 binary64, little-endian, whatever the machine.
    bool PutDouble(double value)
    {
        std::uint64_t bits;
        std::memcpy(&bits, &value, sizeof bits);
        std::uint8_t le[8];
        for (int i = 0; i < 8; ++i)
            le[i] = std::uint8_t(bits >> (8 * i));
        return PutBytes(le, 8);
    }

    int GetDouble(double& value, int pos) const
    {
        std::uint8_t le[8];
        const int next = GetBytes(le, 8, pos);
        if (next < 0)
            return -1;
        std::uint64_t bits = 0;
        for (int i = 0; i < 8; ++i)
            bits |= std::uint64_t(le[i]) << (8 * i);
        std::memcpy(&value, &bits, sizeof value);
        return next;
    }

    bool PutInt32(std::int32_t value)
    {
        const auto u = std::uint32_t(value);
        const std::uint8_t le[4] = {std::uint8_t(u), std::uint8_t(u >> 8), std::uint8_t(u >> 16),
                                    std::uint8_t(u >> 24)};
        return PutBytes(le, 4);
    }

    int GetInt32(std::int32_t& value, int pos) const
    {
        std::uint8_t le[4];
        const int next = GetBytes(le, 4, pos);
        if (next < 0)
            return -1;
        value = std::int32_t(std::uint32_t(le[0]) | (std::uint32_t(le[1]) << 8) | (std::uint32_t(le[2]) << 16)
                             | (std::uint32_t(le[3]) << 24));
        return next;
    }

private:
    std::vector<std::uint8_t> bytes;
};

} // namespace iplug
