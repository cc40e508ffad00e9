#include "editor/AutoCatchSwitch.h"

#include "effect/RingstillParams.h"
#include "framework/IGraphicsRenderer.h"
#include "framework/IText.h"

namespace ringstill {

using igraphics::IColor;
using igraphics::IRECT;

namespace {

// The colours of the editor's switches: the accent fills the chosen half.
constexpr IColor kFrame{255, 210, 224, 244};
constexpr IColor kChosen{255, 64, 190, 214};
constexpr IColor kChosenText{255, 16, 22, 30};
constexpr IColor kOtherText{255, 200, 206, 216};
constexpr float kRoundness = 4.0f;

} // namespace

AutoCatchSwitch::AutoCatchSwitch(const IRECT& bounds, EditorFeed& feed, std::function<void()> changed)
    : IControl(bounds), feed(feed), changed(std::move(changed))
{
}

AutoCatchMode AutoCatchSwitch::Current() const
{
    return feed.autoCatchMode.load() == static_cast<std::uint8_t>(AutoCatchMode::Adaptive) ? AutoCatchMode::Adaptive
                                                                                          : AutoCatchMode::Classic;
}

IRECT AutoCatchSwitch::HalfRect(AutoCatchMode mode) const
{
    const float middle = mRECT.MW();
    return mode == AutoCatchMode::Classic ? IRECT(mRECT.left, mRECT.top, middle, mRECT.bottom)
                                          : IRECT(middle, mRECT.top, mRECT.right, mRECT.bottom);
}

// UI thread.
void AutoCatchSwitch::OnMouseDown(float x, float, const igraphics::IMouseMod&)
{
    const AutoCatchMode picked = x < mRECT.MW() ? AutoCatchMode::Classic : AutoCatchMode::Adaptive;
    if (picked == Current())
        return;
    feed.autoCatchMode.store(static_cast<std::uint8_t>(picked));
    MarkDirty(false);
    if (changed)
        changed();
}

// UI thread.
void AutoCatchSwitch::Draw(igraphics::IGraphicsRenderer& g)
{
    shown = Current();
    const IRECT frame(mRECT.left + 0.5f, mRECT.top + 0.5f, mRECT.right - 0.5f, mRECT.bottom - 0.5f);
    const IRECT chosen = HalfRect(shown);
    g.FillRoundRect(kChosen, IRECT(chosen.left + 1.5f, chosen.top + 1.5f, chosen.right - 1.5f, chosen.bottom - 1.5f),
                    kRoundness - 1.0f);
    g.DrawRoundRect(kFrame, frame, kRoundness, nullptr, 1.0f);
    for (AutoCatchMode mode : {AutoCatchMode::Classic, AutoCatchMode::Adaptive})
    {
        const igraphics::IText text{12.f, mode == shown ? kChosenText : kOtherText, kFontName};
        g.DrawText(text, AutoCatchModeName(mode), HalfRect(mode));
    }
}

} // namespace ringstill
