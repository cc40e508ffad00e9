// The Linux editor window: the X11 child window driven by the host's run loop. The host hands
// its run loop only through the view's frame (IRunLoop); the window's connection is watched as
// a file descriptor and a timer of the run loop ticks the idle timers and the frames. Without a
// run loop nothing would ever process the window's events, so no window is opened then.
#include "vst3/EditorWindow.h"

#include "graphics/X11Window.h"
#include "vst3/Guard.h"

#include "pluginterfaces/gui/iplugview.h"

#include <atomic>
#include <cstdint>

using namespace Steinberg;

namespace iplug {
namespace {

// Frame period of the run-loop timer: the idle tick needs 20 ms, the 30 fps frames 33 ms.
constexpr Linux::TimerInterval kTickMs = 16;

// What the run loop calls. Reference counted on its own, since a host may keep a reference past
// unregistering; the window it forwards to is cut off before the window goes.
class RunLoopHandler final : public Linux::IEventHandler, public Linux::ITimerHandler
{
public:
    explicit RunLoopHandler(igraphics::X11Window& window) : window(&window) {}

    void Detach() { window = nullptr; }

    // The host's run loop calls these: nothing may leave them.
    void PLUGIN_API onFDIsSet(Linux::FileDescriptor) override
    {
        ringstill::vst3::GuardedCall([&] {
            if (window != nullptr)
                window->ProcessPendingEvents();
        });
    }
    void PLUGIN_API onTimer() override
    {
        ringstill::vst3::GuardedCall([&] {
            if (window != nullptr)
                window->TimerTick();
        });
    }

    tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override
    {
        if (obj == nullptr)
            return kInvalidArgument;
        QUERY_INTERFACE(iid, obj, FUnknown::iid, Linux::IEventHandler)
        QUERY_INTERFACE(iid, obj, Linux::IEventHandler::iid, Linux::IEventHandler)
        QUERY_INTERFACE(iid, obj, Linux::ITimerHandler::iid, Linux::ITimerHandler)
        *obj = nullptr;
        return kNoInterface;
    }
    uint32 PLUGIN_API addRef() override { return ++refs; }
    uint32 PLUGIN_API release() override
    {
        const uint32 remaining = --refs;
        if (remaining == 0)
            delete this;
        return remaining;
    }

private:
    ~RunLoopHandler() = default;

    std::atomic<uint32> refs {1};
    igraphics::X11Window* window;
};

class LinuxEditorWindow final : public EditorWindow
{
public:
    LinuxEditorWindow(std::unique_ptr<igraphics::X11Window> window, IPtr<Linux::IRunLoop> runLoop)
        : window(std::move(window)), runLoop(std::move(runLoop)), handler(new RunLoopHandler(*this->window))
    {}

    bool Register()
    {
        eventRegistered = runLoop->registerEventHandler(handler, window->ConnectionFd()) == kResultTrue;
        timerRegistered = runLoop->registerTimer(handler, kTickMs) == kResultTrue;
        return eventRegistered && timerRegistered;
    }

    ~LinuxEditorWindow() override
    {
        if (eventRegistered)
            runLoop->unregisterEventHandler(handler);
        if (timerRegistered)
            runLoop->unregisterTimer(handler);
        handler->Detach();
        handler->release();
        window.reset();
    }

private:
    std::unique_ptr<igraphics::X11Window> window;
    IPtr<Linux::IRunLoop> runLoop;
    RunLoopHandler* handler;
    bool eventRegistered = false;
    bool timerRegistered = false;
};

} // namespace

std::unique_ptr<EditorWindow> OpenEditorWindow(igraphics::IGraphics& graphics, void* parent,
                                               Steinberg::IPlugFrame* frame)
{
    if (frame == nullptr || parent == nullptr)
        return nullptr;
    void* found = nullptr;
    if (frame->queryInterface(Linux::IRunLoop::iid, &found) != kResultOk || found == nullptr)
        return nullptr;
    IPtr<Linux::IRunLoop> runLoop = owned(static_cast<Linux::IRunLoop*>(found));

    auto window = igraphics::X11Window::Open(graphics, static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(parent)));
    if (window == nullptr)
        return nullptr;
    auto editorWindow = std::make_unique<LinuxEditorWindow>(std::move(window), std::move(runLoop));
    if (!editorWindow->Register())
        return nullptr;
    return editorWindow;
}

} // namespace iplug
