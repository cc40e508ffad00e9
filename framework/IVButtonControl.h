#pragma once
// IVButtonControl: a vector push button. A press sets the value to 1 and runs the action
// function (marked dirty with action) and starts the press animation; when it ends the value
// returns to 0. A double-click counts as one more press. UI thread only.

#include "framework/IControl.h"
#include "framework/IVSwitchControl.h"
#include "framework/IVectorBase.h"

namespace igraphics {

class IVButtonControl : public IControl, public IVectorBase
{
public:
    IVButtonControl(const IRECT& bounds, IActionFunction action = nullptr, const char* label = "",
                    const VectorStyle& style = kDefaultStyle, bool labelInButton = true, bool valueInButton = false);

    void OnMouseDown(float x, float y, const IMouseMod& mod) override;
    void OnResize() override;
    void Draw(IGraphicsRenderer& g) override;
    void OnEndAnimation() override;

    // What the value area shows when the style shows values; empty by default.
    void SetValueStr(const char* str);
    const char* GetValueStr() const { return mValueStr.c_str(); }

private:
    std::string mValueStr;
};

} // namespace igraphics
