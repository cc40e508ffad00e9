#pragma once
// ITextControl: a line of text in a text style over an optional background colour (transparent
// allowed). The text can be replaced at any time; an unchanged text changes nothing, a new one
// redraws. Plain text controls ignore the mouse. UI thread only.

#include "framework/IColor.h"
#include "framework/IControl.h"
#include "framework/IText.h"

#include <string>

namespace igraphics {

class ITextControl : public IControl
{
public:
    ITextControl(const IRECT& bounds, const char* str = "", const IText& style = IText(),
                 const IColor& bgColor = COLOR_TRANSPARENT);

    void Draw(IGraphicsRenderer& g) override;

    // Redraws only when the text differs from the one shown.
    void SetText(const char* str);
    const char* GetText() const { return mStr.c_str(); }
    const IText& GetTextStyle() const { return mText; }
    void SetTextStyle(const IText& style);
    const IColor& GetBGColor() const { return mBGColor; }
    void SetBGColor(const IColor& color);

protected:
    std::string mStr;
    IText mText;
    IColor mBGColor;
};

} // namespace igraphics
