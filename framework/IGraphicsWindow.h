#pragma once
// The platform window behind a graphics context (the X11 child window on Linux, the Win32 child
// window later). The window only forwards events and blits: it turns its native mouse, key and
// timer events into the context's entry points (OnMouseDown ... OnKeyDown, Tick) and copies the
// pixels of Draw to the screen. What the context needs back from it is this interface.
//
// Coordinates: the context works in editor coordinates. The window's surface has
// PixelWidth() x PixelHeight() pixels (editor size x draw scale x screen scale); the window
// passes mouse positions in those pixels and the context converts them.
//
// A window's life with its context:
//   open    context.SetPlatformWindow(this); make the native window PixelWidth() x PixelHeight()
//   timer   every 10..33 ms on the UI thread: iplug::PumpTimers() (the idle tick), then
//           if (context.Tick()) blit(context.Draw(renderer)), the renderer drawing into the back
//           buffer (CairoRenderer::SetTargetBuffer); an expose redraws with Draw(renderer, true)
//   mouse   OnMouseDown / OnMouseUp / OnMouseDrag (moves with a button held) / OnMouseOver
//           (moves without) / OnMouseWheel / OnMouseOut (the pointer left); a second press within
//           the double-click time is sent as OnMouseDblClick instead of OnMouseDown
//   keys    OnKeyDown / OnKeyUp with the toolkit's key codes; false means "not handled"
//   size    WindowResized below; the host's content scale goes to SetScreenScale
//   close   context.SetPlatformWindow(nullptr) before the window goes
//
// Owned by whoever opened the window (the VST 3 view); the context keeps a plain pointer that the
// window clears before it goes. UI thread only.

#include "framework/IPlatformServices.h"
#include "framework/IRECT.h"

namespace igraphics {

enum class ECursor
{
    Arrow,
    IBeam,
    Hand,
    SizeNWSE, // diagonal, for the corner resizer
    SizeWE,
    SizeNS,
    Cross,
};

class IGraphicsWindow : public IPlatformServices
{
public:
    // An area (editor coordinates) needs drawing; the window schedules a Draw for it (X11: an
    // expose, Win32: InvalidateRect). Drawing itself happens only through the context's Draw.
    virtual void InvalidateRect(const IRECT& area) = 0;
    virtual void SetMouseCursor(ECursor cursor) = 0;
    // Hides the pointer during a drag and shows it again afterwards.
    virtual void HideMouseCursor(bool hide) = 0;
    // The context changed its pixel size (resize, draw scale or screen scale): the window
    // resizes its native window and back buffer to this many pixels.
    virtual void WindowResized(int pixelWidth, int pixelHeight) = 0;
};

} // namespace igraphics
