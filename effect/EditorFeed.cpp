#include "effect/EditorFeed.h"

#include "effect/NotchBank.h"

namespace ringstill {

namespace {

// The editor side spins: the audio thread holds the lock for one copy at most.
void LockViews(EditorFeed& feed)
{
    while (feed.viewLock.exchange(1, std::memory_order_acquire) != 0)
    {
    }
}

void UnlockViews(EditorFeed& feed)
{
    feed.viewLock.store(0, std::memory_order_release);
}

} // namespace

// UI thread.
void PushNotchCommand(EditorFeed& feed, NotchCommandType type, std::int32_t slotIndex, float a,
                      float b, float c)
{
    NotchCommand record;
    record.type = static_cast<std::int32_t>(type);
    record.slotIndex = slotIndex;
    record.a = a;
    record.b = b;
    record.c = c;
    feed.commands.Push(record); // a full ring drops it

}

// UI thread.
void ReadEditorView(EditorFeed& feed, std::vector<float>& spectrum, float& binWidthHz,
                    std::vector<NotchView>& views)
{
    LockViews(feed);
    spectrum = feed.spectrumView;
    binWidthHz = feed.viewBinWidthHz;
    views = feed.notchViews;
    UnlockViews(feed);
}

// UI thread.
NotchView ReadSelectedView(EditorFeed& feed, int index)
{
    NotchView view;
    LockViews(feed);
    if (static_cast<unsigned>(index) < feed.notchViews.size())
        view = feed.notchViews[static_cast<unsigned>(index)];
    UnlockViews(feed);
    return view;
}

// Host thread, never concurrent with the audio side.
void ResetEditorFeed(EditorFeed& feed, const NotchBank* channel0)
{
    if (channel0 != nullptr && feed.viewLock.exchange(1, std::memory_order_acquire) == 0)
    {
        try
        {
            feed.spectrumView.assign(static_cast<std::size_t>(channel0->analysisSize / 2), 0.0f);
            feed.viewBinWidthHz = channel0->binWidthHz;
            feed.notchViews.assign(kMaxNotches, NotchView{});
        }
        catch (...)
        {
            // Out of memory: the lock must not stay held, or the editor would wait on it for ever.
            UnlockViews(feed);
            throw;
        }
        UnlockViews(feed);
    }
    feed.commands.Clear();
    feed.shownSelection.exchange(-2);
}

} // namespace ringstill
