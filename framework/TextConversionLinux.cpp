// Linux: 8-bit text is UTF-8 whatever encoding is asked for.
#include "framework/TextConversion.h"

#include <cstdint>

namespace iplug {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one UTF-8 character at p, advancing p; malformed input gives U+FFFD.
char32_t DecodeUtf8(const unsigned char*& p)
{
    const unsigned char lead = *p++;
    if (lead < 0x80)
        return lead;
    int extra;
    char32_t cp;
    char32_t minimum;
    if ((lead & 0xE0) == 0xC0)
    {
        extra = 1;
        cp = lead & 0x1F;
        minimum = 0x80;
    }
    else if ((lead & 0xF0) == 0xE0)
    {
        extra = 2;
        cp = lead & 0x0F;
        minimum = 0x800;
    }
    else if ((lead & 0xF8) == 0xF0)
    {
        extra = 3;
        cp = lead & 0x07;
        minimum = 0x10000;
    }
    else
        return kReplacement;
    for (int i = 0; i < extra; ++i)
    {
        if ((*p & 0xC0) != 0x80)
            return kReplacement; // the terminator also stops here
        cp = (cp << 6) | (*p++ & 0x3F);
    }
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return kReplacement;
    return cp;
}

// Decodes one UTF-16 character at p, advancing p; a lone surrogate gives U+FFFD.
char32_t DecodeUtf16(const char16_t*& p)
{
    const char16_t unit = *p++;
    if (unit < 0xD800 || unit > 0xDFFF)
        return unit;
    if (unit <= 0xDBFF && *p >= 0xDC00 && *p <= 0xDFFF)
        return 0x10000 + ((char32_t(unit) - 0xD800) << 10) + (char32_t(*p++) - 0xDC00);
    return kReplacement;
}

} // namespace

int WidenText(const char* text, char16_t* out, int capacity, TextEncoding)
{
    if (!out || capacity <= 0)
        return 0;
    int n = 0;
    const auto* p = reinterpret_cast<const unsigned char*>(text ? text : "");
    while (*p != 0)
    {
        const char32_t cp = DecodeUtf8(p);
        const int units = cp >= 0x10000 ? 2 : 1;
        if (n + units > capacity - 1)
            break;
        if (units == 2)
        {
            out[n++] = char16_t(0xD800 + ((cp - 0x10000) >> 10));
            out[n++] = char16_t(0xDC00 + ((cp - 0x10000) & 0x3FF));
        }
        else
            out[n++] = char16_t(cp);
    }
    out[n] = 0;
    return n;
}

int NarrowText(const char16_t* text, char* out, int capacity, TextEncoding)
{
    if (!out || capacity <= 0)
        return 0;
    static const char16_t kEmpty[1] = {0};
    const char16_t* p = text ? text : kEmpty;
    int n = 0;
    while (*p != 0)
    {
        const char32_t cp = DecodeUtf16(p);
        unsigned char bytes[4];
        int count;
        if (cp < 0x80)
        {
            bytes[0] = static_cast<unsigned char>(cp);
            count = 1;
        }
        else if (cp < 0x800)
        {
            bytes[0] = static_cast<unsigned char>(0xC0 | (cp >> 6));
            bytes[1] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
            count = 2;
        }
        else if (cp < 0x10000)
        {
            bytes[0] = static_cast<unsigned char>(0xE0 | (cp >> 12));
            bytes[1] = static_cast<unsigned char>(0x80 | ((cp >> 6) & 0x3F));
            bytes[2] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
            count = 3;
        }
        else
        {
            bytes[0] = static_cast<unsigned char>(0xF0 | (cp >> 18));
            bytes[1] = static_cast<unsigned char>(0x80 | ((cp >> 12) & 0x3F));
            bytes[2] = static_cast<unsigned char>(0x80 | ((cp >> 6) & 0x3F));
            bytes[3] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
            count = 4;
        }
        if (n + count > capacity - 1)
            break;
        for (int i = 0; i < count; ++i)
            out[n++] = static_cast<char>(bytes[i]);
    }
    out[n] = '\0';
    return n;
}

} // namespace iplug
