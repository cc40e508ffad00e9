#include "framework/ITextEntry.h"

#include <algorithm>

namespace igraphics {

namespace {

constexpr IColor kSelectionColor{110, 51, 140, 255};
constexpr float kTextInset = 3.f;

bool IsContinuationByte(char c)
{
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

} // namespace

void ITextEntry::Open(IControl& control, const IText& style, const IRECT& rect, const char* str, int valIdx)
{
    mControl = &control;
    mValIdx = valIdx;
    mStyle = style;
    mStyle.fgColor = style.textEntryFGColor;
    mStyle.angle = 0.f;
    mRect = rect;
    mText = str ? str : "";
    if (mText.size() > kMaxLength)
        mText.resize(kMaxLength);
    mCaret = mText.size();
    mAllSelected = !mText.empty();
}

void ITextEntry::Close()
{
    mControl = nullptr;
    mText.clear();
    mCaret = 0;
    mAllSelected = false;
}

std::size_t ITextEntry::PrevCharStart(std::size_t pos) const
{
    if (pos == 0)
        return 0;
    --pos;
    while (pos > 0 && IsContinuationByte(mText[pos]))
        --pos;
    return pos;
}

std::size_t ITextEntry::NextCharStart(std::size_t pos) const
{
    if (pos >= mText.size())
        return mText.size();
    ++pos;
    while (pos < mText.size() && IsContinuationByte(mText[pos]))
        ++pos;
    return pos;
}

void ITextEntry::Erase(std::size_t from, std::size_t to)
{
    mText.erase(from, to - from);
    mCaret = from;
}

ITextEntry::EKeyResult ITextEntry::OnKey(const IKeyPress& key)
{
    if (!IsOpen())
        return EKeyResult::NotHandled;
    switch (key.vk)
    {
    case kVK_RETURN:
        return EKeyResult::Commit;
    case kVK_ESCAPE:
        return EKeyResult::Cancel;
    case kVK_BACK:
        if (mAllSelected)
            Erase(0, mText.size());
        else if (mCaret > 0)
            Erase(PrevCharStart(mCaret), mCaret);
        mAllSelected = false;
        return EKeyResult::Edited;
    case kVK_DELETE:
        if (mAllSelected)
            Erase(0, mText.size());
        else if (mCaret < mText.size())
            Erase(mCaret, NextCharStart(mCaret));
        mAllSelected = false;
        return EKeyResult::Edited;
    case kVK_LEFT:
        mCaret = mAllSelected ? 0 : PrevCharStart(mCaret);
        mAllSelected = false;
        return EKeyResult::Edited;
    case kVK_RIGHT:
        mCaret = mAllSelected ? mText.size() : NextCharStart(mCaret);
        mAllSelected = false;
        return EKeyResult::Edited;
    case kVK_HOME:
        mCaret = 0;
        mAllSelected = false;
        return EKeyResult::Edited;
    case kVK_END:
        mCaret = mText.size();
        mAllSelected = false;
        return EKeyResult::Edited;
    default:
        break;
    }
    // Control shortcuts are not text; select-all is the one worth having.
    if (key.C)
    {
        if (key.vk == kVK_A)
        {
            mAllSelected = !mText.empty();
            mCaret = mText.size();
            return EKeyResult::Edited;
        }
        return EKeyResult::NotHandled;
    }
    if (!key.IsText())
        return EKeyResult::Edited; // swallowed: the field has the keyboard while open
    const std::string typed(key.utf8);
    if (mAllSelected)
        Erase(0, mText.size());
    mAllSelected = false;
    if (mText.size() + typed.size() > kMaxLength)
        return EKeyResult::Edited;
    mText.insert(mCaret, typed);
    mCaret += typed.size();
    return EKeyResult::Edited;
}

void ITextEntry::Draw(IGraphicsRenderer& g) const
{
    if (!IsOpen())
        return;
    g.FillRect(mStyle.textEntryBGColor, mRect);
    g.DrawRect(mStyle.textEntryFGColor, mRect.GetPadded(-0.5f), nullptr, 1.f);
    const IRECT inner = mRect.GetPadded(kTextInset, 0.f, -kTextInset, 0.f);
    g.PushClip(mRect);
    const IRECT box = g.MeasureText(mStyle, mText.c_str(), inner);
    if (mAllSelected)
        g.FillRect(kSelectionColor, IRECT(box.left, inner.top + 2.f, box.right, inner.bottom - 2.f));
    g.DrawText(mStyle, mText.c_str(), inner);
    const std::string prefix = mText.substr(0, mCaret);
    const float caretX = box.left + g.MeasureText(mStyle, prefix.c_str()).W();
    const float half = 0.5f * std::min(inner.H() - 4.f, mStyle.size * 1.2f);
    g.DrawLine(mStyle.textEntryFGColor, caretX, inner.MH() - half, caretX, inner.MH() + half, nullptr, 1.f);
    g.PopClip();
}

} // namespace igraphics
