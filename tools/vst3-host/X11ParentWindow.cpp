#include "tools/vst3-host/X11ParentWindow.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <cairo.h>

#include <cstring>

namespace ringstill::vst3host {
namespace {

Display* AsDisplay(void* display) { return static_cast<Display*>(display); }

// A test host's errors (a window that went away) are not worth ending the process for.
int IgnoreError(Display*, XErrorEvent*) { return 0; }

bool Send(Display* d, unsigned long target, long mask, XEvent& event)
{
    const Status sent = XSendEvent(d, Window(target), False, mask, &event);
    XFlush(d);
    return sent != 0;
}

} // namespace

std::unique_ptr<X11ParentWindow> X11ParentWindow::Open(int width, int height, std::string* error)
{
    Display* d = XOpenDisplay(nullptr);
    if (d == nullptr)
    {
        if (error != nullptr)
            *error = "no X display (DISPLAY is not set or the server does not answer)";
        return nullptr;
    }
    XSetErrorHandler(&IgnoreError);
    std::unique_ptr<X11ParentWindow> parent(new X11ParentWindow());
    parent->display = d;
    const int screen = DefaultScreen(d);
    parent->window = XCreateSimpleWindow(d, RootWindow(d, screen), 0, 0, unsigned(width), unsigned(height), 0,
                                         BlackPixel(d, screen), 0x101010);
    XSelectInput(d, Window(parent->window), StructureNotifyMask);
    XMapWindow(d, Window(parent->window));
    XEvent event;
    do
        XWindowEvent(d, Window(parent->window), StructureNotifyMask, &event);
    while (event.type != MapNotify);
    XSync(d, False);
    return parent;
}

X11ParentWindow::~X11ParentWindow()
{
    Display* d = AsDisplay(display);
    if (window != 0)
        XDestroyWindow(d, Window(window));
    XSync(d, False);
    XCloseDisplay(d);
}

bool X11ParentWindow::Resize(int width, int height)
{
    Display* d = AsDisplay(display);
    XResizeWindow(d, Window(window), unsigned(width), unsigned(height));
    XSync(d, False);
    return true;
}

std::vector<unsigned long> X11ParentWindow::Children() const
{
    Display* d = AsDisplay(display);
    XSync(d, False);
    Window root = 0;
    Window parentOfThis = 0;
    Window* list = nullptr;
    unsigned count = 0;
    std::vector<unsigned long> result;
    if (XQueryTree(d, Window(window), &root, &parentOfThis, &list, &count) != 0)
    {
        for (unsigned i = 0; i < count; ++i)
            result.push_back(list[i]);
        if (list != nullptr)
            XFree(list);
    }
    return result;
}

bool X11ParentWindow::Geometry(unsigned long target, int& width, int& height, bool& mapped) const
{
    Display* d = AsDisplay(display);
    XSync(d, False);
    XWindowAttributes attributes;
    if (XGetWindowAttributes(d, Window(target), &attributes) == 0)
        return false;
    width = attributes.width;
    height = attributes.height;
    mapped = attributes.map_state == IsViewable;
    return true;
}

X11ParentWindow::Image X11ParentWindow::Capture(unsigned long target) const
{
    Image image;
    int width = 0;
    int height = 0;
    bool mapped = false;
    if (!Geometry(target, width, height, mapped) || !mapped)
        return image;
    Display* d = AsDisplay(display);
    XImage* shot = XGetImage(d, Window(target), 0, 0, unsigned(width), unsigned(height), AllPlanes, ZPixmap);
    if (shot == nullptr)
        return image;
    image.width = width;
    image.height = height;
    image.pixels.resize(std::size_t(width) * std::size_t(height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
        {
            const unsigned long p = XGetPixel(shot, x, y);
            const std::uint32_t r = std::uint32_t((p & shot->red_mask) >> 16) & 0xFF;
            const std::uint32_t g = std::uint32_t((p & shot->green_mask) >> 8) & 0xFF;
            const std::uint32_t b = std::uint32_t(p & shot->blue_mask) & 0xFF;
            image.pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)] = 0xFF000000u | (r << 16) | (g << 8) | b;
        }
    XDestroyImage(shot);
    return image;
}

bool X11ParentWindow::SendButton(unsigned long target, unsigned button, bool press, int x, int y,
                                 unsigned long time, unsigned state)
{
    Display* d = AsDisplay(display);
    XEvent event;
    std::memset(&event, 0, sizeof event);
    XButtonEvent& b = event.xbutton;
    b.type = press ? ButtonPress : ButtonRelease;
    b.display = d;
    b.window = Window(target);
    b.root = DefaultRootWindow(d);
    b.time = Time(time);
    b.x = x;
    b.y = y;
    b.x_root = x;
    b.y_root = y;
    b.state = state;
    b.button = button;
    b.same_screen = True;
    return Send(d, target, press ? ButtonPressMask : ButtonReleaseMask, event);
}

bool X11ParentWindow::SendMotion(unsigned long target, int x, int y, unsigned long time, unsigned state)
{
    Display* d = AsDisplay(display);
    XEvent event;
    std::memset(&event, 0, sizeof event);
    XMotionEvent& m = event.xmotion;
    m.type = MotionNotify;
    m.display = d;
    m.window = Window(target);
    m.root = DefaultRootWindow(d);
    m.time = Time(time);
    m.x = x;
    m.y = y;
    m.x_root = x;
    m.y_root = y;
    m.state = state;
    m.same_screen = True;
    return Send(d, target, (state & Button1Mask) != 0 ? Button1MotionMask | PointerMotionMask : PointerMotionMask,
                event);
}

bool X11ParentWindow::SendLeave(unsigned long target, int x, int y, unsigned long time)
{
    Display* d = AsDisplay(display);
    XEvent event;
    std::memset(&event, 0, sizeof event);
    XCrossingEvent& c = event.xcrossing;
    c.type = LeaveNotify;
    c.display = d;
    c.window = Window(target);
    c.root = DefaultRootWindow(d);
    c.time = Time(time);
    c.x = x;
    c.y = y;
    c.mode = NotifyNormal;
    c.detail = NotifyAncestor;
    c.same_screen = True;
    return Send(d, target, LeaveWindowMask, event);
}

bool X11ParentWindow::SendKey(unsigned long target, unsigned long keysym, bool press, unsigned long time,
                              unsigned state)
{
    Display* d = AsDisplay(display);
    const KeyCode code = XKeysymToKeycode(d, KeySym(keysym));
    if (code == 0)
        return false;
    XEvent event;
    std::memset(&event, 0, sizeof event);
    XKeyEvent& k = event.xkey;
    k.type = press ? KeyPress : KeyRelease;
    k.display = d;
    k.window = Window(target);
    k.root = DefaultRootWindow(d);
    k.time = Time(time);
    k.state = state;
    k.keycode = code;
    k.same_screen = True;
    return Send(d, target, press ? KeyPressMask : KeyReleaseMask, event);
}

bool WritePng(const X11ParentWindow::Image& image, const std::string& path)
{
    if (image.width <= 0 || image.height <= 0)
        return false;
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, image.width, image.height);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS)
    {
        cairo_surface_destroy(surface);
        return false;
    }
    cairo_surface_flush(surface);
    unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < image.height; ++y)
        std::memcpy(data + std::size_t(y) * std::size_t(stride), &image.pixels[std::size_t(y) * std::size_t(image.width)],
                    std::size_t(image.width) * 4);
    cairo_surface_mark_dirty(surface);
    const bool written = cairo_surface_write_to_png(surface, path.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(surface);
    return written;
}

} // namespace ringstill::vst3host
