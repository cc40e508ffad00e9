#include "framework/ITextControl.h"

namespace igraphics {

ITextControl::ITextControl(const IRECT& bounds, const char* str, const IText& style, const IColor& bgColor)
    : IControl(bounds), mStr(str ? str : ""), mText(style), mBGColor(bgColor)
{
    SetIgnoreMouse(true);
}

void ITextControl::Draw(IGraphicsRenderer& g)
{
    if (mBGColor.a > 0)
        g.FillRect(mBGColor, mRECT, GetBlend());
    if (!mStr.empty())
        g.DrawText(mText, mStr.c_str(), mRECT, GetBlend());
}

void ITextControl::SetText(const char* str)
{
    const char* text = str ? str : "";
    if (mStr == text)
        return;
    mStr = text;
    SetRedraw();
}

void ITextControl::SetTextStyle(const IText& style)
{
    mText = style;
    SetRedraw();
}

void ITextControl::SetBGColor(const IColor& color)
{
    mBGColor = color;
    SetRedraw();
}

} // namespace igraphics
