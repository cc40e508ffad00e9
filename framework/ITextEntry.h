#pragma once
// The text field of the value prompt, drawn by the graphics context over a control: one line of
// UTF-8 text with a caret, opened with all of its text selected so that typing replaces it.
// Enter completes it, Escape cancels it. Owned by the context; UI thread only.

#include "framework/IGraphicsRenderer.h"
#include "framework/IKeyPress.h"
#include "framework/IRECT.h"
#include "framework/IText.h"

#include <string>

namespace igraphics {

class IControl;

class ITextEntry
{
public:
    enum class EKeyResult
    {
        NotHandled,
        Edited,
        Commit,
        Cancel,
    };

    static constexpr std::size_t kMaxLength = 255; // bytes; longer input is not taken

    void Open(IControl& control, const IText& style, const IRECT& rect, const char* str, int valIdx);
    void Close();
    bool IsOpen() const { return mControl != nullptr; }
    IControl* Control() const { return mControl; }
    int ValIdx() const { return mValIdx; }
    const std::string& Text() const { return mText; }
    std::size_t Caret() const { return mCaret; }
    bool AllSelected() const { return mAllSelected; }
    const IRECT& Rect() const { return mRect; }

    EKeyResult OnKey(const IKeyPress& key);
    void Draw(IGraphicsRenderer& g) const;

private:
    void Erase(std::size_t from, std::size_t to);
    std::size_t PrevCharStart(std::size_t pos) const;
    std::size_t NextCharStart(std::size_t pos) const;

    IControl* mControl = nullptr;
    int mValIdx = 0;
    IText mStyle;
    IRECT mRect;
    std::string mText;
    std::size_t mCaret = 0;
    bool mAllSelected = false;
};

} // namespace igraphics
