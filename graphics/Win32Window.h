#pragma once
// The Windows editor window: a child window of the host's HWND that shows one graphics context.
// It draws the context with a GdiPlusRenderer into a DIB section (the back buffer) and blits
// the drawn areas on WM_PAINT, so the host never sees a half-drawn frame; a window timer on the
// context's frame rate drives the context's Tick. Mouse, wheel, key and DPI messages become the
// context's entry points. The value prompt and popup menus are drawn by the context itself (the
// window gives it the keyboard while one is open); tooltips are the system's (common controls),
// so that long ones wrap and may reach past the editor.
//
// The window class is registered once per module under a name unique to the module (two
// plug-ins built from this code can live in one host) and unregistered when the module's last
// window goes. The platform thread timers of the plug-in's idle tick need no help from here:
// the host's message loop dispatches them.
//
// Owned by the format binding (the VST 3 view) between attach and remove; it goes before its
// context does. UI thread only.
// No Windows header is needed to use it.

#include "framework/IGraphicsWindow.h"

#include <memory>

namespace igraphics {

class IGraphics;

class Win32Window final : public IGraphicsWindow
{
public:
    // UI thread. Opens graphics in a new child window of parent (an HWND); null when the window
    // or its back buffer could not be made. The context draws into the window from now on.
    static std::unique_ptr<Win32Window> Open(IGraphics& graphics, void* parent);
    // Detaches from the context and destroys the window.
    ~Win32Window() override;
    Win32Window(const Win32Window&) = delete;
    Win32Window& operator=(const Win32Window&) = delete;

    void* Handle() const;        // the HWND
    void* TooltipHandle() const; // the system tooltip's HWND, null when the context draws its own
    // The registered class name of this module's editor windows (UTF-16).
    static const wchar_t* ClassName();

    // --- IGraphicsWindow -------------------------------------------------------------------
    void InvalidateRect(const IRECT& area) override;
    void SetMouseCursor(ECursor cursor) override;
    void HideMouseCursor(bool hide) override;
    void WindowResized(int pixelWidth, int pixelHeight) override;
    // Only web (http:, https:) and mail (mailto:) addresses are handed to the shell: anything
    // else could start a program or open a file.
    bool OpenURL(const char* url) override;

    struct Impl;

private:
    explicit Win32Window(IGraphics& graphics);

    std::unique_ptr<Impl> mImpl;
};

} // namespace igraphics
