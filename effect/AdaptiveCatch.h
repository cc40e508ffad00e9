// Adaptive Auto Catch: the second way the detector finds and keeps automatic notches. It searches
// the whole band, places a notch on a tone that looks like feedback at once, and then lets the loop
// itself decide: a howl collapses once its notch is in (the detector hears the input, which the
// loop feeds from the notched output), a sung or played note does not. A loop that only rings, its
// peak too unsteady to follow, is found in the power averaged over half a second. Notches that pass
// are kept while they are needed, lifted slowly later and deepened again the moment their tone
// grows; the others come out within a fraction of a second and their frequency is remembered as a
// source.
// The state lives in each channel's NotchBank; everything here runs on the audio thread.
#pragma once

#include <array>
#include <cstdint>

namespace ringstill {

struct NotchBank;

inline constexpr int kAdaptiveTracks = 32;
inline constexpr int kAdaptiveSlots = 20; // one per notch slot of the bank
inline constexpr int kAdaptiveHistory = 32; // frames of level kept per tone, a power of two
inline constexpr int kAdaptiveSources = 16;
// Bins of the averaged spectrum: the band up to 20 kHz at the narrowest bins the analysis uses.
inline constexpr int kAdaptiveAveragedBins = 1536;
// The low band looked at finer: the input decimated to 8 samples a hop (1.5 kHz at 48 kHz), the last
// kAdaptiveLowSize of them transformed (170 ms, 5.9 Hz bins), the first kAdaptiveLowBins averaged.
inline constexpr int kAdaptiveLowPerHop = 8;
inline constexpr int kAdaptiveLowSize = 256;
inline constexpr int kAdaptiveLowBins = 120;
// A notch the loop proved a howl holds this much deeper than it was tried (at Auto Cut), down to
// -40 dB: a notch narrower than the room's mode moves the loop's phase crossing onto its own skirt,
// and a deeper one cuts more there.
inline constexpr float kAdaptiveKeptDeeperDb = 12.0f;

// A narrow peak followed from frame to frame, with its level history in dB.
struct AdaptiveTrack
{
    bool active = false;
    float frequency = 0.0f; // Hz, smoothed
    float jitterHz = 0.0f;  // smoothed frame-to-frame change of the frequency estimate
    std::int32_t frames = 0; // frames since it started
    std::int32_t misses = 0; // frames in a row without a peak
    std::int32_t steadyFrames = 0; // frames in a row standing far above its surroundings
    std::int32_t standingFrames = 0; // frames in a row standing above them as far as a howl does
    float prominenceDb = 0.0f;
    std::array<float, kAdaptiveHistory> levelDb{};
};

// Why a tone was taken for a howl.
enum class HowlEvidence : std::uint8_t
{
    None,
    Grew,       // grew steadily and fast
    GrewSlowly, // grew steadily for longer
    Stood,      // stood far above its surroundings for long
};

enum class AdaptivePhase : std::uint8_t
{
    None,  // not an automatic notch of this mode (free, manual, or not seen yet)
    Trial, // placed, waiting for the loop's answer
    Kept,  // its tone collapsed under it: holding a howl
};

// What the mode knows about one notch slot.
struct AdaptiveNotch
{
    AdaptivePhase phase = AdaptivePhase::None;
    HowlEvidence evidence = HowlEvidence::None;
    std::int32_t frames = 0;   // frames in this phase
    std::int32_t settled = -1; // trial: frame at which the cut was in, -1 before
    float refLevelDb = 0.0f;   // trial: the tone's level when placed
    float refProminenceDb = 0.0f; // trial: how far it stood above its surroundings then
    float refSlopeDb = 0.0f;   // trial: its decay per frame before (0 when it was not decaying)
    float refContextDb = 0.0f; // trial: its spectral neighbourhood when placed
    float refBroadDb = 0.0f;   // trial: the rest of the band when placed
    float refSideDb = 0.0f;    // trial: the bins just beside it when placed
    bool octaveStood = false;  // trial: a partial was followed steadily near its octave when placed
    float refOctaveDb = 0.0f;  // trial: that octave's level then
    std::int32_t collapsed = -1; // trial: frame since which it has stayed down, -1 while not
    bool widened = false;        // trial: its howl moved onto the skirt and the notch widened
    float deepestFallDb = 0.0f;  // trial: the furthest its tone has fallen below its course
    std::int32_t deepestAt = 0;  // trial: when, in frames since the cut was in (or it widened)
    float howlLevelDb = 0.0f;  // the loudest its tone was when the notch went in
    std::int32_t needs = 0;    // times the loop proved it needed again
    float keptDepthDb = 0.0f;  // kept: the cut it holds at full depth
    std::int32_t quiet = 0;    // kept: frames since its tone last needed it
    std::int32_t holdFrames = 0; // kept: quiet frames before it starts to lift
    float heldLevelDb = 0.0f;    // kept: the tone's usual level while held
    std::int32_t above = 0;      // kept, lifting: frames in a row its tone stood out above that level
    float floorDb = 0.0f;        // kept: the cut it lifts no further than (its howl came back there)
    float proveFloorDb = 0.0f;   // the floor before the renewal
    // kept: a renewed need on proof. Deepened or restored, the notch must make its tone fall again,
    // or the renewal is undone (a note that came back, not the howl).
    std::int32_t proving = -1;   // frames since the renewal, -1 when none is on proof
    std::int32_t proveCollapsed = -1;
    float proveLevelDb = 0.0f;   // the tone's level at the renewal
    float proveContextDb = 0.0f; // its neighbourhood then
    float proveBroadDb = 0.0f;   // the rest of the band then
    float proveDepthDb = 0.0f;   // the cut before the renewal
    float proveKeptDb = 0.0f;    // the full depth before the renewal
    std::array<float, kAdaptiveHistory> levelDb{}; // trial: before the notch, oldest first; kept: under it
};

// A frequency whose trial failed: a note, not a howl, for a while.
struct AdaptiveSource
{
    float frequency = 0.0f;
    float levelDb = 0.0f;    // how loud it was
    std::int32_t frames = 0; // left; 0 is free
};

struct AdaptiveCatchState
{
    std::array<AdaptiveTrack, kAdaptiveTracks> tracks{};
    std::array<AdaptiveNotch, kAdaptiveSlots> notches{};
    std::array<AdaptiveSource, kAdaptiveSources> sources{};
    // Each bin's power averaged over about half a second, and for how many averaging steps in a
    // row it has stood out of its neighbours as a loop's resonance does.
    std::array<float, kAdaptiveAveragedBins> averagedPower{};
    std::array<std::int32_t, kAdaptiveAveragedBins> ringing{};
    std::int32_t averagingPhase = 0;
    // The same for the low band, finer: its decimated input (a ring) and its averaged bins.
    std::array<float, kAdaptiveLowSize> lowInput{};
    std::int32_t lowWrite = 0;
    std::array<float, kAdaptiveLowBins> lowPower{};
    std::array<std::int32_t, kAdaptiveLowBins> lowRinging{};
    bool engaged = false; // the last frame ran in this mode
    // Frames after its cut was in that the slowest kept howl took to start falling: a reverberant
    // room's howls are slow to fall, and its trials get the longer patience.
    std::int32_t slowestCollapse = 0;
};

// Setup thread (allocates): the low band's transform, window and decimation filter.
void PrepareAdaptiveCatch(NotchBank& bank);

// Audio thread: one analysis frame in Adaptive mode, on the magnitudes the detector computed.
// Changes the bank's automatic slots and this mode's state; never touches a manual notch. On the
// first frame after Classic it takes the automatic notches it finds as kept ones.
void AnalyseAdaptiveFrame(NotchBank& bank, const float* mag);

// Audio thread: forgets every tone being followed or ringing (after a bad sample); notches stay.
void ForgetAdaptiveTracks(AdaptiveCatchState& state);

} // namespace ringstill
