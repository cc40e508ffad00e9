// IEditorDelegate: the first base of the plug-in object. It owns the parameter list
// (index = parameter index = host parameter identifier), keeps the editor's size and
// size limits, and is the single entry through which parameter changes are announced.
//
// Threads: the parameter list is built on the constructing thread and never resized.
// OnParamChange runs on whichever thread stored the value (audio thread for host
// automation inside a block, UI/host thread otherwise). Editor size, limits and the
// editor-facing calls (BeginHostEdit, SetParameterFromEditor, ResizeEditor,
// SendParamToEditor, ParamChangedForEditor) are UI thread only.
#pragma once

#include "framework/IParam.h"

#include <memory>
#include <vector>

namespace iplug {

class IEditorDelegate
{
public:
    explicit IEditorDelegate(int nParams);
    virtual ~IEditorDelegate();
    IEditorDelegate(const IEditorDelegate&) = delete;
    IEditorDelegate& operator=(const IEditorDelegate&) = delete;

    int NParams() const { return int(params.size()); }
    // nullptr for an index outside the list.
    IParam* GetParam(int index) { return ValidIndex(index) ? params[std::size_t(index)].get() : nullptr; }
    const IParam* GetParam(int index) const { return ValidIndex(index) ? params[std::size_t(index)].get() : nullptr; }

    // Announces a change after the value was stored. sampleOffset is the position in
    // the current block for host automation, otherwise -1.
    void OnParamChange(int index, ParamSource source, int sampleOffset = -1);
    // Per-parameter hook; same thread as the call above. Does nothing by default.
    // A class that overrides it needs `using IEditorDelegate::OnParamChange;` to keep
    // calling the three-argument entry unqualified.
    virtual void OnParamChange(int index) { (void)index; }
    // UI thread. Editor-side companion of OnParamChange; does nothing by default.
    virtual void ParamChangedForEditor(int index, ParamSource source)
    {
        (void)index;
        (void)source;
    }
    // OnParamChange (index, source, -1) then ParamChangedForEditor for every parameter.
    void ParamsReset(ParamSource source);

    // UI thread. The editor's controls bound to the parameter take the value; the
    // graphics context overrides this once it exists. Does nothing by default.
    virtual void SendParamToEditor(int index, double value, bool isNormalised)
    {
        (void)index;
        (void)value;
        (void)isNormalised;
    }

    // UI thread. The editor's gestures; the host side of the plug-in overrides them.
    virtual void BeginHostEdit(int index) { (void)index; }
    virtual void EndHostEdit(int index) { (void)index; }
    // Stores the value and announces it; the host side adds the host notification.
    virtual void SetParameterFromEditor(int index, double normalised);
    // Asks the host window to take this size; true when handled.
    virtual bool ResizeEditor(int width, int height);
    // A setting saved with the state but not a parameter changed: the host should save again.
    virtual void MarkStateDirty() {}

    // Editor size, in pixels. Survives closing and reopening the editor.
    int EditorWidth() const { return editorWidth; }
    int EditorHeight() const { return editorHeight; }
    void SetEditorSize(int width, int height)
    {
        editorWidth = width;
        editorHeight = height;
    }
    // Each pair is stored in order whatever order it is given in.
    void SetEditorSizeLimits(int minWidth, int maxWidth, int minHeight, int maxHeight);
    int MinEditorWidth() const { return minWidth; }
    int MaxEditorWidth() const { return maxWidth; }
    int MinEditorHeight() const { return minHeight; }
    int MaxEditorHeight() const { return maxHeight; }
    // True when both lie within the limits; otherwise clamps both and returns false.
    bool ConstrainEditorSize(int& width, int& height) const;

private:
    bool ValidIndex(int index) const { return index >= 0 && index < int(params.size()); }

    std::vector<std::unique_ptr<IParam>> params;
    int editorWidth = 0;
    int editorHeight = 0;
    int minWidth = 10;
    int maxWidth = 100000;
    int minHeight = 10;
    int maxHeight = 100000;
};

} // namespace iplug
