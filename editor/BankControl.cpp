#include "editor/BankControl.h"

#include "framework/IGraphicsRenderer.h"
#include "framework/IText.h"

#include <algorithm>
#include <cstdio>

namespace ringstill {

using igraphics::IColor;
using igraphics::IRECT;

namespace {

constexpr IColor kAutoCell{255, 255, 200, 0};
constexpr IColor kManualCell{255, 0, 150, 235};
constexpr IColor kFreeCell{128, 90, 90, 90};
constexpr IColor kFrame{255, 255, 255, 255};
constexpr igraphics::IText kNumberText{10.f, IColor(255, 0, 0, 0), "Roboto-Regular"};

} // namespace

BankControl::BankControl(const IRECT& bounds, EditorFeed& feed) : IControl(bounds), feed(feed) {}

IRECT BankControl::CellRect(int i, int n) const
{
    const float w = (mRECT.right - mRECT.left) / static_cast<float>(n);
    return IRECT(mRECT.left + static_cast<float>(i) * w + 1.0f, mRECT.top + 1.0f,
                 mRECT.left + static_cast<float>(i + 1) * w - 1.0f, mRECT.bottom - 1.0f);
}

// UI thread.
void BankControl::OnMouseDown(float x, float, const igraphics::IMouseMod&)
{
    const int n = static_cast<int>(viewCopy.size());
    if (n == 0)
        return;
    const float w = (mRECT.right - mRECT.left) / static_cast<float>(n);
    const int i = std::clamp(static_cast<int>((x - mRECT.left) / w), 0, n - 1);
    feed.selectedNotch.exchange(i);
    MarkDirty(false);
}

// UI thread.
void BankControl::Draw(igraphics::IGraphicsRenderer& g)
{
    std::vector<float> spectrum;
    float binWidth = 0.0f;
    ReadEditorView(feed, spectrum, binWidth, viewCopy);
    const int sel = feed.selectedNotch.load();
    const int n = static_cast<int>(viewCopy.size());
    char text[16];
    for (int i = 0; i < n; ++i)
    {
        const NotchView& v = viewCopy[static_cast<std::size_t>(i)];
        const IRECT cell = CellRect(i, n);
        const IColor& colour = v.active == 0 ? kFreeCell : (v.manual != 0 ? kManualCell : kAutoCell);
        g.FillRoundRect(colour, cell, 3.0f);
        if (i == sel)
            g.DrawRoundRect(kFrame, cell, 3.0f, nullptr, 2.0f);
        std::snprintf(text, sizeof text, "%d", i + 1);
        g.DrawText(kNumberText, text, cell);
    }
}

} // namespace ringstill
