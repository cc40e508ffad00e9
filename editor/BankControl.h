// BankControl: the strip of the 20 notch slots coloured by kind, the selected one
// framed; a press selects the slot under the pointer. UI thread.
#pragma once

#include "effect/EditorFeed.h"
#include "framework/IControl.h"

#include <vector>

namespace ringstill {

class BankControl : public igraphics::IControl
{
public:
    BankControl(const igraphics::IRECT& bounds, EditorFeed& feed);

    void OnMouseDown(float x, float y, const igraphics::IMouseMod& mod) override;
    void Draw(igraphics::IGraphicsRenderer& g) override;

    // Cell i of n across the strip.
    igraphics::IRECT CellRect(int i, int n) const;

private:
    EditorFeed& feed;
    std::vector<NotchView> viewCopy;
};

} // namespace ringstill
