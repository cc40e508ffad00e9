// SmallButton: a framed text button that runs its action when pressed. UI thread.
#pragma once

#include "framework/IControl.h"

#include <functional>

namespace ringstill {

class SmallButton : public igraphics::IControl
{
public:
    SmallButton(const igraphics::IRECT& bounds, const char* label, std::function<void()> action);

    void OnMouseDown(float x, float y, const igraphics::IMouseMod& mod) override;
    void Draw(igraphics::IGraphicsRenderer& g) override;

private:
    const char* label;
    std::function<void()> action;
};

} // namespace ringstill
