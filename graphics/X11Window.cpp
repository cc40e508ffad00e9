#include "graphics/X11Window.h"

#include "framework/IGraphics.h"
#include "framework/IKeyPress.h"
#include "framework/IMouseMod.h"
#include "framework/Timer.h"
#include "graphics/CairoRenderer.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/cursorfont.h>
#include <X11/keysym.h>
#include <X11/Xproto.h>

#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

extern char** environ;

// Xlib's per-connection error hook for extension writers (declared in Xlibint.h, whose min and max
// macros break the C++ library): an error of this connection goes to it before the process's
// error handler, so the host's handler stays as it is.
extern "C" Bool (*XESetWireToError(Display* display, int errorNumber,
                                   Bool (*proc)(Display*, XErrorEvent*, xError*)))(Display*, XErrorEvent*, xError*);

namespace igraphics {

struct X11Window::Connection
{
    Display* display = nullptr;
    int screen = 0;
    Visual* visual = nullptr;
    int depth = 0;
    XImage* image = nullptr;
    Cursor cursors[7] = {};
    Cursor blank = 0;
    int errors = 0;
    bool windowGone = false;

    ~Connection();
};

namespace {

// The connections of open windows, to find the one an error belongs to. UI thread only.
std::vector<X11Window::Connection*>& OpenConnections()
{
    static std::vector<X11Window::Connection*> list;
    return list;
}

// Counts the error on its connection and drops it: returning False keeps it away from the
// process's error handler, whose default ends the host.
Bool SwallowError(Display* display, XErrorEvent*, xError*)
{
    for (X11Window::Connection* c : OpenConnections())
        if (c->display == display)
            ++c->errors;
    return False;
}

// Core protocol errors run from BadRequest (1) to BadImplementation (17).
constexpr int kFirstCoreError = 1;
constexpr int kLastCoreError = 17;

constexpr unsigned kButtonMasks = Button1Mask | Button2Mask | Button3Mask;
constexpr int kDoubleClickSlop = 4; // pixels the second press may be away from the first

int FontCursorOf(ECursor cursor)
{
    switch (cursor)
    {
    case ECursor::Arrow: return XC_left_ptr;
    case ECursor::IBeam: return XC_xterm;
    case ECursor::Hand: return XC_hand2;
    case ECursor::SizeNWSE: return XC_bottom_right_corner;
    case ECursor::SizeWE: return XC_sb_h_double_arrow;
    case ECursor::SizeNS: return XC_sb_v_double_arrow;
    case ECursor::Cross: return XC_crosshair;
    }
    return XC_left_ptr;
}

IMouseMod ModFromState(unsigned state, unsigned pressedButton = 0)
{
    IMouseMod mod;
    mod.L = (state & Button1Mask) != 0 || pressedButton == Button1;
    mod.R = (state & Button3Mask) != 0 || pressedButton == Button3;
    mod.S = (state & ShiftMask) != 0;
    mod.C = (state & ControlMask) != 0;
    mod.A = (state & Mod1Mask) != 0;
    return mod;
}

// The toolkit's key code (a Windows virtual-key value) for an X key symbol.
int VirtualKeyOf(KeySym sym)
{
    if (sym >= XK_a && sym <= XK_z)
        return kVK_A + int(sym - XK_a);
    if (sym >= XK_A && sym <= XK_Z)
        return kVK_A + int(sym - XK_A);
    if (sym >= XK_0 && sym <= XK_9)
        return kVK_0 + int(sym - XK_0);
    if (sym >= XK_KP_0 && sym <= XK_KP_9)
        return kVK_NUMPAD0 + int(sym - XK_KP_0);
    if (sym >= XK_F1 && sym <= XK_F24)
        return kVK_F1 + int(sym - XK_F1);
    switch (sym)
    {
    case XK_BackSpace: return kVK_BACK;
    case XK_Tab: case XK_ISO_Left_Tab: return kVK_TAB;
    case XK_Clear: case XK_KP_Begin: return kVK_CLEAR;
    case XK_Return: case XK_KP_Enter: return kVK_RETURN;
    case XK_Shift_L: case XK_Shift_R: return kVK_SHIFT;
    case XK_Control_L: case XK_Control_R: return kVK_CONTROL;
    case XK_Alt_L: case XK_Alt_R: case XK_Meta_L: case XK_Meta_R: return kVK_MENU;
    case XK_Pause: return kVK_PAUSE;
    case XK_Caps_Lock: return kVK_CAPITAL;
    case XK_Escape: return kVK_ESCAPE;
    case XK_space: return kVK_SPACE;
    case XK_Prior: case XK_KP_Prior: return kVK_PRIOR;
    case XK_Next: case XK_KP_Next: return kVK_NEXT;
    case XK_End: case XK_KP_End: return kVK_END;
    case XK_Home: case XK_KP_Home: return kVK_HOME;
    case XK_Left: case XK_KP_Left: return kVK_LEFT;
    case XK_Up: case XK_KP_Up: return kVK_UP;
    case XK_Right: case XK_KP_Right: return kVK_RIGHT;
    case XK_Down: case XK_KP_Down: return kVK_DOWN;
    case XK_Select: return kVK_SELECT;
    case XK_Print: return kVK_SNAPSHOT;
    case XK_Insert: case XK_KP_Insert: return kVK_INSERT;
    case XK_Delete: case XK_KP_Delete: return kVK_DELETE;
    case XK_Help: return kVK_HELP;
    case XK_KP_Multiply: return kVK_MULTIPLY;
    case XK_KP_Add: return kVK_ADD;
    case XK_KP_Separator: return kVK_SEPARATOR;
    case XK_KP_Subtract: return kVK_SUBTRACT;
    case XK_KP_Decimal: return kVK_DECIMAL;
    case XK_KP_Divide: return kVK_DIVIDE;
    case XK_Num_Lock: return kVK_NUMLOCK;
    case XK_Scroll_Lock: return kVK_SCROLL;
    case XK_semicolon: return 0xBA;
    case XK_equal: return 0xBB;
    case XK_comma: return 0xBC;
    case XK_minus: return 0xBD;
    case XK_period: return 0xBE;
    case XK_slash: return 0xBF;
    case XK_grave: return 0xC0;
    case XK_bracketleft: return 0xDB;
    case XK_backslash: return 0xDC;
    case XK_bracketright: return 0xDD;
    case XK_apostrophe: return 0xDE;
    default: return kVK_NONE;
    }
}

// The Unicode character a key symbol types, 0 for none (Latin-1 symbols are their own code,
// Unicode symbols carry it in the low bits).
char32_t CharacterOf(KeySym sym)
{
    if ((sym >= 0x20 && sym <= 0x7E) || (sym >= 0xA0 && sym <= 0xFF))
        return char32_t(sym);
    if ((sym & 0xFF000000UL) == 0x01000000UL)
        return char32_t(sym & 0x00FFFFFFUL);
    if (sym >= XK_KP_0 && sym <= XK_KP_9)
        return char32_t('0' + (sym - XK_KP_0));
    switch (sym)
    {
    case XK_KP_Space: return U' ';
    case XK_KP_Multiply: return U'*';
    case XK_KP_Add: return U'+';
    case XK_KP_Subtract: return U'-';
    case XK_KP_Decimal: return U'.';
    case XK_KP_Divide: return U'/';
    case XK_KP_Equal: return U'=';
    default: return 0;
    }
}

void PutUtf8(char32_t c, char* out, int capacity)
{
    int n = 0;
    if (c == 0 || capacity < 5)
        n = 0;
    else if (c < 0x80)
        out[n++] = char(c);
    else if (c < 0x800)
    {
        out[n++] = char(0xC0 | (c >> 6));
        out[n++] = char(0x80 | (c & 0x3F));
    }
    else if (c < 0x10000)
    {
        out[n++] = char(0xE0 | (c >> 12));
        out[n++] = char(0x80 | ((c >> 6) & 0x3F));
        out[n++] = char(0x80 | (c & 0x3F));
    }
    else if (c < 0x110000)
    {
        out[n++] = char(0xF0 | (c >> 18));
        out[n++] = char(0x80 | ((c >> 12) & 0x3F));
        out[n++] = char(0x80 | ((c >> 6) & 0x3F));
        out[n++] = char(0x80 | (c & 0x3F));
    }
    for (; n < capacity; ++n)
        out[n] = '\0';
}

// Only web and mail addresses go to the desktop's opener, and nothing that could be read as an
// option of it.
bool IsOpenableUrl(const char* url)
{
    if (url == nullptr)
        return false;
    const bool scheme = std::strncmp(url, "https://", 8) == 0 || std::strncmp(url, "http://", 7) == 0
                        || std::strncmp(url, "mailto:", 7) == 0;
    if (!scheme)
        return false;
    for (const char* p = url; *p != '\0'; ++p)
        if (static_cast<unsigned char>(*p) < 0x21 || *p == 0x7F)
            return false;
    return true;
}

} // namespace

X11Window::Connection::~Connection()
{
    if (display == nullptr)
        return;
    if (image != nullptr)
    {
        image->data = nullptr; // the pixels belong to the window's vector
        XDestroyImage(image);
    }
    for (Cursor c : cursors)
        if (c != 0)
            XFreeCursor(display, c);
    if (blank != 0)
        XFreeCursor(display, blank);
    XSync(display, False);
    auto& open = OpenConnections();
    open.erase(std::remove(open.begin(), open.end(), this), open.end());
    XCloseDisplay(display);
}

std::unique_ptr<X11Window> X11Window::Open(IGraphics& graphics, unsigned long parent)
{
    auto* renderer = dynamic_cast<CairoRenderer*>(graphics.GetRenderer());
    if (renderer == nullptr || parent == 0)
        return nullptr;
    auto connection = std::make_unique<Connection>();
    connection->display = XOpenDisplay(nullptr);
    if (connection->display == nullptr)
        return nullptr;
    OpenConnections().push_back(connection.get());
    for (int code = kFirstCoreError; code <= kLastCoreError; ++code)
        XESetWireToError(connection->display, code, &SwallowError);

    std::unique_ptr<X11Window> window(new X11Window(graphics, *renderer, std::move(connection)));
    if (!window->Create(parent))
        return nullptr;
    return window;
}

X11Window::X11Window(IGraphics& graphics, CairoRenderer& renderer, std::unique_ptr<Connection> connection)
    : graphics(graphics), renderer(renderer), x(std::move(connection))
{}

bool X11Window::Create(unsigned long parent)
{
    Display* d = x->display;
    x->screen = DefaultScreen(d);
    x->visual = DefaultVisual(d, x->screen);
    x->depth = DefaultDepth(d, x->screen);
    // The back buffer is cairo's native 32-bit xRGB: only such a true-colour screen takes it as is.
    if (x->visual->c_class != TrueColor || x->depth < 24 || x->visual->red_mask != 0xFF0000
        || x->visual->green_mask != 0x00FF00 || x->visual->blue_mask != 0x0000FF)
        return false;

    // Is the parent there at all? A bad id shows as an error of this request.
    XWindowAttributes parentAttributes;
    const int errorsBefore = x->errors;
    if (XGetWindowAttributes(d, Window(parent), &parentAttributes) == 0 || x->errors != errorsBefore)
        return false;

    width = std::max(1, graphics.PixelWidth());
    height = std::max(1, graphics.PixelHeight());
    XSetWindowAttributes attributes {};
    attributes.colormap = DefaultColormap(d, x->screen);
    attributes.background_pixmap = None; // no flash of a background before the first frame
    attributes.border_pixel = 0;
    attributes.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask
                            | LeaveWindowMask | EnterWindowMask | KeyPressMask | KeyReleaseMask
                            | StructureNotifyMask | FocusChangeMask;
    window = XCreateWindow(d, Window(parent), 0, 0, unsigned(width), unsigned(height), 0, x->depth, InputOutput,
                           x->visual, CWColormap | CWBackPixmap | CWBorderPixel | CWEventMask, &attributes);
    XSync(d, False);
    if (x->errors != errorsBefore || window == 0)
    {
        window = 0;
        return false;
    }
    if (!MakeBackBuffer(width, height))
    {
        XDestroyWindow(d, window);
        XSync(d, False);
        window = 0;
        return false;
    }

    if (const char* multi = XGetDefault(d, "*", "multiClickTime"))
    {
        const long ms = std::strtol(multi, nullptr, 10);
        if (ms >= 100 && ms <= 2000)
            doubleClickMs = static_cast<unsigned long>(ms);
    }
    for (int i = 0; i < 7; ++i)
        x->cursors[i] = XCreateFontCursor(d, unsigned(FontCursorOf(ECursor(i))));
    XDefineCursor(d, window, x->cursors[0]);

    graphics.SetPlatformWindow(this);
    XMapWindow(d, window);
    DrawAndBlit(true);
    XSync(d, False);
    return x->errors == errorsBefore;
}

X11Window::~X11Window()
{
    graphics.SetPlatformWindow(nullptr);
    // The back buffer goes with the window: the renderer must not draw into it afterwards.
    renderer.ReleaseTarget();
    if (x->display != nullptr && window != 0 && !x->windowGone)
        XDestroyWindow(x->display, window);
    x.reset();
    ReapChildren();
}

bool X11Window::MakeBackBuffer(int pixelWidth, int pixelHeight)
{
    Display* d = x->display;
    if (x->image != nullptr)
    {
        x->image->data = nullptr;
        XDestroyImage(x->image);
        x->image = nullptr;
    }
    renderer.ReleaseTarget();
    pixels.assign(std::size_t(pixelWidth) * std::size_t(pixelHeight), 0u);
    x->image = XCreateImage(d, x->visual, unsigned(x->depth), ZPixmap, 0, reinterpret_cast<char*>(pixels.data()),
                            unsigned(pixelWidth), unsigned(pixelHeight), 32, pixelWidth * 4);
    if (x->image == nullptr)
        return false;
    if (x->image->bits_per_pixel != 32)
        return false;
    // Our pixels are in this machine's byte order; Xlib swaps if the server's differs.
    const std::uint32_t probe = 1;
    unsigned char first = 0;
    std::memcpy(&first, &probe, 1);
    x->image->byte_order = first == 1 ? LSBFirst : MSBFirst;
    return renderer.SetTargetBuffer(reinterpret_cast<unsigned char*>(pixels.data()), pixelWidth, pixelHeight,
                                    pixelWidth * 4);
}

int X11Window::ConnectionFd() const
{
    return ConnectionNumber(x->display);
}

int X11Window::ErrorCount() const
{
    return x->errors;
}

void X11Window::ProcessPendingEvents()
{
    Display* d = x->display;
    while (XPending(d) > 0)
    {
        XEvent event;
        XNextEvent(d, &event);
        HandleEvent(&event);
    }
}

void X11Window::TimerTick()
{
    const auto now = iplug::TimerClock::now();
    iplug::PumpTimers(now);
    if (!x->windowGone)
    {
        const bool due = graphics.Tick(now);
        if (due || redrawPending)
            DrawAndBlit(fullRedrawPending);
    }
    // Requests of this tick go out now. A large image makes Xlib read what the server sent while
    // it waits to write, and events read that way no longer make the descriptor readable.
    XFlush(x->display);
    if (XEventsQueued(x->display, QueuedAlready) > 0)
        ProcessPendingEvents();
    ReapChildren();
}

void X11Window::HandleEvent(void* rawEvent)
{
    XEvent& event = *static_cast<XEvent*>(rawEvent);
    if (event.xany.window != window)
        return;
    Display* d = x->display;
    switch (event.type)
    {
    case Expose:
        if (event.xexpose.count == 0)
            DrawAndBlit(true);
        break;
    case ButtonPress:
    {
        const XButtonEvent& b = event.xbutton;
        const float px = float(b.x);
        const float py = float(b.y);
        lastX = px;
        lastY = py;
        if (b.button == Button4 || b.button == Button5)
        {
            graphics.OnMouseWheel(px, py, ModFromState(b.state), b.button == Button4 ? 1.f : -1.f);
            break;
        }
        if (b.button != Button1 && b.button != Button3)
            break;
        const IMouseMod mod = ModFromState(b.state, b.button);
        const bool isDouble = !lastPressWasDouble && b.button == lastPressButton
                              && b.time - lastPressTime <= doubleClickMs
                              && std::abs(b.x - lastPressX) <= kDoubleClickSlop
                              && std::abs(b.y - lastPressY) <= kDoubleClickSlop;
        lastPressTime = b.time;
        lastPressButton = b.button;
        lastPressX = b.x;
        lastPressY = b.y;
        lastPressWasDouble = isDouble;
        if (isDouble)
            graphics.OnMouseDblClick(px, py, mod);
        else
            graphics.OnMouseDown(px, py, mod);
        // Typing into a value field needs the keyboard; otherwise the host keeps it.
        if (graphics.IsTextEntryOpen())
            XSetInputFocus(d, window, RevertToParent, CurrentTime);
        break;
    }
    case ButtonRelease:
    {
        const XButtonEvent& b = event.xbutton;
        if (b.button != Button1 && b.button != Button3)
            break;
        lastX = float(b.x);
        lastY = float(b.y);
        IMouseMod mod = ModFromState(b.state & ~unsigned(b.button == Button1 ? Button1Mask : Button3Mask));
        mod.L = mod.L || b.button == Button1;
        mod.R = mod.R || b.button == Button3;
        graphics.OnMouseUp(lastX, lastY, mod);
        break;
    }
    case MotionNotify:
    {
        // Only the latest of a run of moves matters.
        if (XEventsQueued(d, QueuedAlready) > 0)
        {
            XEvent next;
            XPeekEvent(d, &next);
            if (next.type == MotionNotify && next.xmotion.window == window)
                break;
        }
        const XMotionEvent& m = event.xmotion;
        const float px = float(m.x);
        const float py = float(m.y);
        if ((m.state & kButtonMasks) != 0)
            graphics.OnMouseDrag(px, py, px - lastX, py - lastY, ModFromState(m.state));
        else
            graphics.OnMouseOver(px, py, ModFromState(m.state));
        lastX = px;
        lastY = py;
        break;
    }
    case LeaveNotify:
        // Leaving into a child, or during a drag (the press holds the pointer), is no exit.
        if (event.xcrossing.mode == NotifyNormal && event.xcrossing.detail != NotifyInferior
            && (event.xcrossing.state & kButtonMasks) == 0)
            graphics.OnMouseOut();
        break;
    case KeyPress:
    case KeyRelease:
    {
        XKeyEvent& k = event.xkey;
        char text[16] = {};
        KeySym typed = NoSymbol;
        XLookupString(&k, text, int(sizeof text) - 1, &typed, nullptr);
        const KeySym base = XLookupKeysym(&k, 0);
        const bool keypad = typed >= XK_KP_Space && typed <= XK_KP_9;
        IKeyPress key;
        key.vk = VirtualKeyOf(keypad ? typed : base);
        if (key.vk == kVK_NONE)
            key.vk = VirtualKeyOf(typed);
        PutUtf8(CharacterOf(typed), key.utf8, IKeyPress::kUtf8Capacity);
        key.S = (k.state & ShiftMask) != 0;
        key.C = (k.state & ControlMask) != 0;
        key.A = (k.state & Mod1Mask) != 0;
        if (event.type == KeyPress)
            graphics.OnKeyDown(lastX, lastY, key);
        else
            graphics.OnKeyUp(lastX, lastY, key);
        break;
    }
    case DestroyNotify:
        // The host's window went first: no more requests to this window.
        x->windowGone = true;
        break;
    default:
        break;
    }
}

void X11Window::InvalidateRect(const IRECT& area)
{
    if (!area.Empty())
        redrawPending = true;
}

void X11Window::DrawAndBlit(bool full)
{
    redrawPending = false;
    fullRedrawPending = false;
    if (x->windowGone || x->image == nullptr)
        return;
    const IRECT area = graphics.Draw(renderer, full);
    if (full)
    {
        Blit(0, 0, width, height);
        return;
    }
    if (area.Empty())
        return;
    // Editor coordinates to pixels, widened to whole pixels (anti-aliased edges included).
    const float scale = graphics.GetTotalScale();
    const int left = std::max(0, int(std::floor(area.left * scale)) - 1);
    const int top = std::max(0, int(std::floor(area.top * scale)) - 1);
    const int right = std::min(width, int(std::ceil(area.right * scale)) + 1);
    const int bottom = std::min(height, int(std::ceil(area.bottom * scale)) + 1);
    if (right > left && bottom > top)
        Blit(left, top, right - left, bottom - top);
}

void X11Window::Blit(int left, int top, int w, int h)
{
    Display* d = x->display;
    XPutImage(d, window, DefaultGC(d, x->screen), x->image, left, top, left, top, unsigned(w), unsigned(h));
}

void X11Window::SetMouseCursor(ECursor newCursor)
{
    cursor = newCursor;
    if (!cursorHidden && !x->windowGone)
        XDefineCursor(x->display, window, x->cursors[int(cursor)]);
}

void X11Window::HideMouseCursor(bool hide)
{
    if (x->windowGone || hide == cursorHidden)
        return;
    cursorHidden = hide;
    Display* d = x->display;
    if (hide)
    {
        if (x->blank == 0)
        {
            static const char noBits[1] = {0};
            const Pixmap empty = XCreateBitmapFromData(d, window, noBits, 1, 1);
            XColor black {};
            x->blank = XCreatePixmapCursor(d, empty, empty, &black, &black, 0, 0);
            XFreePixmap(d, empty);
        }
        XDefineCursor(d, window, x->blank);
    }
    else
    {
        XDefineCursor(d, window, x->cursors[int(cursor)]);
    }
}

void X11Window::WindowResized(int pixelWidth, int pixelHeight)
{
    pixelWidth = std::max(1, pixelWidth);
    pixelHeight = std::max(1, pixelHeight);
    if (pixelWidth == width && pixelHeight == height)
        return;
    width = pixelWidth;
    height = pixelHeight;
    if (!x->windowGone)
        XResizeWindow(x->display, window, unsigned(width), unsigned(height));
    if (MakeBackBuffer(width, height))
    {
        redrawPending = true;
        fullRedrawPending = true;
    }
}

bool X11Window::OpenURL(const char* url)
{
    if (!IsOpenableUrl(url))
        return false;
    std::string program = "xdg-open";
    std::string argument = url;
    char* argv[] = {program.data(), argument.data(), nullptr};
    pid_t pid = 0;
    if (posix_spawnp(&pid, "xdg-open", nullptr, nullptr, argv, environ) != 0)
        return false;
    children.push_back(int(pid));
    return true;
}

void X11Window::ReapChildren()
{
    children.erase(std::remove_if(children.begin(), children.end(),
                                  [](int pid) { return waitpid(pid_t(pid), nullptr, WNOHANG) != 0; }),
                   children.end());
}

} // namespace igraphics
