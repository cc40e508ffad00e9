#include "framework/IPopupMenu.h"

namespace igraphics {

namespace {

constexpr IColor kMenuBackground{255, 246, 246, 248};
constexpr IColor kMenuFrame{255, 70, 70, 70};
constexpr IColor kMenuText{255, 20, 20, 20};
constexpr IColor kHighlightBackground{255, 52, 120, 210};
constexpr IColor kHighlightText{255, 255, 255, 255};

} // namespace

IText IPopupMenu::RowText(const IColor& color)
{
    return IText(kTextSize, color, kDefaultFontId, EAlign::Near, EVAlign::Middle);
}

void IPopupMenu::Open(IControl& control, std::vector<std::string> items, int checked, const IRECT& rect, int valIdx)
{
    mControl = &control;
    mItems = std::move(items);
    mChecked = (checked >= 0 && checked < NItems()) ? checked : -1;
    mHighlighted = mChecked;
    mRect = rect;
    mValIdx = valIdx;
}

void IPopupMenu::Close()
{
    mControl = nullptr;
    mItems.clear();
    mChecked = -1;
    mHighlighted = -1;
}

IRECT IPopupMenu::RowRect(int i) const
{
    const float top = mRect.top + 1.f + kRowHeight * static_cast<float>(i);
    return {mRect.left + 1.f, top, mRect.right - 1.f, top + kRowHeight};
}

int IPopupMenu::ItemAt(float x, float y) const
{
    if (!IsOpen() || !mRect.Contains(x, y))
        return -1;
    for (int i = 0; i < NItems(); ++i)
    {
        const IRECT row = RowRect(i);
        if (y >= row.top && y < row.bottom)
            return i;
    }
    return -1;
}

bool IPopupMenu::Hover(float x, float y)
{
    const int item = ItemAt(x, y);
    if (item < 0 || item == mHighlighted)
        return false;
    mHighlighted = item;
    return true;
}

IPopupMenu::EKeyResult IPopupMenu::OnKey(const IKeyPress& key)
{
    if (!IsOpen())
        return EKeyResult::NotHandled;
    switch (key.vk)
    {
    case kVK_UP:
        mHighlighted = mHighlighted <= 0 ? 0 : mHighlighted - 1;
        return EKeyResult::Moved;
    case kVK_DOWN:
        mHighlighted = mHighlighted < 0 ? 0 : (mHighlighted + 1 < NItems() ? mHighlighted + 1 : mHighlighted);
        return EKeyResult::Moved;
    case kVK_RETURN:
    case kVK_SPACE:
        return mHighlighted >= 0 ? EKeyResult::Chosen : EKeyResult::Cancel;
    case kVK_ESCAPE:
        return EKeyResult::Cancel;
    default:
        return EKeyResult::Moved; // the menu has the keyboard while open
    }
}

void IPopupMenu::Draw(IGraphicsRenderer& g) const
{
    if (!IsOpen())
        return;
    g.FillRect(IColor(90, 0, 0, 0), mRect.GetTranslated(2.f, 2.f)); // a small drop shadow
    g.FillRect(kMenuBackground, mRect);
    g.DrawRect(kMenuFrame, mRect.GetPadded(-0.5f), nullptr, 1.f);
    for (int i = 0; i < NItems(); ++i)
    {
        const IRECT row = RowRect(i);
        const bool lit = i == mHighlighted;
        if (lit)
            g.FillRect(kHighlightBackground, row);
        const IColor textColor = lit ? kHighlightText : kMenuText;
        if (i == mChecked)
        {
            // A tick drawn as two strokes: no font needs to have the glyph.
            const float cx = row.left + 0.5f * kCheckWidth;
            const float cy = row.MH();
            g.PathClear();
            g.PathMoveTo(cx - 5.f, cy);
            g.PathLineTo(cx - 1.5f, cy + 4.f);
            g.PathLineTo(cx + 5.f, cy - 4.5f);
            g.PathStroke(textColor, 2.f);
        }
        g.DrawText(RowText(textColor), Item(i).c_str(), row.GetPadded(kCheckWidth, 0.f, -6.f, 0.f));
    }
}

} // namespace igraphics
