// IGEditorDelegate: the editor delegate that owns the graphics context while the
// editor is open. The binary that builds the plug-in installs three functions: one
// that makes the context (size, frame rate, scale, renderer), one that lays out its
// controls and one that keeps them in step on every idle tick. The context is seen
// here only through IEditorContext, so the plug-in base needs no graphics toolkit.
//
// Threads: everything here runs on the UI thread (the view's attach/remove calls
// and the idle tick). The audio thread never touches the context.
#pragma once

#include "framework/IEditorContext.h"
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
    using GraphicsPtr = std::unique_ptr<IEditorContext>;
    using MakeGraphicsFunc = std::function<GraphicsPtr()>;
    using LayoutFunc = std::function<void(igraphics::IGraphics& graphics)>;
    using IdleFunc = std::function<void(igraphics::IGraphics& graphics)>;

    explicit IGEditorDelegate(int nParams);
    ~IGEditorDelegate() override;

    // Construction thread: installed once, before the host can open the editor.
    void SetMakeGraphicsFunc(MakeGraphicsFunc func) { makeGraphics = std::move(func); }
    void SetLayoutFunc(LayoutFunc func) { layout = std::move(func); }
    void SetIdleFunc(IdleFunc func) { idle = std::move(func); }
    bool HasMakeGraphicsFunc() const { return bool(makeGraphics); }
    bool HasLayoutFunc() const { return bool(layout); }

    // UI thread. Creates the context and lays it out unless it already exists, then
    // hands every control its parameter's current value; returns the context, or
    // nullptr when no context could be made.
    igraphics::IGraphics* OpenEditor();
    // UI thread. Destroys the context with all its controls.
    void CloseEditor();

    // UI thread. The open context, or nullptr while the editor is closed.
    igraphics::IGraphics* GetUI() const { return graphics ? &graphics->Graphics() : nullptr; }
    bool IsEditorOpen() const { return graphics != nullptr; }
    // UI thread. Runs the idle function on the open context (nothing while it is closed).
    void RunEditorIdle();

    // UI thread. Forwards to the open context (nothing while the editor is closed).
    void SendParamToEditor(int index, double value, bool isNormalised) override;

private:
    MakeGraphicsFunc makeGraphics;
    LayoutFunc layout;
    IdleFunc idle;
    GraphicsPtr graphics;
};

} // namespace iplug
