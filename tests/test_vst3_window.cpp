// The Ringstill bundle's editor in a real X11 window: the view embedded into a host window of
// the harness, driven by the harness's run loop, looked at through screenshots of the server,
// and used through X events sent to it, on an Xvfb of the test's own (on DISPLAY when Xvfb is
// not installed).
// (The suite's name groups it with the module's other tests: they share the module's unload.)
#if defined(__linux__)

#include "tests/support/Vst3TestHost.h"
#include "tools/vst3-host/ComponentHandler.h"
#include "tools/vst3-host/HostApplication.h"
#include "tools/vst3-host/HostFrame.h"
#include "tools/vst3-host/Module.h"
#include "tools/vst3-host/PluginInstance.h"
#include "tools/vst3-host/ProcessBuffers.h"
#include "tools/vst3-host/X11ParentWindow.h"

#include "pluginterfaces/gui/iplugview.h"
#include "pluginterfaces/gui/iplugviewcontentscalesupport.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

using namespace Steinberg;
using namespace Steinberg::Vst;
using namespace ringstill::vst3host;
using namespace std::chrono_literals;

namespace {

constexpr int kEditorWidth = 740;
constexpr int kEditorHeight = 726;
constexpr int kBlock = 512;
constexpr unsigned kButton1Mask = 1u << 8; // X's Button1Mask
constexpr unsigned kControlMask = 1u << 2; // X's ControlMask
// Key symbols of X (X11/keysymdef.h).
constexpr unsigned long XK_a = 0x61;
constexpr unsigned long XK_5 = 0x35;
constexpr unsigned long XK_7 = 0x37;
constexpr unsigned long XK_Return = 0xFF0D;

// An X server for the whole run: an Xvfb of our own, else the one DISPLAY names.
class XServer : public testing::Environment
{
public:
    static bool Available() { return available; }

    void SetUp() override
    {
        if (StartXvfb())
            return;
        const char* display = std::getenv("DISPLAY");
        available = display != nullptr && display[0] != '\0';
    }

    void TearDown() override
    {
        if (server > 0)
        {
            kill(server, SIGTERM);
            waitpid(server, nullptr, 0);
            server = 0;
        }
    }

private:
    // A server of known depth and size (the shots need 24-bit colour and room for a scaled
    // editor), and no windows on the developer's screen.
    bool StartXvfb()
    {
        int fds[2];
        if (pipe(fds) != 0)
            return false;
        std::string fdText = std::to_string(fds[1]);
        std::string program = "Xvfb";
        std::string displayfd = "-displayfd";
        std::string screen = "-screen";
        std::string zero = "0";
        std::string geometry = "2048x1536x24";
        std::string nolisten = "-nolisten";
        std::string tcp = "tcp";
        char* argv[] = {program.data(), displayfd.data(), fdText.data(), screen.data(), zero.data(),
                        geometry.data(), nolisten.data(), tcp.data(), nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", 0x1 /* O_WRONLY */, 0);
        const int spawned = posix_spawnp(&server, "Xvfb", &actions, nullptr, argv, environ);
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        if (spawned != 0)
        {
            close(fds[0]);
            server = 0;
            return false;
        }
        // The server writes its display number once it accepts connections.
        std::string number;
        pollfd waitFor {fds[0], POLLIN, 0};
        while (poll(&waitFor, 1, 10000) > 0)
        {
            char c = 0;
            if (read(fds[0], &c, 1) != 1 || c == '\n')
                break;
            number += c;
        }
        close(fds[0]);
        if (number.empty())
        {
            TearDown();
            return false;
        }
        setenv("DISPLAY", (":" + number).c_str(), 1);
        available = true;
        return true;
    }

    static inline bool available = false;
    pid_t server = 0;
};

const testing::Environment* const kXServer = testing::AddGlobalTestEnvironment(new XServer());

struct Rgb
{
    int r, g, b;
};

Rgb ColourAt(const X11ParentWindow::Image& image, int x, int y)
{
    const std::uint32_t p = image.At(x, y);
    return {int((p >> 16) & 0xFF), int((p >> 8) & 0xFF), int(p & 0xFF)};
}

testing::AssertionResult PixelNear(const X11ParentWindow::Image& image, int x, int y, Rgb want, int tol = 6)
{
    if (x < 0 || y < 0 || x >= image.width || y >= image.height)
        return testing::AssertionFailure() << "pixel (" << x << ", " << y << ") is outside the "
                                           << image.width << " x " << image.height << " screenshot";
    const Rgb got = ColourAt(image, x, y);
    if (std::abs(got.r - want.r) <= tol && std::abs(got.g - want.g) <= tol && std::abs(got.b - want.b) <= tol)
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << "pixel (" << x << ", " << y << ") is (" << got.r << ", " << got.g << ", "
                                       << got.b << "), want (" << want.r << ", " << want.g << ", " << want.b << ")";
}

// Pixels that differ by more than a little between two shots of the same size, inside a rectangle.
int ChangedPixels(const X11ParentWindow::Image& a, const X11ParentWindow::Image& b, int left, int top, int right,
                  int bottom)
{
    int changed = 0;
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x)
        {
            const Rgb p = ColourAt(a, x, y);
            const Rgb q = ColourAt(b, x, y);
            if (std::abs(p.r - q.r) + std::abs(p.g - q.g) + std::abs(p.b - q.b) > 30)
                ++changed;
        }
    return changed;
}

// A frame that is no run loop, as a host without Linux editor support would hand.
class PlainFrame final : public ringstill::test::TestFrame
{
public:
    tresult PLUGIN_API resizeView(IPlugView*, ViewRect*) override { return kResultFalse; }
};

class Vst3PluginWindow : public testing::Test
{
protected:
    void SetUp() override
    {
        if (!XServer::Available())
            GTEST_SKIP() << "no X server could be started";
        std::string error;
        module = Module::Load(RINGSTILL_PLUGIN_BUNDLE, &error);
        ASSERT_NE(module, nullptr) << error;
        instance = PluginInstance::Create(module, nullptr, &error);
        ASSERT_NE(instance, nullptr) << error;
        ASSERT_EQ(instance->Initialize(host, handler), kResultOk);
        ASSERT_EQ(instance->StartProcessing(kSample32, 48000.0, kBlock), kResultOk);
        buffers = std::make_unique<ProcessBuffers>(kSample32, std::vector<int> {2}, std::vector<int> {2}, kBlock);

        parent = X11ParentWindow::Open(kEditorWidth, kEditorHeight, &error);
        ASSERT_NE(parent, nullptr) << error;
        frame->SetResizeFunc([this](int w, int h) { return parent->Resize(w, h); });
        view = owned(instance->Controller()->createView(ViewType::kEditor));
        ASSERT_NE(view, nullptr);
        ASSERT_EQ(view->setFrame(frame), kResultOk);
    }

    void TearDown() override
    {
        if (view != nullptr)
        {
            if (attached)
                view->removed();
            view->setFrame(nullptr);
            view = nullptr;
        }
        if (instance != nullptr)
            instance->StopProcessing();
        instance.reset();
        parent.reset();
    }

    tresult Attach()
    {
        const tresult result = view->attached(parent->Handle(), kPlatformTypeX11EmbedWindowID);
        attached = result == kResultOk;
        return result;
    }
    void Remove()
    {
        ASSERT_EQ(view->removed(), kResultOk);
        attached = false;
    }
    // The editor's window inside the host's, or 0.
    unsigned long EditorWindow() const
    {
        const auto children = parent->Children();
        return children.size() == 1 ? children[0] : 0;
    }
    X11ParentWindow::Image Shot() const { return parent->Capture(EditorWindow()); }
    void Save(const X11ParentWindow::Image& image, const char* name) const
    {
        EXPECT_TRUE(WritePng(image, std::string(RINGSTILL_TEST_OUTPUT_DIR) + "/" + name));
    }
    // Silent blocks through the audio side: the editor's commands reach the notch bank there.
    void Process(int blocks)
    {
        for (int i = 0; i < blocks; ++i)
            ASSERT_EQ(instance->Process(*buffers, kBlock), kResultOk);
    }
    void DoubleClick(unsigned long window, int x, int y, unsigned long time, unsigned long gapMs = 80)
    {
        ASSERT_TRUE(parent->SendButton(window, 1, true, x, y, time));
        ASSERT_TRUE(parent->SendButton(window, 1, false, x, y, time + 20));
        ASSERT_TRUE(parent->SendButton(window, 1, true, x, y, time + gapMs));
        ASSERT_TRUE(parent->SendButton(window, 1, false, x, y, time + gapMs + 20));
    }

    std::shared_ptr<Module> module;
    IPtr<HostApplication> host = owned(new HostApplication("Ringstill Window Test Host"));
    IPtr<ComponentHandler> handler = owned(new ComponentHandler());
    std::unique_ptr<PluginInstance> instance;
    std::unique_ptr<ProcessBuffers> buffers;
    std::unique_ptr<X11ParentWindow> parent;
    IPtr<HostFrame> frame = owned(new HostFrame());
    IPtr<IPlugView> view;
    bool attached = false;
};

// ---------------------------------------------------------------- opening and drawing

TEST_F(Vst3PluginWindow, TheEditorOpensAsAChildOfTheHostsWindowOnItsRunLoop)
{
    ASSERT_EQ(Attach(), kResultOk);
    const unsigned long editor = EditorWindow();
    ASSERT_NE(editor, 0u);
    int width = 0;
    int height = 0;
    bool mapped = false;
    ASSERT_TRUE(parent->Geometry(editor, width, height, mapped));
    EXPECT_EQ(width, kEditorWidth);
    EXPECT_EQ(height, kEditorHeight);
    EXPECT_TRUE(mapped);
    EXPECT_EQ(frame->EventHandlerCount(), 1u);
    ASSERT_EQ(frame->TimerCount(), 1u);
    frame->RunFor(500ms);
    // A 16 ms timer: about 30 calls in half a second, never fewer than the 20 ms idle tick needs.
    EXPECT_GE(frame->TimerCalls(), 20);
}

TEST_F(Vst3PluginWindow, TheScreenShowsTheLayoutsBackgroundGraphValueBoxesAndBank)
{
    ASSERT_EQ(Attach(), kResultOk);
    Process(4);
    frame->RunFor(500ms);
    const auto image = Shot();
    ASSERT_EQ(image.width, kEditorWidth);
    ASSERT_EQ(image.height, kEditorHeight);
    Save(image, "editor-window.png");
    EXPECT_TRUE(PixelNear(image, 5, 5, {38, 45, 56}));        // editor background
    EXPECT_TRUE(PixelNear(image, 700, 385, {25, 30, 39}));    // the Sensitivity value box
    EXPECT_TRUE(PixelNear(image, 300, 60, {11, 15, 20}, 20)); // the graph's panel, between grid lines
    // Bank cells are empty (grey over the background) until a notch is added.
    const Rgb cell = ColourAt(image, 14, 190);
    EXPECT_FALSE(PixelNear(image, 14, 190, {0, 150, 235}, 30)) << cell.r << " " << cell.g << " " << cell.b;
}

// ---------------------------------------------------------------- mouse

TEST_F(Vst3PluginWindow, ADoubleClickOnTheGraphAddsANotchThatALaterFrameShows)
{
    ASSERT_EQ(Attach(), kResultOk);
    Process(2);
    frame->RunFor(300ms);
    const auto before = Shot();
    ASSERT_EQ(before.width, kEditorWidth);

    DoubleClick(EditorWindow(), 454, 100, 100000);
    frame->RunFor(100ms);
    Process(4); // the audio side takes the new notch into its bank
    frame->RunFor(300ms);
    const auto after = Shot();
    ASSERT_EQ(after.width, kEditorWidth);
    Save(after, "editor-window-added.png");

    EXPECT_TRUE(PixelNear(after, 14, 190, {0, 150, 235}, 12)) << "bank cell 1 holds a manual notch";
    EXPECT_FALSE(PixelNear(before, 14, 190, {0, 150, 235}, 30));
    // A handle and the response curve appear around the clicked frequency.
    EXPECT_GT(ChangedPixels(before, after, 434, 10, 474, 180), 40);
}

TEST_F(Vst3PluginWindow, TwoPressesFurtherApartThanTheDoubleClickTimeAddNothing)
{
    ASSERT_EQ(Attach(), kResultOk);
    Process(2);
    frame->RunFor(200ms);
    DoubleClick(EditorWindow(), 454, 100, 200000, 3000);
    frame->RunFor(100ms);
    Process(4);
    frame->RunFor(300ms);
    const auto image = Shot();
    ASSERT_EQ(image.width, kEditorWidth);
    EXPECT_FALSE(PixelNear(image, 14, 190, {0, 150, 235}, 30));
}

TEST_F(Vst3PluginWindow, TheWheelOverASliderChangesItsParameterAsAHostEdit)
{
    ASSERT_EQ(Attach(), kResultOk);
    frame->RunFor(100ms);
    const double start = instance->Controller()->getParamNormalized(0); // Sensitivity
    const unsigned long editor = EditorWindow();
    ASSERT_TRUE(parent->SendMotion(editor, 400, 386, 300000));
    ASSERT_TRUE(parent->SendButton(editor, 4, true, 400, 386, 300010));
    ASSERT_TRUE(parent->SendButton(editor, 4, false, 400, 386, 300011));
    frame->RunFor(100ms);
    EXPECT_NEAR(instance->Controller()->getParamNormalized(0), start + 0.01, 1e-6);
    ASSERT_TRUE(parent->SendButton(editor, 5, true, 400, 386, 300100));
    ASSERT_TRUE(parent->SendButton(editor, 5, false, 400, 386, 300101));
    frame->RunFor(100ms);
    EXPECT_NEAR(instance->Controller()->getParamNormalized(0), start, 1e-6);
}

// Pixels of the tooltip's pale yellow inside a rectangle.
int TooltipPixels(const X11ParentWindow::Image& image, int left, int top, int right, int bottom)
{
    int count = 0;
    for (int y = top; y < bottom && y < image.height; ++y)
        for (int x = left; x < right && x < image.width; ++x)
            count += PixelNear(image, x, y, {255, 255, 225}, 4) ? 1 : 0;
    return count;
}

TEST_F(Vst3PluginWindow, RestingOverASliderShowsItsTooltipAndLeavingTheWindowTakesItAway)
{
    ASSERT_EQ(Attach(), kResultOk);
    frame->RunFor(100ms);
    const unsigned long editor = EditorWindow();
    ASSERT_TRUE(parent->SendMotion(editor, 300, 526, 600000)); // over Master Width
    frame->RunFor(900ms);
    const auto shown = Shot();
    ASSERT_EQ(shown.width, kEditorWidth);
    Save(shown, "editor-window-tooltip.png");
    EXPECT_GT(TooltipPixels(shown, 250, 526, 740, 600), 500);

    ASSERT_TRUE(parent->SendLeave(editor, 300, 740, 601000));
    frame->RunFor(200ms);
    const auto gone = Shot();
    ASSERT_EQ(gone.width, kEditorWidth);
    EXPECT_EQ(TooltipPixels(gone, 250, 526, 740, 600), 0);
}

// ---------------------------------------------------------------- keys

TEST_F(Vst3PluginWindow, AValueTypedIntoAValueBoxSetsItsParameter)
{
    ASSERT_EQ(Attach(), kResultOk);
    frame->RunFor(100ms);
    const unsigned long editor = EditorWindow();
    // A press on the Sensitivity value box opens its text field.
    ASSERT_TRUE(parent->SendButton(editor, 1, true, 700, 386, 500000));
    ASSERT_TRUE(parent->SendButton(editor, 1, false, 700, 386, 500020));
    frame->RunFor(100ms);
    unsigned long t = 500100;
    auto key = [&](unsigned long sym, unsigned state = 0) {
        ASSERT_TRUE(parent->SendKey(editor, sym, true, t++, state));
        ASSERT_TRUE(parent->SendKey(editor, sym, false, t++, state));
    };
    key(XK_a, kControlMask); // select all of "50"
    key(XK_7);
    key(XK_5);
    frame->RunFor(100ms);
    const auto typing = Shot();
    ASSERT_EQ(typing.width, kEditorWidth);
    Save(typing, "editor-window-typing.png");
    key(XK_Return);
    frame->RunFor(200ms);
    EXPECT_NEAR(instance->Controller()->getParamNormalized(0), 0.75, 1e-9);
    const auto image = Shot();
    ASSERT_EQ(image.width, kEditorWidth);
    // The slider's knob moved right, to three quarters of the track.
    EXPECT_FALSE(PixelNear(typing, 520, 386, {64, 190, 214}, 40));
    EXPECT_TRUE(PixelNear(image, 520, 386, {64, 190, 214}, 40));
}

// ---------------------------------------------------------------- closing, reopening, size

TEST_F(Vst3PluginWindow, RemovedDestroysTheWindowAndLeavesTheRunLoop)
{
    ASSERT_EQ(Attach(), kResultOk);
    frame->RunFor(100ms);
    Remove();
    EXPECT_EQ(parent->Children().size(), 0u);
    EXPECT_EQ(frame->EventHandlerCount(), 0u);
    EXPECT_EQ(frame->TimerCount(), 0u);
    // Nothing of the plug-in runs any more on the host's loop.
    const int calls = frame->TimerCalls();
    frame->RunFor(100ms);
    EXPECT_EQ(frame->TimerCalls(), calls);
}

TEST_F(Vst3PluginWindow, TheCornerResizerScalesTheWindowAndReopeningKeepsTheSize)
{
    ASSERT_EQ(Attach(), kResultOk);
    frame->RunFor(100ms);
    const unsigned long editor = EditorWindow();
    // Drag the bottom-right handle outwards by a fifth.
    ASSERT_TRUE(parent->SendMotion(editor, 730, 716, 400000));
    ASSERT_TRUE(parent->SendButton(editor, 1, true, 730, 716, 400010));
    ASSERT_TRUE(parent->SendMotion(editor, 876, 860, 400050, kButton1Mask));
    ASSERT_TRUE(parent->SendButton(editor, 1, false, 876, 860, 400090, kButton1Mask));
    frame->RunFor(200ms);

    ASSERT_FALSE(frame->ResizeRequests().empty());
    const ViewRect asked = frame->ResizeRequests().back();
    EXPECT_EQ(asked.getWidth(), 888);
    EXPECT_EQ(asked.getHeight(), 871);
    int width = 0;
    int height = 0;
    bool mapped = false;
    ASSERT_TRUE(parent->Geometry(EditorWindow(), width, height, mapped));
    EXPECT_EQ(width, 888);
    EXPECT_EQ(height, 871);
    const auto scaled = Shot();
    ASSERT_EQ(scaled.width, 888);
    Save(scaled, "editor-window-scaled.png");
    // The value box of Sensitivity, scaled by 1.2 with the rest.
    EXPECT_TRUE(PixelNear(scaled, 840, 462, {25, 30, 39}));

    Remove();
    ASSERT_EQ(Attach(), kResultOk);
    frame->RunFor(200ms);
    ViewRect size;
    ASSERT_EQ(view->getSize(&size), kResultOk);
    EXPECT_EQ(size.getWidth(), 888);
    EXPECT_EQ(size.getHeight(), 871);
    ASSERT_TRUE(parent->Geometry(EditorWindow(), width, height, mapped));
    EXPECT_EQ(width, 888);
    EXPECT_EQ(height, 871);
    const auto reopened = Shot();
    ASSERT_EQ(reopened.width, 888);
    EXPECT_TRUE(PixelNear(reopened, 840, 462, {25, 30, 39}));
    // The host cannot resize the view; its constraint check still answers.
    EXPECT_EQ(view->canResize(), kResultFalse);
    ViewRect tiny(0, 0, 100, 100);
    ASSERT_EQ(view->checkSizeConstraint(&tiny), kResultOk);
    EXPECT_EQ(tiny.getWidth(), 256);
}

TEST_F(Vst3PluginWindow, TheHostsContentScaleSizesTheWindowsPixelsAndSurvivesReopening)
{
    ASSERT_EQ(Attach(), kResultOk);
    frame->RunFor(100ms);
    void* found = nullptr;
    ASSERT_EQ(view->queryInterface(IPlugViewContentScaleSupport::iid, &found), kResultOk);
    IPtr<IPlugViewContentScaleSupport> scale = owned(static_cast<IPlugViewContentScaleSupport*>(found));
    ASSERT_EQ(scale->setContentScaleFactor(1.5f), kResultOk);
    parent->Resize(1110, 1089);
    frame->RunFor(200ms);
    int width = 0;
    int height = 0;
    bool mapped = false;
    ASSERT_TRUE(parent->Geometry(EditorWindow(), width, height, mapped));
    EXPECT_EQ(width, 1110);
    EXPECT_EQ(height, 1089);
    auto image = Shot();
    ASSERT_EQ(image.width, 1110);
    Save(image, "editor-window-content-scale.png");
    EXPECT_TRUE(PixelNear(image, 1050, 578, {25, 30, 39})); // the Sensitivity value box, 1.5 times out
    EXPECT_TRUE(PixelNear(image, 450, 90, {11, 15, 20}, 20)); // the graph's panel

    Remove();
    ASSERT_EQ(Attach(), kResultOk);
    frame->RunFor(200ms);
    ASSERT_TRUE(parent->Geometry(EditorWindow(), width, height, mapped));
    EXPECT_EQ(width, 1110);
    EXPECT_EQ(height, 1089);
}

// ---------------------------------------------------------------- hosts that cannot have the window

TEST_F(Vst3PluginWindow, AFrameWithoutARunLoopIsRefusedAndOpensNothing)
{
    PlainFrame plain;
    ASSERT_EQ(view->setFrame(&plain), kResultOk);
    EXPECT_EQ(Attach(), kResultFalse);
    EXPECT_EQ(parent->Children().size(), 0u);
    // The same view opens in a host that has a run loop.
    ASSERT_EQ(view->setFrame(frame), kResultOk);
    ASSERT_EQ(Attach(), kResultOk);
    EXPECT_NE(EditorWindow(), 0u);
}

TEST_F(Vst3PluginWindow, AParentWindowThatDoesNotExistIsRefusedWithoutEndingTheHost)
{
    void* missing = reinterpret_cast<void*>(std::uintptr_t(parent->Id() + 0x7777));
    EXPECT_EQ(view->attached(missing, kPlatformTypeX11EmbedWindowID), kResultFalse);
    EXPECT_EQ(frame->EventHandlerCount(), 0u);
    EXPECT_EQ(frame->TimerCount(), 0u);
    ASSERT_EQ(Attach(), kResultOk);
    frame->RunFor(100ms);
    EXPECT_NE(EditorWindow(), 0u);
}

TEST_F(Vst3PluginWindow, AHostThatDestroysItsWindowBeforeRemovedIsSurvived)
{
    ASSERT_EQ(Attach(), kResultOk);
    frame->RunFor(100ms);
    parent.reset(); // the host's window, and the editor's inside it, go first
    frame->RunFor(200ms);
    Process(2);
    frame->RunFor(100ms);
    Remove();
    EXPECT_EQ(frame->TimerCount(), 0u);
}

// ---------------------------------------------------------------- the host's threads

TEST_F(Vst3PluginWindow, TheRunLoopsTickTellsTheHostOfALatencyChangeOnTheUiThread)
{
    ASSERT_EQ(Attach(), kResultOk);
    frame->RunFor(50ms);
    handler->Clear();
    std::thread audio([&] {
        buffers->InputChanges().AddPoint(5, 0, 0.5); // No-Noise on
        ASSERT_EQ(instance->Process(*buffers, kBlock), kResultOk);
    });
    audio.join();
    EXPECT_EQ(instance->Processor()->getLatencySamples(), 992u) << "No-Noise at 48 kHz, at once, before any tick";
    EXPECT_EQ(handler->Count(HandlerCall::kRestartComponent), 0u) << "nothing from the audio thread";
    frame->RunFor(100ms);
    const std::vector<HandlerCall> calls = handler->Calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].kind, HandlerCall::kRestartComponent);
    EXPECT_EQ(calls[0].flags, kLatencyChanged);
    EXPECT_EQ(calls[0].thread, std::this_thread::get_id());
}

class Vst3PluginWindowConcurrency : public Vst3PluginWindow
{
};

// The user works the editor and the host saves and restores while the audio thread runs blocks
// whose No-Noise setting keeps changing the latency.
TEST_F(Vst3PluginWindowConcurrency, EditorGesturesAndStateCallsWhileTheAudioThreadRuns)
{
    ASSERT_EQ(Attach(), kResultOk);
    frame->RunFor(50ms);
    handler->Clear();
    std::atomic<bool> stop {false};
    std::atomic<int> unfinished {0};
    std::thread audio([&] {
        ProcessBuffers block(kSample32, {2}, {2}, kBlock);
        for (long n = 0; !stop; ++n)
        {
            block.InputChanges().Clear();
            block.InputChanges().AddPoint(5, 0, (n / 8) % 2 ? 0.4 : 0.0);
            for (int c = 0; c < 2; ++c)
                for (int i = 0; i < kBlock; ++i)
                    block.SetInput(0, c, i, 0.5 * std::sin(0.327 * double(n * kBlock + i)));
            if (instance->Process(block, kBlock) != kResultOk)
                ++unfinished;
            for (int i = 0; i < kBlock; ++i)
                if (!std::isfinite(block.Output(0, 0, i)))
                    ++unfinished;
            std::this_thread::sleep_for(1ms);
        }
    });
    const unsigned long editor = EditorWindow();
    unsigned long time = 500000;
    for (int round = 0; round < 12; ++round, time += 1000)
    {
        DoubleClick(editor, 120 + 50 * (round % 10), 60 + 10 * (round % 7), time);
        ASSERT_TRUE(parent->SendMotion(editor, 400, 386, time + 200));
        ASSERT_TRUE(parent->SendButton(editor, round % 2 ? 4 : 5, true, 400, 386, time + 210));
        ASSERT_TRUE(parent->SendButton(editor, round % 2 ? 4 : 5, false, 400, 386, time + 211));
        frame->RunFor(40ms);
        std::vector<std::uint8_t> state;
        ASSERT_EQ(instance->SaveState(state), kResultOk);
        ASSERT_EQ(instance->LoadState(state), kResultOk);
    }
    frame->RunFor(100ms);
    stop = true;
    audio.join();
    frame->RunFor(60ms);
    EXPECT_EQ(unfinished.load(), 0);
    EXPECT_GE(handler->Count(HandlerCall::kPerformEdit), 1u) << "the wheel's edits reached the host";
    EXPECT_GE(handler->Count(HandlerCall::kRestartComponent), 1u) << "the latency changes reached the host";
    for (const HandlerCall& call : handler->Calls())
    {
        EXPECT_FALSE(call.duringProcess);
        EXPECT_EQ(call.thread, std::this_thread::get_id());
    }
}

} // namespace

#endif // __linux__
