// The block the audio thread and the editor share: measured values, the
// published spectrum and notch views behind a small test-and-set lock, the
// selection, and the ring of notch commands (one producer, the editor; one
// consumer, the audio thread).
// The effect holds one EditorFeed as a plain member group; the audio side of
// the protocol (ApplyNotchCommands, PublishEditorView) lives in NotchBank.h.
#pragma once

#include "effect/AutoCatchMode.h"
#include "effect/NotchFilter.h"
#include "framework/SpscQueue.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace ringstill {

struct NotchBank;

inline constexpr int kCommandRingSize = 256;

// What the editor sees of one notch slot. Byte layout is fixed so the record
// can be copied around as 16 plain bytes.
struct NotchView
{
    std::uint8_t active = 0;
    std::uint8_t manual = 0;
    std::uint8_t reserved[2] = {0, 0};
    float frequency = 0.0f;
    float targetDepth = 0.0f;
    float q = kDefaultNotchQ;
};
static_assert(sizeof(NotchView) == 16, "NotchView is 16 bytes");
static_assert(offsetof(NotchView, frequency) == 4 && offsetof(NotchView, targetDepth) == 8
                  && offsetof(NotchView, q) == 12,
              "NotchView field offsets");

enum class NotchCommandType : std::int32_t
{
    Add = 0,
    Set = 1,
    SetWidth = 2,
    Remove = 3,
};

// One editor request. The type is kept as a raw int32 so that an unknown value
// survives the ring and is ignored by the consumer.
struct NotchCommand
{
    std::int32_t type = 0;
    std::int32_t slotIndex = 0;
    float a = 0.0f;
    float b = 0.0f;
    float c = 0.0f;
};
static_assert(sizeof(NotchCommand) == 20, "NotchCommand is 20 bytes");
static_assert(offsetof(NotchCommand, slotIndex) == 4 && offsetof(NotchCommand, a) == 8
                  && offsetof(NotchCommand, c) == 16,
              "NotchCommand field offsets");

static_assert(std::atomic<float>::is_always_lock_free, "peaks must be lock-free atomics");
static_assert(std::atomic<std::int32_t>::is_always_lock_free, "indices must be lock-free atomics");
static_assert(std::atomic<double>::is_always_lock_free, "the sample rate must be a lock-free atomic");

struct EditorFeed
{
    // Measured by the audio thread every block, written by exchange.
    std::atomic<std::int32_t> activeNotchCount{0};
    std::atomic<float> inputPeak{0.0f};
    std::atomic<float> outputPeak{0.0f};

    // The rate the DSP was last reset for, for the display's frequency axis. Written by the
    // setup thread, read by the user-interface thread.
    std::atomic<double> sampleRate{48000.0};

    // The Auto Catch mode (an AutoCatchMode): written by the editor and by a state restore, read by
    // the audio thread once per block.
    std::atomic<std::uint8_t> autoCatchMode{static_cast<std::uint8_t>(kDefaultAutoCatchMode)};

    // User-interface thread only; -2 in shownSelection forces a refresh.
    std::atomic<std::int32_t> selectedNotch{-1};
    std::atomic<std::int32_t> shownSelection{-2};

    // Editor -> audio thread; 255 commands fit.
    iplug::SpscQueue<NotchCommand, kCommandRingSize> commands;

    // Guards the three fields after it. 0 free, 1 held.
    std::atomic<std::int32_t> viewLock{0};
    std::vector<float> spectrumView;
    float viewBinWidthHz = 0.0f;
    std::vector<NotchView> notchViews;
};

// UI thread: appends one command, or drops it silently when 255 are waiting.
void PushNotchCommand(EditorFeed& feed, NotchCommandType type, std::int32_t slotIndex,
                      float a = 0.0f, float b = 0.0f, float c = 0.0f);

// UI thread: copies the published views into the caller's lists under viewLock.
void ReadEditorView(EditorFeed& feed, std::vector<float>& spectrum, float& binWidthHz,
                    std::vector<NotchView>& views);

// UI thread: the published view of one slot, or a default view when the index
// is beyond the list (negative indices included).
NotchView ReadSelectedView(EditorFeed& feed, int index);

// Host thread, while processing is stopped: empties the views to channel 0's
// shape (N/2 zeros, 20 default views) when the lock is free, discards waiting
// commands and forces the idle tick to refresh its selection display.
// Sizing the views here is what keeps later publications allocation-free.
void ResetEditorFeed(EditorFeed& feed, const NotchBank* channel0);

} // namespace ringstill
