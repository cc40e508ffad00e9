#pragma once
// IVSwitchControl: a vector switch that a press advances through its states. With two states it
// toggles (0 becomes 1, anything else 0); with n states it adds 1 / (n - 1) and wraps to 0 past
// the top. A bound parameter gives n = max - min + 1. The press is marked dirty with action;
// release only redraws. A double-click counts as one more press.
// IVToggleControl: the two-state switch with an off and an on text. UI thread only.

#include "framework/IControl.h"
#include "framework/IVectorBase.h"

#include <string>

namespace igraphics {

inline constexpr int kPressAnimationMs = 100;

// The toolkit's default click action: a short press flash.
void DefaultClickActionFunc(IControl* caller);

class IVSwitchControl : public IControl, public IVectorBase
{
public:
    IVSwitchControl(const IRECT& bounds, int paramIdx = kNoParameter, const char* label = "",
                    const VectorStyle& style = kDefaultStyle, bool valueInButton = true);
    // Unbound, with an action function and a number of states.
    IVSwitchControl(const IRECT& bounds, IActionFunction action, const char* label = "",
                    const VectorStyle& style = kDefaultStyle, int numStates = 2, bool valueInButton = true);

    void OnMouseDown(float x, float y, const IMouseMod& mod) override;
    void OnMouseUp(float x, float y, const IMouseMod& mod) override;
    void OnResize() override;
    void Draw(IGraphicsRenderer& g) override;

    int NStates() const;
    // The text naming the current state.
    virtual std::string StateText() const;
    bool IsPressed() const { return mPressed; }

protected:
    int mNumStates;
    bool mPressed = false;
};

class IVToggleControl : public IVSwitchControl
{
public:
    IVToggleControl(const IRECT& bounds, int paramIdx = kNoParameter, const char* label = "",
                    const VectorStyle& style = kDefaultStyle, const char* offText = "OFF", const char* onText = "ON");
    IVToggleControl(const IRECT& bounds, IActionFunction action, const char* label = "",
                    const VectorStyle& style = kDefaultStyle, const char* offText = "OFF", const char* onText = "ON",
                    bool initialState = false);

    std::string StateText() const override;
    const char* GetOffText() const { return mOffText.c_str(); }
    const char* GetOnText() const { return mOnText.c_str(); }

private:
    std::string mOffText;
    std::string mOnText;
};

} // namespace igraphics
