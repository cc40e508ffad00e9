#include "effect/FeedbackDetector.h"

#include "effect/AdaptiveCatch.h"
#include "effect/Fft.h"
#include "effect/NotchBank.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace ringstill {

namespace {

// About 23.4 Hz per bin keeps the frame rate near 187 per second at any rate.
constexpr double kTargetBinWidthHz = 23.4;
constexpr int kMinAnalysisSize = 1024;
constexpr int kMaxAnalysisSize = 16384;

constexpr double kBandLowHz = 150.0;
constexpr double kBandHighHz = 12000.0;

// Sensitivity maps linearly between the 0 % and 100 % values.
constexpr float kCandidateAt0 = 28.0f, kCandidateSlope = 16.0f;
constexpr float kStrongAt0 = 120.0f, kStrongSlope = 65.0f;
constexpr float kRiseLengthAt0 = 5.0f, kRiseLengthSlope = 2.0f;
constexpr int kMinRiseLength = 2;
constexpr float kRiseFactorAt0 = 1.8f;
constexpr float kRiseFactorSlope = 1.8f - 1.35f; // 0.44999992847442627 in float
static_assert(kRiseFactorSlope == 0.44999992847442627f, "rise slope is the float difference");

constexpr float kMinMatchDistanceHz = 30.0f;
constexpr float kMatchDistanceBins = 1.5f;

// A peak is strong when it stands this far above the bins two away.
constexpr float kStrongOverNeighbours = 8.0f;
constexpr float kNeighbourFloor = 1e-9f;
// Growth per frame that counts as rising (0.3 %).
constexpr float kRiseStep = 1.003f;
constexpr float kTrackSmoothing = 0.7f;
constexpr float kNewFrequencyWeight = 0.3f;
// A steady peak followed this long without being judged feedback is dropped.
constexpr int kMaxTrackHits = 80;
// Strong for this many hits counts as feedback.
constexpr int kStrongHits = 7;
// Frames without a match before a track ends.
constexpr int kMaxMisses = 4;
constexpr float kReusableDepthDb = 0.05f;

void ResetTrack(FeedbackTrack& track)
{
    track = FeedbackTrack{};
}

void ResetAllTracks(NotchBank& bank)
{
    for (FeedbackTrack& track : bank.tracks)
        ResetTrack(track);
}

// Index of the first active slot within distance of f, or -1.
int SlotNear(const NotchBank& bank, float f, float distance)
{
    for (int i = 0; i < kMaxNotches; ++i)
    {
        const Notch& slot = bank.slots[static_cast<std::size_t>(i)];
        if (slot.active && std::fabs(slot.frequency - f) < distance)
            return i;
    }
    return -1;
}

// The slot a new automatic notch goes into, or -1 when every slot is manual.
int SlotForNewNotch(const NotchBank& bank)
{
    for (int i = 0; i < kMaxNotches; ++i)
    {
        const Notch& slot = bank.slots[static_cast<std::size_t>(i)];
        if (!slot.active && std::fabs(slot.depth) < kReusableDepthDb)
            return i;
    }
    // Take over the automatic notch whose tone has gone unseen the longest.
    int oldest = -1;
    for (int i = 0; i < kMaxNotches; ++i)
    {
        const Notch& slot = bank.slots[static_cast<std::size_t>(i)];
        if (slot.active && !slot.manual
            && (oldest < 0 || slot.age > bank.slots[static_cast<std::size_t>(oldest)].age))
            oldest = i;
    }
    return oldest;
}

void PlaceNotch(NotchBank& bank, float frequency, float matchDistance)
{
    if (SlotNear(bank, frequency, 2.0f * matchDistance) >= 0)
        return;
    const int index = SlotForNewNotch(bank);
    if (index < 0)
        return;
    // Depth, coefficients and state stay: a taken-over slot ramps from its present cut.
    Notch& slot = bank.slots[static_cast<std::size_t>(index)];
    slot.active = true;
    slot.frequency = frequency;
    slot.q = bank.autoQ;
    slot.manual = false;
    slot.targetDepth = bank.autoCutDb;
    slot.age = 0;
}

// Stores a run of finite samples, analysing a frame each time the buffer fills.
void CollectSamples(NotchBank& bank, const float* samples, int n)
{
    const int size = bank.analysisSize;
    float* buffer = bank.analysisBuffer.data();
    while (n > 0)
    {
        const int take = std::min(n, size - bank.analysisFill);
        std::memcpy(buffer + bank.analysisFill, samples, static_cast<std::size_t>(take) * sizeof(float));
        bank.analysisFill += take;
        samples += take;
        n -= take;
        if (bank.analysisFill == size)
        {
            AnalyseFrame(bank);
            const int keep = size - bank.hopSize;
            std::memmove(buffer, buffer + bank.hopSize, static_cast<std::size_t>(keep) * sizeof(float));
            bank.analysisFill = keep;
        }
    }
}

bool FrameReady(const NotchBank& bank)
{
    const std::size_t size = static_cast<std::size_t>(bank.analysisSize);
    return bank.analysisSize >= 8 && bank.fft.Size() == bank.analysisSize && bank.window.size() == size
           && bank.analysisBuffer.size() == size && bank.spectrum.size() == size / 2
           && bank.peakBins.size() == size / 2;
}

// Windowed frame, transform, magnitudes of bins 0..N/2-1 into the bank's spectrum.
const float* ComputeSpectrum(NotchBank& bank)
{
    const int size = bank.analysisSize;
    const DspKernels& kernels = bank.fft.Kernels();
    kernels.windowReal(bank.analysisBuffer.data(), bank.window.data(), bank.fft.InputReal(), bank.fft.InputImag(),
                       size);
    const SplitComplex bins = bank.fft.Forward();
    kernels.magnitude(bins.re, bins.im, bank.spectrum.data(), size / 2);
    return bank.spectrum.data();
}

// Summed bin by bin in ascending order: the order is part of the value.
float BandMean(const float* mag, SearchBand band)
{
    float sum = 0.0f;
    for (int k = band.lo; k <= band.hi; ++k)
        sum += mag[k];
    return sum / static_cast<float>(band.hi - band.lo + 1);
}

// Bins that stand above both neighbours and above the threshold, in ascending
// order, into bank.peakBins; returns how many. Following a peak never changes
// the spectrum, so finding them all first is the same as testing bin by bin.
int FindCandidatePeaks(NotchBank& bank, const float* mag, SearchBand band, float threshold)
{
    return bank.fft.Kernels().findPeaks(mag, band.lo, band.hi, threshold, bank.peakBins.data());
}

void AgeTracksAndSlots(NotchBank& bank)
{
    for (FeedbackTrack& track : bank.tracks)
        if (track.active)
            track.misses += 1;
    for (Notch& slot : bank.slots)
        if (slot.active)
            slot.age += 1;
}

struct Peak
{
    float level = 0.0f;
    float frequency = 0.0f; // Hz, between bins by parabolic interpolation
    bool strong = false;
};

Peak RefinePeak(const NotchBank& bank, const float* mag, int k, const DetectorThresholds& t, float mean)
{
    Peak p;
    p.level = mag[k];
    const float curvature = mag[k - 1] - 2.0f * p.level + mag[k + 1];
    const float offset = curvature == 0.0f ? 0.0f : 0.5f * (mag[k - 1] - mag[k + 1]) / curvature;
    p.frequency = (static_cast<float>(k) + offset) * bank.binWidthHz;
    p.strong = p.level > kStrongOverNeighbours * ((mag[k - 2] + mag[k + 2]) * 0.5f + kNeighbourFloor)
               && p.level > t.strongFactor * mean;
    return p;
}

// The first active track within distance of f, or else a newly started one
// (nullptr then, and also when every track is in use).
FeedbackTrack* MatchTrack(NotchBank& bank, const Peak& peak, float distance)
{
    for (FeedbackTrack& track : bank.tracks)
        if (track.active && std::fabs(track.frequency - peak.frequency) < distance)
            return &track;
    for (FeedbackTrack& track : bank.tracks)
        if (!track.active)
        {
            track.active = true;
            track.frequency = peak.frequency;
            track.hits = 1;
            track.misses = 0;
            track.lastLevel = peak.level;
            track.riseBase = peak.level;
            track.riseCount = 0;
            return nullptr;
        }
    return nullptr;
}

void UpdateTrack(FeedbackTrack& track, const Peak& peak)
{
    track.hits += 1;
    track.misses = 0;
    track.frequency = kTrackSmoothing * track.frequency + kNewFrequencyWeight * peak.frequency;
    if (peak.level > kRiseStep * track.lastLevel)
    {
        if (track.riseCount == 0)
            track.riseBase = track.lastLevel;
        track.riseCount += 1;
    }
    else
    {
        track.riseCount = 0;
    }
    track.lastLevel = peak.level;
}

bool IsFeedback(const FeedbackTrack& track, const Peak& peak, const DetectorThresholds& t)
{
    return (track.riseCount >= t.riseLength && peak.level >= t.riseFactor * track.riseBase)
           || (peak.strong && track.hits > kStrongHits);
}

// One candidate peak: keep a notch alive, or follow it as a track and decide.
void FollowPeak(NotchBank& bank, const float* mag, int k, const DetectorThresholds& t, float mean)
{
    const Peak peak = RefinePeak(bank, mag, k, t, mean);
    const float d = t.matchDistanceHz;
    // A peak at an existing notch only keeps that notch alive.
    const int near = SlotNear(bank, peak.frequency, 2.0f * d);
    if (near >= 0)
    {
        bank.slots[static_cast<std::size_t>(near)].age = 0;
        return;
    }
    FeedbackTrack* track = MatchTrack(bank, peak, d);
    if (track == nullptr)
        return;
    UpdateTrack(*track, peak);
    if (!IsFeedback(*track, peak, t))
    {
        if (track->hits > kMaxTrackHits)
            ResetTrack(*track);
        return;
    }
    if (!bank.hold)
        PlaceNotch(bank, track->frequency, d);
    ResetTrack(*track);
}

void EndLostTracks(NotchBank& bank)
{
    for (FeedbackTrack& track : bank.tracks)
        if (track.active && track.misses > kMaxMisses)
            ResetTrack(track);
}

// Automatic notches whose tone has gone unseen for longer than releaseFrames fade out.
void ReleaseUnseenNotches(NotchBank& bank)
{
    for (Notch& slot : bank.slots)
        if (slot.active && !slot.manual && slot.age > bank.releaseFrames)
            slot.targetDepth = 0.0f;
}

} // namespace


int AnalysisSizeFor(double sampleRate)
{
    const double c = std::round(sampleRate / kTargetBinWidthHz);
    int n = 1;
    if (c >= 1.0)
    {
        double b = 1.0;
        while (b * 2.0 <= c)
            b *= 2.0;
        // A tie goes to the smaller power of two.
        n = static_cast<int>(std::min(c - b <= 2.0 * b - c ? b : 2.0 * b, 65536.0));
    }
    return std::clamp(n, kMinAnalysisSize, kMaxAnalysisSize);
}

SearchBand SearchBandFor(int analysisSize, double sampleRate)
{
    SearchBand band;
    band.lo = std::max(2, static_cast<int>(analysisSize * kBandLowHz / sampleRate));
    band.hi = std::min(analysisSize / 2 - 3, static_cast<int>(analysisSize * kBandHighHz / sampleRate));
    return band;
}

DetectorThresholds ThresholdsFor(float s, float binWidthHz)
{
    DetectorThresholds t;
    t.candidateFactor = kCandidateAt0 - kCandidateSlope * s;
    t.strongFactor = kStrongAt0 - kStrongSlope * s;
    t.riseLength = std::max(kMinRiseLength, static_cast<int>(std::lround(kRiseLengthAt0 - kRiseLengthSlope * s)));
    t.riseFactor = kRiseFactorAt0 - kRiseFactorSlope * s;
    t.matchDistanceHz = std::max(kMinMatchDistanceHz, kMatchDistanceBins * binWidthHz);
    return t;
}

void PrepareDetector(NotchBank& bank)
{
    bank.fft.Prepare(bank.analysisSize);
    bank.peakBins.assign(static_cast<std::size_t>(std::max(bank.analysisSize / 2, 0)), 0);
}

void FeedDetector(NotchBank& bank, float* samples, int n)
{
    const int size = bank.analysisSize;
    const bool ready = size > 0 && bank.hopSize > 0
                       && bank.analysisBuffer.size() == static_cast<std::size_t>(size)
                       && bank.analysisFill >= 0 && bank.analysisFill < size;
    const DspKernels& kernels = bank.fft.Kernels();
    int i = 0;
    while (i < n)
    {
        const int finite = kernels.countFinite(samples + i, n - i);
        if (ready)
            CollectSamples(bank, samples + i, finite);
        i += finite;
        if (i < n)
        {
            // The filters get silence for it; the detector forgets every frame
            // that would contain it, so a bad sample cannot look like a tone.
            samples[i++] = 0.0f;
            bank.analysisFill = 0;
            ResetAllTracks(bank);
            ForgetAdaptiveTracks(bank.adaptive);
        }
    }
}

void AnalyseFrame(NotchBank& bank)
{
    if (!FrameReady(bank))
        return;
    const float* mag = ComputeSpectrum(bank);
    if (bank.autoCatch == AutoCatchMode::Adaptive)
    {
        AnalyseAdaptiveFrame(bank, mag);
        return;
    }
    if (bank.adaptive.engaged)
    {
        // Back from Adaptive: the tones followed before it are long gone.
        bank.adaptive.engaged = false;
        ResetAllTracks(bank);
    }

    const SearchBand band = SearchBandFor(bank.analysisSize, bank.sampleRate);
    if (band.hi < band.lo)
        return;
    const float mean = BandMean(mag, band);
    if (mean <= 0.0f)
        return; // digital silence: nothing ages, nothing changes

    const DetectorThresholds t = ThresholdsFor(bank.sensitivity, bank.binWidthHz);
    AgeTracksAndSlots(bank);
    const int peaks = FindCandidatePeaks(bank, mag, band, t.candidateFactor * mean);
    for (int i = 0; i < peaks; ++i)
        FollowPeak(bank, mag, bank.peakBins[static_cast<std::size_t>(i)], t, mean);
    EndLostTracks(bank);
    if (!bank.hold)
        ReleaseUnseenNotches(bank);
}

} // namespace ringstill
