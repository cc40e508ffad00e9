// AutoCatchSwitch: the two-way selector of the Auto Catch mode, "Classic" | "Adaptive", at the
// right end of the section heading. A press on a half selects that mode; the highlighted half
// follows the feed, so a mode the host restores shows after the next idle tick. UI thread.
#pragma once

#include "effect/EditorFeed.h"
#include "framework/IControl.h"

#include <functional>

namespace ringstill {

class AutoCatchSwitch : public igraphics::IControl
{
public:
    // changed runs after the user picked a different mode.
    AutoCatchSwitch(const igraphics::IRECT& bounds, EditorFeed& feed, std::function<void()> changed);

    void OnMouseDown(float x, float y, const igraphics::IMouseMod& mod) override;
    void Draw(igraphics::IGraphicsRenderer& g) override;

    // The half that shows mode.
    igraphics::IRECT HalfRect(AutoCatchMode mode) const;
    // The mode the last draw showed, and the feed's mode now.
    AutoCatchMode Shown() const { return shown; }
    AutoCatchMode Current() const;

private:
    EditorFeed& feed;
    std::function<void()> changed;
    AutoCatchMode shown = kDefaultAutoCatchMode;
};

} // namespace ringstill
