#include "framework/IGraphics.h"

#include "framework/ICornerResizerControl.h"
#include "framework/IParam.h"

#include <algorithm>
#include <cmath>

// The context's event side: mouse routing with the host edit gestures, mouse-over and tooltips,
// keys, and the value prompt.

namespace igraphics {

namespace {

constexpr int kMaxPopupItems = 128;

} // namespace

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

} // namespace igraphics
