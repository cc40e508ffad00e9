// The effect's ten parameters (index = position in the parameter list = host
// parameter identifier) and the fixed constants of the plug-in: identity,
// version texts and the editor's size, frame rate, scale and resources.
// Plain constants, read from any thread.
#pragma once

#include "RingstillVersion.h"
#include "framework/PluginConfig.h"

#include <cstdint>

namespace ringstill {

enum ParamIndex : int
{
    kSensitivity = 0,
    kAutoCut = 1,
    kAutoWidth = 2,
    kMasterTrim = 3,
    kMasterWidth = 4,
    kNoNoise = 5,
    kNoReverb = 6,
    kGain = 7,
    kHold = 8,
    kBypass = 9,
    kNumParams = 10,
};

inline constexpr int kNumPresets = 1;
inline constexpr const char* kChannelLayouts = "1-1 2-2";
inline constexpr const char* kPluginName = "Ringstill";
inline constexpr const char* kProductName = "Ringstill";
inline constexpr const char* kMakerName = "Tollent";
// Packs 1.0.7 and differs on purpose from the version texts (RingstillVersion.h, from the
// project version) that the factory and the editor show: hosts may have stored it.
inline constexpr int kVendorVersion = 0x00010007;
inline constexpr std::uint32_t kUniqueId = iplug::MakeFourCC("Rstl");
inline constexpr std::uint32_t kMakerId = iplug::MakeFourCC("Toln");

inline constexpr int kEditorWidth = 740;
inline constexpr int kEditorHeight = 726;
inline constexpr int kEditorMinSize = 256;
inline constexpr int kEditorMaxSize = 8192;
inline constexpr int kEditorFps = 30;
inline constexpr float kEditorScale = 1.0f;
inline constexpr const char* kFontName = "Roboto-Regular";
inline constexpr const char* kFontFile = "Roboto-Regular.ttf";
inline constexpr const char* kLogoFile = "Ringstill.png";

// A switch is on from this value up.
inline constexpr double kSwitchOnValue = 0.5;

} // namespace ringstill
