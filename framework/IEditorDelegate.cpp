#include "framework/IEditorDelegate.h"

#include <algorithm>

namespace iplug {

IEditorDelegate::IEditorDelegate(int nParams)
{
    params.reserve(std::size_t(std::max(nParams, 0)));
    for (int i = 0; i < nParams; ++i)
        params.push_back(std::make_unique<IParam>());
}

IEditorDelegate::~IEditorDelegate() = default;

void IEditorDelegate::OnParamChange(int index, ParamSource source, int sampleOffset)
{
    (void)source;
    (void)sampleOffset;
    if (ValidIndex(index))
        OnParamChange(index);
}

void IEditorDelegate::ParamsReset(ParamSource source)
{
    for (int i = 0; i < NParams(); ++i)
    {
        OnParamChange(i, source, -1);
        ParamChangedForEditor(i, source);
    }
}

void IEditorDelegate::SetParameterFromEditor(int index, double normalised)
{
    IParam* param = GetParam(index);
    if (!param)
        return;
    param->StoreNormalised(normalised);
    OnParamChange(index, ParamSource::Editor, -1);
    ParamChangedForEditor(index, ParamSource::Editor);
}

bool IEditorDelegate::ResizeEditor(int width, int height)
{
    SetEditorSize(width, height);
    return true;
}

void IEditorDelegate::SetEditorSizeLimits(int minW, int maxW, int minH, int maxH)
{
    minWidth = std::min(minW, maxW);
    maxWidth = std::max(minW, maxW);
    minHeight = std::min(minH, maxH);
    maxHeight = std::max(minH, maxH);
}

bool IEditorDelegate::ConstrainEditorSize(int& width, int& height) const
{
    if (width >= minWidth && width <= maxWidth && height >= minHeight && height <= maxHeight)
        return true;
    width = std::clamp(width, minWidth, maxWidth);
    height = std::clamp(height, minHeight, maxHeight);
    return false;
}

} // namespace iplug
