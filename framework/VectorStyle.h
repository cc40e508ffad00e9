#pragma once
// The look of the vector controls (sliders, switches, buttons). Every member starts at the
// toolkit's default; the editor's styles copy the default and change only what they need.

#include "framework/IColor.h"
#include "framework/IText.h"

namespace igraphics {

// Colour roles of a vector control, indexing VectorStyle::colors.
enum EVColor
{
    kBG = 0, // background
    kFG,     // foreground (the value)
    kPR,     // pressed
    kFR,     // frame
    kHL,     // highlight (mouse-over)
    kSH,     // shadow
    kX1,     // extra 1 (slider handle)
    kX2,     // extra 2
    kX3,     // extra 3
    kNumVColors
};

struct IVColorSpec
{
    IColor colors[kNumVColors] = {
        {0, 0, 0, 0},         // background
        {255, 200, 200, 200}, // foreground
        {255, 240, 240, 240}, // pressed
        {255, 70, 70, 70},    // frame
        {10, 0, 0, 0},        // highlight
        {60, 0, 0, 0},        // shadow
        {255, 0, 0, 0},       // extra 1
        {255, 0, 255, 0},     // extra 2
        {255, 0, 0, 255},     // extra 3
    };

    constexpr const IColor& Get(EVColor role) const { return colors[role]; }
    constexpr void Set(EVColor role, const IColor& c) { colors[role] = c; }
    constexpr bool operator==(const IVColorSpec&) const = default;
};

inline constexpr IText kDefaultLabelText{19.f, COLOR_BLACK, kDefaultFontId, EAlign::Center, EVAlign::Top};
inline constexpr IText kDefaultValueText{14.f, COLOR_BLACK, kDefaultFontId, EAlign::Center, EVAlign::Bottom};

struct VectorStyle
{
    bool hideCursor = true;
    bool showLabel = true;
    bool showValue = true;
    bool drawFrame = true;
    bool drawShadows = true;
    bool emboss = false;
    float roundness = 0.f;
    float frameThickness = 1.f;
    float shadowOffset = 3.f;
    float widgetFrac = 1.f;
    float angle = 0.f;
    IVColorSpec colorSpec;
    IText labelText = kDefaultLabelText;
    IText valueText = kDefaultValueText;

    constexpr const IColor& GetColor(EVColor role) const { return colorSpec.Get(role); }
    constexpr void SetColor(EVColor role, const IColor& c) { colorSpec.Set(role, c); }
    constexpr bool operator==(const VectorStyle&) const = default;
};

inline constexpr VectorStyle kDefaultStyle{};

} // namespace igraphics
