// One channel's notch bank: 20 peaking-cut slots, output gain and soft clip,
// plus the detector's buffers and tracks, so one record holds everything a
// channel needs for feedback suppression. The signal is single precision; each
// filter computes in double. Owned and run by the audio thread; the editor
// reaches it only through the EditorFeed (commands in, views out).
#pragma once

#include "effect/AdaptiveCatch.h"
#include "effect/EditorFeed.h"
#include "effect/FeedbackDetector.h"
#include "effect/Fft.h"
#include "effect/NotchFilter.h"
#include "effect/SimdPath.h"

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace ringstill {

inline constexpr int kMaxNotches = 20;

enum class NotchKind
{
    Free,
    Auto,
    Manual,
};

struct Notch
{
    bool active = false;
    float frequency = 0.0f;   // Hz
    float depth = 0.0f;       // current cut, dB, ramps toward targetDepth
    float targetDepth = 0.0f; // -40..0 dB; 0 releases the slot
    std::int32_t age = 0;     // analysis frames since the detector last saw its tone
    float q = kDefaultNotchQ;
    bool manual = false;
    NotchFilter filter;
};

NotchKind KindOf(const Notch& notch);

struct NotchBank
{
    std::int32_t analysisSize = 0;
    std::int32_t hopSize = 0;
    double sampleRate = 0.0;
    float binWidthHz = 0.0f;
    std::int32_t analysisFill = 0;
    std::int32_t releaseFrames = 0;

    // Per-block settings, written by the effect before every block.
    float sensitivity = 0.5f;
    float autoCutDb = kDefaultNotchDepthDb;
    float autoQ = kDefaultNotchQ;
    float outputGain = 1.0f;
    float trimDb = 0.0f;
    float widthScale = 1.0f;
    bool hold = false;
    AutoCatchMode autoCatch = kDefaultAutoCatchMode;

    std::vector<float> analysisBuffer; // N
    std::vector<float> window;         // N
    std::vector<float> spectrum;       // N/2, magnitudes of the last frame
    std::array<Notch, kMaxNotches> slots{};
    std::array<FeedbackTrack, kMaxTracks> tracks{};
    AdaptiveCatchState adaptive; // Adaptive mode's tones, trials and kept notches

    // Frame working state, prepared by ConfigureBank so the audio thread never allocates.
    FftPlan fft;                            // N points
    std::vector<std::int32_t> peakBins;     // N/2: one frame's candidate peaks
    // Adaptive's finer look at the low band (see PrepareAdaptiveCatch).
    FftPlan lowFft;
    std::vector<float> lowWindow;
    std::vector<float> lowTaps; // the decimation filter, oldest sample first
    std::int32_t lowDecimation = 0;
    SimdPath filterPath = SimdPath::Scalar; // the notch cascade's path
};

// Setup (not the audio thread): derives the analysis sizes from the rate
// (48000 when the rate is not a positive number), sizes and clears the
// buffers, computes the window and returns every slot and track to its
// initial state.
void ConfigureBank(NotchBank& bank, double sampleRate);

// Audio thread: never blocks, never allocates. Detector, one filter update,
// then every sample through the active slots, the gain and the soft clip.
// With n <= 0 only the filter update runs.
void ProcessBankBlock(NotchBank& bank, float* samples, int n);

// Audio thread: one depth ramp step per slot and the filter redesign.
void UpdateNotchFilters(NotchBank& bank);

// Number of slots with active set.
int CountActiveNotches(const NotchBank& bank);

// Audio thread: drains the command ring into every bank, in channel order.
void ApplyNotchCommands(EditorFeed& feed, std::span<NotchBank> banks);

// Audio thread: publishes channel 0's spectrum and slots; skips the block when
// the editor holds viewLock. Allocates only when the views change size.
void PublishEditorView(EditorFeed& feed, std::span<const NotchBank> banks);

} // namespace ringstill
