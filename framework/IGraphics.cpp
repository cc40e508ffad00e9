#include "framework/IGraphics.h"

#include "framework/ICornerResizerControl.h"
#include "framework/IParam.h"

#include <algorithm>
#include <cmath>

namespace igraphics {

namespace {

constexpr int kMaxPopupItems = 128;
constexpr float kTooltipTextSize = 13.f;
constexpr float kTooltipPad = 5.f;
constexpr float kTooltipOffset = 18.f; // below the pointer, clear of the cursor's arrow
constexpr IColor kTooltipBackground{255, 255, 255, 225};
constexpr IColor kTooltipFrame{255, 90, 90, 90};
constexpr IColor kTooltipText{255, 20, 20, 20};
// Strokes and anti-aliased edges reach a little beyond a control's rectangle.
constexpr float kDirtyMargin = 2.f;

IText TooltipStyle()
{
    return IText(kTooltipTextSize, kTooltipText, kDefaultFontId, EAlign::Near, EVAlign::Middle);
}

bool ValidScale(float s)
{
    return std::isfinite(s) && s > 0.f;
}

} // namespace

IGraphics::IGraphics(iplug::IEditorDelegate& delegate, int width, int height, int fps, float scale)
    : mDelegate(delegate), mWidth(std::max(width, 1)), mHeight(std::max(height, 1)), mFPS(std::max(fps, 1)),
      mDrawScale(ValidScale(scale) ? scale : 1.f), mInitialWidth(mWidth), mInitialHeight(mHeight),
      mInitialScale(mDrawScale), mNow(iplug::TimerClock::now())
{
    mLastMove = mNow;
}

IGraphics::~IGraphics()
{
    // Closing the editor mid-gesture must not leave the host's edit open.
    EndEdits();
    HideMouseCursor(false);
    mTextEntry.Close();
    mPopupMenu.Close();
    mCapture = nullptr;
    mMouseOver = nullptr;
    mCornerResizer.reset();
    mControls.clear();
}

// --- Backend ----------------------------------------------------------------------------------

void IGraphics::SetRenderer(std::unique_ptr<IGraphicsRenderer> renderer)
{
    mRenderer = std::move(renderer);
    if (mRenderer)
        EnsureFonts(*mRenderer);
}

void IGraphics::SetPlatformWindow(IGraphicsWindow* window)
{
    mWindow = window;
    mCursorHidden = false;
    if (window)
        SetAllControlsDirty();
}

// --- Controls ---------------------------------------------------------------------------------

IControl* IGraphics::AttachControl(std::unique_ptr<IControl> control, int tag, const char* group)
{
    if (!control)
        return nullptr;
    IControl* raw = control.get();
    raw->SetGraphics(this);
    raw->SetTag(tag);
    raw->SetGroup(group);
    // A bound control starts where its parameter is.
    for (int i = 0; i < raw->NVals(); ++i)
        if (const iplug::IParam* param = raw->GetParam(i))
            raw->StoreControlValue(param->CurrentNormalised(), i);
    mControls.push_back(std::move(control));
    raw->OnAttached();
    raw->SetRedraw();
    return raw;
}

IControl* IGraphics::InsertControlAtFront(std::unique_ptr<IControl> control, int tag, const char* group)
{
    IControl* raw = AttachControl(std::move(control), tag, group);
    if (raw)
        std::rotate(mControls.begin(), mControls.end() - 1, mControls.end());
    return raw;
}

ICornerResizerControl* IGraphics::AttachCornerResizer(EUIResizerMode mode, float size)
{
    return AttachCornerResizer(std::make_unique<ICornerResizerControl>(GetBounds(), size), mode);
}

ICornerResizerControl* IGraphics::AttachCornerResizer(std::unique_ptr<ICornerResizerControl> resizer,
                                                      EUIResizerMode mode)
{
    ForgetControl(mCornerResizer.get());
    mResizerMode = mode;
    mCornerResizer = std::move(resizer);
    if (mCornerResizer)
    {
        mCornerResizer->SetGraphics(this);
        mCornerResizer->OnAttached();
        mCornerResizer->OnResize();
        mCornerResizer->SetRedraw();
    }
    return mCornerResizer.get();
}

void IGraphics::RemoveAllControls()
{
    EndEdits();
    mCapture = nullptr;
    mMouseOver = nullptr;
    mTextEntry.Close();
    mPopupMenu.Close();
    ResetTooltip();
    mCornerResizer.reset();
    mControls.clear();
    mOverlayDirty = GetBounds();
}

IControl* IGraphics::GetControl(int index) const
{
    return (index >= 0 && index < NControls()) ? mControls[std::size_t(index)].get() : nullptr;
}

IControl* IGraphics::GetControlWithTag(int tag) const
{
    if (tag == kNoTag)
        return nullptr;
    for (const auto& c : mControls)
        if (c->GetTag() == tag)
            return c.get();
    return nullptr;
}

void IGraphics::ForAllControls(const std::function<void(IControl&)>& visit) const
{
    for (std::size_t i = 0; i < mControls.size(); ++i)
        visit(*mControls[i]);
}

void IGraphics::ForControlInGroup(const char* group, const std::function<void(IControl&)>& visit) const
{
    const std::string wanted = group ? group : "";
    for (std::size_t i = 0; i < mControls.size(); ++i)
        if (wanted == mControls[i]->GetGroup())
            visit(*mControls[i]);
}

void IGraphics::SetAllControlsDirty()
{
    for (const auto& c : mControls)
        c->MarkDirty(false);
    if (mCornerResizer)
        mCornerResizer->MarkDirty(false);
    mOverlayDirty = GetBounds();
}

void IGraphics::SendParamToEditor(int paramIdx, double value, bool isNormalised)
{
    const iplug::IParam* param = mDelegate.GetParam(paramIdx);
    if (!param)
        return;
    const double normalised = isNormalised ? value : param->NormaliseValue(value);
    for (const auto& c : mControls)
    {
        if (c.get() == mCapture)
            continue; // the user's hand wins over the host while dragging
        for (int i = 0; i < c->NVals(); ++i)
        {
            if (c->GetParamIdx(i) != paramIdx || c->ControlValue(i) == normalised)
                continue;
            c->StoreControlValue(normalised, i);
            c->MarkDirty(false, i);
        }
    }
}

void IGraphics::UpdatePeers(const IControl* caller, int paramIdx, double normalised)
{
    for (const auto& c : mControls)
    {
        if (c.get() == caller)
            continue;
        for (int i = 0; i < c->NVals(); ++i)
        {
            if (c->GetParamIdx(i) != paramIdx || c->ControlValue(i) == normalised)
                continue;
            c->StoreControlValue(normalised, i);
            c->MarkDirty(false, i);
        }
    }
}

void IGraphics::ForgetControl(const IControl* control)
{
    if (!control)
        return;
    if (mCapture == control)
    {
        EndEdits();
        mCapture = nullptr;
    }
    if (mMouseOver == control)
        mMouseOver = nullptr;
    if (mTextEntry.Control() == control)
        mTextEntry.Close();
    if (mPopupMenu.Control() == control)
        mPopupMenu.Close();
}

// --- Mouse ------------------------------------------------------------------------------------

void IGraphics::ToEditor(float& x, float& y) const
{
    const float s = GetTotalScale();
    x /= s;
    y /= s;
}

IControl* IGraphics::GetMouseControl(float x, float y) const
{
    auto takesMouse = [](const IControl& c) {
        return !c.IsHidden() && !c.GetIgnoreMouse() && (!c.IsDisabled() || c.AcceptsMouseWhenDisabled());
    };
    if (mCornerResizer && takesMouse(*mCornerResizer) && mCornerResizer->IsHit(x, y))
        return mCornerResizer.get();
    for (auto it = mControls.rbegin(); it != mControls.rend(); ++it)
    {
        IControl& c = **it;
        if (takesMouse(c) && c.IsHit(x, y))
            return &c;
    }
    return nullptr;
}

void IGraphics::BeginEdits(IControl& control)
{
    EndEdits();
    for (int i = 0; i < control.NVals(); ++i)
    {
        const int idx = control.GetParamIdx(i);
        if (idx >= 0 && mDelegate.GetParam(idx))
        {
            mEditedParams.push_back(idx);
            mDelegate.BeginHostEdit(idx);
        }
    }
}

void IGraphics::EndEdits()
{
    std::vector<int> ending;
    ending.swap(mEditedParams);
    for (int idx : ending)
        mDelegate.EndHostEdit(idx);
}

void IGraphics::OnMouseDown(float x, float y, const IMouseMod& mod)
{
    ToEditor(x, y);
    OnMouseDownEditor(x, y, mod);
}

void IGraphics::OnMouseUp(float x, float y, const IMouseMod& mod)
{
    ToEditor(x, y);
    OnMouseUpEditor(x, y, mod);
}

void IGraphics::OnMouseDrag(float x, float y, float dX, float dY, const IMouseMod& mod)
{
    ToEditor(x, y);
    ToEditor(dX, dY);
    OnMouseDragEditor(x, y, dX, dY, mod);
}

void IGraphics::OnMouseDblClick(float x, float y, const IMouseMod& mod)
{
    ToEditor(x, y);
    OnMouseDblClickEditor(x, y, mod);
}

void IGraphics::OnMouseWheel(float x, float y, const IMouseMod& mod, float d)
{
    ToEditor(x, y);
    OnMouseWheelEditor(x, y, mod, d);
}

void IGraphics::OnMouseOver(float x, float y, const IMouseMod& mod)
{
    ToEditor(x, y);
    OnMouseOverEditor(x, y, mod);
}

void IGraphics::OnMouseDownEditor(float x, float y, const IMouseMod& mod)
{
    mMouseX = x;
    mMouseY = y;
    mLastMove = mNow;
    ResetTooltip();
    // An open prompt takes the press: inside it stays, outside it ends.
    if (mPopupMenu.IsOpen())
    {
        IControl* control = mPopupMenu.Control();
        const int item = mPopupMenu.ItemAt(x, y);
        const int valIdx = mPopupMenu.ValIdx();
        ClosePopupMenu();
        if (item >= 0 && control)
            control->OnPopupMenuSelection(item, valIdx);
        return;
    }
    if (mTextEntry.IsOpen())
    {
        if (mTextEntry.Rect().Contains(x, y))
            return;
        CloseTextEntry(true);
        return;
    }
    if (mCapture)
        return; // a second button during a gesture changes nothing
    IControl* control = GetMouseControl(x, y);
    if (!control)
        return;
    mCapture = control;
    BeginEdits(*control);
    control->OnMouseDown(x, y, mod);
}

void IGraphics::OnMouseUpEditor(float x, float y, const IMouseMod& mod)
{
    mMouseX = x;
    mMouseY = y;
    IControl* control = mCapture;
    if (control)
    {
        control->OnMouseUp(x, y, mod);
        EndEdits();
        mCapture = nullptr;
    }
    if (mResizing)
        EndResizeGesture();
    HideMouseCursor(false);
    if (mMouseOverEnabled && !mPopupMenu.IsOpen() && !mTextEntry.IsOpen())
        SetMouseOverControl(GetMouseControl(x, y), x, y, mod);
}

void IGraphics::OnMouseDragEditor(float x, float y, float dX, float dY, const IMouseMod& mod)
{
    mMouseX = x;
    mMouseY = y;
    mLastMove = mNow;
    if (mPopupMenu.IsOpen())
    {
        if (mPopupMenu.Hover(x, y))
            InvalidateOverlay(mPopupMenu.Rect());
        return;
    }
    if (mCapture)
        mCapture->OnMouseDrag(x, y, dX, dY, mod);
}

void IGraphics::OnMouseDblClickEditor(float x, float y, const IMouseMod& mod)
{
    if (mPopupMenu.IsOpen() || mTextEntry.IsOpen() || mCapture)
    {
        OnMouseDownEditor(x, y, mod);
        return;
    }
    IControl* control = GetMouseControl(x, y);
    if (!control)
        return;
    if (control->GetMouseDblAsSingleClick())
    {
        OnMouseDownEditor(x, y, mod);
        return;
    }
    ResetTooltip();
    BeginEdits(*control);
    control->OnMouseDblClick(x, y, mod);
    EndEdits();
}

void IGraphics::OnMouseWheelEditor(float x, float y, const IMouseMod& mod, float d)
{
    if (mCapture || mPopupMenu.IsOpen() || mTextEntry.IsOpen())
        return;
    IControl* control = GetMouseControl(x, y);
    if (!control)
        return;
    ResetTooltip();
    BeginEdits(*control);
    control->OnMouseWheel(x, y, mod, d);
    EndEdits();
}

void IGraphics::OnMouseOverEditor(float x, float y, const IMouseMod& mod)
{
    const bool moved = x != mMouseX || y != mMouseY;
    mMouseX = x;
    mMouseY = y;
    if (moved)
        mLastMove = mNow;
    if (mPopupMenu.IsOpen())
    {
        if (mPopupMenu.Hover(x, y))
            InvalidateOverlay(mPopupMenu.Rect());
        return;
    }
    if (!mMouseOverEnabled || mCapture)
        return;
    SetMouseOverControl(GetMouseControl(x, y), x, y, mod);
}

void IGraphics::SetMouseOverControl(IControl* control, float x, float y, const IMouseMod& mod)
{
    if (control != mMouseOver)
    {
        ResetTooltip();
        if (mMouseOver)
            mMouseOver->OnMouseOut();
        mMouseOver = control;
    }
    if (mMouseOver)
        mMouseOver->OnMouseOver(x, y, mod);
}

void IGraphics::OnMouseOut()
{
    ResetTooltip();
    if (mMouseOver)
        mMouseOver->OnMouseOut();
    mMouseOver = nullptr;
}

void IGraphics::EnableMouseOver(bool enable)
{
    mMouseOverEnabled = enable;
    if (!enable)
    {
        OnMouseOut();
        mTooltipsEnabled = false;
    }
}

void IGraphics::EnableTooltips(bool enable)
{
    mTooltipsEnabled = enable;
    if (enable)
        mMouseOverEnabled = true;
    else
        ResetTooltip();
}

const char* IGraphics::ShownTooltip() const
{
    return (mTooltipShown && mMouseOver) ? mMouseOver->GetTooltip() : nullptr;
}

void IGraphics::ResetTooltip()
{
    if (mTooltipShown)
        InvalidateOverlay(mTooltipRect);
    mTooltipShown = false;
    mTooltipRect = {};
}

void IGraphics::SetMouseCursor(ECursor cursor)
{
    if (mWindow)
        mWindow->SetMouseCursor(cursor);
}

void IGraphics::HideMouseCursor(bool hide)
{
    if (hide == mCursorHidden)
        return;
    mCursorHidden = hide;
    if (mWindow)
        mWindow->HideMouseCursor(hide);
}

// --- Keys -------------------------------------------------------------------------------------

bool IGraphics::OnKeyDown(float x, float y, const IKeyPress& key)
{
    ToEditor(x, y);
    if (mTextEntry.IsOpen())
    {
        switch (mTextEntry.OnKey(key))
        {
        case ITextEntry::EKeyResult::Commit:
            CloseTextEntry(true);
            return true;
        case ITextEntry::EKeyResult::Cancel:
            CloseTextEntry(false);
            return true;
        case ITextEntry::EKeyResult::Edited:
            InvalidateOverlay(mTextEntry.Rect());
            return true;
        case ITextEntry::EKeyResult::NotHandled:
            return false;
        }
    }
    if (mPopupMenu.IsOpen())
    {
        switch (mPopupMenu.OnKey(key))
        {
        case IPopupMenu::EKeyResult::Chosen:
        {
            IControl* control = mPopupMenu.Control();
            const int item = mPopupMenu.Highlighted();
            const int valIdx = mPopupMenu.ValIdx();
            ClosePopupMenu();
            if (control)
                control->OnPopupMenuSelection(item, valIdx);
            return true;
        }
        case IPopupMenu::EKeyResult::Cancel:
            ClosePopupMenu();
            return true;
        case IPopupMenu::EKeyResult::Moved:
            InvalidateOverlay(mPopupMenu.Rect());
            return true;
        case IPopupMenu::EKeyResult::NotHandled:
            return false;
        }
    }
    if (IControl* control = GetMouseControl(x, y); control && control->OnKeyDown(x, y, key))
        return true;
    return mKeyHandler ? mKeyHandler(key, false) : false;
}

bool IGraphics::OnKeyUp(float x, float y, const IKeyPress& key)
{
    (void)x;
    (void)y;
    if (mTextEntry.IsOpen() || mPopupMenu.IsOpen())
        return true; // the prompt owns the keyboard
    return mKeyHandler ? mKeyHandler(key, true) : false;
}

// --- Value prompt -----------------------------------------------------------------------------

void IGraphics::CreateTextEntry(IControl& control, const IText& style, const IRECT& rect, const char* str,
                                int valIdx)
{
    CloseTextEntry(false);
    ClosePopupMenu();
    ResetTooltip();
    mTextEntry.Open(control, style, rect, str, valIdx);
    InvalidateOverlay(rect);
}

void IGraphics::CreatePopupMenu(IControl& control, std::vector<std::string> items, int checked,
                                const IRECT& anchor, int valIdx)
{
    CloseTextEntry(false);
    ClosePopupMenu();
    ResetTooltip();
    if (items.empty())
        return;
    float widest = 0.f;
    const IText rowText = IPopupMenu::RowText(COLOR_BLACK);
    for (const auto& item : items)
    {
        const float w = mRenderer ? mRenderer->MeasureText(rowText, item.c_str()).W()
                                  : 0.6f * IPopupMenu::kTextSize * float(item.size());
        widest = std::max(widest, w);
    }
    const float w = std::max(anchor.W(), widest + IPopupMenu::kCheckWidth + 12.f);
    const float h = IPopupMenu::kRowHeight * float(items.size()) + 2.f;
    const float W = float(mWidth);
    const float H = float(mHeight);
    float top = anchor.bottom;
    if (top + h > H)
        top = (anchor.top - h >= 0.f) ? anchor.top - h : std::max(0.f, H - h);
    float left = anchor.left;
    if (left + w > W)
        left = std::max(0.f, W - w);
    const IRECT rect(left, top, left + w, top + h);
    mPopupMenu.Open(control, std::move(items), checked, rect, valIdx);
    InvalidateOverlay(rect);
}

void IGraphics::PromptUserInput(IControl& control, const IText& style, int valIdx)
{
    const iplug::IParam* param = control.GetParam(valIdx);
    if (!param)
        return;
    const double value = param->DenormaliseValue(control.ControlValue(valIdx));
    const bool menu = param->Type() == iplug::ParamType::Enum
                   || (param->Type() == iplug::ParamType::Bool && !param->DisplayTexts().empty());
    char text[iplug::kParamTextSize];
    if (menu && param->GetStep() > 0.0)
    {
        std::vector<std::string> items;
        int checked = -1;
        const double step = param->GetStep();
        for (int i = 0; i < kMaxPopupItems; ++i)
        {
            const double v = param->GetMin() + step * i;
            if (v > param->GetMax() + 0.5 * step)
                break;
            param->FormatDisplay(v, false, text, sizeof(text), true);
            items.emplace_back(text);
            if (std::fabs(v - value) < 0.5 * step)
                checked = i;
        }
        CreatePopupMenu(control, std::move(items), checked, control.GetRECT(), valIdx);
        return;
    }
    param->FormatDisplay(value, false, text, sizeof(text), true);
    CreateTextEntry(control, style, control.GetRECT(), text, valIdx);
}

void IGraphics::CloseTextEntry(bool commit)
{
    if (!mTextEntry.IsOpen())
        return;
    IControl* control = mTextEntry.Control();
    const std::string text = mTextEntry.Text();
    const int valIdx = mTextEntry.ValIdx();
    InvalidateOverlay(mTextEntry.Rect());
    mTextEntry.Close();
    if (!control)
        return;
    control->SetRedraw();
    if (commit)
        control->OnTextEntryCompletion(text.c_str(), valIdx);
}

void IGraphics::ClosePopupMenu()
{
    if (!mPopupMenu.IsOpen())
        return;
    InvalidateOverlay(mPopupMenu.Rect().GetPadded(0.f, 0.f, 3.f, 3.f)); // with its shadow
    if (IControl* control = mPopupMenu.Control())
        control->SetRedraw();
    mPopupMenu.Close();
}

void IGraphics::InvalidateOverlay(const IRECT& area)
{
    mOverlayDirty = mOverlayDirty.Union(area);
}

// --- Frame ------------------------------------------------------------------------------------

bool IGraphics::Tick(TimePoint now)
{
    mNow = now;
    for (std::size_t i = 0; i < mControls.size(); ++i)
        mControls[i]->AdvanceAnimation(now);
    if (mCornerResizer)
        mCornerResizer->AdvanceAnimation(now);

    if (mTooltipsEnabled && !mTooltipShown && mMouseOver && mMouseOver->GetTooltip()[0] != '\0' && !mCapture
        && !mTextEntry.IsOpen() && !mPopupMenu.IsOpen()
        && now - mLastMove >= std::chrono::milliseconds(kTooltipDelayMs))
    {
        const IText style = TooltipStyle();
        const char* tip = mMouseOver->GetTooltip();
        const float textW = mRenderer ? mRenderer->MeasureText(style, tip).W() : 0.55f * style.size * float(std::string(tip).size());
        const float w = textW + 2.f * kTooltipPad;
        const float h = style.size + 2.f * kTooltipPad;
        float left = mMouseX;
        float top = mMouseY + kTooltipOffset;
        if (left + w > float(mWidth))
            left = std::max(0.f, float(mWidth) - w);
        if (top + h > float(mHeight))
            top = std::max(0.f, mMouseY - h - 4.f);
        mTooltipRect = IRECT(left, top, left + w, top + h);
        mTooltipShown = true;
        InvalidateOverlay(mTooltipRect);
    }

    const auto period = std::chrono::microseconds(900000 / mFPS); // a little slack for timer jitter
    if (mFrameStarted && now - mLastFrame < period)
        return false;
    const IRECT area = DirtyArea();
    if (area.Empty())
        return false;
    mFrameStarted = true;
    mLastFrame = now;
    if (mWindow)
        mWindow->InvalidateRect(area);
    return true;
}

IRECT IGraphics::DirtyArea() const
{
    IRECT area = mOverlayDirty;
    for (const auto& c : mControls)
        if (c->IsDirty())
            area = area.Union(c->GetRECT());
    if (mCornerResizer && mCornerResizer->IsDirty())
        area = area.Union(mCornerResizer->GetRECT());
    if (area.Empty())
        return {};
    // Whole editor pixels plus a margin, inside the editor.
    const IRECT padded(std::floor(area.left) - kDirtyMargin, std::floor(area.top) - kDirtyMargin,
                       std::ceil(area.right) + kDirtyMargin, std::ceil(area.bottom) + kDirtyMargin);
    const IRECT inside = padded.Intersect(GetBounds());
    return inside.HasArea() ? inside : IRECT();
}

void IGraphics::EnsureFonts(IGraphicsRenderer& renderer)
{
    for (const Font& font : mFonts)
        if (!renderer.HasFont(font.id.c_str()))
            renderer.LoadFont(font.id.c_str(), font.bytes.data(), font.bytes.size());
}

IRECT IGraphics::Draw(IGraphicsRenderer& renderer, bool full)
{
    const IRECT area = full ? GetBounds() : DirtyArea();
    if (area.Empty())
        return {};
    EnsureFonts(renderer);
    if (!renderer.BeginFrame(GetTotalScale()))
        return {};
    renderer.PushClip(area);
    for (std::size_t i = 0; i < mControls.size(); ++i)
    {
        IControl& c = *mControls[i];
        // The first control is the background and is drawn even when hidden.
        if ((!c.IsHidden() || i == 0) && c.GetRECT().Intersects(area))
            c.Draw(renderer);
        c.ClearDirty();
    }
    if (mCornerResizer)
    {
        if (!mCornerResizer->IsHidden() && mCornerResizer->GetRECT().Intersects(area))
            mCornerResizer->Draw(renderer);
        mCornerResizer->ClearDirty();
    }
    mTextEntry.Draw(renderer);
    mPopupMenu.Draw(renderer);
    if (mTooltipShown)
        DrawTooltip(renderer);
    renderer.PopClip();
    renderer.EndFrame();
    mOverlayDirty = {};
    return area;
}

IRECT IGraphics::Draw(bool full)
{
    return mRenderer ? Draw(*mRenderer, full) : IRECT();
}

void IGraphics::DrawTooltip(IGraphicsRenderer& renderer)
{
    const char* tip = ShownTooltip();
    if (!tip)
        return;
    renderer.FillRect(kTooltipBackground, mTooltipRect);
    renderer.DrawRect(kTooltipFrame, mTooltipRect.GetPadded(-0.5f), nullptr, 1.f);
    renderer.DrawText(TooltipStyle(), tip, mTooltipRect.GetPadded(kTooltipPad, 0.f, -kTooltipPad, 0.f));
}

// --- Size and scale ---------------------------------------------------------------------------

int IGraphics::WindowWidth() const
{
    return int(std::lround(float(mWidth) * mDrawScale));
}

int IGraphics::WindowHeight() const
{
    return int(std::lround(float(mHeight) * mDrawScale));
}

int IGraphics::PixelWidth() const
{
    return int(std::lround(float(mWidth) * GetTotalScale()));
}

int IGraphics::PixelHeight() const
{
    return int(std::lround(float(mHeight) * GetTotalScale()));
}

bool IGraphics::Resize(int width, int height, float scale)
{
    mDelegate.ConstrainEditorSize(width, height);
    if (!ValidScale(scale))
        scale = mDrawScale;
    scale = std::clamp(scale, mMinScale, mMaxScale);
    if (width == mWidth && height == mHeight && scale == mDrawScale)
        return false;
    mWidth = width;
    mHeight = height;
    mDrawScale = scale;
    CloseTextEntry(false);
    ClosePopupMenu();
    ResetTooltip();
    for (std::size_t i = 0; i < mControls.size(); ++i)
        mControls[i]->OnResize();
    if (mCornerResizer)
        mCornerResizer->OnResize();
    SetAllControlsDirty();
    if (mWindow)
        mWindow->WindowResized(PixelWidth(), PixelHeight());
    mDelegate.ResizeEditor(WindowWidth(), WindowHeight());
    return true;
}

void IGraphics::SetScreenScale(float scale)
{
    if (!ValidScale(scale) || scale == mScreenScale)
        return;
    mScreenScale = scale;
    SetAllControlsDirty();
    if (mWindow)
        mWindow->WindowResized(PixelWidth(), PixelHeight());
}

void IGraphics::SetScaleLimits(float minScale, float maxScale)
{
    if (!ValidScale(minScale) || !ValidScale(maxScale))
        return;
    mMinScale = std::min(minScale, maxScale);
    mMaxScale = std::max(minScale, maxScale);
}

void IGraphics::StartResizeGesture(float x, float y)
{
    mResizing = true;
    mResizeStartX = x;
    mResizeStartY = y;
}

void IGraphics::OnDragResize(float x, float y)
{
    if (!mResizing)
        return;
    if (mResizerMode == EUIResizerMode::Size)
    {
        Resize(int(std::lround(x)), int(std::lround(y)), mDrawScale);
        return;
    }
    if (mResizeStartX <= 0.f || mResizeStartY <= 0.f)
        return;
    const float factor = std::min(x / mResizeStartX, y / mResizeStartY);
    Resize(mWidth, mHeight, mDrawScale * factor);
}

void IGraphics::EndResizeGesture()
{
    mResizing = false;
}

// --- Resources --------------------------------------------------------------------------------

bool IGraphics::LoadFont(const char* fontId, const char* fileName)
{
    if (!fontId || fontId[0] == '\0')
        return false;
    for (const Font& font : mFonts)
        if (font.id == fontId)
            return true;
    std::vector<std::uint8_t> storage;
    const ResourceBytes bytes = LoadResourceBytes(mResources, fileName, storage);
    if (!bytes.Found())
        return false;
    if (mRenderer && !mRenderer->LoadFont(fontId, bytes.data, bytes.size))
        return false;
    mFonts.push_back({fontId, std::vector<std::uint8_t>(bytes.data, bytes.data + bytes.size)});
    return true;
}

IBitmap IGraphics::LoadBitmap(const char* name, float scale)
{
    if (!mRenderer)
        return {};
    std::vector<std::uint8_t> storage;
    const ResourceBytes bytes = LoadResourceBytes(mResources, name, storage);
    if (!bytes.Found())
        return {};
    return mRenderer->LoadBitmap(bytes.data, bytes.size, ValidScale(scale) ? scale : 1.f);
}

IRECT IGraphics::MeasureText(const IText& style, const char* str, const IRECT& rect) const
{
    return mRenderer ? mRenderer->MeasureText(style, str, rect) : IRECT();
}

bool IGraphics::OpenURL(const char* url)
{
    if (!url || url[0] == '\0' || !mWindow)
        return false;
    return mWindow->OpenURL(url);
}

// --- Factory ----------------------------------------------------------------------------------

iplug::IGEditorDelegate::GraphicsPtr MakeGraphics(iplug::IGEditorDelegate& delegate, int width, int height, int fps,
                                                  float scale)
{
    auto* graphics = new IGraphics(delegate, width, height, fps, scale);
    const GraphicsBackend& backend = delegate.GetGraphicsBackend();
    if (backend.makeRenderer)
        graphics->SetRenderer(backend.makeRenderer());
    graphics->SetEmbeddedResources(backend.resources);
    return iplug::IGEditorDelegate::GraphicsPtr(graphics, [](IGraphics* g) { delete g; });
}

} // namespace igraphics
