#pragma once
// A text style: font identifier, size in editor pixels (the em size), colour, horizontal and
// vertical alignment inside the text's rectangle, and an angle. Plain value, cheap to copy.

#include "framework/IColor.h"

#include <string_view>

namespace igraphics {

enum class EAlign
{
    Near, // left
    Center,
    Far // right
};

enum class EVAlign
{
    Top,
    Middle,
    Bottom
};

inline constexpr const char* kDefaultFontId = "Roboto-Regular";

struct IText
{
    static constexpr int kFontIdCapacity = 64; // longer identifiers are cut, never overflow

    char font[kFontIdCapacity] = {};
    float size = 14.f;
    IColor fgColor = COLOR_BLACK;
    EAlign align = EAlign::Center;
    EVAlign valign = EVAlign::Middle;
    float angle = 0.f; // degrees, clockwise on screen, about the centre of the laid-out text
    // Colours of the value prompt's text field when this style is used for one.
    IColor textEntryBGColor = COLOR_WHITE;
    IColor textEntryFGColor = COLOR_BLACK;

    constexpr IText() { SetFont(kDefaultFontId); }
    constexpr IText(float sz, const IColor& color, const char* fontId = kDefaultFontId, EAlign a = EAlign::Center,
                    EVAlign va = EVAlign::Middle, float angleDeg = 0.f)
        : size(sz), fgColor(color), align(a), valign(va), angle(angleDeg)
    {
        SetFont(fontId);
    }

    constexpr void SetFont(const char* fontId)
    {
        int i = 0;
        for (; fontId && fontId[i] != '\0' && i < kFontIdCapacity - 1; ++i)
            font[i] = fontId[i];
        for (; i < kFontIdCapacity; ++i)
            font[i] = '\0';
    }

    constexpr std::string_view FontId() const { return std::string_view(font); }

    constexpr bool operator==(const IText& o) const
    {
        return FontId() == o.FontId() && size == o.size && fgColor == o.fgColor && align == o.align &&
               valign == o.valign && angle == o.angle && textEntryBGColor == o.textEntryBGColor &&
               textEntryFGColor == o.textEntryFGColor;
    }
};

} // namespace igraphics
