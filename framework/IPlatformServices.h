#pragma once
// Services of the platform window that are not drawing: the window implementation (X11 child
// window, Win32 child window) provides them to the graphics context.

namespace igraphics {

class IPlatformServices
{
public:
    virtual ~IPlatformServices() = default;

    // UI thread. Opens a web address (https:, mailto:) with the system's browser or mail program.
    // Returns whether the request could be handed over; what the system then does is not known.
    virtual bool OpenURL(const char* url) = 0;
};

} // namespace igraphics
