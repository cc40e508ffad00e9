// CopyText: bounded copy of 8-bit (UTF-8) text into a fixed field, used by the
// parameter and preset records. Pure function, any thread, never allocates.
#pragma once

#include <cstddef>

namespace iplug {

// Copies at most capacity - 1 bytes and terminates. A cut never splits a UTF-8
// sequence, so a truncated name stays valid text. Returns the bytes copied.
inline std::size_t CopyText(char* dst, std::size_t capacity, const char* src)
{
    if (capacity == 0)
        return 0;
    std::size_t n = 0;
    if (src)
        while (n + 1 < capacity && src[n] != '\0')
            ++n;
    if (src && src[n] != '\0')
    {
        // Truncated: back off over continuation bytes to the start of the cut sequence.
        std::size_t cut = n;
        while (cut > 0 && (static_cast<unsigned char>(src[cut]) & 0xC0) == 0x80)
            --cut;
        n = cut;
    }
    for (std::size_t i = 0; i < n; ++i)
        dst[i] = src[i];
    dst[n] = '\0';
    return n;
}

} // namespace iplug
