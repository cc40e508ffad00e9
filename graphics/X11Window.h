#pragma once
// The Linux editor window: an X11 child window inside the host's window, on a display
// connection of its own. It turns X events into the graphics context's mouse and key calls and
// blits the context's drawing from a cairo back buffer with XPutImage.
//
// It never runs a loop or a thread: the host's run loop calls ProcessPendingEvents when
// ConnectionFd() is readable, and TimerTick every 10..33 ms (the idle timers and the frames).
// Every X error of this connection is caught here (a host that destroys its window before
// closing the editor makes the next request fail), never reaching the process's error handler.
//
// UI thread only. Owned by the editor window glue of the format binding; sets itself as the
// context's platform window while it exists.

#include "framework/IGraphicsWindow.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

namespace igraphics {

class IGraphics;
class CairoRenderer;

class X11Window final : public IGraphicsWindow
{
public:
    // Opens the display named by DISPLAY and a child of parent sized to the context's pixels,
    // mapped and drawn once. nullptr when there is no display, the parent does not exist, the
    // context has no cairo renderer or the screen's pixel format is not 32-bit true colour.
    static std::unique_ptr<X11Window> Open(IGraphics& graphics, unsigned long parent);
    ~X11Window() override;

    X11Window(const X11Window&) = delete;
    X11Window& operator=(const X11Window&) = delete;

    // The display connection's file descriptor, readable when events wait.
    int ConnectionFd() const;
    // Handles every event queued on the connection.
    void ProcessPendingEvents();
    // The idle timers (iplug::PumpTimers), then a frame of the dirty area when one is due.
    void TimerTick();

    unsigned long WindowId() const { return window; }
    int PixelWidth() const { return width; }
    int PixelHeight() const { return height; }
    // Number of X errors this connection has seen (a destroyed parent, a bad request).
    int ErrorCount() const;

    // --- IGraphicsWindow
    void InvalidateRect(const IRECT& area) override;
    void SetMouseCursor(ECursor cursor) override;
    void HideMouseCursor(bool hide) override;
    void WindowResized(int pixelWidth, int pixelHeight) override;
    bool OpenURL(const char* url) override;

    // The display connection and its X resources (defined with the window).
    struct Connection;

private:

    X11Window(IGraphics& graphics, CairoRenderer& renderer, std::unique_ptr<Connection> connection);
    bool Create(unsigned long parent);
    bool MakeBackBuffer(int pixelWidth, int pixelHeight);
    void HandleEvent(void* event);
    void DrawAndBlit(bool full);
    void Blit(int x, int y, int w, int h);
    void ReapChildren();

    IGraphics& graphics;
    CairoRenderer& renderer;
    std::unique_ptr<Connection> x;
    unsigned long window = 0;
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
    bool redrawPending = false;
    bool fullRedrawPending = false;

    // Mouse state for drags and double-clicks.
    float lastX = 0.f;
    float lastY = 0.f;
    unsigned long lastPressTime = 0;
    unsigned lastPressButton = 0;
    int lastPressX = -1000;
    int lastPressY = -1000;
    bool lastPressWasDouble = false;
    unsigned long doubleClickMs = 400;

    ECursor cursor = ECursor::Arrow;
    bool cursorHidden = false;
    std::vector<int> children; // programs started by OpenURL, reaped on the timer
};

} // namespace igraphics
