#include "editor/SmallButton.h"

#include "framework/IGraphicsRenderer.h"
#include "framework/IText.h"

namespace ringstill {

namespace {
constexpr igraphics::IColor kButtonColour{255, 150, 200, 225};
constexpr igraphics::IText kButtonText{12.f, kButtonColour, "Roboto-Regular"};
} // namespace

SmallButton::SmallButton(const igraphics::IRECT& bounds, const char* label, std::function<void()> action)
    : IControl(bounds), label(label), action(std::move(action))
{
}

// UI thread.
void SmallButton::OnMouseDown(float, float, const igraphics::IMouseMod&)
{
    if (action)
        action();
}

// UI thread.
void SmallButton::Draw(igraphics::IGraphicsRenderer& g)
{
    const igraphics::IRECT r(mRECT.left + 1.0f, mRECT.top + 1.0f, mRECT.right - 1.0f, mRECT.bottom - 1.0f);
    g.DrawRoundRect(kButtonColour, r, 4.0f, nullptr, 1.2f);
    if (label != nullptr && label[0] != '\0')
        g.DrawText(kButtonText, label, mRECT);
}

} // namespace ringstill
