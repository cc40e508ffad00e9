// How Auto Catch finds and keeps its automatic notches. Classic is the detector the plug-in has
// always had and stays the default; Adaptive searches the whole band, proves each new notch on
// the loop itself and keeps the notches that hold a howl. A setting, not a parameter: the host
// saves it in the state's extension, the editor switches it, the audio thread reads it per block.
#pragma once

#include <cstdint>

namespace ringstill {

enum class AutoCatchMode : std::uint8_t
{
    Classic = 0,
    Adaptive = 1,
};

inline constexpr AutoCatchMode kDefaultAutoCatchMode = AutoCatchMode::Classic;

// The names the editor, the tools and the README use.
inline const char* AutoCatchModeName(AutoCatchMode mode)
{
    return mode == AutoCatchMode::Adaptive ? "Adaptive" : "Classic";
}

} // namespace ringstill
