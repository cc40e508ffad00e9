// The factory and class information of Tollent's modules, laid out byte for byte as hosts read it.
// Host thread only; plain records, no state.
#pragma once

#include "RingstillVersion.h"

#include "pluginterfaces/base/ipluginbase.h"

#include <cstdint>

namespace ringstill::vst3 {

inline constexpr char kVendorName[] = "Tollent";
inline constexpr char kVendorUrl[] = "https://www.tollent.audio/";
inline constexpr char kVendorEmail[] = "support@tollent.audio";
inline constexpr char kEffectCategory[] = "Audio Module Class";
inline constexpr char kEffectSubCategories[] = "Fx|Restoration";
// The SDK generation the binding is written against; the subset's headers carry an older string.
inline constexpr char kEffectSdkVersion[] = "VST 3.8.1";
// Simple mode supported, the only class flag we set.
inline constexpr std::uint32_t kEffectClassFlags = 2;

// The first two words of every class identifier of ours; the last two are the maker code and the
// plug-in code.
inline constexpr std::uint32_t kClassIdWord1 = 0xF2AEE70D;
inline constexpr std::uint32_t kClassIdWord2 = 0x00DE4F4E;

// Lays the four words out in COM order on every platform (word 1 little-endian, the two halves of
// word 2 little-endian, words 3 and 4 big-endian), so a Linux and a Windows build share one
// identifier and sessions move between them.
void MakeClassId(std::uint32_t w1, std::uint32_t w2, std::uint32_t w3, std::uint32_t w4,
                 Steinberg::TUID out);

// Vendor, addresses and the Unicode flag.
Steinberg::PFactoryInfo MakeFactoryInfo();

// One effect class: many instances, "Audio Module Class", our flags, sub-categories, version and
// SDK version, empty vendor (the factory's applies). The name is cut to its 64-byte field.
Steinberg::PClassInfo2 MakeEffectClassInfo(const char* name, std::uint32_t makerCode,
                                           std::uint32_t pluginCode);

} // namespace ringstill::vst3
