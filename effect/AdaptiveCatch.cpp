#include "effect/AdaptiveCatch.h"

#include "effect/NotchBank.h"

#include <algorithm>
#include <cmath>

namespace ringstill {

static_assert(kAdaptiveSlots == kMaxNotches, "one adaptive record per notch slot");
static_assert((kAdaptiveHistory & (kAdaptiveHistory - 1)) == 0, "the level history is a ring");

namespace {

// The whole band a loudspeaker can howl in.
constexpr double kBandLowHz = 40.0;
constexpr double kBandHighHz = 20000.0;
constexpr double kBandHighRatio = 0.45;

// A narrow peak: its bin stands this far (amplitude) above the bins three away on each side; a
// sinusoid's main lobe under the Hann window is two bins wide, so it clears this easily.
constexpr float kPeakOverSides = 4.0f;
// A tone's surroundings: bins 4 to 12 away (its own lobe excluded); its context: 4 to 40 away.
constexpr int kNearBins = 4;
// A loud tone's window leakage and the intermodulation of a saturated loudspeaker fill the first
// few bins beside it: its context starts further out.
constexpr int kContextNearBins = 8;
constexpr int kSurroundBins = 12;
constexpr int kContextBins = 40;
// Peaks this far above their surroundings are followed.
constexpr float kFollowDb = 6.0f;
constexpr int kMaxMisses = 2;
// A peak this close to a notch is that notch's tone.
constexpr float kOwnToneBins = 1.0f;
// A notch fading out this close to a new howl is taken back for it.
constexpr float kSameNotchBins = 1.5f;
constexpr float kTrackSmoothing = 0.7f;
// A howl holds its pitch; a voice or an instrument wanders.
constexpr float kMaxJitterBins = 0.15f;

// Growth is judged over the last kGrowthSpan frames (43 ms at 48 kHz), or kSlowSpan frames for a
// room barely above its stable gain, or kThroughSpan frames under a notch at full depth.
constexpr int kGrowthSpan = 8;
// Straight: the levels stray from their fitted line by no more than this (RMS, dB) plus this share
// of the rise.
constexpr float kStraightDb = 1.0f;
constexpr float kStraightShare = 0.05f;
constexpr float kFastRiseDb = 6.0f;
constexpr int kSlowSpan = 30;
constexpr float kSlowShare = 0.25f;
constexpr float kSlowRiseDb = 5.0f;
constexpr int kThroughSpan = 16;
constexpr float kThroughShare = 0.75f;
constexpr float kThroughRiseDb = 8.0f;
// A tone standing far above its surroundings this many frames in a row (128 ms at 48 kHz), or
// above them as far as a howl is tried at for this long: a room barely above its stable gain
// builds its howl over seconds.
constexpr int kSteadyFrames = 24;
constexpr double kStandingSeconds = 1.0;
constexpr double kOutstaySeconds = 3.0;
// Harmonic series: partials within this range of the tone's level and standing clear (amplitude
// ratio) of the bins two away, up to this harmonic number, resolved when this many bins apart.
constexpr float kPartialRangeDb = 15.0f;
constexpr float kPartialOverSides = 2.0f;
constexpr float kPartialProminenceDb = 6.0f;
constexpr int kMaxHarmonic = 16;
constexpr float kMinPartialSpacingBins = 4.0f;
constexpr float kPartialToleranceBins = 0.4f;
// A partial 6 dB louder than the tone is a lower partial of the note the tone belongs to; in a
// chord or an ensemble its peak merges with its neighbours' and wanders by up to a bin.
constexpr float kLoudPartialDb = 6.0f;
constexpr float kLoudPartialToleranceBins = 1.0f;
// A stiff string's partials are stretched: the nth lies up to kStretch * n^2 above n times the
// fundamental (a piano's treble: the third partial of a note near 1.5 kHz stands 3 to 4 % sharp).
// A loud peak that far below hz / n, for n up to kMaxStretchedHarmonic, is the fundamental of the
// note the tone belongs to, unless a manual or a kept notch holds it (then it is a howl). Beyond
// kMaxStretch a wider search below a quarter only finds the loud notes a howl happens to sit over.
constexpr float kStretch = 0.005f;
constexpr float kMaxStretch = 0.045f;
constexpr int kMaxStretchedHarmonic = 4;
constexpr float kNotchedPeakBins = 2.0f;

// The trial, timed from the moment the cut is in. The tone has collapsed once it fell kCollapseDb
// below the course it was on before the notch, further than its neighbourhood, the rest of the band
// and the partial at its octave (if one stood there) fell meanwhile, and it stays more than half
// that far down for kConfirmSeconds (a beating or tremolo note dips and comes back, and a note that
// ended is often played again within a beat).
// The fall must begin within kOnsetSeconds: the loop's delay and the build-up of a reverberant
// room's reflections, not a note ending by chance later on.
constexpr float kCollapseDb = 8.0f;
constexpr float kMinCollapseDb = 5.0f;
constexpr float kCollapseMarginDb = 3.0f;
constexpr double kConfirmSeconds = 0.25;
constexpr double kOnsetSeconds = 0.200;
constexpr float kOnsetDb = 2.0f;
// A tone that swells under the notch is a note.
constexpr double kSwellSeconds = 0.085;
constexpr float kSwellDb = 3.0f;
constexpr double kTrialSeconds = 0.512;
constexpr double kStoodPatience = 2.0;
// A tone that has not begun to fall at all by then is a held note, unless this room's howls have
// been seen to take longer than kSlowRoomSeconds to start falling.
constexpr double kUnmovedPatience = 1.5;
constexpr double kSlowRoomSeconds = 0.1;
constexpr float kUnmovedDb = 0.5f;
// A widened trial whose tone has fallen no further for this long, and has not collapsed by the time
// a held note is lifted, is a note that faded a little and holds: under a notch wide enough for it,
// a howl's fall goes on. In a quick room only, as for the held note: a slow room's howls fall in fits.
constexpr double kStalledSeconds = 0.1;
// Energy that appears beside the notch as the tone falls: the voice glided, the loop did nothing;
// or, before a growing tone has fallen, the notch bent the loop's phase beside it and moved the
// howl onto its skirt. Then the notch widens once, by this factor of its Q, and the band it now
// covers is judged. It takes the tone's place (a voice glided, or the partner of a beating pair took
// over) only when it comes within kGlideReach times the collapse a trial needs of the tone's course:
// a howl collapsing under its notch lifts the bins beside it by a few dB from far below. A glide
// reaches no further than kGlideShare of the tone's frequency within a trial: beside a low tone the
// bins a few away hold another note or the loop's next mode, whose level says nothing of the voice.
// And it stands kGlideOverSurroundDb above the surroundings the tone stood out of: the programme's
// chance peaks seldom reach that high, a gliding partial carries the tone's own level.
constexpr float kGlideDb = 3.0f;
constexpr float kGlideReach = 1.5f;
constexpr int kSideBins = 4;
constexpr float kGlideShare = 0.3f;
constexpr float kGlideOverSurroundDb = 9.0f;
constexpr float kWidenFactor = 3.0f;
constexpr float kWidestQ = 2.0f;
// A tone that stood rather than grew widens only when it stood this far above its surroundings:
// no note of the programmes we measured stood 35 dB out, and fading notes would pass the wider trial.
constexpr float kLoneToneDb = 35.0f;
// The cut counts as in once the depth has come this close to its target.
constexpr float kSettledShare = 0.7f;
constexpr int kMaxSettleFrames = 20;
// A kept notch: how long it holds after its tone last needed it (the loop that howled is still
// there while the gain is unchanged), how fast it then lifts, how much its tone must grow again to
// bring it back, and how deep it may go.
constexpr double kHoldSeconds = 60.0;
constexpr double kMaxHoldSeconds = 120.0;
constexpr int kMaxHoldDoublings = 6;
constexpr double kLiftDbPerSecond = 2.0;
constexpr float kRegrowDb = 3.0f;
// Its howl came back while it lifted: from then on it lifts no further than this much deeper than
// the cut it came back at, until it has sat there unneeded for another kMaxHoldSeconds.
constexpr float kFloorMarginDb = 3.0f;
// While a notch lifts, its tone standing this far above its usual level while held, for longer than
// a chance peak of the programme's noise lasts there (about an analysis window), brings it back: a
// latent howl is met early, and a note that did it is found out by the proof below.
constexpr float kAboveHeldDb = 4.0f;
constexpr double kAboveHeldSeconds = 0.085;
// A renewed need is proved like a trial: the tone falls kMinCollapseDb and stays down for
// kProveConfirmSeconds, within kProveSeconds, or the renewal is undone.
constexpr double kProveSeconds = 0.8;
constexpr double kProveConfirmSeconds = 0.128;
constexpr float kHeldSmoothing = 0.01f;
constexpr float kDeepenStepDb = 6.0f;
constexpr float kDeepestDb = -40.0f;
constexpr float kReleasedDb = -0.5f;
// A failed trial's frequency counts as a source for this long.
constexpr double kSourceSeconds = 5.0;
constexpr float kSourceBins = 1.5f;
constexpr float kAboveSourceDb = 6.0f;

// A loop barely above its stable gain in a reverberant room, or its mode among a programme's bass,
// rings rather than howls: its peak wanders and breaks up from frame to frame and is never followed
// for long, but in the power averaged over kAveragingSeconds it stands out of the bins 3 to 6 away.
// Standing kRingingDb out there for kRingingSeconds, it is tried as a tone that stood (held notes
// stand out as long, but are followed, or show their octave or fundamental in the average too).
// The average is updated on every kAveragingStride-th frame.
constexpr double kAveragingSeconds = 0.5;
constexpr int kAveragingStride = 4;
constexpr float kRingingDb = 12.0f;
constexpr double kRingingSeconds = 2.0;
constexpr int kRingingNear = 3;
constexpr int kRingingFar = 6;
constexpr float kAveragedPartialDb = 6.0f;
// The low band's finer bins are searched up to here (above, the analysis's bins hold a mode alone).
constexpr float kLowTopHz = 320.0f;
constexpr int kLowLanes = 8;

// A notch is never narrower than the analysis can place it: below about 600 Hz at 48 kHz a new
// automatic notch is one bin wide rather than Auto Width's Q.
constexpr float kMinBandwidthBins = 1.0f;

constexpr float kReusableDepthDb = 0.05f;
constexpr float kFloorAmplitude = 1e-20f;

// Per-frame settings from Sensitivity (0..1).
struct Thresholds
{
    float triggerDb;        // prominence a howl needs before it is tried
    float growthDbPerFrame; // growth that counts as a building howl
    float steadyDb;         // prominence that counts as a standing howl
};

Thresholds ThresholdsFor(float s)
{
    s = std::clamp(s, 0.0f, 1.0f);
    return {14.0f - 6.0f * s, 0.45f - 0.2f * s, 20.0f - 6.0f * s};
}

// Sum of the bins' levels in dB over from..to within the band, and how many there were.
struct LevelSum
{
    float sumDb = 0.0f;
    int count = 0;
};

// The magnitudes of one frame and where to look in them.
struct Frame
{
    const float* mag;
    int half; // bins in mag
    int lo;
    int hi;
    float binHz;
    float framesPerSecond;
    mutable LevelSum bandLevels; // of the whole band, summed when first needed
    mutable bool bandSummed = false;
};

float ToDb(float amplitude) { return 20.0f * std::log10(std::max(amplitude, kFloorAmplitude)); }

int BinOf(const Frame& f, float hz)
{
    return std::clamp(static_cast<int>(std::lround(hz / f.binHz)), 1, f.half - 2);
}

// The tone's level at hz: the loudest of the three bins around it.
float LevelDbAt(const Frame& f, float hz)
{
    const int k = BinOf(f, hz);
    return ToDb(std::max({f.mag[k - 1], f.mag[k], f.mag[k + 1]}));
}

// Mean magnitude of the bins near..far away from k on both sides, in dB.
// The sum of a spectrum's bins near..far away from k on both sides (DC excluded), and how many.
struct BinSum
{
    float sum = 0.0f;
    int count = 0;
};

BinSum SumAround(const float* spectrum, int size, int k, int near, int far)
{
    BinSum s;
    for (int j = std::max(1, k - far); j <= k - near; ++j, ++s.count)
        s.sum += spectrum[j];
    for (int j = k + near; j <= std::min(size - 1, k + far); ++j, ++s.count)
        s.sum += spectrum[j];
    return s;
}

float AroundDb(const Frame& f, int k, int near, int far)
{
    const BinSum s = SumAround(f.mag, f.half, k, near, far);
    return s.count > 0 ? ToDb(s.sum / static_cast<float>(s.count)) : ToDb(0.0f);
}

float SurroundDb(const Frame& f, float hz) { return AroundDb(f, BinOf(f, hz), kNearBins, kSurroundBins); }

LevelSum SumDb(const Frame& f, int from, int to)
{
    LevelSum s;
    for (int j = std::max(f.lo, from); j <= std::min(f.hi, to); ++j, ++s.count)
        s.sumDb += ToDb(f.mag[j]);
    return s;
}

// A tone's neighbourhood (its own lobe and leakage excluded) as the mean of its bins' levels in
// dB: it falls when the voice or chord the tone belongs to ends, while the few partials and
// distortion products of one loud tone hardly move it.
float ContextDb(const Frame& f, float hz)
{
    const int k = BinOf(f, hz);
    const LevelSum below = SumDb(f, k - kContextBins, k - kContextNearBins);
    const LevelSum above = SumDb(f, k + kContextNearBins, k + kContextBins);
    const int count = below.count + above.count;
    return count > 0 ? (below.sumDb + above.sumDb) / static_cast<float>(count) : 0.0f;
}

// The rest of the band the same way: the programme at large.
float RestDb(const Frame& f, float hz)
{
    const int k = BinOf(f, hz);
    if (!f.bandSummed)
    {
        f.bandLevels = SumDb(f, f.lo, f.hi);
        f.bandSummed = true;
    }
    const LevelSum near = SumDb(f, k - kContextBins, k + kContextBins);
    const int count = f.bandLevels.count - near.count;
    return count > 0 ? (f.bandLevels.sumDb - near.sumDb) / static_cast<float>(count) : 0.0f;
}

// How far a tone's neighbourhood or the rest of the band fell, and rose, since they read
// refContextDb and refBroadDb (each 0 when neither did): a tone that falls with them has not
// collapsed on its own, and one that swells with them has not swelled on its own.
struct SurroundingsMove
{
    float fellDb;
    float roseDb;
};

SurroundingsMove SurroundingsMoved(const Frame& f, float hz, float refContextDb, float refBroadDb)
{
    const float contextDb = ContextDb(f, hz);
    const float restDb = RestDb(f, hz);
    return {std::max({0.0f, refContextDb - contextDb, refBroadDb - restDb}),
            std::max({0.0f, contextDb - refContextDb, restDb - refBroadDb})};
}

// The loudest bin 2 to kSideBins away from the tone's bin, and at most reachShare of hz away, in dB.
float SideDb(const Frame& f, float hz, float reachShare = 1.0f)
{
    const int k = BinOf(f, hz);
    float loudest = 0.0f;
    for (int d = 2; d <= kSideBins && static_cast<float>(d) * f.binHz <= reachShare * hz; ++d)
    {
        if (k - d >= 1)
            loudest = std::max(loudest, f.mag[k - d]);
        if (k + d <= f.half - 1)
            loudest = std::max(loudest, f.mag[k + d]);
    }
    return ToDb(loudest);
}

int Frames(const Frame& f, double seconds) { return static_cast<int>(seconds * f.framesPerSecond); }

// Least-squares slope, dB per frame, of `count` values ending `ago` frames back in a ring.
using Levels = std::array<float, kAdaptiveHistory>;

template <std::size_t N>
float Slope(const std::array<float, N>& ring, int newest, int ago, int count)
{
    const float mid = 0.5f * static_cast<float>(count - 1);
    float num = 0.0f, den = 0.0f;
    for (int i = 0; i < count; ++i)
    {
        // i = 0 is the oldest of the span.
        const int at = (newest - ago - (count - 1 - i)) & static_cast<int>(N - 1);
        const float x = static_cast<float>(i) - mid;
        num += x * ring[static_cast<std::size_t>(at)];
        den += x * x;
    }
    return den > 0.0f ? num / den : 0.0f;
}

template <std::size_t N>
float Ago(const std::array<float, N>& ring, int newest, int ago)
{
    return ring[static_cast<std::size_t>((newest - ago) & static_cast<int>(N - 1))];
}

// ---- tones ---------------------------------------------------------------------------------------

int Newest(const AdaptiveTrack& t) { return t.frames - 1; }

void StartTrack(AdaptiveTrack& t, float hz, float levelDb, float prominenceDb)
{
    t = AdaptiveTrack{};
    t.active = true;
    t.frequency = hz;
    t.prominenceDb = prominenceDb;
    t.levelDb.fill(levelDb);
    t.frames = 1;
}

// Every followed tone gets this frame's level at its frequency, peak or not.
void MeasureTracks(AdaptiveCatchState& s, const Frame& f, const Thresholds& th)
{
    for (AdaptiveTrack& t : s.tracks)
    {
        if (!t.active)
            continue;
        const float level = LevelDbAt(f, t.frequency);
        t.levelDb[static_cast<std::size_t>(t.frames & (kAdaptiveHistory - 1))] = level;
        t.frames += 1;
        t.misses += 1;
        t.prominenceDb = level - SurroundDb(f, t.frequency);
        t.steadyFrames = t.prominenceDb >= th.steadyDb ? t.steadyFrames + 1 : 0;
        t.standingFrames = t.prominenceDb >= th.triggerDb ? t.standingFrames + 1 : 0;
    }
}

// Index of the first active slot within `bins` of hz, or -1.
int SlotNear(const NotchBank& bank, float hz, float bins)
{
    for (int i = 0; i < kMaxNotches; ++i)
    {
        const Notch& slot = bank.slots[static_cast<std::size_t>(i)];
        if (slot.active && std::fabs(slot.frequency - hz) < bins * bank.binWidthHz)
            return i;
    }
    return -1;
}

// Gaussian interpolation of a Hann-windowed peak: the log magnitudes are nearly a parabola. It
// serves a power spectrum as well (its logs are twice the magnitudes', which the ratio cancels).
float RefinedHz(int k, const float* spectrum, float binHz)
{
    const float a = std::log(std::max(spectrum[k - 1], kFloorAmplitude));
    const float b = std::log(std::max(spectrum[k], kFloorAmplitude));
    const float c = std::log(std::max(spectrum[k + 1], kFloorAmplitude));
    const float curvature = a - 2.0f * b + c;
    const float offset = curvature < 0.0f ? std::clamp(0.5f * (a - c) / curvature, -0.5f, 0.5f) : 0.0f;
    return (static_cast<float>(k) + offset) * binHz;
}

float RefinedHz(const Frame& f, int k) { return RefinedHz(k, f.mag, f.binHz); }

// A new peak joins the tone within a bin of it, or starts one (in place of the least prominent
// tone when all are in use and it stands out more).
void FollowPeak(NotchBank& bank, const Frame& f, int k)
{
    const float levelDb = ToDb(f.mag[k]);
    const float prominence = levelDb - AroundDb(f, k, kNearBins, kSurroundBins);
    if (prominence < kFollowDb)
        return;
    const float hz = RefinedHz(f, k);
    if (SlotNear(bank, hz, kOwnToneBins) >= 0)
        return; // the notch there watches its own tone
    AdaptiveCatchState& s = bank.adaptive;
    AdaptiveTrack* weakest = nullptr;
    for (AdaptiveTrack& t : s.tracks)
    {
        if (t.active && std::fabs(t.frequency - hz) < f.binHz)
        {
            if (t.misses == 0)
                return; // already matched this frame
            t.jitterHz = kTrackSmoothing * t.jitterHz + (1.0f - kTrackSmoothing) * std::fabs(hz - t.frequency);
            t.frequency = kTrackSmoothing * t.frequency + (1.0f - kTrackSmoothing) * hz;
            t.misses = 0;
            return;
        }
        if (!t.active)
        {
            if (weakest == nullptr || weakest->active)
                weakest = &t;
        }
        else if (weakest == nullptr || (weakest->active && t.prominenceDb < weakest->prominenceDb))
            weakest = &t;
    }
    if (weakest != nullptr && (!weakest->active || weakest->prominenceDb < prominence))
        StartTrack(*weakest, hz, levelDb, prominence);
}

// A tone where a trial failed lately is that source again, unless it now stands well above the
// level it had then.
bool LikeSource(const AdaptiveCatchState& s, float hz, float levelDb, float binHz)
{
    for (const AdaptiveSource& src : s.sources)
        if (src.frames > 0 && std::fabs(src.frequency - hz) < kSourceBins * binHz
            && levelDb < src.levelDb + kAboveSourceDb)
            return true;
    return false;
}

// A manual or a kept notch cuts the tone at hz: a howl, not a note (a notch on trial proves nothing).
bool HeldByNotch(const NotchBank& bank, float hz)
{
    for (int i = 0; i < kMaxNotches; ++i)
    {
        const Notch& slot = bank.slots[static_cast<std::size_t>(i)];
        if (slot.active && slot.targetDepth < 0.0f
            && std::fabs(slot.frequency - hz) < kNotchedPeakBins * bank.binWidthHz
            && bank.adaptive.notches[static_cast<std::size_t>(i)].phase != AdaptivePhase::Trial)
            return true;
    }
    return false;
}

// A partial's peak: it stands clear (amplitude) of the bins two away on both sides.
bool StandsClear(const Frame& f, int k)
{
    return f.mag[k] > kPartialOverSides * f.mag[k - 2] && f.mag[k] > kPartialOverSides * f.mag[k + 2];
}

// A loud peak at a stretched hz / n (see kStretch) that no notch holds.
bool BelowStretched(const NotchBank& bank, const Frame& f, float hz, float levelDb)
{
    for (int n = 2; n <= kMaxStretchedHarmonic; ++n)
    {
        const float top = hz / static_cast<float>(n);
        const float bottom = top / (1.0f + std::min(kMaxStretch, kStretch * static_cast<float>(n * n)));
        const int from = std::max(3, static_cast<int>(std::floor(bottom / f.binHz)) - 1);
        const int to = std::min(f.half - 4, static_cast<int>(std::ceil(top / f.binHz)) + 1);
        for (int k = from; k <= to; ++k)
        {
            const float m = f.mag[k];
            if (m >= f.mag[k - 1] && m >= f.mag[k + 1] && ToDb(m) >= levelDb + kLoudPartialDb && StandsClear(f, k)
                && !HeldByNotch(bank, static_cast<float>(k) * f.binHz))
                return true;
        }
    }
    return false;
}

// A partial of a voice or an instrument: its octave stands out near its level (it is a note's
// fundamental), or a tone at half or a third of its frequency does (it is an upper partial), or
// both its neighbours in some harmonic series do, or a loud stretched fundamental lies below it.
// A howl stands alone; clipped, it adds odd harmonics above itself, which none of these tests takes
// for a series.
bool IsPartial(const NotchBank& bank, const Frame& f, float hz, float levelDb)
{
    const auto present = [&](float at) {
        const int k = static_cast<int>(std::lround(at / f.binHz));
        if (at < kBandLowHz || k < 4 || k > f.half - 5)
            return false;
        // The loudest of the three bins there, a peak within a fraction of a bin of the exact
        // multiple (partials are harmonic; another howl nearby is not), standing clear of the bins
        // two beyond it or, broadened by vibrato, of its surroundings.
        int peak = k;
        for (int j : {k - 1, k + 1})
            if (f.mag[j] > f.mag[peak])
                peak = j;
        const float m = f.mag[peak];
        const float tolerance = ToDb(m) >= levelDb + kLoudPartialDb ? kLoudPartialToleranceBins : kPartialToleranceBins;
        if (ToDb(m) < levelDb - kPartialRangeDb || m < f.mag[peak - 1] || m < f.mag[peak + 1]
            || std::fabs(RefinedHz(f, peak) - at) > tolerance * f.binHz)
            return false;
        return StandsClear(f, peak) || ToDb(m) - SurroundDb(f, at) >= kPartialProminenceDb;
    };
    if (present(2.0f * hz) || present(0.5f * hz) || present(hz / 3.0f) || BelowStretched(bank, f, hz, levelDb))
        return true;
    for (int n = 2; n <= kMaxHarmonic; ++n)
    {
        const float f0 = hz / static_cast<float>(n);
        if (f0 < kMinPartialSpacingBins * f.binHz)
            break;
        if (present(hz - f0) && present(hz + f0))
            return true;
    }
    return false;
}

// Growth in a level ring whose newest entry is `n` (count entries so far) over its last `span`
// frames: at least minSlope per frame and minRiseDb in all, and straight in dB. A howl grows
// exponentially, and a windowed exponential stays one; an attack or a syllable is a step, which the
// window only rounds into an S that no straight line fits.
bool GrowsOver(const Levels& ring, int n, int count, int span, float minSlope, float minRiseDb)
{
    if (count < span + 1 || span > kAdaptiveHistory)
        return false;
    const float slope = Slope(ring, n, 0, span);
    const float rise = Ago(ring, n, 0) - Ago(ring, n, span - 1);
    if (slope < minSlope || rise < minRiseDb)
        return false;
    float mean = 0.0f;
    for (int i = 0; i < span; ++i)
        mean += Ago(ring, n, i);
    mean /= static_cast<float>(span);
    const float mid = 0.5f * static_cast<float>(span - 1);
    float squares = 0.0f;
    for (int i = 0; i < span; ++i)
    {
        const float fit = mean + slope * (mid - static_cast<float>(i));
        const float d = Ago(ring, n, i) - fit;
        squares += d * d;
    }
    return std::sqrt(squares / static_cast<float>(span)) <= kStraightDb + kStraightShare * rise;
}

// A building howl: fast growth over two short spans, or slower steady growth over two long ones (a
// room barely above its stable gain).
HowlEvidence Growth(const Levels& ring, int n, int count, const Thresholds& th)
{
    if (GrowsOver(ring, n, count, kGrowthSpan, th.growthDbPerFrame, kFastRiseDb))
        return HowlEvidence::Grew;
    if (GrowsOver(ring, n, count, kSlowSpan, kSlowShare * th.growthDbPerFrame, kSlowRiseDb))
        return HowlEvidence::GrewSlowly;
    return HowlEvidence::None;
}

// Under a notch at full depth the tone must grow for longer before it counts: the programme swells
// through a notch; a howl the notch cannot hold keeps growing.
bool GrowsThroughNotch(const Levels& ring, int n, int count, const Thresholds& th)
{
    return GrowsOver(ring, n, count, kThroughSpan, kThroughShare * th.growthDbPerFrame, kThroughRiseDb)
           || GrowsOver(ring, n, count, kSlowSpan, kSlowShare * th.growthDbPerFrame, kSlowRiseDb);
}

HowlEvidence HowlLike(const NotchBank& bank, const Frame& f, const AdaptiveTrack& t, const Thresholds& th)
{
    if (t.frames < kGrowthSpan / 2 + 2 || t.prominenceDb < th.triggerDb || t.jitterHz > kMaxJitterBins * f.binHz)
        return HowlEvidence::None;
    HowlEvidence evidence = Growth(t.levelDb, Newest(t), t.frames, th);
    if (evidence == HowlEvidence::None
        && (t.steadyFrames >= kSteadyFrames || t.standingFrames >= Frames(f, kStandingSeconds)))
        evidence = HowlEvidence::Stood;
    if (evidence == HowlEvidence::None)
        return evidence;
    const float levelDb = Ago(t.levelDb, Newest(t), 0);
    // A source remembered is a note; a tone that stands far longer than notes do is tried again.
    const bool outstays = t.standingFrames >= Frames(f, kOutstaySeconds);
    if (IsPartial(bank, f, t.frequency, levelDb)
        || (!outstays && LikeSource(bank.adaptive, t.frequency, levelDb, f.binHz)))
        return HowlEvidence::None;
    return evidence;
}

// ---- notches -------------------------------------------------------------------------------------

// The slot for a new notch: a free one, else the automatic notch that holds least (lifting or
// long unneeded), never a manual one and never one on trial; -1 when there is none.
int SlotForNewNotch(const NotchBank& bank)
{
    for (int i = 0; i < kMaxNotches; ++i)
    {
        const Notch& slot = bank.slots[static_cast<std::size_t>(i)];
        if (!slot.active && std::fabs(slot.depth) < kReusableDepthDb)
            return i;
    }
    int best = -1;
    float bestScore = 0.0f;
    for (int i = 0; i < kMaxNotches; ++i)
    {
        const Notch& slot = bank.slots[static_cast<std::size_t>(i)];
        const AdaptiveNotch& a = bank.adaptive.notches[static_cast<std::size_t>(i)];
        if (!slot.active || slot.manual || a.phase == AdaptivePhase::Trial)
            continue;
        // Shallow first, then the longest unneeded.
        const float score = slot.targetDepth * 1000.0f - static_cast<float>(a.quiet) * 1e-3f;
        if (best < 0 || score > bestScore)
        {
            best = i;
            bestScore = score;
        }
    }
    return best;
}

void StartTrial(NotchBank& bank, const Frame& f, int index, const AdaptiveTrack& t, HowlEvidence evidence)
{
    Notch& slot = bank.slots[static_cast<std::size_t>(index)];
    slot.active = true;
    slot.manual = false;
    slot.frequency = t.frequency;
    slot.q = std::min(bank.autoQ, t.frequency / (kMinBandwidthBins * f.binHz));
    slot.targetDepth = bank.autoCutDb;
    slot.age = 0;
    AdaptiveNotch& a = bank.adaptive.notches[static_cast<std::size_t>(index)];
    a = AdaptiveNotch{};
    a.phase = AdaptivePhase::Trial;
    a.evidence = evidence;
    a.refLevelDb = Ago(t.levelDb, Newest(t), 0);
    a.refSlopeDb = std::min(0.0f, Slope(t.levelDb, Newest(t), 0, kGrowthSpan));
    a.refContextDb = ContextDb(f, t.frequency);
    a.refBroadDb = RestDb(f, t.frequency);
    a.refSideDb = SideDb(f, t.frequency);
    a.refProminenceDb = t.prominenceDb;
    a.howlLevelDb = a.refLevelDb;
    // A partial followed steadily near its octave, if only roughly there (too far off for the
    // harmonic test); a chance peak of the programme there comes and goes.
    const float octaveHz = 2.0f * t.frequency;
    const auto followedThere = [&](const AdaptiveTrack& o) {
        return o.active && o.frames >= kSteadyFrames && std::fabs(o.frequency - octaveHz) < f.binHz;
    };
    a.refOctaveDb = LevelDbAt(f, octaveHz);
    a.octaveStood = a.refOctaveDb >= a.refLevelDb - kPartialRangeDb
                    && std::any_of(bank.adaptive.tracks.begin(), bank.adaptive.tracks.end(), followedThere);
    const int n = Newest(t);
    for (int i = 0; i < kAdaptiveHistory; ++i)
        a.levelDb[static_cast<std::size_t>(i)] = Ago(t.levelDb, n, kAdaptiveHistory - 1 - i);
}

void Keep(NotchBank& bank, const Frame& f, int index, float levelDb)
{
    AdaptiveNotch& a = bank.adaptive.notches[static_cast<std::size_t>(index)];
    Notch& slot = bank.slots[static_cast<std::size_t>(index)];
    if (a.phase == AdaptivePhase::None)
        a.howlLevelDb = levelDb; // taken over: its howl's level is not known
    else if (a.phase == AdaptivePhase::Trial)
        slot.targetDepth = std::max(kDeepestDb, slot.targetDepth - kAdaptiveKeptDeeperDb);
    a.phase = AdaptivePhase::Kept;
    a.frames = 0;
    a.keptDepthDb = slot.targetDepth;
    a.quiet = 0;
    // Each time the loop proves the notch needed again, it holds twice as long.
    a.holdFrames = std::min(Frames(f, kHoldSeconds) << std::min(a.needs, kMaxHoldDoublings),
                            Frames(f, kMaxHoldSeconds));
    a.levelDb.fill(levelDb);
    a.heldLevelDb = levelDb;
}

void Reject(NotchBank& bank, const Frame& f, int index, float levelDb)
{
    Notch& slot = bank.slots[static_cast<std::size_t>(index)];
    slot.targetDepth = 0.0f;
    AdaptiveNotch& a = bank.adaptive.notches[static_cast<std::size_t>(index)];
    AdaptiveSource* oldest = &bank.adaptive.sources[0];
    for (AdaptiveSource& src : bank.adaptive.sources)
        if (src.frames < oldest->frames)
            oldest = &src;
    oldest->frequency = slot.frequency;
    oldest->levelDb = std::max(a.howlLevelDb, levelDb);
    oldest->frames = Frames(f, kSourceSeconds);
    a = AdaptiveNotch{};
}

// The tone under a kept notch grew again: back to full depth, or deeper when it was at full depth,
// and held twice as long.
void Need(NotchBank& bank, const Frame& f, int index, float levelDb)
{
    Notch& slot = bank.slots[static_cast<std::size_t>(index)];
    AdaptiveNotch& a = bank.adaptive.notches[static_cast<std::size_t>(index)];
    a.proving = 0;
    a.proveCollapsed = -1;
    a.proveLevelDb = levelDb;
    a.proveContextDb = ContextDb(f, slot.frequency);
    a.proveBroadDb = RestDb(f, slot.frequency);
    a.proveDepthDb = slot.targetDepth;
    a.proveKeptDb = a.keptDepthDb;
    a.proveFloorDb = a.floorDb;
    if (slot.targetDepth > a.keptDepthDb + 0.5f)
    {
        a.floorDb = std::max(a.keptDepthDb, std::min(a.floorDb, slot.targetDepth - kFloorMarginDb));
        slot.targetDepth = a.keptDepthDb;
    }
    else
    {
        a.keptDepthDb = std::max(kDeepestDb, a.keptDepthDb - kDeepenStepDb);
        slot.targetDepth = a.keptDepthDb;
    }
    slot.age = 0;
    a.needs += 1;
    a.howlLevelDb = std::max(a.howlLevelDb, levelDb);
    a.quiet = 0;
    a.holdFrames = std::min(Frames(f, kHoldSeconds) << std::min(a.needs, kMaxHoldDoublings),
                            Frames(f, kMaxHoldSeconds));
    // Its growth is answered: judge what follows on its own.
    a.levelDb.fill(levelDb);
}

// A howl gets a trial notch of its own, also beside an existing notch whose skirt it escaped (a
// notch bends the loop's phase next to it, which can move a howl there); a notch fading out right
// there is taken back instead.
void Place(NotchBank& bank, const Frame& f, const AdaptiveTrack& t, HowlEvidence evidence)
{
    const int near = SlotNear(bank, t.frequency, kSameNotchBins);
    if (near >= 0)
    {
        const Notch& slot = bank.slots[static_cast<std::size_t>(near)];
        if (!slot.manual && slot.targetDepth == 0.0f)
        {
            StartTrial(bank, f, near, t, evidence);
            return;
        }
    }
    const int index = SlotForNewNotch(bank);
    if (index >= 0)
        StartTrial(bank, f, index, t, evidence);
}

// The loop's answer. A howl collapses once the notch is in: after the loop's delay its tone falls
// below the course it was on, further than its neighbourhood, the whole band and its octave fell
// meanwhile, and it stays down. A note does not, or ends with its octave; a voice that glides away
// from the notch shows up beside it. So does a howl the notch pushed onto its skirt: for a tone that
// grew, or stood out as only a howl does, the notch widens instead and the wider band is judged.
void JudgeTrial(NotchBank& bank, const Frame& f, int index, float levelDb)
{
    Notch& slot = bank.slots[static_cast<std::size_t>(index)];
    AdaptiveNotch& a = bank.adaptive.notches[static_cast<std::size_t>(index)];
    a.frames += 1;
    if (a.settled < 0
        && (std::fabs(slot.depth) >= kSettledShare * std::fabs(slot.targetDepth) || a.frames >= kMaxSettleFrames))
        a.settled = a.frames;
    if (a.settled < 0 || bank.hold)
        return;
    const int since = a.frames - a.settled;
    const float expected = a.refLevelDb + a.refSlopeDb * static_cast<float>(a.frames);
    // A swell counts only beyond what its surroundings rose by: a syllable or a chord lifts them all.
    const SurroundingsMove around = SurroundingsMoved(f, slot.frequency, a.refContextDb, a.refBroadDb);
    // A tone can fall no further than back into its surroundings.
    const float needed = std::clamp(a.refProminenceDb - kCollapseMarginDb, kMinCollapseDb, kCollapseDb);
    const float sideDb = SideDb(f, slot.frequency);
    const float wideDb = std::max(levelDb, sideDb); // the tone across a widened notch
    const bool moved = !a.widened && sideDb - a.refSideDb > kGlideDb;
    if (moved && (a.evidence != HowlEvidence::Stood || a.refProminenceDb >= kLoneToneDb)
        && expected - wideDb - around.fellDb < 0.5f * needed)
    {
        a.widened = true;
        slot.q = std::max(kWidestQ, slot.q / kWidenFactor);
        a.collapsed = -1;
        a.deepestFallDb = 0.0f;
        a.deepestAt = since;
        return;
    }
    // A note's octave ends with it; a howl has none (clipped, it adds odd harmonics only).
    const float octaveFell =
        a.octaveStood ? std::max(0.0f, a.refOctaveDb - LevelDbAt(f, 2.0f * slot.frequency)) : 0.0f;
    // A tone that stood out as only a howl does owes its level to the loop, not to the programme
    // around it: the programme's pausing meanwhile does not explain its fall.
    const float fell = std::max(a.refProminenceDb >= kLoneToneDb ? 0.0f : around.fellDb, octaveFell);
    // A glide carries the tone's level beside it: well clear of the surroundings the tone stood out
    // of, where the programme's own chance peaks lie beside a tone that stood only a little out.
    const float glideFloorDb = a.refLevelDb - a.refProminenceDb + kGlideOverSurroundDb;
    const bool glided =
        moved && SideDb(f, slot.frequency, kGlideShare) > std::max(expected - kGlideReach * needed, glideFloorDb);
    // Widened, the tone is the loudest bin within the band the notch now covers.
    const float toneDb = a.widened ? std::max(levelDb, SideDb(f, slot.frequency, 0.5f / slot.q)) : levelDb;
    const float collapse = glided ? 0.0f : expected - toneDb - fell;
    // A swell is the tone rising above its course further than its surroundings rose: their
    // falling meanwhile (a pause in the programme) leaves a held howl where it was.
    const bool swelled = !glided && toneDb - expected - around.roseDb >= kSwellDb;
    if (collapse > a.deepestFallDb)
    {
        a.deepestFallDb = collapse;
        a.deepestAt = since;
    }
    if (collapse < 0.5f * needed)
        a.collapsed = -1;
    else if (a.collapsed < 0 && collapse >= needed)
        a.collapsed = since;
    // A tone that stood for long may be a howl held in a reverberant room: its collapse starts
    // late and slow (the reflections keep feeding it), so it gets longer to show.
    const double patience = a.evidence == HowlEvidence::Stood ? kStoodPatience : 1.0;
    const bool quickRoom = bank.adaptive.slowestCollapse <= Frames(f, kSlowRoomSeconds);
    if (a.collapsed >= 0 && since - a.collapsed >= Frames(f, kConfirmSeconds))
    {
        bank.adaptive.slowestCollapse = std::max(bank.adaptive.slowestCollapse, a.collapsed);
        Keep(bank, f, index, levelDb);
    }
    else if ((since >= Frames(f, kSwellSeconds) && swelled)
             || (since >= Frames(f, patience * kOnsetSeconds) && a.collapsed < 0 && collapse < kOnsetDb)
             || (since >= Frames(f, kUnmovedPatience * kOnsetSeconds) && a.collapsed < 0 && quickRoom
                 && (collapse < kUnmovedDb || (a.widened && since - a.deepestAt >= Frames(f, kStalledSeconds))))
             || since >= Frames(f, patience * kTrialSeconds))
        Reject(bank, f, index, levelDb);
}

// A renewed need on proof: it stands when the tone falls under the deeper cut as a howl does, or
// still grows (not deep enough yet), and is undone when it holds its level like a note (the cut and
// the hold it had, lifting from there). Returns true while the proof goes on.
bool ProveNeed(NotchBank& bank, const Frame& f, int index, float levelDb)
{
    Notch& slot = bank.slots[static_cast<std::size_t>(index)];
    AdaptiveNotch& a = bank.adaptive.notches[static_cast<std::size_t>(index)];
    a.proving += 1;
    const float fell = SurroundingsMoved(f, slot.frequency, a.proveContextDb, a.proveBroadDb).fellDb;
    const float collapse = a.proveLevelDb - levelDb - fell;
    if (collapse < 0.5f * kMinCollapseDb)
        a.proveCollapsed = -1;
    else if (a.proveCollapsed < 0 && collapse >= kMinCollapseDb)
        a.proveCollapsed = a.proving;
    if (a.proveCollapsed >= 0 && a.proving - a.proveCollapsed >= Frames(f, kProveConfirmSeconds))
    {
        a.proving = -1;
        return false;
    }
    if (a.proving < Frames(f, kProveSeconds))
        return true;
    a.proving = -1;
    // Still growing: the deeper cut is not yet enough, and the next renewal goes deeper.
    if (levelDb >= a.proveLevelDb + kRegrowDb)
        return false;
    a.needs = std::max(0, a.needs - 1);
    a.keptDepthDb = a.proveKeptDb;
    a.floorDb = a.proveFloorDb;
    slot.targetDepth = std::min(0.0f, std::max(a.proveDepthDb, a.keptDepthDb));
    a.quiet = a.holdFrames + 1;
    return false;
}

// A kept notch: it holds while its tone stays down, lifts slowly once it has not been needed for a
// while, and comes back (or goes deeper) the moment its tone grows like a howl again. While it lifts
// the tone is watched more closely: that is when a held howl returns.
void TendKept(NotchBank& bank, const Frame& f, int index, float levelDb, float prominenceDb, const Thresholds& th)
{
    Notch& slot = bank.slots[static_cast<std::size_t>(index)];
    AdaptiveNotch& a = bank.adaptive.notches[static_cast<std::size_t>(index)];
    a.frames += 1;
    a.levelDb[static_cast<std::size_t>(a.frames & (kAdaptiveHistory - 1))] = levelDb;
    if (bank.hold)
        return;
    if (a.proving >= 0 && ProveNeed(bank, f, index, levelDb))
    {
        a.quiet = 0;
        return;
    }
    a.quiet += 1;
    slot.age = a.quiet;
    const bool lifting = slot.targetDepth > a.keptDepthDb + 0.5f;
    // At full depth the notch holds unless the tone grows back, like a howl, to the level it howled
    // at; while it lifts, the first signs of a howl bring it back.
    a.above = lifting && prominenceDb >= th.triggerDb && levelDb >= a.heldLevelDb + kAboveHeldDb ? a.above + 1 : 0;
    const bool grows = lifting ? a.above > Frames(f, kAboveHeldSeconds) && !IsPartial(bank, f, slot.frequency, levelDb)
                               : levelDb >= a.howlLevelDb - kRegrowDb
                                     && GrowsThroughNotch(a.levelDb, a.frames, a.frames, th);
    if (grows)
    {
        Need(bank, f, index, levelDb);
        return;
    }
    if (a.quiet <= a.holdFrames)
    {
        // The tone's usual level while held, which a returning howl rises out of.
        a.heldLevelDb += (levelDb - a.heldLevelDb) * kHeldSmoothing;
        return;
    }
    slot.targetDepth = std::min(a.floorDb, slot.targetDepth + static_cast<float>(kLiftDbPerSecond) / f.framesPerSecond);
    if (a.floorDb < 0.0f && a.quiet > a.holdFrames + Frames(f, kMaxHoldSeconds))
        a.floorDb = 0.0f;
    if (slot.targetDepth > kReleasedDb)
    {
        slot.targetDepth = 0.0f;
        a = AdaptiveNotch{};
    }
}

// Each automatic slot: follow what happened to it from outside (the user took it, removed it, or
// the other mode placed it), then judge its trial or tend it.
void TendNotches(NotchBank& bank, const Frame& f, const Thresholds& th)
{
    for (int i = 0; i < kMaxNotches; ++i)
    {
        Notch& slot = bank.slots[static_cast<std::size_t>(i)];
        AdaptiveNotch& a = bank.adaptive.notches[static_cast<std::size_t>(i)];
        if (!slot.active || slot.manual || slot.targetDepth == 0.0f)
        {
            if (a.phase != AdaptivePhase::None)
                a = AdaptiveNotch{};
            continue;
        }
        const float levelDb = LevelDbAt(f, slot.frequency);
        if (a.phase == AdaptivePhase::None)
            Keep(bank, f, i, levelDb);
        if (a.phase == AdaptivePhase::Trial)
            JudgeTrial(bank, f, i, levelDb);
        else
            TendKept(bank, f, i, levelDb, levelDb - SurroundDb(f, slot.frequency), th);
    }
}

// The local maxima that stand clear of the bins three away on both sides are followed. The vector
// kernel tests both at once: on noise a third of the bins are maxima and few of them stand clear.
void FindPeaks(NotchBank& bank, const Frame& f)
{
    std::int32_t* bins = bank.peakBins.data();
    const int clear = bank.fft.Kernels().findClearPeaks(f.mag, f.lo, f.hi, kPeakOverSides, bins);
    for (int i = 0; i < clear; ++i)
        FollowPeak(bank, f, bins[i]);
}

void DecideTracks(NotchBank& bank, const Frame& f, const Thresholds& th)
{
    AdaptiveCatchState& s = bank.adaptive;
    for (AdaptiveTrack& t : s.tracks)
    {
        if (!t.active)
            continue;
        if (t.misses > kMaxMisses || SlotNear(bank, t.frequency, kOwnToneBins) >= 0)
        {
            t = AdaptiveTrack{};
            continue;
        }
        const HowlEvidence evidence = bank.hold ? HowlEvidence::None : HowlLike(bank, f, t, th);
        if (evidence == HowlEvidence::None)
            continue;
        Place(bank, f, t, evidence);
        t = AdaptiveTrack{};
    }
}

// Power averaged bin by bin over kAveragingSeconds, and for how many averaging steps in a row each
// bin has stood out of its neighbours; lo..top is where a ringing loop is looked for.
struct Averaged
{
    float* power;
    std::int32_t* counts;
    int bins;
    float binHz;
    int lo;
    int top;
};

// An averaged bin's power over the mean of its neighbours kRingingNear..kRingingFar away (linear).
float AveragedProminence(const Averaged& a, int k)
{
    const BinSum around = SumAround(a.power, a.bins, k, kRingingNear, kRingingFar);
    return around.sum > 0.0f ? a.power[k] * static_cast<float>(around.count) / around.sum : 0.0f;
}

// A partial's peak near hz in the average: a held note's octave or fundamental shows there.
bool AveragedPeakNear(const Averaged& a, float hz)
{
    const int c = static_cast<int>(std::lround(hz / a.binHz));
    if (c < 2 || c > a.bins - 2)
        return false;
    int k = c;
    for (int j : {c - 1, c + 1})
        if (a.power[j] > a.power[k])
            k = j;
    return AveragedProminence(a, k) >= std::pow(10.0f, 0.1f * kAveragedPartialDb);
}

// The average moves on by `share` toward the power of this frame's magnitudes; a bin that has rung
// long enough without being a followed tone, a source or a partial in the average (this one's or,
// beyond its end, `wider`) gets a trial notch.
void FindRinging(NotchBank& bank, const Frame& f, const Averaged& a, const float* mag, float share,
                 const Averaged& wider)
{
    AdaptiveCatchState& s = bank.adaptive;
    for (int k = 0; k < a.bins; ++k)
        a.power[k] += (mag[k] * mag[k] - a.power[k]) * share;
    const float standsOut = std::pow(10.0f, 0.1f * kRingingDb);
    const int steps = Frames(f, kRingingSeconds) / kAveragingStride;
    const int top = std::min(a.top, a.bins - 1 - kRingingNear);
    const float* power = a.power;
    std::int32_t* counts = a.counts;
    // A first pass without branches: a local maximum standing clear of the bin 3 above (one of the
    // at most 8 it is compared with). It rules out nearly every bin, so the second pass rarely
    // reaches the full comparison.
    const float clearOfOne = standsOut / static_cast<float>(2 * (kRingingFar - kRingingNear + 1));
    for (int k = a.lo; k <= top; ++k)
    {
        const int candidate = static_cast<int>(power[k] >= power[k - 1]) & static_cast<int>(power[k] >= power[k + 1])
                              & static_cast<int>(power[k] >= clearOfOne * power[k + kRingingNear]);
        counts[k] = (counts[k] + 1) * candidate;
    }
    for (int k = a.lo; k <= top; ++k)
    {
        std::int32_t& count = counts[k];
        if (count == 0)
            continue;
        if (AveragedProminence(a, k) < standsOut)
        {
            count = 0;
            continue;
        }
        if (count < steps || bank.hold)
            continue;
        count = 0;
        const float hz = RefinedHz(k, power, a.binHz);
        const float levelDb = LevelDbAt(f, hz);
        const auto followed = [&](const AdaptiveTrack& t) {
            return t.active && t.frames >= kSteadyFrames && std::fabs(t.frequency - hz) < f.binHz;
        };
        const auto partialAt = [&](float at) {
            return at < static_cast<float>(a.bins - 2) * a.binHz ? AveragedPeakNear(a, at) : AveragedPeakNear(wider, at);
        };
        if (SlotNear(bank, hz, kSameNotchBins) >= 0 || LikeSource(s, hz, levelDb, f.binHz)
            || std::any_of(s.tracks.begin(), s.tracks.end(), followed) || partialAt(2.0f * hz) || partialAt(0.5f * hz))
            continue;
        AdaptiveTrack t;
        StartTrack(t, hz, levelDb, levelDb - SurroundDb(f, hz));
        Place(bank, f, t, HowlEvidence::Stood);
    }
}

float AveragingShare(const Frame& f)
{
    return std::min(1.0f, kAveragingStride / static_cast<float>(kAveragingSeconds * f.framesPerSecond));
}

Averaged WholeBand(NotchBank& bank, const Frame& f)
{
    AdaptiveCatchState& s = bank.adaptive;
    const int bins = std::min(kAdaptiveAveragedBins, f.half);
    return {s.averagedPower.data(), s.ringing.data(), bins, f.binHz, f.lo, std::min(f.hi, bins - 1 - kRingingNear)};
}

// ---- the low band, finer ----------------------------------------------------------------------------

bool LowBandReady(const NotchBank& bank)
{
    return bank.lowFft.Size() == kAdaptiveLowSize && bank.lowWindow.size() == kAdaptiveLowSize
           && bank.lowDecimation > 0 && bank.lowDecimation * kAdaptiveLowPerHop == bank.hopSize
           && bank.lowTaps.size() % kLowLanes == 0
           && static_cast<int>(bank.lowTaps.size()) + bank.hopSize <= bank.analysisSize;
}

// The newest hop of the analysis buffer, decimated into the ring.
void DecimateHop(NotchBank& bank)
{
    AdaptiveCatchState& s = bank.adaptive;
    const int length = static_cast<int>(bank.lowTaps.size());
    const int d = bank.lowDecimation;
    // Each output ends one decimation step: a dot product of the taps with the samples before it,
    // in kLowLanes running sums that the compiler keeps in vector registers.
    const float* first = bank.analysisBuffer.data() + bank.analysisSize - bank.hopSize - length;
    const float* taps = bank.lowTaps.data();
    for (int j = 0; j < kAdaptiveLowPerHop; ++j)
    {
        const float* x = first + (j + 1) * d;
        std::array<float, kLowLanes> lanes{};
        for (int t = 0; t < length; t += kLowLanes)
            for (int l = 0; l < kLowLanes; ++l)
                lanes[static_cast<std::size_t>(l)] += taps[t + l] * x[t + l];
        float sum = 0.0f;
        for (float v : lanes)
            sum += v;
        s.lowInput[static_cast<std::size_t>(s.lowWrite)] = sum;
        s.lowWrite = (s.lowWrite + 1) % kAdaptiveLowSize;
    }
}

// The ring's magnitude spectrum, oldest sample first: kAdaptiveLowBins values, in the transform's
// own output, valid until its next use.
const float* LowSpectrum(NotchBank& bank)
{
    WindowRing(bank.lowFft, bank.adaptive.lowInput.data(), bank.adaptive.lowWrite, bank.lowWindow.data());
    const SplitComplex bins = bank.lowFft.Forward();
    bank.lowFft.Kernels().magnitude(bins.re, bins.im, bins.re, kAdaptiveLowBins);
    return bins.re;
}

// Every kAveragingStride-th frame, both averages move on and are searched for a ringing loop: the
// whole band at the analysis's bins, and below kLowTopHz at the low band's finer ones, where a room's
// modes lie closer than the analysis's bins.
void FindRinging(NotchBank& bank, const Frame& f)
{
    AdaptiveCatchState& s = bank.adaptive;
    const bool low = LowBandReady(bank);
    if (low)
        DecimateHop(bank);
    s.averagingPhase = (s.averagingPhase + 1) % kAveragingStride;
    if (s.averagingPhase != 0)
        return;
    const float share = AveragingShare(f);
    const Averaged whole = WholeBand(bank, f);
    FindRinging(bank, f, whole, f.mag, share, whole);
    if (!low)
        return;
    const float lowBinHz = static_cast<float>(bank.sampleRate / bank.lowDecimation) / kAdaptiveLowSize;
    const Averaged fine{s.lowPower.data(), s.lowRinging.data(), kAdaptiveLowBins, lowBinHz,
                        std::max(kRingingFar + 1, static_cast<int>(std::ceil(kBandLowHz / lowBinHz))),
                        static_cast<int>(kLowTopHz / lowBinHz)};
    FindRinging(bank, f, fine, LowSpectrum(bank), share, whole);
}

void AgeSources(AdaptiveCatchState& s)
{
    for (AdaptiveSource& src : s.sources)
        src.frames = std::max(0, src.frames - 1);
}

} // namespace

void PrepareAdaptiveCatch(NotchBank& bank)
{
    bank.lowDecimation = bank.hopSize / kAdaptiveLowPerHop;
    bank.lowFft.Prepare(kAdaptiveLowSize);
    bank.lowWindow.resize(kAdaptiveLowSize);
    FillHannWindow(bank.lowWindow.data(), kAdaptiveLowSize);
    // Three moving sums of one decimation step each: nulls on every multiple of the decimated rate,
    // which is where what would fold onto the low band lies; 2 dB down at 320 Hz. Oldest
    // sample first (they are symmetric), led by zeros to a whole number of lanes.
    const int d = std::max(1, bank.lowDecimation);
    std::vector<float> taps(1, 1.0f);
    for (int stage = 0; stage < 3; ++stage)
    {
        std::vector<float> next(taps.size() + static_cast<std::size_t>(d) - 1, 0.0f);
        for (std::size_t i = 0; i < taps.size(); ++i)
            for (int j = 0; j < d; ++j)
                next[i + static_cast<std::size_t>(j)] += taps[i] / static_cast<float>(d);
        taps = std::move(next);
    }
    taps.insert(taps.begin(), (kLowLanes - taps.size() % kLowLanes) % kLowLanes, 0.0f);
    bank.lowTaps = std::move(taps);
}

void ForgetAdaptiveTracks(AdaptiveCatchState& state)
{
    for (AdaptiveTrack& t : state.tracks)
        t = AdaptiveTrack{};
    state.ringing.fill(0);
    state.lowRinging.fill(0);
    state.lowInput.fill(0.0f);
}

void AnalyseAdaptiveFrame(NotchBank& bank, const float* mag)
{
    Frame f;
    f.mag = mag;
    f.half = bank.analysisSize / 2;
    f.binHz = bank.binWidthHz;
    f.framesPerSecond = static_cast<float>(bank.sampleRate / bank.hopSize);
    const double top = std::min(kBandHighHz, kBandHighRatio * bank.sampleRate);
    // From the first bin at 40 Hz or above (the second at 44.1 and 48 kHz, where a room's lowest
    // modes howl; a peak there is judged against the DC bin below it).
    f.lo = std::max(2, static_cast<int>(std::ceil(kBandLowHz / f.binHz)));
    f.hi = std::min(f.half - 4, static_cast<int>(top / f.binHz));
    if (f.hi < f.lo)
        return;
    if (std::none_of(mag + f.lo, mag + f.hi + 1, [](float m) { return m > 0.0f; }))
        return; // digital silence: nothing ages, nothing changes

    AdaptiveCatchState& s = bank.adaptive;
    if (!s.engaged)
    {
        ForgetAdaptiveTracks(s);
        s.notches.fill(AdaptiveNotch{});
        s.averagedPower.fill(0.0f);
        s.lowPower.fill(0.0f);
        s.engaged = true;
    }
    const Thresholds th = ThresholdsFor(bank.sensitivity);
    AgeSources(bank.adaptive);
    TendNotches(bank, f, th);
    MeasureTracks(bank.adaptive, f, th);
    FindPeaks(bank, f);
    DecideTracks(bank, f, th);
    FindRinging(bank, f);
}

} // namespace ringstill
