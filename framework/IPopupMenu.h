#pragma once
// The popup list of the value prompt, drawn by the graphics context: one row per item, the
// checked item marked, the row under the pointer (or chosen with the arrow keys) highlighted.
// Owned by the context; UI thread only.

#include "framework/IGraphicsRenderer.h"
#include "framework/IKeyPress.h"
#include "framework/IRECT.h"
#include "framework/IText.h"

#include <string>
#include <vector>

namespace igraphics {

class IControl;

class IPopupMenu
{
public:
    enum class EKeyResult
    {
        NotHandled,
        Moved,
        Chosen,
        Cancel,
    };

    static constexpr float kRowHeight = 20.f;
    static constexpr float kCheckWidth = 22.f;
    static constexpr float kTextSize = 14.f;

    // rect is the whole list's area (the context places it); rows are kRowHeight high.
    void Open(IControl& control, std::vector<std::string> items, int checked, const IRECT& rect, int valIdx);
    void Close();
    bool IsOpen() const { return mControl != nullptr; }
    IControl* Control() const { return mControl; }
    int ValIdx() const { return mValIdx; }
    int NItems() const { return static_cast<int>(mItems.size()); }
    const std::string& Item(int i) const { return mItems[static_cast<std::size_t>(i)]; }
    int Checked() const { return mChecked; }
    int Highlighted() const { return mHighlighted; }
    const IRECT& Rect() const { return mRect; }
    IRECT RowRect(int i) const;
    // The item under (x, y), or -1.
    int ItemAt(float x, float y) const;
    // True when the highlight changed.
    bool Hover(float x, float y);

    EKeyResult OnKey(const IKeyPress& key);
    void Draw(IGraphicsRenderer& g) const;

    // The text style of the rows.
    static IText RowText(const IColor& color);

private:
    IControl* mControl = nullptr;
    int mValIdx = 0;
    std::vector<std::string> mItems;
    int mChecked = -1;
    int mHighlighted = -1;
    IRECT mRect;
};

} // namespace igraphics
