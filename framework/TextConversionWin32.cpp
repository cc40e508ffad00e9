// Windows: MultiByteToWideChar / WideCharToMultiByte with UTF-8 or the ANSI code page.
#include "framework/TextConversion.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <vector>

namespace iplug {
namespace {

UINT CodePage(TextEncoding encoding) { return encoding == TextEncoding::SystemAnsi ? CP_ACP : CP_UTF8; }

bool IsHighSurrogate(wchar_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }

} // namespace

int WidenText(const char* text, char16_t* out, int capacity, TextEncoding encoding)
{
    static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows wide text is UTF-16");
    if (!out || capacity <= 0)
        return 0;
    out[0] = 0;
    if (!text || !*text)
        return 0;
    const UINT cp = CodePage(encoding);
    const int needed = ::MultiByteToWideChar(cp, 0, text, -1, nullptr, 0); // with the terminator
    if (needed <= 0)
        return 0;
    auto* wide = reinterpret_cast<wchar_t*>(out);
    if (needed <= capacity)
        return ::MultiByteToWideChar(cp, 0, text, -1, wide, capacity) - 1;
    // Too long: convert in full, then cut without splitting a surrogate pair.
    std::vector<wchar_t> all(std::size_t(needed), L'\0');
    ::MultiByteToWideChar(cp, 0, text, -1, all.data(), needed);
    int n = capacity - 1;
    if (n > 0 && IsHighSurrogate(all[std::size_t(n - 1)]))
        --n;
    for (int i = 0; i < n; ++i)
        wide[i] = all[std::size_t(i)];
    wide[n] = 0;
    return n;
}

int NarrowText(const char16_t* text, char* out, int capacity, TextEncoding encoding)
{
    if (!out || capacity <= 0)
        return 0;
    out[0] = '\0';
    if (!text || !*text)
        return 0;
    const UINT cp = CodePage(encoding);
    const auto* wide = reinterpret_cast<const wchar_t*>(text);
    int units = 0;
    while (wide[units] != 0)
        ++units;
    // Drop whole characters from the end until the bytes fit, so no multi-byte
    // character is ever cut in half.
    while (units > 0)
    {
        const int needed = ::WideCharToMultiByte(cp, 0, wide, units, nullptr, 0, nullptr, nullptr);
        if (needed > 0 && needed <= capacity - 1)
        {
            const int written = ::WideCharToMultiByte(cp, 0, wide, units, out, capacity - 1, nullptr, nullptr);
            out[written > 0 ? written : 0] = '\0';
            return written > 0 ? written : 0;
        }
        --units;
        if (units > 0 && IsHighSurrogate(wide[units - 1]))
            --units;
    }
    return 0;
}

} // namespace iplug
