#include "framework/ICaptionControl.h"

#include "framework/IGraphics.h"
#include "framework/IParam.h"

namespace igraphics {

ICaptionControl::ICaptionControl(const IRECT& bounds, int paramIdx, const IText& style, const IColor& bgColor,
                                 bool showParamLabel)
    : ITextControl(bounds, "", style, bgColor), mShowParamLabel(showParamLabel)
{
    SetParamIdx(paramIdx);
    SetIgnoreMouse(false);
}

std::string ICaptionControl::DisplayText() const
{
    const iplug::IParam* param = GetParam();
    if (!param)
        return mStr;
    const double value = param->DenormaliseValue(ControlValue());
    char text[iplug::kParamTextSize];
    param->FormatDisplay(value, false, text, sizeof(text), true);
    std::string shown(text);
    const char* label = param->GetLabel();
    if (mShowParamLabel && label[0] != '\0' && !param->DisplayTextFor(value))
        shown.append(" ").append(label);
    return shown;
}

void ICaptionControl::OnMouseDown(float, float, const IMouseMod& mod)
{
    if ((mod.L || mod.R) && !IsDisabled() && GetUI())
        GetUI()->PromptUserInput(*this, mText, 0);
}

void ICaptionControl::Draw(IGraphicsRenderer& g)
{
    mStr = DisplayText();
    ITextControl::Draw(g);
}

} // namespace igraphics
