#pragma once
// A window's pixels as the screen shows them, read back from its device context (Windows tests).

#include "framework/IColor.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstdint>
#include <vector>

namespace ringstill::test {

// What the window shows on screen, read back from its device context.
struct Capture
{
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels; // 0xAARRGGBB, top row first

    // Opaque black outside the window.
    igraphics::IColor ReadPixel(int x, int y) const
    {
        if (x < 0 || y < 0 || x >= width || y >= height)
            return {};
        const std::uint32_t p = pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)];
        return igraphics::IColor(255, int((p >> 16) & 0xFF), int((p >> 8) & 0xFF), int(p & 0xFF));
    }
};

inline Capture CaptureWindow(HWND hwnd)
{
    Capture c;
    RECT rc;
    if (!::GetClientRect(hwnd, &rc))
        return c;
    c.width = rc.right;
    c.height = rc.bottom;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = c.width;
    info.bmiHeader.biHeight = -c.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC windowDC = ::GetDC(hwnd);
    HDC memDC = ::CreateCompatibleDC(windowDC);
    HBITMAP dib = ::CreateDIBSection(windowDC, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = ::SelectObject(memDC, dib);
    ::BitBlt(memDC, 0, 0, c.width, c.height, windowDC, 0, 0, SRCCOPY);
    ::GdiFlush();
    const auto* src = static_cast<const std::uint32_t*>(bits);
    c.pixels.assign(src, src + std::size_t(c.width) * std::size_t(c.height));
    for (std::uint32_t& p : c.pixels)
        p |= 0xFF000000u; // the screen is opaque
    ::SelectObject(memDC, old);
    ::DeleteObject(dib);
    ::DeleteDC(memDC);
    ::ReleaseDC(hwnd, windowDC);
    return c;
}

} // namespace ringstill::test
