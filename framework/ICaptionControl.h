#pragma once
// ICaptionControl: a text control showing its bound parameter's display text, optionally followed
// by a space and the parameter's label (never when a display text names the value). Unlike plain
// text it takes the mouse: a left or right press on an enabled caption opens the context's value
// prompt, a popup of the display texts for Enum and Bool-with-texts parameters, a text field with
// the current display text for any other. UI thread only.

#include "framework/ITextControl.h"

namespace igraphics {

class ICaptionControl : public ITextControl
{
public:
    ICaptionControl(const IRECT& bounds, int paramIdx, const IText& style = IText(),
                    const IColor& bgColor = COLOR_TRANSPARENT, bool showParamLabel = true);

    void OnMouseDown(float x, float y, const IMouseMod& mod) override;
    void Draw(IGraphicsRenderer& g) override;

    // The text for the current value (what the next draw shows).
    std::string DisplayText() const;
    bool ShowsParamLabel() const { return mShowParamLabel; }

private:
    bool mShowParamLabel;
};

} // namespace igraphics
