// IGEditorDelegate: the editor delegate that owns the graphics context while the
// editor is open. The effect installs two functions in its constructor: one that
// makes the context (size, frame rate, scale) and one that lays out its controls.
// The context type is opaque here; the graphics toolkit supplies it together with
// the deleter that destroys it.
//
// Threads: everything here runs on the UI thread (the view's attach/remove calls
// and the idle tick). The audio thread never touches the context.
#pragma once

#include "framework/GraphicsBackend.h"
#include "framework/IEditorDelegate.h"

#include <functional>
#include <memory>

namespace igraphics {
class IGraphics;
}

namespace iplug {

class IGEditorDelegate : public IEditorDelegate
{
public:
    using GraphicsPtr = std::unique_ptr<igraphics::IGraphics, void (*)(igraphics::IGraphics*)>;
    using MakeGraphicsFunc = std::function<GraphicsPtr()>;
    using LayoutFunc = std::function<void(igraphics::IGraphics& graphics)>;

    explicit IGEditorDelegate(int nParams);
    ~IGEditorDelegate() override;

    // Constructor thread: installed once by the effect.
    void SetMakeGraphicsFunc(MakeGraphicsFunc func) { makeGraphics = std::move(func); }
    void SetLayoutFunc(LayoutFunc func) { layout = std::move(func); }
    bool HasMakeGraphicsFunc() const { return bool(makeGraphics); }
    bool HasLayoutFunc() const { return bool(layout); }
    // Constructor thread: the platform backend contexts get their renderer and resources from
    // (installed by the format binding, a test or a tool; see igraphics::MakeGraphics).
    void SetGraphicsBackend(igraphics::GraphicsBackend backend) { graphicsBackend = std::move(backend); }
    const igraphics::GraphicsBackend& GetGraphicsBackend() const { return graphicsBackend; }

    // UI thread. Creates the context and lays it out unless it already exists, then
    // hands every control its parameter's current value; returns the context, or
    // nullptr when no context could be made.
    igraphics::IGraphics* OpenEditor();
    // UI thread. Destroys the context with all its controls.
    void CloseEditor();

    // UI thread. The open context, or nullptr while the editor is closed.
    igraphics::IGraphics* GetUI() const { return graphics.get(); }
    bool IsEditorOpen() const { return graphics != nullptr; }

    // UI thread. Forwards to the open context (nothing while the editor is closed).
    void SendParamToEditor(int index, double value, bool isNormalised) override;

private:
    static void NoDelete(igraphics::IGraphics*) {}

    MakeGraphicsFunc makeGraphics;
    LayoutFunc layout;
    igraphics::GraphicsBackend graphicsBackend;
    GraphicsPtr graphics{nullptr, &IGEditorDelegate::NoDelete};
};

} // namespace iplug
