#pragma once
// IGraphics: the graphics context of an open editor. It owns the controls (attach order is
// drawing order, later above earlier), routes the platform window's mouse and key events to
// them, tracks what is dirty and redraws it at its frame rate, shows tooltips, the value prompt
// (text field or popup menu) and the resize gesture, and links the controls to the plug-in's
// parameters through the editor delegate.
//
// Created by the editor's make-graphics function (MakeGraphics below) when the view opens and
// destroyed when it closes; the editor delegate owns it meanwhile. The renderer comes from the
// GraphicsBackend it was made with. The platform window (IGraphicsWindow) is not owned.
//
// UI thread only. Coordinates are editor coordinates unless a name says Pixel.

#include "framework/GraphicsBackend.h"
#include "framework/IControl.h"
#include "framework/IEditorContext.h"
#include "framework/IEditorDelegate.h"
#include "framework/IGraphicsWindow.h"
#include "framework/IPopupMenu.h"
#include "framework/ITextEntry.h"
#include "framework/Timer.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace igraphics {

class ICornerResizerControl;

enum class EUIResizerMode
{
    Scale, // the resize gesture changes the draw scale
    Size,  // the resize gesture changes width and height
};

inline constexpr int kTooltipDelayMs = 600;
inline constexpr float kDefaultMinScale = 0.5f;
inline constexpr float kDefaultMaxScale = 2.f;

class IGraphics : public iplug::IEditorContext
{
public:
    using TimePoint = iplug::TimerClock::time_point;
    using KeyHandlerFunc = std::function<bool(const IKeyPress& key, bool isUp)>;

    IGraphics(iplug::IEditorDelegate& delegate, int width, int height, int fps = 30, float scale = 1.f);
    ~IGraphics() override;
    IGraphics(const IGraphics&) = delete;
    IGraphics& operator=(const IGraphics&) = delete;

    iplug::IEditorDelegate& GetDelegate() const { return mDelegate; }

    // --- Backend ---------------------------------------------------------------------------
    void SetRenderer(std::unique_ptr<IGraphicsRenderer> renderer);
    IGraphicsRenderer* GetRenderer() const { return mRenderer.get(); }
    void SetEmbeddedResources(const IEmbeddedResources* resources) { mResources = resources; }
    // The window, or nullptr while none is open. The window clears it before it goes.
    void SetPlatformWindow(IGraphicsWindow* window);
    IGraphicsWindow* GetPlatformWindow() const { return mWindow; }

    // --- Controls --------------------------------------------------------------------------
    // Takes ownership; the control draws above all earlier ones. Returns it.
    IControl* AttachControl(std::unique_ptr<IControl> control, int tag = kNoTag, const char* group = "");
    template <typename T, typename... Args>
    T* Attach(Args&&... args)
    {
        auto control = std::make_unique<T>(std::forward<Args>(args)...);
        T* raw = control.get();
        AttachControl(std::move(control));
        return raw;
    }
    // Inserts at the front: drawn first, beneath everything (the background).
    IControl* InsertControlAtFront(std::unique_ptr<IControl> control, int tag = kNoTag, const char* group = "");
    // Kept apart from the other controls: drawn last and hit first.
    ICornerResizerControl* AttachCornerResizer(EUIResizerMode mode, float size = 20.f);
    ICornerResizerControl* AttachCornerResizer(std::unique_ptr<ICornerResizerControl> resizer, EUIResizerMode mode);
    ICornerResizerControl* GetCornerResizer() const { return mCornerResizer.get(); }
    void RemoveAllControls();

    int NControls() const { return static_cast<int>(mControls.size()); }
    IControl* GetControl(int index) const;
    // The first control with this tag, or nullptr (kNoTag finds nothing).
    IControl* GetControlWithTag(int tag) const;
    void ForAllControls(const std::function<void(IControl&)>& visit) const;
    void ForControlInGroup(const char* group, const std::function<void(IControl&)>& visit) const;
    // MarkDirty without action on every control (the corner resizer included).
    void SetAllControlsDirty();
    // Controls bound to the parameter store the normalised value and redraw without action;
    // a control being dragged is skipped, an unchanged value changes nothing.
    void SendParamToEditor(int paramIdx, double value, bool isNormalised = true) override;
    IGraphics& Graphics() override { return *this; }
    // Controls other than caller bound to paramIdx take the value (used after a user change).
    void UpdatePeers(const IControl* caller, int paramIdx, double normalised);

    // --- Mouse (from the window, positions in window pixels) -------------------------------
    void OnMouseDown(float x, float y, const IMouseMod& mod);
    void OnMouseUp(float x, float y, const IMouseMod& mod);
    void OnMouseDrag(float x, float y, float dX, float dY, const IMouseMod& mod);
    void OnMouseDblClick(float x, float y, const IMouseMod& mod);
    void OnMouseWheel(float x, float y, const IMouseMod& mod, float d);
    // Pointer moved without a button held.
    void OnMouseOver(float x, float y, const IMouseMod& mod);
    // Pointer left the window.
    void OnMouseOut();
    // The same in editor coordinates (tests and the window's own conversions).
    void OnMouseDownEditor(float x, float y, const IMouseMod& mod);
    void OnMouseUpEditor(float x, float y, const IMouseMod& mod);
    void OnMouseDragEditor(float x, float y, float dX, float dY, const IMouseMod& mod);
    void OnMouseDblClickEditor(float x, float y, const IMouseMod& mod);
    void OnMouseWheelEditor(float x, float y, const IMouseMod& mod, float d);
    void OnMouseOverEditor(float x, float y, const IMouseMod& mod);

    // The topmost control that takes the mouse at (x, y), or nullptr.
    IControl* GetMouseControl(float x, float y) const;
    IControl* GetCapturedControl() const { return mCapture; }
    IControl* GetMouseOverControl() const { return mMouseOver; }
    void EnableMouseOver(bool enable);
    bool MouseOverEnabled() const { return mMouseOverEnabled; }
    // Tooltips also need mouse-over tracking, so enabling them enables it.
    void EnableTooltips(bool enable);
    bool TooltipsEnabled() const { return mTooltipsEnabled; }
    // The tooltip text on screen now, or nullptr.
    const char* ShownTooltip() const;
    IRECT TooltipRECT() const { return mTooltipRect; }
    void SetMouseCursor(ECursor cursor);
    void HideMouseCursor(bool hide);

    // --- Keys (from the window); true when the editor handled the key ----------------------
    bool OnKeyDown(float x, float y, const IKeyPress& key);
    bool OnKeyUp(float x, float y, const IKeyPress& key);
    // Keys no control took; the handler decides.
    void SetKeyHandlerFunc(KeyHandlerFunc func) { mKeyHandler = std::move(func); }

    // --- Value prompt (drawn by the context itself) ----------------------------------------
    // A text field over rect holding str; Enter calls control's OnTextEntryCompletion, Escape
    // or closing drops it. A press outside the field also completes it.
    void CreateTextEntry(IControl& control, const IText& style, const IRECT& rect, const char* str,
                         int valIdx = 0);
    // A list of items below (or above) anchor with item `checked` marked; a chosen item calls
    // control's OnPopupMenuSelection. A press outside closes it without a choice.
    void CreatePopupMenu(IControl& control, std::vector<std::string> items, int checked, const IRECT& anchor,
                         int valIdx = 0);
    // Prompts for the value of a control's parameter: a popup of its display texts for Enum and
    // Bool-with-texts parameters, a text field with the current display text (in style) for any
    // other.
    void PromptUserInput(IControl& control, const IText& style, int valIdx = 0);
    void PromptUserInput(IControl& control, int valIdx = 0) { PromptUserInput(control, IText(), valIdx); }
    bool IsTextEntryOpen() const { return mTextEntry.IsOpen(); }
    bool IsPopupMenuOpen() const { return mPopupMenu.IsOpen(); }
    const ITextEntry& GetTextEntry() const { return mTextEntry; }
    const IPopupMenu& GetPopupMenu() const { return mPopupMenu; }
    void CloseTextEntry(bool commit);
    void ClosePopupMenu();

    // --- Frame -----------------------------------------------------------------------------
    // From the window's timer (a period at or below the frame period): runs animations and the
    // tooltip delay, and when a frame is due and something is dirty, asks the window to
    // invalidate that area. Returns true when a frame is due; the window then calls Draw.
    bool Tick(TimePoint now);
    bool Tick() { return Tick(iplug::TimerClock::now()); }
    TimePoint Now() const { return mNow; }
    // The union of every dirty area (controls, tooltip, prompt); empty when nothing is dirty.
    IRECT DirtyArea() const;
    // Draws every control intersecting the dirty area (or all, with full) into the renderer's
    // current target, then the overlays; clears the dirty flags and returns the area drawn.
    IRECT Draw(IGraphicsRenderer& renderer, bool full = false);
    // The same with the context's own renderer (empty without one).
    IRECT Draw(bool full = false);
    int FPS() const { return mFPS; }

    // --- Size and scale --------------------------------------------------------------------
    int Width() const { return mWidth; }
    int Height() const { return mHeight; }
    IRECT GetBounds() const { return {0.f, 0.f, float(mWidth), float(mHeight)}; }
    float GetDrawScale() const { return mDrawScale; }
    float GetScreenScale() const { return mScreenScale; }
    float GetTotalScale() const { return mDrawScale * mScreenScale; }
    // Host window size: editor size x draw scale.
    int WindowWidth() const;
    int WindowHeight() const;
    // Pixels of the window's surface: window size x screen scale.
    int PixelWidth() const;
    int PixelHeight() const;
    // Clamps width and height with ConstrainEditorSize and the scale to the scale limits; when
    // anything changed: controls are told, everything redraws, the window is resized and the
    // host through ResizeEditor. False when nothing changed.
    bool Resize(int width, int height, float scale);
    void SetScreenScale(float scale);
    void SetScaleLimits(float minScale, float maxScale);
    float MinScale() const { return mMinScale; }
    float MaxScale() const { return mMaxScale; }
    int InitialWidth() const { return mInitialWidth; }
    int InitialHeight() const { return mInitialHeight; }
    float InitialScale() const { return mInitialScale; }

    // The corner resizer's gesture, in editor coordinates.
    void StartResizeGesture(float x, float y);
    void OnDragResize(float x, float y);
    void EndResizeGesture();
    bool IsResizing() const { return mResizing; }
    EUIResizerMode GetResizerMode() const { return mResizerMode; }

    // --- Resources -------------------------------------------------------------------------
    // Finds fileName among the embedded resources, then as a file path, and loads it under id.
    bool LoadFont(const char* fontId, const char* fileName);
    bool LoadFontResource(const char* fontId, const char* fileName) { return LoadFont(fontId, fileName); }
    // An invalid bitmap (W() == H() == 0) when the name is neither embedded nor a readable PNG.
    IBitmap LoadBitmap(const char* name, float scale = 1.f);
    IBitmap LoadBitmapResource(const char* name, float scale = 1.f) { return LoadBitmap(name, scale); }
    // The text's rectangle in a style (needs a renderer; empty without one).
    IRECT MeasureText(const IText& style, const char* str, const IRECT& rect = IRECT()) const;

    // Opens a web or mail address through the window; false without one.
    bool OpenURL(const char* url);

private:
    struct Font
    {
        std::string id;
        std::vector<std::uint8_t> bytes;
    };

    void ToEditor(float& x, float& y) const;
    void BeginEdits(IControl& control);
    void EndEdits();
    void ResetTooltip();
    void SetMouseOverControl(IControl* control, float x, float y, const IMouseMod& mod);
    void EnsureFonts(IGraphicsRenderer& renderer);
    void DrawTooltip(IGraphicsRenderer& renderer);
    void InvalidateOverlay(const IRECT& area);
    void ForgetControl(const IControl* control);

    iplug::IEditorDelegate& mDelegate;
    std::unique_ptr<IGraphicsRenderer> mRenderer;
    const IEmbeddedResources* mResources = nullptr;
    IGraphicsWindow* mWindow = nullptr;
    std::vector<std::unique_ptr<IControl>> mControls;
    std::unique_ptr<ICornerResizerControl> mCornerResizer;
    std::vector<Font> mFonts;

    int mWidth;
    int mHeight;
    int mFPS;
    float mDrawScale;
    float mScreenScale = 1.f;
    float mMinScale = kDefaultMinScale;
    float mMaxScale = kDefaultMaxScale;
    int mInitialWidth;
    int mInitialHeight;
    float mInitialScale;

    IControl* mCapture = nullptr;
    std::vector<int> mEditedParams; // parameters of the current gesture, ended on release
    IControl* mMouseOver = nullptr;
    bool mMouseOverEnabled = false;
    bool mTooltipsEnabled = false;
    bool mTooltipShown = false;
    IRECT mTooltipRect;
    float mMouseX = 0.f;
    float mMouseY = 0.f;
    TimePoint mLastMove{};
    bool mCursorHidden = false;

    bool mResizing = false;
    EUIResizerMode mResizerMode = EUIResizerMode::Scale;
    float mResizeStartX = 0.f;
    float mResizeStartY = 0.f;

    ITextEntry mTextEntry;
    IPopupMenu mPopupMenu;
    IRECT mOverlayDirty;

    KeyHandlerFunc mKeyHandler;
    TimePoint mNow{};
    TimePoint mLastFrame{};
    bool mFrameStarted = false;
};

// A new context for the delegate, with the renderer and resources of the backend; the editor's
// make-graphics function returns it.
std::unique_ptr<IGraphics> MakeGraphics(iplug::IEditorDelegate& delegate, const GraphicsBackend& backend, int width,
                                        int height, int fps = 30, float scale = 1.f);

} // namespace igraphics
