// The Windows module's editor through its VST 3 view, as a host opens it: a child window in the
// host's HWND, drawn, sized, and closed and reopened at the same size. (Run under wine.)
#include "tools/vst3-host/ComponentHandler.h"
#include "tools/vst3-host/HostApplication.h"
#include "tools/vst3-host/Module.h"
#include "tools/vst3-host/PluginInstance.h"
#include "tests/support/Pixels.h"
#include "tests/support/Win32Capture.h"

#include "pluginterfaces/gui/iplugview.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using namespace ringstill::vst3host;
using namespace Steinberg;

using igraphics::IColor;
using ringstill::test::Capture;
using ringstill::test::CaptureWindow;

constexpr IColor kEditorBackground{255, 38, 45, 56};
constexpr IColor kSpectrumBackground{255, 11, 15, 20};
constexpr IColor kValueBox{255, 25, 30, 39};

bool Near(const Capture& shot, int x, int y, const IColor& want, int tolerance = 12)
{
    return x >= 0 && y >= 0 && x < shot.width && y < shot.height
           && ringstill::test::RgbNear(shot.ReadPixel(x, y), want, tolerance);
}

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
    const Capture shot = CaptureWindow(editor);
    EXPECT_EQ(shot.width, 740);
    EXPECT_EQ(shot.height, 726);
    EXPECT_TRUE(Near(shot, 6, 720, kEditorBackground)) << "background";
    EXPECT_TRUE(Near(shot, 300, 60, kSpectrumBackground)) << "spectrum panel";
    EXPECT_TRUE(Near(shot, 700, 385, kValueBox)) << "a value box";
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
    EXPECT_TRUE(Near(CaptureWindow(editor), 6, 720, kEditorBackground));
    ASSERT_EQ(view->removed(), kResultOk);
}

TEST_F(Vst3Win32View, AParentThatIsNotAWindowIsRefused)
{
    EXPECT_NE(view->attached(reinterpret_cast<void*>(std::uintptr_t(0x4a00007)), kPlatformTypeHWND), kResultOk);
    EXPECT_EQ(view->removed(), kResultOk);
}

} // namespace
