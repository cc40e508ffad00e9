#include "graphics/Win32Window.h"

#include "framework/IGraphics.h"
#include "graphics/GdiPlusRenderer.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <windowsx.h>

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

namespace igraphics {

namespace {

constexpr UINT_PTR kFrameTimerId = 1;
// Sent to child windows when the monitor's DPI changed (Windows 10 1703); older headers lack it.
constexpr UINT kDpiChangedAfterParent = 0x02E3;
constexpr float kBaseDpi = 96.f;
// Long tooltips wrap at this width (editor pixels) instead of running off the screen.
constexpr int kTooltipMaxWidth = 320;

// The module this code is linked into (the plug-in DLL), not the host's executable.
HMODULE ThisModule()
{
    static const HMODULE module = [] {
        HMODULE m = nullptr;
        ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                             reinterpret_cast<LPCWSTR>(&ThisModule), &m);
        return m;
    }();
    return module;
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
LPCWSTR CursorResource(ECursor cursor);

// One class per module, alive while the module has windows. UI thread only.
struct WindowClass
{
    wchar_t name[48] = {};
    int windows = 0;

    WindowClass()
    {
        // "RingstillEditor" and the module's address in hex: unique per loaded module.
        const wchar_t prefix[] = L"RingstillEditor";
        std::size_t n = 0;
        for (; prefix[n] != L'\0'; ++n)
            name[n] = prefix[n];
        auto address = reinterpret_cast<std::uintptr_t>(ThisModule());
        for (int shift = int(sizeof(address) * 8) - 4; shift >= 0; shift -= 4)
            name[n++] = L"0123456789abcdef"[(address >> shift) & 0xF];
        name[n] = L'\0';
    }

    bool Acquire()
    {
        if (windows == 0)
        {
            WNDCLASSEXW wc{};
            wc.cbSize = sizeof(wc);
            wc.style = CS_DBLCLKS;
            wc.lpfnWndProc = &WindowProc;
            wc.hInstance = ThisModule();
            wc.hCursor = ::LoadCursorW(nullptr, CursorResource(ECursor::Arrow));
            wc.hbrBackground = nullptr; // the back buffer covers every pixel
            wc.lpszClassName = name;
            if (!::RegisterClassExW(&wc))
                return false;
        }
        ++windows;
        return true;
    }

    void Release()
    {
        if (windows > 0 && --windows == 0)
            ::UnregisterClassW(name, ThisModule());
    }
};

WindowClass& Class()
{
    static WindowClass windowClass;
    return windowClass;
}

// The window's DPI as a scale (1 at 96 dpi). GetDpiForWindow exists from Windows 10 1607 on;
// before that the screen's DPI applies.
float WindowDpiScale(HWND hwnd)
{
    using GetDpiForWindowFunc = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow = [] {
        HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
        FARPROC proc = user32 ? ::GetProcAddress(user32, "GetDpiForWindow") : nullptr;
        return reinterpret_cast<GetDpiForWindowFunc>(reinterpret_cast<void (*)()>(proc));
    }();
    UINT dpi = getDpiForWindow ? getDpiForWindow(hwnd) : 0;
    if (dpi == 0)
    {
        if (HDC dc = ::GetDC(hwnd))
        {
            dpi = UINT(::GetDeviceCaps(dc, LOGPIXELSX));
            ::ReleaseDC(hwnd, dc);
        }
    }
    return dpi > 0 ? float(dpi) / kBaseDpi : 1.f;
}

IMouseMod MouseMod(WPARAM keys)
{
    return IMouseMod((keys & MK_LBUTTON) != 0, (keys & MK_RBUTTON) != 0, (keys & MK_SHIFT) != 0,
                     (keys & MK_CONTROL) != 0, ::GetKeyState(VK_MENU) < 0);
}

// The system cursors' resource numbers (the IDC_ constants, which follow the header's
// character set).
LPCWSTR CursorResource(ECursor cursor)
{
    WORD id = 32512; // arrow
    switch (cursor)
    {
    case ECursor::IBeam: id = 32513; break;
    case ECursor::Hand: id = 32649; break;
    case ECursor::SizeNWSE: id = 32642; break;
    case ECursor::SizeWE: id = 32644; break;
    case ECursor::SizeNS: id = 32645; break;
    case ECursor::Cross: id = 32515; break;
    case ECursor::Arrow: break;
    }
    return MAKEINTRESOURCEW(id);
}

// A key message as the toolkit sees it. Virtual-key codes are the toolkit's codes already.
IKeyPress KeyPress(int vk, const wchar_t* chars, int nChars)
{
    char utf8[IKeyPress::kUtf8Capacity] = {};
    // Control characters (Enter, Backspace, Escape...) travel as their key codes only.
    if (nChars > 0 && chars[0] >= 0x20 && chars[0] != 0x7F)
    {
        const int n = ::WideCharToMultiByte(CP_UTF8, 0, chars, nChars, utf8, IKeyPress::kUtf8Capacity - 1, nullptr,
                                            nullptr);
        utf8[std::max(n, 0)] = '\0';
    }
    return IKeyPress(utf8, vk, ::GetKeyState(VK_SHIFT) < 0, ::GetKeyState(VK_CONTROL) < 0,
                     ::GetKeyState(VK_MENU) < 0);
}

bool StartsWithNoCase(const char* text, const char* prefix)
{
    for (; *prefix != '\0'; ++text, ++prefix)
    {
        const char a = (*text >= 'A' && *text <= 'Z') ? char(*text - 'A' + 'a') : *text;
        if (a != *prefix)
            return false;
    }
    return true;
}

} // namespace

struct Win32Window::Impl
{
    Impl(Win32Window& owner, IGraphics& graphics) : owner(owner), graphics(graphics) {}

    bool Create(HWND parent);
    void Destroy();
    bool MakeBackBuffer(int pixelWidth, int pixelHeight);
    void FreeBackBuffer();
    // Draws what is dirty into the back buffer and schedules the blit of exactly that area:
    // the back buffer always holds every finished frame, so a paint only copies.
    void DrawDirty()
    {
        const IRECT drawn = graphics.Draw(*renderer);
        if (!drawn.Empty())
            owner.InvalidateRect(drawn);
    }
    void ApplyCursor() { ::SetCursor(cursorHidden ? nullptr : ::LoadCursorW(nullptr, CursorResource(cursor))); }
    void FollowPrompt();
    void CreateTooltip();
    void UpdateTooltip();
    void DetachTooltip();
    void Press(UINT msg, WPARAM wp, LPARAM lp);
    void Release(UINT msg, WPARAM wp, LPARAM lp);
    void Move(WPARAM wp, LPARAM lp);
    bool Key(UINT msg, WPARAM wp);
    LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp);

    Win32Window& owner;
    IGraphics& graphics;
    HWND hwnd = nullptr;
    bool classAcquired = false;
    bool attached = false;

    // Back buffer: a top-down 32-bit DIB section selected into a memory DC.
    HDC memDC = nullptr;
    HBITMAP dib = nullptr;
    HGDIOBJ originalBitmap = nullptr;
    int width = 0;
    int height = 0;
    GdiPlusRenderer* renderer = nullptr;
    std::unique_ptr<GdiPlusRenderer> ownRenderer;

    ECursor cursor = ECursor::Arrow;
    bool cursorHidden = false;
    bool leaveTracked = false;
    bool pressed = false;
    float lastX = -1.f;
    float lastY = -1.f;
    bool tookFocus = false;
    HWND focusBefore = nullptr;

    // The system's tooltip, in place of the one the context would draw inside the editor.
    HWND tooltip = nullptr;
    bool tookTooltips = false;
    std::string tooltipText;
};

namespace {

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_NCCREATE)
    {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lp);
        auto* impl = static_cast<Win32Window::Impl*>(create->lpCreateParams);
        impl->hwnd = hwnd;
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(impl));
    }
    auto* impl = reinterpret_cast<Win32Window::Impl*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!impl)
        return ::DefWindowProcW(hwnd, msg, wp, lp);
    // The host's message loop calls this: nothing may leave it (memory running out mid-draw).
    try
    {
        return impl->Handle(msg, wp, lp);
    }
    catch (...)
    {
        return ::DefWindowProcW(hwnd, msg, wp, lp);
    }
}

} // namespace

bool Win32Window::Impl::Create(HWND parent)
{
    if (!parent || !::IsWindow(parent))
        return false;
    if (!Class().Acquire())
        return false;
    classAcquired = true;

    renderer = dynamic_cast<GdiPlusRenderer*>(graphics.GetRenderer());
    if (!renderer)
    {
        ownRenderer = std::make_unique<GdiPlusRenderer>();
        renderer = ownRenderer.get();
    }

    const int w = graphics.PixelWidth();
    const int h = graphics.PixelHeight();
    // Shown only once the back buffer holds a frame.
    ::CreateWindowExW(0, Class().name, L"", WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, 0, w, h, parent,
                      nullptr, ThisModule(), this);
    if (!hwnd)
        return false;
    if (!MakeBackBuffer(w, h))
        return false;

    graphics.SetPlatformWindow(&owner);
    attached = true;
    graphics.SetScreenScale(WindowDpiScale(hwnd)); // resizes through WindowResized when it differs
    graphics.Draw(*renderer, true);
    CreateTooltip();

    // Half the frame period: the context's Tick keeps the frame rate, and the system's coarse
    // timer granularity cannot push frames below it.
    const UINT period = UINT(std::max(10, 500 / std::max(graphics.FPS(), 1)));
    if (!::SetTimer(hwnd, kFrameTimerId, period, nullptr))
        return false;
    ::ShowWindow(hwnd, SW_SHOWNA);
    return true;
}

void Win32Window::Impl::Destroy()
{
    if (attached && graphics.GetPlatformWindow() == &owner)
        graphics.SetPlatformWindow(nullptr);
    DetachTooltip();
    attached = false;
    if (tooltip)
        ::DestroyWindow(tooltip);
    tooltip = nullptr;
    if (hwnd)
    {
        ::KillTimer(hwnd, kFrameTimerId);
        pressed = false;
        if (::GetCapture() == hwnd)
            ::ReleaseCapture();
        if (::GetFocus() == hwnd)
            ::SetFocus(::GetParent(hwnd));
        // No more messages reach this object, whatever DestroyWindow sends.
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        ::DestroyWindow(hwnd);
        hwnd = nullptr;
    }
    if (renderer)
        renderer->ReleaseTarget();
    FreeBackBuffer();
    if (classAcquired)
        Class().Release();
    classAcquired = false;
}

bool Win32Window::Impl::MakeBackBuffer(int pixelWidth, int pixelHeight)
{
    pixelWidth = std::max(pixelWidth, 1);
    pixelHeight = std::max(pixelHeight, 1);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = pixelWidth;
    info.bmiHeader.biHeight = -pixelHeight; // top row first, as the renderer writes it
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP made = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!made || !bits)
    {
        if (made)
            ::DeleteObject(made);
        return false;
    }
    if (!memDC)
        memDC = ::CreateCompatibleDC(nullptr);
    if (!memDC)
    {
        ::DeleteObject(made);
        return false;
    }
    // The renderer lets go of the old pixels before they are freed.
    renderer->ReleaseTarget();
    HGDIOBJ previous = ::SelectObject(memDC, made);
    if (!originalBitmap)
        originalBitmap = previous;
    if (dib)
        ::DeleteObject(dib);
    dib = made;
    width = pixelWidth;
    height = pixelHeight;
    std::memset(bits, 0, std::size_t(pixelWidth) * std::size_t(pixelHeight) * 4u);
    return renderer->SetTargetBuffer(static_cast<unsigned char*>(bits), pixelWidth, pixelHeight, 4 * pixelWidth);
}

void Win32Window::Impl::FreeBackBuffer()
{
    if (memDC && originalBitmap)
        ::SelectObject(memDC, originalBitmap);
    if (dib)
        ::DeleteObject(dib);
    if (memDC)
        ::DeleteDC(memDC);
    memDC = nullptr;
    dib = nullptr;
    originalBitmap = nullptr;
    width = height = 0;
}

// The value prompt needs the keys: the window takes the focus while one is open and hands it
// back to whoever had it when the prompt closes.
void Win32Window::Impl::FollowPrompt()
{
    if (!hwnd)
        return;
    const bool prompt = graphics.IsTextEntryOpen() || graphics.IsPopupMenuOpen();
    if (prompt && !tookFocus)
    {
        focusBefore = ::GetFocus();
        tookFocus = true;
        if (focusBefore != hwnd)
            ::SetFocus(hwnd);
    }
    else if (!prompt && tookFocus)
    {
        tookFocus = false;
        if (::GetFocus() == hwnd && focusBefore != hwnd)
            ::SetFocus(focusBefore && ::IsWindow(focusBefore) ? focusBefore : ::GetParent(hwnd));
        focusBefore = nullptr;
    }
}

// Tooltips come from the system: they may reach past the editor's edges and wrap long texts,
// which the context's own, drawn inside the editor, cannot. Without a tooltip control the
// context keeps drawing its own.
void Win32Window::Impl::CreateTooltip()
{
    if (!graphics.TooltipsEnabled())
        return;
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&controls);
    tooltip = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd, nullptr,
                                ThisModule(), nullptr);
    if (!tooltip)
        return;
    wchar_t empty[] = L"";
    TOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V2_SIZE; // understood by every version of the control
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = hwnd;
    tool.uId = reinterpret_cast<UINT_PTR>(hwnd);
    tool.lpszText = empty;
    if (!::SendMessageW(tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool)))
    {
        ::DestroyWindow(tooltip);
        tooltip = nullptr;
        return;
    }
    const float scale = graphics.GetTotalScale();
    ::SendMessageW(tooltip, TTM_SETMAXTIPWIDTH, 0, LPARAM(std::lround(float(kTooltipMaxWidth) * scale)));
    ::SendMessageW(tooltip, TTM_SETDELAYTIME, TTDT_INITIAL, LPARAM(kTooltipDelayMs));
    ::SendMessageW(tooltip, TTM_ACTIVATE, FALSE, 0);
    graphics.EnableTooltips(false); // mouse-over tracking stays on
    tookTooltips = true;
}

// After every mouse event: the tip of the control under the pointer, none during a prompt.
void Win32Window::Impl::UpdateTooltip()
{
    if (!tooltip)
        return;
    const IControl* over = graphics.GetMouseOverControl();
    const bool prompt = graphics.IsTextEntryOpen() || graphics.IsPopupMenuOpen();
    const std::string text = (over && !over->IsHidden() && !prompt) ? over->GetTooltip() : "";
    if (text == tooltipText)
        return;
    tooltipText = text;
    ::SendMessageW(tooltip, TTM_POP, 0, 0);
    std::wstring wide(text.size() + 1, L'\0');
    const int n = text.empty() ? 0
                               : ::MultiByteToWideChar(CP_UTF8, 0, text.c_str(), int(text.size()), wide.data(),
                                                       int(wide.size()) - 1);
    wide.resize(std::size_t(std::max(n, 0)));
    TOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.hwnd = hwnd;
    tool.uId = reinterpret_cast<UINT_PTR>(hwnd);
    tool.lpszText = wide.data();
    ::SendMessageW(tooltip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
    ::SendMessageW(tooltip, TTM_ACTIVATE, text.empty() ? FALSE : TRUE, 0);
}

// The context draws its own tooltips again (offscreen, or in the next window).
void Win32Window::Impl::DetachTooltip()
{
    if (tookTooltips && attached)
        graphics.EnableTooltips(true);
    tookTooltips = false;
    tooltipText.clear();
}

void Win32Window::Impl::Press(UINT msg, WPARAM wp, LPARAM lp)
{
    const float x = float(GET_X_LPARAM(lp));
    const float y = float(GET_Y_LPARAM(lp));
    pressed = true;
    ::SetCapture(hwnd);
    lastX = x;
    lastY = y;
    if (msg == WM_LBUTTONDBLCLK || msg == WM_RBUTTONDBLCLK)
        graphics.OnMouseDblClick(x, y, MouseMod(wp));
    else
        graphics.OnMouseDown(x, y, MouseMod(wp));
    FollowPrompt();
}

void Win32Window::Impl::Release(UINT msg, WPARAM wp, LPARAM lp)
{
    const float x = float(GET_X_LPARAM(lp));
    const float y = float(GET_Y_LPARAM(lp));
    IMouseMod mod = MouseMod(wp);
    // The released button, which the message's key state no longer holds.
    mod.L = msg == WM_LBUTTONUP;
    mod.R = msg == WM_RBUTTONUP;
    if ((wp & (MK_LBUTTON | MK_RBUTTON)) == 0)
    {
        pressed = false; // before ReleaseCapture, whose WM_CAPTURECHANGED must not end it again
        if (::GetCapture() == hwnd)
            ::ReleaseCapture();
    }
    lastX = x;
    lastY = y;
    graphics.OnMouseUp(x, y, mod);
    FollowPrompt();
    UpdateTooltip();
}

void Win32Window::Impl::Move(WPARAM wp, LPARAM lp)
{
    if (!leaveTracked)
    {
        TRACKMOUSEEVENT track{};
        track.cbSize = sizeof(track);
        track.dwFlags = TME_LEAVE;
        track.hwndTrack = hwnd;
        leaveTracked = ::TrackMouseEvent(&track) != FALSE;
    }
    const float x = float(GET_X_LPARAM(lp));
    const float y = float(GET_Y_LPARAM(lp));
    // Windows repeats WM_MOUSEMOVE without movement (on focus and cursor changes).
    if (x == lastX && y == lastY)
        return;
    const float dX = x - lastX;
    const float dY = y - lastY;
    lastX = x;
    lastY = y;
    if (pressed && (wp & (MK_LBUTTON | MK_RBUTTON)) != 0)
        graphics.OnMouseDrag(x, y, dX, dY, MouseMod(wp));
    else
        graphics.OnMouseOver(x, y, MouseMod(wp));
    UpdateTooltip();
}

// True when the editor took the key.
bool Win32Window::Impl::Key(UINT msg, WPARAM wp)
{
    const int vk = int(wp);
    if (msg == WM_KEYUP || msg == WM_SYSKEYUP)
        return graphics.OnKeyUp(lastX, lastY, KeyPress(vk, nullptr, 0));
    // The message loop's TranslateMessage has queued the key's characters already: they
    // belong to this key press.
    wchar_t chars[2] = {};
    int nChars = 0;
    MSG next;
    while (nChars < 2 && ::PeekMessageW(&next, hwnd, WM_CHAR, WM_CHAR, PM_REMOVE))
    {
        chars[nChars++] = wchar_t(next.wParam);
        if (!IS_HIGH_SURROGATE(chars[0]))
            break;
    }
    const bool handled = graphics.OnKeyDown(lastX, lastY, KeyPress(vk, chars, nChars));
    FollowPrompt();
    return handled;
}

LRESULT Win32Window::Impl::Handle(UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg)
    {
    case WM_ERASEBKGND:
        return 1; // the paint covers everything: erasing first would flicker
    case WM_PAINT:
    {
        PAINTSTRUCT ps;
        HDC dc = ::BeginPaint(hwnd, &ps);
        if (dc && memDC)
        {
            const RECT& r = ps.rcPaint;
            ::BitBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, memDC, r.left, r.top, SRCCOPY);
        }
        ::EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_PRINTCLIENT:
        if (memDC && wp)
        {
            ::BitBlt(reinterpret_cast<HDC>(wp), 0, 0, width, height, memDC, 0, 0, SRCCOPY);
        }
        return 0;
    case WM_TIMER:
        if (wp == kFrameTimerId)
        {
            if (graphics.Tick())
                DrawDirty();
            return 0;
        }
        break;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
        Press(msg, wp, lp);
        return 0;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
        Release(msg, wp, lp);
        return 0;
    case WM_MOUSEMOVE:
        Move(wp, lp);
        return 0;
    case WM_MOUSELEAVE:
        leaveTracked = false;
        if (!pressed)
        {
            lastX = lastY = -1.f;
            graphics.OnMouseOut();
            UpdateTooltip();
        }
        return 0;
    case WM_MOUSEWHEEL:
    {
        POINT p{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)}; // screen coordinates
        ::ScreenToClient(hwnd, &p);
        const float d = float(GET_WHEEL_DELTA_WPARAM(wp)) / float(WHEEL_DELTA);
        graphics.OnMouseWheel(float(p.x), float(p.y), MouseMod(GET_KEYSTATE_WPARAM(wp)), d);
        return 0;
    }
    case WM_CAPTURECHANGED:
        // Another window took the mouse mid-gesture: end the gesture, so its host edit ends.
        if (pressed && reinterpret_cast<HWND>(lp) != hwnd)
        {
            pressed = false;
            graphics.OnMouseUp(lastX, lastY, IMouseMod(true));
            FollowPrompt();
        }
        return 0;
    case WM_SETCURSOR:
        if (LOWORD(lp) == HTCLIENT)
        {
            ApplyCursor();
            return TRUE;
        }
        break;
    case WM_GETDLGCODE:
        return DLGC_WANTALLKEYS | DLGC_WANTCHARS | DLGC_WANTARROWS | DLGC_WANTTAB;
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
        if (Key(msg, wp))
            return 0;
        // The host gets what the editor leaves: its shortcuts keep working over the editor.
        if (HWND parent = ::GetParent(hwnd); parent && (msg == WM_KEYDOWN || msg == WM_KEYUP))
            return ::SendMessageW(parent, msg, wp, lp);
        break;
    case WM_CHAR:
        // Characters without a key press before them (input methods, pasted text): typed text
        // for an open prompt, with the key code the current keyboard layout gives it.
        if (graphics.IsTextEntryOpen())
        {
            const wchar_t ch = wchar_t(wp);
            int vk = 0;
            if (ch < 0x80)
            {
                const SHORT scan = ::VkKeyScanExA(char(ch), ::GetKeyboardLayout(0));
                vk = scan == -1 ? 0 : (scan & 0xFF);
            }
            graphics.OnKeyDown(lastX, lastY, KeyPress(vk, &ch, 1));
            FollowPrompt();
            return 0;
        }
        break;
    case WM_KILLFOCUS:
        tookFocus = false;
        focusBefore = nullptr;
        break;
    case kDpiChangedAfterParent:
        graphics.SetScreenScale(WindowDpiScale(hwnd));
        return 0;
    case WM_NCDESTROY:
        // The host destroyed its window, and ours with it, before closing the editor.
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        DetachTooltip();
        tooltip = nullptr; // an owned popup, gone with its owner
        if (attached && graphics.GetPlatformWindow() == &owner)
            graphics.SetPlatformWindow(nullptr);
        attached = false;
        hwnd = nullptr;
        return 0;
    default:
        break;
    }
    return ::DefWindowProcW(hwnd, msg, wp, lp);
}

// --- Win32Window -----------------------------------------------------------------------------

Win32Window::Win32Window(IGraphics& graphics) : mImpl(std::make_unique<Impl>(*this, graphics)) {}

std::unique_ptr<Win32Window> Win32Window::Open(IGraphics& graphics, void* parent)
{
    std::unique_ptr<Win32Window> window(new Win32Window(graphics));
    if (!window->mImpl->Create(static_cast<HWND>(parent)))
        return nullptr; // the destructor undoes whatever was made
    return window;
}

Win32Window::~Win32Window()
{
    mImpl->Destroy();
}

void* Win32Window::Handle() const
{
    return mImpl->hwnd;
}

void* Win32Window::TooltipHandle() const
{
    return mImpl->tooltip;
}

const wchar_t* Win32Window::ClassName()
{
    return Class().name;
}

void Win32Window::InvalidateRect(const IRECT& area)
{
    // A null window would invalidate every window on the desktop.
    if (!mImpl->hwnd || area.Empty())
        return;
    const float s = mImpl->graphics.GetTotalScale();
    const RECT r{LONG(std::floor(area.left * s)), LONG(std::floor(area.top * s)), LONG(std::ceil(area.right * s)),
                 LONG(std::ceil(area.bottom * s))};
    ::InvalidateRect(mImpl->hwnd, &r, FALSE);
}

void Win32Window::SetMouseCursor(ECursor cursor)
{
    mImpl->cursor = cursor;
    if (mImpl->hwnd && !mImpl->cursorHidden)
    {
        POINT p;
        if (::GetCursorPos(&p) && ::WindowFromPoint(p) == mImpl->hwnd)
            mImpl->ApplyCursor();
    }
}

void Win32Window::HideMouseCursor(bool hide)
{
    if (hide == mImpl->cursorHidden)
        return;
    mImpl->cursorHidden = hide;
    if (mImpl->hwnd)
        mImpl->ApplyCursor();
}

void Win32Window::WindowResized(int pixelWidth, int pixelHeight)
{
    Impl& m = *mImpl;
    if (!m.hwnd)
        return;
    ::SetWindowPos(m.hwnd, nullptr, 0, 0, pixelWidth, pixelHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    if (pixelWidth != m.width || pixelHeight != m.height)
        m.MakeBackBuffer(pixelWidth, pixelHeight);
    m.graphics.Draw(*m.renderer, true);
    ::InvalidateRect(m.hwnd, nullptr, FALSE);
}

bool Win32Window::OpenURL(const char* url)
{
    if (!url || !(StartsWithNoCase(url, "https://") || StartsWithNoCase(url, "http://")
                  || StartsWithNoCase(url, "mailto:")))
        return false;
    const int n = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, url, -1, nullptr, 0);
    if (n <= 1)
        return false;
    std::wstring wide(std::size_t(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, url, -1, wide.data(), n);
    const HINSTANCE result = ::ShellExecuteW(mImpl->hwnd, L"open", wide.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(result) > 32; // the documented success threshold
}

} // namespace igraphics
