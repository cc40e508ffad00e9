// The editor in a real Win32 child window (under wine in CI): a top-level window stands in
// for the host's frame, the real effect's editor opens in it with the GDI+ backend, and the
// test reads back what reached the screen. Mouse and key messages are posted to the window
// and travel the real message loop. The captures land in the build tree for a look by eye.
#ifdef _WIN32

#include "editor/EditorTags.h"
#include "editor/RingstillEditor.h"
#include "editor/SpectrumControl.h"
#include "effect/Ringstill.h"
#include "framework/IGraphics.h"
#include "framework/ITextControl.h"
#include "graphics/GdiPlusBackend.h"
#include "graphics/GdiPlusRenderer.h"
#include "graphics/Win32Window.h"
#include "tests/support/Pixels.h"
#include "tests/support/Win32Capture.h" // (and <windows.h>)

#include <commctrl.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "graphics/PlatformBackend.h"

namespace ringstill {
namespace {

using igraphics::IColor;
using igraphics::Win32Window;
using Clock = std::chrono::steady_clock;
using test::Capture;
using test::CaptureWindow;

constexpr int kBlock = 512;
constexpr IColor kEditorBackground{255, 38, 45, 56};
constexpr IColor kValueBox{255, 25, 30, 39};
constexpr IColor kSpectrumBackground{255, 11, 15, 20};
constexpr IColor kManualBlue{255, 0, 150, 235};

// The last key the host's frame was sent.
WPARAM gHostKey = 0;

LRESULT CALLBACK HostFrameProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_KEYDOWN)
        gHostKey = wp;
    return ::DefWindowProcW(hwnd, msg, wp, lp);
}

// The host's editor frame: a plain visible top-level window.
class HostFrame
{
public:
    HostFrame()
    {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = &HostFrameProc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"RingstillTestHostFrame";
        ::RegisterClassExW(&wc); // a second frame finds it registered
        hwnd = ::CreateWindowExW(0, wc.lpszClassName, L"Ringstill test host", WS_POPUP | WS_VISIBLE, 0, 0, 1000, 1000,
                                 nullptr, nullptr, wc.hInstance, nullptr);
    }
    ~HostFrame()
    {
        if (hwnd && ::IsWindow(hwnd))
            ::DestroyWindow(hwnd);
    }
    HostFrame(const HostFrame&) = delete;
    HostFrame& operator=(const HostFrame&) = delete;

    HWND hwnd = nullptr;
};

bool IsClassRegistered()
{
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    return ::GetClassInfoExW(::GetModuleHandleW(nullptr), Win32Window::ClassName(), &wc) != FALSE;
}

LPARAM At(float x, float y)
{
    return MAKELPARAM(int(std::lround(x)), int(std::lround(y)));
}

class Win32WindowTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_NE(host.hwnd, nullptr);
        fx.SetSampleRate(48000.0);
        fx.SetBlockCapacity(kBlock);
        fx.CreateLatencyDelay();
        in.assign(std::size_t(kBlock), 0.0);
        out.assign(std::size_t(kBlock), 0.0);
        fx.ConnectChannel(iplug::kInput, 0, in.data());
        fx.ConnectChannel(iplug::kOutput, 0, out.data());
        fx.DisconnectChannel(iplug::kInput, 1);
        fx.DisconnectChannel(iplug::kOutput, 1);
        fx.ResetDsp();
        InstallEditor(fx, fx.Feed(), igraphics::PlatformGraphicsBackend());
        Open();
    }

    void TearDown() override
    {
        window.reset();
        fx.CloseEditor();
    }

    void Open()
    {
        ui = fx.OpenEditor();
        ASSERT_NE(ui, nullptr);
        window = Win32Window::Open(*ui, host.hwnd);
        ASSERT_NE(window, nullptr);
        Pump(500);
    }

    HWND Hwnd() const { return static_cast<HWND>(window->Handle()); }

    // The host's side for a while: its message loop and its audio blocks.
    void Pump(int ms)
    {
        const auto end = Clock::now() + std::chrono::milliseconds(ms);
        auto nextBlock = Clock::now();
        while (Clock::now() < end)
        {
            MSG msg;
            while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            {
                ::TranslateMessage(&msg);
                ::DispatchMessageW(&msg);
            }
            if (Clock::now() >= nextBlock)
            {
                fx.ProcessAudioBlock(fx.InputPointers(), fx.OutputPointers(), kBlock);
                nextBlock += std::chrono::microseconds(kBlock * 1000000 / 48000);
            }
            ::Sleep(1);
        }
    }

    // Pumps until done() holds, for at most ms; whether it came true.
    template <typename Done>
    bool PumpUntil(Done done, int ms = 3000)
    {
        for (int waited = 0; waited < ms; waited += 20)
        {
            if (done())
                return true;
            Pump(20);
        }
        return done();
    }
    bool HandleShownAt(float x, float y)
    {
        return CountNear(CaptureWindow(Hwnd()), x, y, 3, kManualBlue) > 4;
    }

    void Post(UINT msg, WPARAM wp, LPARAM lp) { ASSERT_TRUE(::PostMessageW(Hwnd(), msg, wp, lp)); }
    void PostKey(int vk)
    {
        const LPARAM scan = LPARAM(::MapVirtualKeyW(UINT(vk), MAPVK_VK_TO_VSC)) << 16;
        Post(WM_KEYDOWN, WPARAM(vk), 1 | scan);
        Post(WM_KEYUP, WPARAM(vk), 1 | scan | (LPARAM(3) << 30));
    }

    SpectrumControl& Spectrum() { return *dynamic_cast<SpectrumControl*>(ui->GetControlWithTag(kSpectrumTag)); }

    testing::AssertionResult Near(const Capture& c, int x, int y, const IColor& want, int tol = 8)
    {
        return test::OpaquePixelIs(c, x, y, want, tol);
    }
    // Pixels of a colour within radius of (x, y).
    int CountNear(const Capture& c, float x, float y, int radius, const IColor& want, int tol = 30)
    {
        int n = 0;
        for (int dy = -radius; dy <= radius; ++dy)
            for (int dx = -radius; dx <= radius; ++dx)
                n += Near(c, int(std::lround(x)) + dx, int(std::lround(y)) + dy, want, tol) ? 1 : 0;
        return n;
    }
    void WritePng(Capture c, const char* name)
    {
        igraphics::GdiPlusRenderer png;
        ASSERT_TRUE(png.SetTargetBuffer(reinterpret_cast<unsigned char*>(c.pixels.data()), c.width, c.height,
                                        4 * c.width));
        EXPECT_TRUE(png.WritePng(test::OutputPath(name).c_str()));
    }

    HostFrame host;
    Ringstill fx;
    std::vector<double> in, out;
    igraphics::IGraphics* ui = nullptr;
    std::unique_ptr<Win32Window> window;
};

TEST_F(Win32WindowTest, TheEditorReachesTheScreenAsAChildOfTheHostsWindow)
{
    EXPECT_EQ(::GetParent(Hwnd()), host.hwnd);
    EXPECT_TRUE(::IsWindowVisible(Hwnd()));
    EXPECT_EQ(ui->GetPlatformWindow(), window.get());
    // The module's backend: GDI+ with the embedded font.
    const auto* renderer = dynamic_cast<igraphics::GdiPlusRenderer*>(ui->GetRenderer());
    ASSERT_NE(renderer, nullptr);
    EXPECT_TRUE(renderer->HasFont("Roboto-Regular"));
    EXPECT_EQ(renderer->TargetWidth(), 740) << "it draws into the window's back buffer";
    const Capture shot = CaptureWindow(Hwnd());
    WritePng(shot, "win32-editor.png");
    EXPECT_EQ(shot.width, 740);
    EXPECT_EQ(shot.height, 726);
    EXPECT_TRUE(Near(shot, 5, 5, kEditorBackground));
    EXPECT_TRUE(Near(shot, 5, 720, kEditorBackground));
    EXPECT_TRUE(Near(shot, 700, 385, kValueBox)); // Sensitivity's value box, beside its "50"
    // Inside the spectrum panel, between grid lines.
    SpectrumControl& s = Spectrum();
    const float x = 0.5f * (s.XOfFrequency(200.f) + s.XOfFrequency(300.f));
    const float y = 0.5f * (s.YOfDb(-20.f) + s.YOfDb(-30.f));
    EXPECT_TRUE(Near(shot, int(x), int(y), kSpectrumBackground, 4));
    EXPECT_TRUE(Near(shot, 50, 190, IColor(255, 90, 90, 90), 40)); // bank cell 2: free (grey)
}

TEST_F(Win32WindowTest, ADoubleClickOnTheGraphAddsANotchThatAppearsInALaterFrame)
{
    SpectrumControl& s = Spectrum();
    const float x = s.XOfFrequency(3000.f);
    const float handleY = s.YOfDb(-18.f);
    const Capture before = CaptureWindow(Hwnd());
    EXPECT_EQ(CountNear(before, x, handleY, 3, kManualBlue), 0);
    EXPECT_FALSE(Near(before, 14, 190, kManualBlue, 30));

    Post(WM_LBUTTONDBLCLK, MK_LBUTTON, At(x, 40.f)); // empty graph: no handle within reach
    Post(WM_LBUTTONUP, 0, At(x, 40.f));
    EXPECT_TRUE(PumpUntil([&] { return HandleShownAt(x, handleY); })) << "no manual handle drawn at 3 kHz, -18 dB";
    Pump(100);

    const NotchView v = fx.Feed().notchViews[0];
    EXPECT_EQ(v.active, 1);
    EXPECT_EQ(v.manual, 1);
    EXPECT_NEAR(v.frequency, 3000.f, 10.f);
    EXPECT_EQ(v.targetDepth, -18.f);
    const Capture after = CaptureWindow(Hwnd());
    WritePng(after, "win32-double-click.png");
    EXPECT_TRUE(Near(after, 14, 190, kManualBlue, 30)); // bank cell 1 turned manual
    // The plug-in's idle timer ticks through the same message loop as the window's frames.
    EXPECT_EQ(std::string(dynamic_cast<igraphics::ITextControl*>(ui->GetControlWithTag(kActiveCountTag))->GetText()),
              "Active filters: 1");
    EXPECT_EQ(::GetCapture(), nullptr) << "the release ended the capture";
}

TEST_F(Win32WindowTest, DraggingAHandleMovesItsNotchThroughTheMouseCapture)
{
    SpectrumControl& s = Spectrum();
    const float x = s.XOfFrequency(1000.f);
    Post(WM_LBUTTONDBLCLK, MK_LBUTTON, At(x, 40.f));
    Post(WM_LBUTTONUP, 0, At(x, 40.f));
    const float y = s.YOfDb(-18.f);
    ASSERT_TRUE(PumpUntil([&] { return HandleShownAt(x, y); })); // the press needs the drawn handle

    Post(WM_LBUTTONDOWN, MK_LBUTTON, At(x, y));
    Pump(50);
    EXPECT_EQ(::GetCapture(), Hwnd()) << "a press captures the mouse";
    for (int i = 1; i <= 10; ++i)
        Post(WM_MOUSEMOVE, MK_LBUTTON, At(x + 8.f * float(i), y));
    Post(WM_LBUTTONUP, 0, At(x + 80.f, y));
    Pump(300);
    EXPECT_EQ(::GetCapture(), nullptr);
    EXPECT_NEAR(fx.Feed().notchViews[0].frequency, s.FrequencyOfX(x + 80.f), 30.f);
    EXPECT_GT(fx.Feed().notchViews[0].frequency, 1500.f);

    // The wheel over the graph widens or narrows the selected notch; its position comes in
    // screen coordinates.
    const float q = fx.Feed().notchViews[0].q;
    POINT p{LONG(x), LONG(y)};
    ::ClientToScreen(Hwnd(), &p);
    Post(WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), MAKELPARAM(p.x, p.y));
    Pump(300);
    EXPECT_NEAR(fx.Feed().notchViews[0].q, q * 1.12f, 0.01f);
}

TEST_F(Win32WindowTest, TypingIntoAValueBoxSetsItsParameterAndHandsTheFocusBack)
{
    ::SetFocus(host.hwnd);
    Post(WM_LBUTTONDOWN, MK_LBUTTON, At(696.f, 386.f)); // Sensitivity's value box
    Post(WM_LBUTTONUP, 0, At(696.f, 386.f));
    Pump(200);
    ASSERT_TRUE(ui->IsTextEntryOpen());
    EXPECT_EQ(::GetFocus(), Hwnd()) << "the prompt takes the keyboard";
    PostKey('7');
    PostKey('5');
    Pump(200);
    EXPECT_EQ(ui->GetTextEntry().Text(), "75");
    WritePng(CaptureWindow(Hwnd()), "win32-value-entry.png");
    PostKey(VK_RETURN);
    Pump(200);
    EXPECT_FALSE(ui->IsTextEntryOpen());
    EXPECT_NEAR(fx.GetParam(kSensitivity)->CurrentValue(), 75.0, 1e-9);
    EXPECT_EQ(::GetFocus(), host.hwnd);
}

std::string TooltipText(HWND tooltip, HWND tool)
{
    wchar_t buffer[512] = {};
    TOOLINFOW info{};
    info.cbSize = TTTOOLINFOW_V2_SIZE;
    info.hwnd = tool;
    info.uId = reinterpret_cast<UINT_PTR>(tool);
    info.lpszText = buffer;
    ::SendMessageW(tooltip, TTM_GETTEXTW, WPARAM(512), reinterpret_cast<LPARAM>(&info));
    char utf8[1024] = {};
    ::WideCharToMultiByte(CP_UTF8, 0, buffer, -1, utf8, int(sizeof utf8), nullptr, nullptr);
    return utf8;
}

TEST_F(Win32WindowTest, TooltipsAreTheSystemsAndFollowTheControlUnderThePointer)
{
    const HWND tooltip = static_cast<HWND>(window->TooltipHandle());
    ASSERT_NE(tooltip, nullptr);
    EXPECT_FALSE(ui->TooltipsEnabled()) << "the context would draw a second one";
    EXPECT_TRUE(ui->MouseOverEnabled());

    Post(WM_MOUSEMOVE, 0, At(60.f, 330.f)); // the Clear button
    Pump(50);
    EXPECT_EQ(TooltipText(tooltip, Hwnd()), "Clear the selected notch.");
    Post(WM_MOUSEMOVE, 0, At(300.f, 100.f));
    Pump(50);
    const std::string spectrumTip = ui->GetControlWithTag(kSpectrumTag)->GetTooltip();
    EXPECT_EQ(TooltipText(tooltip, Hwnd()), spectrumTip);

    // The real pointer resting over the graph: the tip shows after its delay, wrapped narrower
    // than the editor although its text is longer than the editor is wide.
    POINT p{300, 100};
    ::ClientToScreen(Hwnd(), &p);
    ASSERT_TRUE(::SetCursorPos(p.x, p.y));
    Pump(1500);
    ASSERT_TRUE(::IsWindowVisible(tooltip));
    RECT rc;
    ASSERT_TRUE(::GetWindowRect(tooltip, &rc));
    EXPECT_LT(rc.right - rc.left, 400);
    EXPECT_GT(rc.bottom - rc.top, 30) << "a long tip wraps onto several lines";
    WritePng(CaptureWindow(tooltip), "win32-tooltip.png");

    Post(WM_MOUSELEAVE, 0, 0);
    Pump(50);
    EXPECT_EQ(ui->GetMouseOverControl(), nullptr);
    EXPECT_EQ(TooltipText(tooltip, Hwnd()), "");

    window.reset();
    EXPECT_TRUE(ui->TooltipsEnabled()) << "offscreen and in the next window the context draws them again";
}

TEST_F(Win32WindowTest, ClosingAndReopeningKeepsTheSizeAndScale)
{
    ui->Resize(ui->Width(), ui->Height(), 1.25f);
    Pump(100);
    RECT rc;
    ASSERT_TRUE(::GetClientRect(Hwnd(), &rc));
    EXPECT_EQ(rc.right, 925);
    EXPECT_EQ(rc.bottom, 908);
    // What the view remembers on removal and restores on the next attach.
    const int w = ui->Width(), h = ui->Height();
    const float scale = ui->GetDrawScale();
    window.reset();
    fx.CloseEditor();
    ui = fx.OpenEditor();
    ASSERT_NE(ui, nullptr);
    ui->Resize(w, h, scale);
    window = Win32Window::Open(*ui, host.hwnd);
    ASSERT_NE(window, nullptr);
    Pump(300);
    const Capture shot = CaptureWindow(Hwnd());
    WritePng(shot, "win32-reopened-125.png");
    EXPECT_EQ(shot.width, 925);
    EXPECT_EQ(shot.height, 908);
    EXPECT_TRUE(Near(shot, int(700 * 1.25f), int(385 * 1.25f), kValueBox));
    EXPECT_TRUE(Near(shot, 6, 900, kEditorBackground));
}

TEST_F(Win32WindowTest, KeysTheEditorLeavesGoOnToTheHost)
{
    gHostKey = 0;
    ::SetFocus(Hwnd());
    PostKey(VK_F5);
    Pump(100);
    EXPECT_EQ(gHostKey, WPARAM(VK_F5));
}

TEST_F(Win32WindowTest, EscapeDropsTheTypedValue)
{
    Post(WM_LBUTTONDOWN, MK_LBUTTON, At(696.f, 416.f)); // Auto Cut's value box
    Post(WM_LBUTTONUP, 0, At(696.f, 416.f));
    Pump(200);
    ASSERT_TRUE(ui->IsTextEntryOpen());
    PostKey('3');
    PostKey(VK_ESCAPE);
    Pump(200);
    EXPECT_FALSE(ui->IsTextEntryOpen());
    EXPECT_NEAR(fx.GetParam(kAutoCut)->CurrentValue(), -18.0, 1e-9);
}

TEST_F(Win32WindowTest, TheHostsContentScaleResizesTheWindowAndItsBackBuffer)
{
    ui->SetScreenScale(2.f);
    Pump(200);
    const Capture shot = CaptureWindow(Hwnd());
    WritePng(shot, "win32-screen-scale-2.png");
    EXPECT_EQ(shot.width, 1480);
    EXPECT_EQ(shot.height, 1452);
    // The host's frame shows the top left 1000 x 1000 of it.
    SpectrumControl& s = Spectrum();
    const float gx = 0.5f * (s.XOfFrequency(200.f) + s.XOfFrequency(300.f));
    const float gy = 0.5f * (s.YOfDb(-20.f) + s.YOfDb(-30.f));
    EXPECT_TRUE(Near(shot, int(2.f * gx), int(2.f * gy), kSpectrumBackground, 4));
    EXPECT_TRUE(Near(shot, 10, 10, kEditorBackground));
    EXPECT_TRUE(Near(shot, 10, 2 * 200, kEditorBackground)); // left of the bank strip
    EXPECT_TRUE(Near(shot, 2 * 14, 2 * 190, IColor(255, 90, 90, 90), 40)); // bank cell 1: free
    // Mouse positions arrive in window pixels: the double-click lands where the graph is drawn.
    const float x = s.XOfFrequency(3000.f);
    Post(WM_LBUTTONDBLCLK, MK_LBUTTON, At(2.f * x, 80.f));
    Post(WM_LBUTTONUP, 0, At(2.f * x, 80.f));
    ASSERT_TRUE(PumpUntil([&] { return fx.Feed().notchViews[0].active == 1; }));
    EXPECT_NEAR(fx.Feed().notchViews[0].frequency, 3000.f, 10.f);
}

TEST_F(Win32WindowTest, ThePointerShowsTheCursorTheControlUnderItAsksFor)
{
    auto cursorShown = [&] {
        ::SendMessageW(Hwnd(), WM_SETCURSOR, WPARAM(Hwnd()), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        return ::GetCursor();
    };
    Post(WM_MOUSEMOVE, 0, At(732.f, 718.f)); // the corner resizer
    Pump(50);
    EXPECT_EQ(cursorShown(), ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32642))); // IDC_SIZENWSE
    Post(WM_MOUSEMOVE, 0, At(300.f, 100.f));
    Pump(50);
    EXPECT_EQ(cursorShown(), ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512))); // IDC_ARROW
}

TEST_F(Win32WindowTest, DraggingTheCornerResizerScalesTheWindow)
{
    Post(WM_LBUTTONDOWN, MK_LBUTTON, At(732.f, 718.f));
    for (int i = 1; i <= 10; ++i)
        Post(WM_MOUSEMOVE, MK_LBUTTON, At(732.f + 7.4f * float(i), 718.f + 7.26f * float(i)));
    Post(WM_LBUTTONUP, 0, At(806.f, 790.6f));
    Pump(300);
    RECT rc;
    ASSERT_TRUE(::GetClientRect(Hwnd(), &rc));
    EXPECT_GT(ui->GetDrawScale(), 1.05f);
    EXPECT_EQ(rc.right, ui->PixelWidth());
    EXPECT_EQ(rc.bottom, ui->PixelHeight());
    EXPECT_GT(rc.right, 760);
    const Capture shot = CaptureWindow(Hwnd());
    EXPECT_TRUE(Near(shot, 6, rc.bottom - 6, kEditorBackground)) << "the new back buffer is drawn to its edge";
}

TEST_F(Win32WindowTest, LosingTheMouseMidDragEndsTheGesture)
{
    Post(WM_LBUTTONDOWN, MK_LBUTTON, At(300.f, 386.f)); // the Sensitivity slider
    Pump(50);
    ASSERT_NE(ui->GetCapturedControl(), nullptr);
    ::SetCapture(host.hwnd); // say, the host opened a menu
    EXPECT_EQ(ui->GetCapturedControl(), nullptr);
    ::ReleaseCapture();
}

TEST_F(Win32WindowTest, TheWindowClassLivesAsLongAsTheModulesLastWindow)
{
    EXPECT_TRUE(IsClassRegistered());
    HostFrame secondHost;
    Ringstill second;
    InstallEditor(second, second.Feed(), igraphics::PlatformGraphicsBackend());
    igraphics::IGraphics* secondUi = second.OpenEditor();
    ASSERT_NE(secondUi, nullptr);
    auto secondWindow = Win32Window::Open(*secondUi, secondHost.hwnd);
    ASSERT_NE(secondWindow, nullptr);
    window.reset();
    EXPECT_TRUE(IsClassRegistered()) << "the other editor still uses it";
    secondWindow.reset();
    EXPECT_FALSE(IsClassRegistered());
    EXPECT_EQ(secondUi->GetPlatformWindow(), nullptr);
    second.CloseEditor();
}

TEST_F(Win32WindowTest, AHostThatDestroysItsWindowFirstLeavesTheEditorDetached)
{
    ::DestroyWindow(host.hwnd);
    EXPECT_EQ(window->Handle(), nullptr);
    EXPECT_EQ(ui->GetPlatformWindow(), nullptr);
    ui->SetAllControlsDirty();
    ui->Tick(ui->Now() + std::chrono::seconds(1)); // must not touch the dead window
    window.reset();
    EXPECT_FALSE(IsClassRegistered());
}

TEST_F(Win32WindowTest, OnlyWebAndMailAddressesGoToTheShell)
{
    EXPECT_FALSE(window->OpenURL(nullptr));
    EXPECT_FALSE(window->OpenURL(""));
    EXPECT_FALSE(window->OpenURL("notepad.exe"));
    EXPECT_FALSE(window->OpenURL("file:///C:/windows/system32/cmd.exe"));
    EXPECT_FALSE(window->OpenURL("C:\\windows\\system32\\cmd.exe"));
    EXPECT_FALSE(ui->OpenURL("javascript:alert(1)")) << "the context asks the window";
}

TEST(Win32WindowOpen, FailsWithoutAParentWindow)
{
    Ringstill fx;
    InstallEditor(fx, fx.Feed(), igraphics::PlatformGraphicsBackend());
    igraphics::IGraphics* ui = fx.OpenEditor();
    ASSERT_NE(ui, nullptr);
    EXPECT_EQ(Win32Window::Open(*ui, nullptr), nullptr);
    EXPECT_EQ(ui->GetPlatformWindow(), nullptr);
    EXPECT_FALSE(IsClassRegistered());
}

} // namespace
} // namespace ringstill

#endif // _WIN32
