#pragma once
// IControl: the base of everything the editor draws and the user touches. A control has a
// rectangle (drawing area) and a target rectangle (mouse area), one or more values (normalised
// 0..1, each optionally bound to a parameter), a tag, a group, flags (dirty, hidden, disabled,
// ignore-mouse, mouse-over), a tooltip, an action function called after a value change that came
// from the user, and an animation-end function.
//
// Owned by its graphics context (IGraphics) once attached; the context sets the owner pointer.
// UI thread only.

#include "framework/IBlend.h"
#include "framework/IGraphicsRenderer.h"
#include "framework/IKeyPress.h"
#include "framework/IMouseMod.h"
#include "framework/IRECT.h"
#include "framework/Timer.h"

#include <functional>
#include <string>
#include <vector>

namespace iplug {
class IEditorDelegate;
class IParam;
} // namespace iplug

namespace igraphics {

class IControl;
class IGraphics;

using IActionFunction = std::function<void(IControl* caller)>;

inline constexpr int kNoParameter = -1;
inline constexpr int kNoTag = -1;
inline constexpr int kAllValues = -1; // value index meaning "every value of the control"
inline constexpr float kDisabledBlendWeight = 0.25f;

class IControl
{
public:
    struct Value
    {
        int paramIdx = kNoParameter;
        double value = 0.0;
    };

    explicit IControl(const IRECT& bounds, int paramIdx = kNoParameter, IActionFunction action = nullptr);
    // One value per entry, bound to those parameters (kNoParameter for an unbound value).
    IControl(const IRECT& bounds, const std::vector<int>& paramIndices, IActionFunction action = nullptr);
    IControl(const IRECT& bounds, IActionFunction action);
    IControl(const IControl&) = delete;
    IControl& operator=(const IControl&) = delete;

    // --- Virtual operations, in slot order -------------------------------------------------
    virtual ~IControl();
    virtual void OnMouseDown(float x, float y, const IMouseMod& mod);
    virtual void OnMouseUp(float x, float y, const IMouseMod& mod);
    virtual void OnMouseDrag(float x, float y, float dX, float dY, const IMouseMod& mod);
    // Resets the value under the pointer to its parameter's default, with action.
    virtual void OnMouseDblClick(float x, float y, const IMouseMod& mod);
    virtual void OnMouseWheel(float x, float y, const IMouseMod& mod, float d);
    // Sets the mouse-over flag (redraws when it changes).
    virtual void OnMouseOver(float x, float y, const IMouseMod& mod);
    // Clears the mouse-over flag (redraws when it changes).
    virtual void OnMouseOut();
    // The rectangle or the context's size or scale changed.
    virtual void OnResize();
    virtual void Draw(IGraphicsRenderer& g) = 0;

    // --- Further hooks ---------------------------------------------------------------------
    // Whether (x, y) hits the control; by default the target rectangle contains it.
    virtual bool IsHit(float x, float y) const { return mTargetRECT.Contains(x, y); }
    // A key while the pointer is over the control; true when handled.
    virtual bool OnKeyDown(float x, float y, const IKeyPress& key);
    // The press animation ran out: by default runs the animation-end function and redraws.
    virtual void OnEndAnimation();
    // Results of the context's value prompt (text field or popup menu) for value valIdx.
    virtual void OnTextEntryCompletion(const char* text, int valIdx);
    virtual void OnPopupMenuSelection(int itemIndex, int valIdx);
    // Once attached (the owner is set); by default nothing.
    virtual void OnAttached() {}

    // --- Values ----------------------------------------------------------------------------
    int NVals() const { return static_cast<int>(mVals.size()); }
    // Stores a normalised value without redrawing or sending it anywhere (no clamping yet).
    void StoreControlValue(double value, int valIdx = 0);
    double ControlValue(int valIdx = 0) const;
    // Shorter names for the same two, as vector controls use them.
    void SetValue(double value, int valIdx = 0) { StoreControlValue(value, valIdx); }
    double GetValue(int valIdx = 0) const { return ControlValue(valIdx); }
    int GetParamIdx(int valIdx = 0) const;
    void SetParamIdx(int paramIdx, int valIdx = 0);
    // The bound parameter of a value, or nullptr (unbound, or not attached yet).
    const iplug::IParam* GetParam(int valIdx = 0) const;
    // The index of the value bound to paramIdx, or -1.
    int ValIdxForParam(int paramIdx) const;
    // Which value a pointer position addresses; one-value controls always answer 0.
    virtual int GetValIdxForPos(float x, float y) const;

    // Clamps the value(s) to 0..1 and marks the control for redraw. With action, each bound
    // parameter of the value(s) is sent to the plug-in (SetParameterFromEditor), peers bound to
    // the same parameter follow, and then the action function runs.
    void MarkDirty(bool withAction = true, int valIdx = kAllValues);
    void SetDirty(bool withAction = true, int valIdx = kAllValues) { MarkDirty(withAction, valIdx); }
    // A value the user chose outside a drag (prompt, popup): wrapped in Begin/EndHostEdit.
    void SetValueFromUserInput(double normalised, int valIdx = 0);
    // Marks for redraw only: no clamping, no action.
    void SetRedraw() { mDirty = true; }
    bool IsDirty() const { return mDirty; }
    void ClearDirty() { mDirty = false; }

    // --- Geometry --------------------------------------------------------------------------
    const IRECT& GetRECT() const { return mRECT; }
    const IRECT& GetTargetRECT() const { return mTargetRECT; }
    // Moves both rectangles and calls OnResize.
    void SetTargetAndDrawRECTs(const IRECT& bounds);
    void SetRECT(const IRECT& bounds) { SetTargetAndDrawRECTs(bounds); }
    void SetTargetRECT(const IRECT& bounds) { mTargetRECT = bounds; }

    // --- Identity --------------------------------------------------------------------------
    int GetTag() const { return mTag; }
    void SetTag(int tag) { mTag = tag; }
    const char* GetGroup() const { return mGroup.c_str(); }
    void SetGroup(const char* group) { mGroup = group ? group : ""; }

    // --- Flags -----------------------------------------------------------------------------
    // Hidden controls are not drawn (the background excepted) and get no mouse events.
    void Hide(bool hide);
    bool IsHidden() const { return mHidden; }
    // Disabled controls draw at blend 0.25 and get mouse events only when accepting them.
    void SetDisabled(bool disabled);
    bool IsDisabled() const { return mDisabled; }
    void SetAcceptMouseWhenDisabled(bool accept) { mMouseWhenDisabled = accept; }
    bool AcceptsMouseWhenDisabled() const { return mMouseWhenDisabled; }
    void SetIgnoreMouse(bool ignore) { mIgnoreMouse = ignore; }
    bool GetIgnoreMouse() const { return mIgnoreMouse; }
    bool GetMouseIsOver() const { return mMouseIsOver; }
    // Controls that treat a double-click as one more press (buttons, switches).
    bool GetMouseDblAsSingleClick() const { return mDblAsSingleClick; }
    void SetMouseDblAsSingleClick(bool single) { mDblAsSingleClick = single; }
    // The blend every drawing call of the control should use: weight 0.25 while disabled.
    const IBlend* GetBlend() const { return &mBlend; }

    // --- Tooltip, action, animation --------------------------------------------------------
    void SetTooltip(const char* text) { mTooltip = text ? text : ""; }
    const char* GetTooltip() const { return mTooltip.c_str(); }
    void SetActionFunction(IActionFunction action) { mAction = std::move(action); }
    const IActionFunction& GetActionFunction() const { return mAction; }
    void SetAnimationEndActionFunction(IActionFunction action) { mAnimationEnd = std::move(action); }
    const IActionFunction& GetAnimationEndActionFunction() const { return mAnimationEnd; }
    // Starts (or restarts) an animation of durationMs; the context ends it from its timer.
    void StartAnimation(int durationMs);
    bool IsAnimating() const { return mAnimating; }
    // 0..1 through a running animation, 1 when none runs.
    double GetAnimationProgress() const;
    // Context only: ends the animation when its time is up; true when it ended now.
    bool AdvanceAnimation(iplug::TimerClock::time_point now);

    // --- Owner -----------------------------------------------------------------------------
    IGraphics* GetUI() const { return mGraphics; }
    void SetGraphics(IGraphics* graphics) { mGraphics = graphics; }
    iplug::IEditorDelegate* GetDelegate() const;

protected:
    IRECT mRECT;
    IRECT mTargetRECT;
    bool mMouseIsOver = false;

private:
    std::vector<Value> mVals;
    int mTag = kNoTag;
    std::string mGroup;
    bool mDirty = true;
    bool mHidden = false;
    bool mDisabled = false;
    bool mMouseWhenDisabled = false;
    bool mIgnoreMouse = false;
    bool mDblAsSingleClick = false;
    IBlend mBlend{1.f};
    std::string mTooltip;
    IActionFunction mAction;
    IActionFunction mAnimationEnd;
    bool mAnimating = false;
    int mAnimationMs = 0;
    iplug::TimerClock::time_point mAnimationStart{};
    IGraphics* mGraphics = nullptr;
};

} // namespace igraphics
