// Text conversion between the framework's 8-bit text and the UTF-16 text of the
// VST 3 boundary. Pure functions into caller-owned fixed buffers; any thread except
// the audio thread (the Windows conversion may allocate for over-long texts).
//
// Utf8: UTF-8 on every platform. SystemAnsi: the system's ANSI code page on Windows
// (where host texts are parsed as the system's 8-bit text), UTF-8 elsewhere.
// Invalid input becomes U+FFFD; a cut never splits a character.
#pragma once

#include <cstddef>

namespace iplug {

enum class TextEncoding
{
    Utf8,
    SystemAnsi,
};

// Writes at most capacity - 1 UTF-16 units and a terminator; returns units written.
int WidenText(const char* text, char16_t* out, int capacity, TextEncoding encoding = TextEncoding::Utf8);
// Writes at most capacity - 1 bytes and a terminator; returns bytes written.
int NarrowText(const char16_t* text, char* out, int capacity, TextEncoding encoding = TextEncoding::Utf8);

} // namespace iplug
