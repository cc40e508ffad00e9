// The feedback detector (Auto Catch): watches one channel's unfiltered input
// through an overlapping short-time spectrum, follows narrow peaks as tracks
// and places automatic notches in the same channel's NotchBank. Its state
// (buffers, tracks) lives in the bank; everything here runs on the audio thread.
#pragma once

#include <cstdint>

namespace ringstill {

struct NotchBank;

inline constexpr int kMaxTracks = 32;

// A candidate tone followed from frame to frame. All zero means free.
struct FeedbackTrack
{
    bool active = false;
    float frequency = 0.0f;
    std::int32_t hits = 0;
    std::int32_t misses = 0;
    float lastLevel = 0.0f;
    float riseBase = 0.0f;
    std::int32_t riseCount = 0;
};

// Analysis size N for a sample rate: about 23.4 Hz per bin, 1024..16384.
int AnalysisSizeFor(double sampleRate);

// Bins searched for peaks: about 150 Hz to 12 kHz.
struct SearchBand
{
    int lo = 0;
    int hi = 0;
};
SearchBand SearchBandFor(int analysisSize, double sampleRate);

// Per-frame decision constants derived from Sensitivity (0..1).
struct DetectorThresholds
{
    float candidateFactor = 0.0f; // F1: peak over band mean to start a track
    float strongFactor = 0.0f;    // F2: peak over band mean to count as strong
    int riseLength = 0;           // R: rising matches in a row
    float riseFactor = 0.0f;      // G: growth over the rising run
    float matchDistanceHz = 0.0f; // D
};
DetectorThresholds ThresholdsFor(float sensitivity, float binWidthHz);

// Setup thread (allocates): the frame's transform and working arrays for the
// bank's analysis size, on DefaultSimdPath(). Part of ConfigureBank.
void PrepareDetector(NotchBank& bank);

// Audio thread: step 1 of a bank block. Collects the samples into the analysis
// buffer and runs one AnalyseFrame per hop. A sample that is not finite is
// replaced by 0 in place, and the frames around it are discarded (buffer
// emptied, tracks reset) so that bad samples never place a notch.
void FeedDetector(NotchBank& bank, float* samples, int n);

// Audio thread: one analysis step over the full analysis buffer: spectrum,
// band mean, candidate peaks, track updates and decisions, release. Changes
// the bank's spectrum, tracks and slots. Never allocates.
void AnalyseFrame(NotchBank& bank);

} // namespace ringstill
