// The Windows module's editor through its VST 3 view, as a host opens it: a child window in the
// host's HWND, drawn, sized, and closed and reopened at the same size. (Run under wine.)
#include "tools/vst3-host/ComponentHandler.h"
#include "tools/vst3-host/HostApplication.h"
#include "tools/vst3-host/Module.h"
#include "tools/vst3-host/PluginInstance.h"

#include "pluginterfaces/gui/iplugview.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using namespace ringstill::vst3host;
using namespace Steinberg;

struct Rgb
{
    int r, g, b;
};

constexpr Rgb kEditorBackground{38, 45, 56};
constexpr Rgb kSpectrumBackground{11, 15, 20};
constexpr Rgb kValueBox{25, 30, 39};

void Pump(int milliseconds)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (std::chrono::steady_clock::now() < until)
    {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        ::Sleep(5);
    }
}

// The window's pixels as the screen shows them, top row first.
struct Screenshot
{
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;

    bool Near(int x, int y, Rgb want, int tolerance = 12) const
    {
        if (x < 0 || y < 0 || x >= width || y >= height)
            return false;
        const std::uint32_t p = pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)];
        return std::abs(int((p >> 16) & 0xFF) - want.r) <= tolerance
               && std::abs(int((p >> 8) & 0xFF) - want.g) <= tolerance && std::abs(int(p & 0xFF) - want.b) <= tolerance;
    }
};

Screenshot Capture(HWND hwnd)
{
    Screenshot shot;
    RECT rc;
    if (!::GetClientRect(hwnd, &rc))
        return shot;
    shot.width = rc.right;
    shot.height = rc.bottom;
    BITMAPINFO info {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = shot.width;
    info.bmiHeader.biHeight = -shot.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC windowDC = ::GetDC(hwnd);
    HDC memDC = ::CreateCompatibleDC(windowDC);
    HBITMAP dib = ::CreateDIBSection(windowDC, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = ::SelectObject(memDC, dib);
    ::BitBlt(memDC, 0, 0, shot.width, shot.height, windowDC, 0, 0, SRCCOPY);
    ::GdiFlush();
    if (bits != nullptr)
    {
        const auto* src = static_cast<const std::uint32_t*>(bits);
        shot.pixels.assign(src, src + std::size_t(shot.width) * std::size_t(shot.height));
    }
    ::SelectObject(memDC, old);
    ::DeleteObject(dib);
    ::DeleteDC(memDC);
    ::ReleaseDC(hwnd, windowDC);
    return shot;
}

class Vst3Win32View : public ::testing::Test
{
protected:
    void SetUp() override
    {
        WNDCLASSW wc {};
        wc.lpfnWndProc = ::DefWindowProcW;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"RingstillViewTestHost";
        ::RegisterClassW(&wc);
        host = ::CreateWindowExW(0, wc.lpszClassName, L"host", WS_POPUP | WS_VISIBLE, 0, 0, 1000, 1000, nullptr,
                                 nullptr, wc.hInstance, nullptr);
        ASSERT_NE(host, nullptr);
        std::string error;
        module = Module::Load(RINGSTILL_PLUGIN_BUNDLE, &error);
        ASSERT_NE(module, nullptr) << error;
        hostApp = owned(new HostApplication("view test"));
        handler = owned(new ComponentHandler);
        instance = PluginInstance::Create(module, nullptr, &error);
        ASSERT_NE(instance, nullptr) << error;
        ASSERT_EQ(instance->Initialize(hostApp, handler), kResultOk);
        view = owned(instance->Controller()->createView("editor"));
        ASSERT_NE(view, nullptr);
    }

    void TearDown() override
    {
        view = nullptr;
        instance.reset();
        module.reset();
        if (host != nullptr)
            ::DestroyWindow(host);
    }

    HWND Editor() const { return ::GetWindow(host, GW_CHILD); }

    HWND host = nullptr;
    std::shared_ptr<Module> module;
    IPtr<HostApplication> hostApp;
    IPtr<ComponentHandler> handler;
    std::unique_ptr<PluginInstance> instance;
    IPtr<IPlugView> view;
};

TEST_F(Vst3Win32View, TheEditorOpensAsAChildOfTheHostsWindowAndDraws)
{
    EXPECT_EQ(view->isPlatformTypeSupported(kPlatformTypeHWND), kResultTrue);
    ASSERT_EQ(view->attached(host, kPlatformTypeHWND), kResultOk);
    Pump(600);
    HWND editor = Editor();
    ASSERT_NE(editor, nullptr) << "no child window in the host's window";
    EXPECT_TRUE(::IsWindowVisible(editor));
    const Screenshot shot = Capture(editor);
    EXPECT_EQ(shot.width, 740);
    EXPECT_EQ(shot.height, 726);
    EXPECT_TRUE(shot.Near(6, 720, kEditorBackground)) << "background";
    EXPECT_TRUE(shot.Near(300, 60, kSpectrumBackground)) << "spectrum panel";
    EXPECT_TRUE(shot.Near(700, 385, kValueBox)) << "a value box";
    ASSERT_EQ(view->removed(), kResultOk);
    Pump(50);
    EXPECT_EQ(Editor(), nullptr) << "removed closes the window";
}

TEST_F(Vst3Win32View, ReattachingKeepsTheSize)
{
    ASSERT_EQ(view->attached(host, kPlatformTypeHWND), kResultOk);
    Pump(200);
    ASSERT_EQ(view->removed(), kResultOk);
    ASSERT_EQ(view->attached(host, kPlatformTypeHWND), kResultOk);
    Pump(300);
    HWND editor = Editor();
    ASSERT_NE(editor, nullptr);
    RECT rc;
    ASSERT_TRUE(::GetClientRect(editor, &rc));
    EXPECT_EQ(rc.right, 740);
    EXPECT_EQ(rc.bottom, 726);
    ViewRect size;
    ASSERT_EQ(view->getSize(&size), kResultOk);
    EXPECT_EQ(size.getWidth(), 740);
    EXPECT_EQ(size.getHeight(), 726);
    EXPECT_TRUE(Capture(editor).Near(6, 720, kEditorBackground));
    ASSERT_EQ(view->removed(), kResultOk);
}

TEST_F(Vst3Win32View, AParentThatIsNotAWindowIsRefused)
{
    EXPECT_NE(view->attached(reinterpret_cast<void*>(std::uintptr_t(0x4a00007)), kPlatformTypeHWND), kResultOk);
    EXPECT_EQ(view->removed(), kResultOk);
}

} // namespace
