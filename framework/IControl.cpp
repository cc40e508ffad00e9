#include "framework/IControl.h"

#include "framework/IEditorDelegate.h"
#include "framework/IGraphics.h"

#include <algorithm>
#include <cmath>

namespace igraphics {

namespace {

double Clamp01(double v)
{
    if (!(v >= 0.0)) // NaN too: a broken value must not reach a parameter
        return 0.0;
    return v > 1.0 ? 1.0 : v;
}

} // namespace

IControl::IControl(const IRECT& bounds, int paramIdx, IActionFunction action)
    : mRECT(bounds), mTargetRECT(bounds), mVals{{paramIdx, 0.0}}, mAction(std::move(action))
{}

IControl::IControl(const IRECT& bounds, const std::vector<int>& paramIndices, IActionFunction action)
    : mRECT(bounds), mTargetRECT(bounds), mAction(std::move(action))
{
    for (int idx : paramIndices)
        mVals.push_back({idx, 0.0});
    if (mVals.empty())
        mVals.push_back({kNoParameter, 0.0});
}

IControl::IControl(const IRECT& bounds, IActionFunction action) : IControl(bounds, kNoParameter, std::move(action)) {}

IControl::~IControl() = default;

void IControl::OnMouseDown(float, float, const IMouseMod&) {}

void IControl::OnMouseUp(float, float, const IMouseMod&) {}

void IControl::OnMouseDrag(float, float, float, float, const IMouseMod&) {}

void IControl::OnMouseDblClick(float x, float y, const IMouseMod&)
{
    const int valIdx = GetValIdxForPos(x, y);
    const iplug::IParam* param = GetParam(valIdx);
    if (!param)
        return; // nothing to reset to
    StoreControlValue(param->GetDefaultNormalised(), valIdx);
    MarkDirty(true, valIdx);
}

void IControl::OnMouseWheel(float, float, const IMouseMod&, float) {}

void IControl::OnMouseOver(float, float, const IMouseMod&)
{
    if (!mMouseIsOver)
    {
        mMouseIsOver = true;
        SetRedraw();
    }
}

void IControl::OnMouseOut()
{
    if (mMouseIsOver)
    {
        mMouseIsOver = false;
        SetRedraw();
    }
}

void IControl::OnResize() {}

bool IControl::OnKeyDown(float, float, const IKeyPress&)
{
    return false;
}

void IControl::OnEndAnimation()
{
    mAnimating = false;
    if (mAnimationEnd)
        mAnimationEnd(this);
    SetRedraw();
}

void IControl::OnTextEntryCompletion(const char* text, int valIdx)
{
    const iplug::IParam* param = GetParam(valIdx);
    if (!param || !text)
        return;
    SetValueFromUserInput(param->NormaliseValue(param->ParseDisplayText(text)), valIdx);
}

void IControl::OnPopupMenuSelection(int itemIndex, int valIdx)
{
    const iplug::IParam* param = GetParam(valIdx);
    if (!param || itemIndex < 0)
        return;
    // Items run through the parameter's values from min in steps of the step.
    const double value = param->GetMin() + param->GetStep() * itemIndex;
    SetValueFromUserInput(param->NormaliseValue(value), valIdx);
}

void IControl::StoreControlValue(double value, int valIdx)
{
    if (valIdx >= 0 && valIdx < NVals())
        mVals[std::size_t(valIdx)].value = value;
}

double IControl::ControlValue(int valIdx) const
{
    return (valIdx >= 0 && valIdx < NVals()) ? mVals[std::size_t(valIdx)].value : 0.0;
}

int IControl::GetParamIdx(int valIdx) const
{
    return (valIdx >= 0 && valIdx < NVals()) ? mVals[std::size_t(valIdx)].paramIdx : kNoParameter;
}

void IControl::SetParamIdx(int paramIdx, int valIdx)
{
    if (valIdx >= 0 && valIdx < NVals())
        mVals[std::size_t(valIdx)].paramIdx = paramIdx;
}

const iplug::IParam* IControl::GetParam(int valIdx) const
{
    const iplug::IEditorDelegate* delegate = GetDelegate();
    const int idx = GetParamIdx(valIdx);
    return (delegate && idx >= 0) ? delegate->GetParam(idx) : nullptr;
}

int IControl::ValIdxForParam(int paramIdx) const
{
    if (paramIdx < 0)
        return -1;
    for (int i = 0; i < NVals(); ++i)
        if (mVals[std::size_t(i)].paramIdx == paramIdx)
            return i;
    return -1;
}

int IControl::GetValIdxForPos(float, float) const
{
    return 0;
}

void IControl::MarkDirty(bool withAction, int valIdx)
{
    const int first = valIdx == kAllValues ? 0 : valIdx;
    const int last = valIdx == kAllValues ? NVals() - 1 : valIdx;
    if (first < 0 || last >= NVals())
    {
        mDirty = true;
        return;
    }
    for (int i = first; i <= last; ++i)
        mVals[std::size_t(i)].value = Clamp01(mVals[std::size_t(i)].value);
    mDirty = true;
    if (!withAction)
        return;
    iplug::IEditorDelegate* delegate = GetDelegate();
    for (int i = first; i <= last; ++i)
    {
        const Value& v = mVals[std::size_t(i)];
        if (v.paramIdx < 0 || !delegate)
            continue;
        delegate->SetParameterFromEditor(v.paramIdx, v.value);
        if (mGraphics)
            mGraphics->UpdatePeers(this, v.paramIdx, v.value);
    }
    if (mAction)
        mAction(this);
}

void IControl::SetValueFromUserInput(double normalised, int valIdx)
{
    if (valIdx < 0 || valIdx >= NVals())
        return;
    iplug::IEditorDelegate* delegate = GetDelegate();
    const int paramIdx = GetParamIdx(valIdx);
    if (delegate && paramIdx >= 0)
        delegate->BeginHostEdit(paramIdx);
    StoreControlValue(normalised, valIdx);
    MarkDirty(true, valIdx);
    if (delegate && paramIdx >= 0)
        delegate->EndHostEdit(paramIdx);
}

void IControl::SetTargetAndDrawRECTs(const IRECT& bounds)
{
    mRECT = bounds;
    mTargetRECT = bounds;
    SetRedraw();
    OnResize();
}

void IControl::Hide(bool hide)
{
    mHidden = hide;
    SetRedraw();
}

void IControl::SetDisabled(bool disabled)
{
    mDisabled = disabled;
    mBlend.weight = disabled ? kDisabledBlendWeight : 1.f;
    SetRedraw();
}

void IControl::StartAnimation(int durationMs)
{
    mAnimating = true;
    mAnimationMs = std::max(durationMs, 0);
    mAnimationStart = mGraphics ? mGraphics->Now() : iplug::TimerClock::now();
    SetRedraw();
}

double IControl::GetAnimationProgress() const
{
    if (!mAnimating || mAnimationMs <= 0)
        return 1.0;
    const auto now = mGraphics ? mGraphics->Now() : iplug::TimerClock::now();
    const double elapsed = std::chrono::duration<double, std::milli>(now - mAnimationStart).count();
    return std::clamp(elapsed / mAnimationMs, 0.0, 1.0);
}

bool IControl::AdvanceAnimation(iplug::TimerClock::time_point now)
{
    if (!mAnimating)
        return false;
    if (now - mAnimationStart < std::chrono::milliseconds(mAnimationMs))
    {
        SetRedraw();
        return false;
    }
    OnEndAnimation();
    return true;
}

iplug::IEditorDelegate* IControl::GetDelegate() const
{
    return mGraphics ? &mGraphics->GetDelegate() : nullptr;
}

} // namespace igraphics
