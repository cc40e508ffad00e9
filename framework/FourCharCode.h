// Four-character codes ('Rstl', 'Toln') as the 32-bit words the plug-in's identifiers use.
#pragma once

#include <cstdint>

namespace iplug {

// First character in the most significant byte: 'Toln' -> 0x546F6C6E.
constexpr std::uint32_t MakeFourCC(const char (&code)[5])
{
    return (std::uint32_t(std::uint8_t(code[0])) << 24) | (std::uint32_t(std::uint8_t(code[1])) << 16)
           | (std::uint32_t(std::uint8_t(code[2])) << 8) | std::uint32_t(std::uint8_t(code[3]));
}

} // namespace iplug
