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
constexpr int kSurroundBins = 12;
constexpr int kContextBins = 40;
// Peaks this far above their surroundings are followed.
constexpr float kFollowDb = 6.0f;
constexpr int kMaxMisses = 2;
// A peak this close to a notch is that notch's tone.
constexpr float kOwnToneBins = 1.0f;
// A howl this close to an automatic notch deepens it instead of getting its own.
constexpr float kSameNotchBins = 1.5f;
constexpr float kTrackSmoothing = 0.7f;
// A howl holds its pitch; a voice or an instrument wanders.
constexpr float kMaxJitterBins = 0.15f;

// Growth is judged over two spans of four frames: a howl grows at a steady rate in dB (a windowed
// exponential stays exponential), while a note's attack rises fast and stops once the analysis
// window has filled.
constexpr int kGrowthSpan = 4;
constexpr float kNoSlowing = 0.6f;
constexpr float kFastRiseDb = 3.0f;
constexpr int kSlowSpan = 15;
constexpr float kSlowShare = 0.25f;
constexpr float kSlowRiseDb = 5.0f;
constexpr int kThroughSpan = 8;
constexpr float kThroughShare = 0.75f;
constexpr float kThroughRiseDb = 8.0f;
// A tone standing far above its surroundings this many frames in a row (128 ms at 48 kHz).
constexpr int kSteadyFrames = 24;
// A partial of a note has its fundamental below it; a howl has nothing at f/2 or f/3.
constexpr float kSubharmonicDb = 10.0f;

// The trial: the tone has collapsed once it fell this far below its course before the notch, and
// further than its neighbourhood fell over the same frames.
constexpr float kCollapseDb = 9.0f;
constexpr float kWeakCollapseDb = 4.0f;
constexpr int kMinTrialFrames = 2;
constexpr int kTrialFrames = 24;
// The cut counts as in once the depth has come this close to its target.
constexpr float kSettledShare = 0.7f;
constexpr int kMaxSettleFrames = 20;

// A kept notch: how long it holds after its tone last needed it, how fast it then lifts, how much
// its tone must grow again to bring it back, and how deep it may go.
constexpr double kHoldSeconds = 20.0;
constexpr double kMaxHoldSeconds = 160.0;
constexpr double kLiftDbPerSecond = 0.5;
constexpr float kLiftingWatchDb = 4.0f;
constexpr float kDeepenStepDb = 6.0f;
constexpr float kDeepestDb = -40.0f;
constexpr float kReleasedDb = -0.5f;
// A failed trial's frequency counts as a source for this long.
constexpr double kSourceSeconds = 3.0;
constexpr float kSourceBins = 1.5f;

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
    return {14.0f - 6.0f * s, 0.45f - 0.2f * s, 26.0f - 8.0f * s};
}

// The magnitudes of one frame and where to look in them.
struct Frame
{
    const float* mag;
    int half; // bins in mag
    int lo;
    int hi;
    float binHz;
    float framesPerSecond;
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
float AroundDb(const Frame& f, int k, int near, int far)
{
    float sum = 0.0f;
    int count = 0;
    for (int j = std::max(1, k - far); j <= k - near; ++j, ++count)
        sum += f.mag[j];
    for (int j = k + near; j <= std::min(f.half - 1, k + far); ++j, ++count)
        sum += f.mag[j];
    return count > 0 ? ToDb(sum / static_cast<float>(count)) : ToDb(0.0f);
}

float SurroundDb(const Frame& f, float hz) { return AroundDb(f, BinOf(f, hz), kNearBins, kSurroundBins); }

// The energy of a tone's neighbourhood (its own lobe excluded), in dB: dominated by the strongest
// partials near it, which rise and fall with it when they belong to the same voice or chord.
float ContextDb(const Frame& f, float hz)
{
    const int k = BinOf(f, hz);
    float sum = 0.0f;
    for (int j = std::max(1, k - kContextBins); j <= k - kNearBins; ++j)
        sum += f.mag[j] * f.mag[j];
    for (int j = k + kNearBins; j <= std::min(f.half - 1, k + kContextBins); ++j)
        sum += f.mag[j] * f.mag[j];
    return 10.0f * std::log10(std::max(sum, kFloorAmplitude));
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

// Gaussian interpolation of a Hann-windowed peak: the log magnitudes are nearly a parabola.
float RefinedHz(const Frame& f, int k)
{
    const float a = std::log(std::max(f.mag[k - 1], kFloorAmplitude));
    const float b = std::log(std::max(f.mag[k], kFloorAmplitude));
    const float c = std::log(std::max(f.mag[k + 1], kFloorAmplitude));
    const float curvature = a - 2.0f * b + c;
    const float offset = curvature < 0.0f ? std::clamp(0.5f * (a - c) / curvature, -0.5f, 0.5f) : 0.0f;
    return (static_cast<float>(k) + offset) * f.binHz;
}

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

bool NearSource(const AdaptiveCatchState& s, float hz, float binHz)
{
    for (const AdaptiveSource& src : s.sources)
        if (src.frames > 0 && std::fabs(src.frequency - hz) < kSourceBins * binHz)
            return true;
    return false;
}

// A prominent peak at f/2 or f/3: the tone is a partial of a note.
bool HasSubharmonic(const Frame& f, float hz)
{
    for (float divisor : {2.0f, 3.0f})
    {
        const float sub = hz / divisor;
        if (sub / f.binHz < static_cast<float>(kNearBins))
            continue;
        if (LevelDbAt(f, sub) - SurroundDb(f, sub) >= kSubharmonicDb)
            return true;
    }
    return false;
}

// Growth in a level ring whose newest entry is `n` (count entries so far): over the last `span`
// frames at least minSlope per frame, over the span before at least half that, and minRiseDb in all.
bool GrowsOver(const Levels& ring, int n, int count, int span, float minSlope, float minRiseDb)
{
    if (count < 2 * span + 1 || 2 * span >= kAdaptiveHistory)
        return false;
    const float recent = Slope(ring, n, 0, span);
    const float before = Slope(ring, n, span, span);
    // A howl grows at a steady rate; an attack slows down as the analysis window fills.
    return recent >= minSlope && before >= 0.5f * minSlope && recent >= kNoSlowing * before
           && Ago(ring, n, 0) - Ago(ring, n, 2 * span) >= minRiseDb;
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

bool Grows(const Levels& ring, int n, int count, const Thresholds& th)
{
    return Growth(ring, n, count, th) != HowlEvidence::None;
}

// Under a notch at full depth the tone must grow for longer before it counts: the programme swells
// through a notch; a howl the notch cannot hold keeps growing.
bool GrowsThroughNotch(const Levels& ring, int n, int count, const Thresholds& th)
{
    return GrowsOver(ring, n, count, kThroughSpan, kThroughShare * th.growthDbPerFrame, kThroughRiseDb)
           || GrowsOver(ring, n, count, kSlowSpan, kSlowShare * th.growthDbPerFrame, kSlowRiseDb);
}

HowlEvidence HowlLike(const AdaptiveCatchState& s, const Frame& f, const AdaptiveTrack& t, const Thresholds& th)
{
    if (t.frames < kGrowthSpan + 2 || t.prominenceDb < th.triggerDb || t.jitterHz > kMaxJitterBins * f.binHz)
        return HowlEvidence::None;
    const HowlEvidence growth = Growth(t.levelDb, Newest(t), t.frames, th);
    if (growth != HowlEvidence::None)
        return growth;
    if (t.steadyFrames >= kSteadyFrames && !NearSource(s, t.frequency, f.binHz) && !HasSubharmonic(f, t.frequency))
        return HowlEvidence::Stood;
    return HowlEvidence::None;
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
    slot.q = bank.autoQ;
    slot.targetDepth = bank.autoCutDb;
    slot.age = 0;
    AdaptiveNotch& a = bank.adaptive.notches[static_cast<std::size_t>(index)];
    a = AdaptiveNotch{};
    a.phase = AdaptivePhase::Trial;
    a.evidence = evidence;
    a.refLevelDb = Ago(t.levelDb, Newest(t), 0);
    a.refSlopeDb = std::min(0.0f, Slope(t.levelDb, Newest(t), 0, 2 * kGrowthSpan));
    a.refContextDb = ContextDb(f, t.frequency);
    const int n = Newest(t);
    for (int i = 0; i < kAdaptiveHistory; ++i)
        a.levelDb[static_cast<std::size_t>(i)] = Ago(t.levelDb, n, kAdaptiveHistory - 1 - i);
}

void Keep(NotchBank& bank, const Frame& f, int index, float levelDb)
{
    AdaptiveNotch& a = bank.adaptive.notches[static_cast<std::size_t>(index)];
    a.phase = AdaptivePhase::Kept;
    a.frames = 0;
    a.keptDepthDb = bank.slots[static_cast<std::size_t>(index)].targetDepth;
    a.quiet = 0;
    a.holdFrames = Frames(f, kHoldSeconds);
    a.levelDb.fill(levelDb);
}

void Reject(NotchBank& bank, const Frame& f, int index)
{
    Notch& slot = bank.slots[static_cast<std::size_t>(index)];
    slot.targetDepth = 0.0f;
    bank.adaptive.notches[static_cast<std::size_t>(index)] = AdaptiveNotch{};
    AdaptiveSource* oldest = &bank.adaptive.sources[0];
    for (AdaptiveSource& src : bank.adaptive.sources)
        if (src.frames < oldest->frames)
            oldest = &src;
    oldest->frequency = slot.frequency;
    oldest->frames = Frames(f, kSourceSeconds);
}

// The tone under a kept notch grew again: back to full depth, or deeper when it was at full depth.
void Need(NotchBank& bank, const Frame& f, int index)
{
    Notch& slot = bank.slots[static_cast<std::size_t>(index)];
    AdaptiveNotch& a = bank.adaptive.notches[static_cast<std::size_t>(index)];
    if (slot.targetDepth > a.keptDepthDb + 0.5f)
        slot.targetDepth = a.keptDepthDb;
    else
    {
        a.keptDepthDb = std::max(kDeepestDb, a.keptDepthDb - kDeepenStepDb);
        slot.targetDepth = a.keptDepthDb;
    }
    a.quiet = 0;
    a.holdFrames = std::min(2 * a.holdFrames, Frames(f, kMaxHoldSeconds));
    // Its growth is answered: judge what follows on its own.
    a.levelDb.fill(Ago(a.levelDb, a.frames, 0));
    slot.age = 0;
}

// A howl found where an automatic notch already is: that notch deepens. Elsewhere: a new trial.
void PlaceOrDeepen(NotchBank& bank, const Frame& f, const AdaptiveTrack& t, HowlEvidence evidence)
{
    const int near = SlotNear(bank, t.frequency, kSameNotchBins);
    if (near >= 0)
    {
        const Notch& slot = bank.slots[static_cast<std::size_t>(near)];
        const AdaptiveNotch& a = bank.adaptive.notches[static_cast<std::size_t>(near)];
        if (!slot.manual && a.phase == AdaptivePhase::Kept)
            Need(bank, f, near);
        else if (!slot.manual && slot.targetDepth == 0.0f)
            StartTrial(bank, f, near, t, evidence); // fading out: back on trial
        return;
    }
    const int index = SlotForNewNotch(bank);
    if (index >= 0)
        StartTrial(bank, f, index, t, evidence);
}

void JudgeTrial(NotchBank& bank, const Frame& f, int index, float levelDb, float contextDb)
{
    const Notch& slot = bank.slots[static_cast<std::size_t>(index)];
    AdaptiveNotch& a = bank.adaptive.notches[static_cast<std::size_t>(index)];
    a.frames += 1;
    if (a.settled < 0
        && (std::fabs(slot.depth) >= kSettledShare * std::fabs(slot.targetDepth) || a.frames >= kMaxSettleFrames))
        a.settled = a.frames;
    if (a.settled < 0 || bank.hold)
        return;
    const int since = a.frames - a.settled;
    const float expected = a.refLevelDb + a.refSlopeDb * static_cast<float>(a.frames);
    const float contextFall = std::max(0.0f, a.refContextDb - contextDb);
    const float collapse = expected - levelDb - contextFall;
    if (since >= kMinTrialFrames && collapse >= kCollapseDb)
        Keep(bank, f, index, levelDb);
    else if (since >= kTrialFrames)
    {
        if (collapse >= kWeakCollapseDb)
            Keep(bank, f, index, levelDb);
        else
            Reject(bank, f, index);
    }
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
    a.quiet += 1;
    slot.age = a.quiet;
    const bool lifting = slot.targetDepth > a.keptDepthDb + 0.5f;
    const bool grows = lifting ? prominenceDb >= th.triggerDb - kLiftingWatchDb && Grows(a.levelDb, a.frames, a.frames, th)
                               : prominenceDb >= th.triggerDb && GrowsThroughNotch(a.levelDb, a.frames, a.frames, th);
    if (grows)
    {
        Need(bank, f, index);
        return;
    }
    if (a.quiet <= a.holdFrames)
        return;
    slot.targetDepth = std::min(0.0f, slot.targetDepth + static_cast<float>(kLiftDbPerSecond) / f.framesPerSecond);
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
            a = AdaptiveNotch{};
            continue;
        }
        const float levelDb = LevelDbAt(f, slot.frequency);
        if (a.phase == AdaptivePhase::None)
            Keep(bank, f, i, levelDb);
        if (a.phase == AdaptivePhase::Trial)
            JudgeTrial(bank, f, i, levelDb, ContextDb(f, slot.frequency));
        else
            TendKept(bank, f, i, levelDb, levelDb - SurroundDb(f, slot.frequency), th);
    }
}

void FindPeaks(NotchBank& bank, const Frame& f)
{
    const float* m = f.mag;
    for (int k = f.lo; k <= f.hi; ++k)
        if (m[k] > m[k - 1] && m[k] >= m[k + 1] && m[k] > kPeakOverSides * m[k - 3]
            && m[k] > kPeakOverSides * m[k + 3])
            FollowPeak(bank, f, k);
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
        const HowlEvidence evidence = bank.hold ? HowlEvidence::None : HowlLike(s, f, t, th);
        if (evidence == HowlEvidence::None)
            continue;
        PlaceOrDeepen(bank, f, t, evidence);
        t = AdaptiveTrack{};
    }
}

void AgeSources(AdaptiveCatchState& s)
{
    for (AdaptiveSource& src : s.sources)
        src.frames = std::max(0, src.frames - 1);
}

} // namespace

void ForgetAdaptiveTracks(AdaptiveCatchState& state)
{
    for (AdaptiveTrack& t : state.tracks)
        t = AdaptiveTrack{};
}

void AnalyseAdaptiveFrame(NotchBank& bank, const float* mag)
{
    Frame f;
    f.mag = mag;
    f.half = bank.analysisSize / 2;
    f.binHz = bank.binWidthHz;
    f.framesPerSecond = static_cast<float>(bank.sampleRate / bank.hopSize);
    const double top = std::min(kBandHighHz, kBandHighRatio * bank.sampleRate);
    f.lo = std::max(3, static_cast<int>(std::ceil(kBandLowHz / f.binHz)));
    f.hi = std::min(f.half - 4, static_cast<int>(top / f.binHz));
    if (f.hi < f.lo)
        return;
    float sum = 0.0f;
    for (int k = f.lo; k <= f.hi; ++k)
        sum += mag[k];
    if (!(sum > 0.0f))
        return; // digital silence: nothing ages, nothing changes

    AdaptiveCatchState& s = bank.adaptive;
    if (!s.engaged)
    {
        ForgetAdaptiveTracks(s);
        s.notches.fill(AdaptiveNotch{});
        s.engaged = true;
    }
    const Thresholds th = ThresholdsFor(bank.sensitivity);
    AgeSources(bank.adaptive);
    TendNotches(bank, f, th);
    MeasureTracks(bank.adaptive, f, th);
    FindPeaks(bank, f);
    DecideTracks(bank, f, th);
}

} // namespace ringstill
