#include "framework/IGraphics.h"

#include "framework/ICornerResizerControl.h"
#include "framework/IParam.h"

#include <algorithm>
#include <cmath>

namespace igraphics {

namespace {

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
    // Closing the editor mid-gesture must not leave the host's edit open. The window may be on
    // its way out already, so it is not asked for anything any more.
    mWindow = nullptr;
    EndEdits();
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

// --- Frame ------------------------------------------------------------------------------------

bool IGraphics::Tick(TimePoint now)
{
    mNow = now;
    for (std::size_t i = 0; i < mControls.size(); ++i)
        mControls[i]->AdvanceAnimation(now);
    if (mCornerResizer)
        mCornerResizer->AdvanceAnimation(now);

    if (mTooltipsEnabled && !mTooltipShown && mMouseOver && !mMouseOver->IsHidden()
        && mMouseOver->GetTooltip()[0] != '\0' && !mCapture
        && !mTextEntry.IsOpen() && !mPopupMenu.IsOpen()
        && now - mLastMove >= std::chrono::milliseconds(kTooltipDelayMs))
    {
        const IText style = TooltipStyle();
        const char* tip = mMouseOver->GetTooltip();
        const float textW = mRenderer ? mRenderer->MeasureText(style, tip).W()
                                      : 0.55f * style.size * float(std::string(tip).size());
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

std::unique_ptr<IGraphics> MakeGraphics(iplug::IEditorDelegate& delegate, const GraphicsBackend& backend, int width,
                                        int height, int fps, float scale)
{
    auto graphics = std::make_unique<IGraphics>(delegate, width, height, fps, scale);
    if (backend.makeRenderer)
        graphics->SetRenderer(backend.makeRenderer());
    graphics->SetEmbeddedResources(backend.resources);
    return graphics;
}

} // namespace igraphics
