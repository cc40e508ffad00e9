#include "tools/ringstill-loop/Analysis.h"

#include "tools/ringstill-loop/Dsp.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace ringstill::loop {
namespace {

// The dry programme's level in each band is held and let fall at this rate: the loop's own ringing
// after a syllable or a note is not a howl unless it rises above what excited it.
constexpr double kHoldDecayDbPerSecond = 10.0;
constexpr double kOnsetDb = 6.0;       // a howl's onset: where it first stood this far out
constexpr double kCatchDropDb = 20.0;  // caught: its return fell this far below its peak
constexpr double kQuietSeconds = 0.25; // a new howl needs this long below kHowlDb - 3 dB first
constexpr double kRecurrenceWindow = 60.0;
constexpr int kHowlFrames = 3;
constexpr double kNotchDb = -3.0;      // a dip in the transfer this deep is drawn
constexpr double kNotchCountDb = -6.0; // and this deep counts as a notch
constexpr int kNotchGoneFrames = 8;    // measured without its dip this many frames running: gone
// Seen in fewer frames than this (a quarter second): a flicker of the estimate at a note's onset next
// to a real notch, not a notch of its own.
constexpr int kNotchSeenFrames = 6;
// One notch's reach: six bins, or 4 % of its frequency where that is wider (a constant-Q notch
// widens with frequency: Q 25 is 200 Hz wide at 5 kHz, and the estimate has several minima in it).
constexpr double kNotchMatchBins = 6.0;
constexpr double kNotchMatchShare = 0.04;

std::vector<double> Hann(int n)
{
    std::vector<double> w(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        w[std::size_t(i)] = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * (i + 0.5) / n);
    return w;
}

int FrameSizeFor(double rate, int at48k) { return rate >= 32000.0 ? at48k : at48k / 2; }

double NotchReachHz(const NotchFrame& frame, double hz)
{
    return std::max(kNotchMatchBins * frame.binHz, kNotchMatchShare * hz);
}

// |FFT(window * x[from...])|^2 into power (N/2 + 1 bins).
template <typename Sample>
void PowerSpectrum(const Fft& fft, const std::vector<double>& window, const Sample* x, std::vector<double>& segment,
                   std::vector<Complex>& bins, std::vector<Complex>& scratch, std::vector<double>& power)
{
    const int n = fft.Size();
    for (int i = 0; i < n; ++i)
        segment[std::size_t(i)] = double(x[i]) * window[std::size_t(i)];
    fft.ForwardReal(segment.data(), bins.data(), scratch.data());
    for (int k = 0; k <= n / 2; ++k)
        power[std::size_t(k)] = std::norm(bins[std::size_t(k)]);
}

double BandSum(const std::vector<double>& power, int first, int last)
{
    double sum = 0.0;
    for (int k = first; k <= last; ++k)
        sum += power[std::size_t(k)];
    return sum;
}

} // namespace

BandPlan MakeBandPlan(const std::vector<double>& dry, double rate)
{
    BandPlan plan;
    plan.sampleRate = rate;
    plan.frameSize = FrameSizeFor(rate, 4096);
    plan.hop = plan.frameSize / 8;
    const double binHz = rate / plan.frameSize;
    const double top = std::min(18000.0, 0.45 * rate);
    int first = int(std::ceil(63.0 / binHz));
    for (double edge = 63.0; first < int(top / binHz);)
    {
        edge *= std::pow(2.0, 1.0 / 6.0);
        const int last = std::min(int(std::floor(edge / binHz)), int(top / binHz));
        if (last - first + 1 < 5 && last < int(top / binHz))
            continue;
        plan.firstBin.push_back(first);
        plan.lastBin.push_back(last);
        first = last + 1;
    }
    Fft fft(plan.frameSize);
    const std::vector<double> window = Hann(plan.frameSize);
    std::vector<double> segment(static_cast<std::size_t>(plan.frameSize)), power(static_cast<std::size_t>(plan.frameSize / 2 + 1));
    std::vector<Complex> bins(static_cast<std::size_t>(plan.frameSize / 2 + 1)), scratch(static_cast<std::size_t>(plan.frameSize));
    plan.floorEnergy.assign(plan.firstBin.size(), 0.0);
    int count = 0;
    for (std::size_t at = 0; at + std::size_t(plan.frameSize) <= dry.size(); at += std::size_t(plan.frameSize / 2))
    {
        PowerSpectrum(fft, window, dry.data() + at, segment, bins, scratch, power);
        for (std::size_t b = 0; b < plan.firstBin.size(); ++b)
            plan.floorEnergy[b] += BandSum(power, plan.firstBin[b], plan.lastBin[b]);
        plan.floorTotal += BandSum(power, plan.firstBin.front(), plan.lastBin.back());
        ++count;
    }
    for (double& e : plan.floorEnergy)
        e /= std::max(count, 1);
    plan.floorTotal /= std::max(count, 1);
    return plan;
}

HowlMeter::HowlMeter(const BandPlan& plan, double judgeFromSeconds)
    : plan(plan), fft(plan.frameSize), window(Hann(plan.frameSize)), segment(std::size_t(plan.frameSize)),
      bins(std::size_t(plan.frameSize / 2 + 1)), scratch(std::size_t(plan.frameSize)),
      micPower(std::size_t(plan.frameSize / 2 + 1)), dryPower(std::size_t(plan.frameSize / 2 + 1)),
      nextEnd(std::size_t(plan.frameSize)), held(plan.firstBin.size(), 0.0),
      holdDecay(std::pow(10.0, -kHoldDecayDbPerSecond * plan.hop / plan.sampleRate / 10.0)),
      judgeFrom(judgeFromSeconds)
{
}

void HowlMeter::Update(const LoopTrace& trace, std::size_t available)
{
    const std::size_t n = std::size_t(plan.frameSize);
    for (; nextEnd <= available; nextEnd += std::size_t(plan.hop))
    {
        const std::size_t from = nextEnd - n;
        PowerSpectrum(fft, window, trace.mic.data() + from, segment, bins, scratch, micPower);
        PowerSpectrum(fft, window, trace.dry.data() + from, segment, bins, scratch, dryPower);
        HowlFrame frame;
        frame.timeSeconds = double(nextEnd) / plan.sampleRate;
        const int lo = plan.firstBin.front();
        const int hi = plan.lastBin.back();
        const double micTotal = BandSum(micPower, lo, hi);
        const double dryTotal = BandSum(dryPower, lo, hi);
        std::size_t loudestBand = 0;
        double loudest = -1e300;
        for (std::size_t b = 0; b < plan.firstBin.size(); ++b)
        {
            const double m = BandSum(micPower, plan.firstBin[b], plan.lastBin[b]);
            const double d = BandSum(dryPower, plan.firstBin[b], plan.lastBin[b]);
            held[b] = std::max({d, plan.floorEnergy[b], held[b] * holdDecay});
            const double p = ToDb(m / held[b]);
            if (p > loudest)
            {
                loudest = p;
                loudestBand = b;
            }
        }
        heldTotal = std::max({dryTotal, plan.floorTotal, heldTotal * holdDecay});
        frame.prominenceDb = std::max(loudest, ToDb(micTotal / heldTotal));
        int peak = plan.firstBin[loudestBand];
        for (int k = plan.firstBin[loudestBand]; k <= plan.lastBin[loudestBand]; ++k)
            if (micPower[std::size_t(k)] > micPower[std::size_t(peak)])
                peak = k;
        frame.frequencyHz = peak * plan.sampleRate / plan.frameSize;
        frame.micDb = AmplitudeDb(RmsOf(trace.mic.data() + from, n));
        frame.dryDb = AmplitudeDb(RmsOf(trace.dry.data() + from, n));
        const bool judged = frame.timeSeconds >= judgeFrom;
        if (judged)
            maxProminence = std::max(maxProminence, frame.prominenceDb);
        run = judged && frame.prominenceDb >= kHowlDb ? run + 1 : 0;
        if (run >= kHowlFrames && firstHowl < 0)
            firstHowl = long(frames.size());
        frames.push_back(frame);
    }
}

namespace {

// The return's level around one frequency, frame by frame, dB.
std::vector<double> ToneTrack(const std::vector<float>& x, double rate, int frameSize, int hop, double hz)
{
    Fft fft(frameSize);
    const std::vector<double> window = Hann(frameSize);
    std::vector<double> segment(static_cast<std::size_t>(frameSize)), power(static_cast<std::size_t>(frameSize / 2 + 1));
    std::vector<Complex> bins(static_cast<std::size_t>(frameSize / 2 + 1)), scratch(static_cast<std::size_t>(frameSize));
    const int centre = int(std::lround(hz * frameSize / rate));
    std::vector<double> track;
    for (std::size_t end = std::size_t(frameSize); end <= x.size(); end += std::size_t(hop))
    {
        PowerSpectrum(fft, window, x.data() + end - std::size_t(frameSize), segment, bins, scratch, power);
        track.push_back(ToDb(BandSum(power, std::max(centre - 2, 0), std::min(centre + 2, frameSize / 2))));
    }
    return track;
}

// Index of the first frame from `from` on that starts a run of kHowlFrames at kHowlDb or more, after
// at least quietFrames below kHowlDb - 3 dB (counted from `from`; pass 0 for none), or -1.
long NextHowl(const std::vector<HowlFrame>& frames, std::size_t from, std::size_t to, int quietFrames)
{
    int quiet = 0;
    int run = 0;
    for (std::size_t i = from; i < to; ++i)
    {
        if (quiet < quietFrames)
        {
            quiet = frames[i].prominenceDb < kHowlDb - 3.0 ? quiet + 1 : 0;
            continue;
        }
        run = frames[i].prominenceDb >= kHowlDb ? run + 1 : 0;
        if (run >= kHowlFrames)
            return long(i) - kHowlFrames + 1;
    }
    return -1;
}

} // namespace

CatchResult AnalyseCatch(const LoopTrace& trace, const std::vector<HowlFrame>& frames, double rate)
{
    CatchResult result;
    if (frames.empty())
        return result;
    const long first = NextHowl(frames, 0, frames.size(), 0);
    if (first < 0)
        return result;
    result.howled = true;
    const int frameSize = FrameSizeFor(rate, 4096);
    const int hop = frameSize / 8;
    std::size_t onset = std::size_t(first);
    while (onset > 0 && frames[onset - 1].prominenceDb >= kOnsetDb)
        --onset;
    result.onsetSeconds = frames[onset].timeSeconds;
    // The howl's frequency: where it stood out most in its first half second.
    std::size_t strongest = std::size_t(first);
    const std::size_t early = std::min(frames.size(), std::size_t(first) + std::size_t(0.5 * rate / hop));
    for (std::size_t i = std::size_t(first); i < early; ++i)
        if (frames[i].prominenceDb > frames[strongest].prominenceDb)
            strongest = i;
    result.frequencyHz = frames[strongest].frequencyHz;
    const std::vector<double> tone = ToneTrack(trace.returned, rate, frameSize, hop, result.frequencyHz);
    const std::size_t count = std::min(tone.size(), frames.size());
    // The peak: the loudest return at that frequency before it first falls 20 dB.
    std::size_t peak = onset;
    std::size_t caught = 0;
    for (std::size_t i = onset; i < count && caught == 0; ++i)
    {
        if (tone[i] > tone[peak])
            peak = i;
        else if (tone[i] <= tone[peak] - kCatchDropDb)
            caught = i;
    }
    for (std::size_t i = onset; i <= std::max(peak, caught) && i < count; ++i)
        result.peakProminenceDb = std::max(result.peakProminenceDb, frames[i].prominenceDb);
    if (caught == 0)
        return result;
    result.caught = true;
    result.catchSeconds = frames[caught].timeSeconds - result.onsetSeconds;
    const double windowEnd = std::min(frames[caught].timeSeconds + kRecurrenceWindow, frames.back().timeSeconds);
    result.windowSeconds = windowEnd - frames[caught].timeSeconds;
    std::size_t end = caught;
    while (end < frames.size() && frames[end].timeSeconds <= windowEnd)
        ++end;
    const int quietFrames = int(std::ceil(kQuietSeconds * rate / hop));
    for (std::size_t i = caught; i < end;)
    {
        const long next = NextHowl(frames, i, end, quietFrames);
        if (next < 0)
            break;
        ++result.recurrences;
        i = std::size_t(next) + kHowlFrames;
    }
    if (result.windowSeconds > 0)
        result.recurrencesPerMinute = result.recurrences * 60.0 / result.windowSeconds;
    double loudest = kHowlDb;
    for (std::size_t i = caught; i < end; ++i)
        if (frames[i].prominenceDb >= kHowlDb)
        {
            result.howlingSeconds += double(hop) / rate;
            if (frames[i].prominenceDb >= loudest)
            {
                loudest = frames[i].prominenceDb;
                result.lastHowlHz = frames[i].frequencyHz;
            }
        }
    return result;
}

std::vector<NotchFrame> MeasureNotches(const LoopTrace& trace, double rate)
{
    const int n = FrameSizeFor(rate, 8192);
    const int hop = n / 4;
    const int half = n / 2;
    const double binHz = rate / n;
    const int lowBin = int(std::ceil(40.0 / binHz));
    const int highBin = std::min(half - 1, int(std::min(20000.0, 0.45 * rate) / binHz));
    Fft fft(n);
    const std::vector<double> window = Hann(n);
    std::vector<double> segment(static_cast<std::size_t>(n));
    std::vector<Complex> x(static_cast<std::size_t>(half + 1)), y(static_cast<std::size_t>(half + 1)), scratch(static_cast<std::size_t>(n));
    // Input and output power spectra of the last three frames, summed. The plug-in is not noise: its
    // output is a function of its input, so the power ratio is the transfer's magnitude. A cross
    // spectrum would also read a notch switched in or out as dips far from it (the cut note's onset
    // and end spread across the band decorrelate the output there).
    std::vector<std::vector<double>> inPower(3, std::vector<double>(static_cast<std::size_t>(half + 1)));
    std::vector<std::vector<double>> outPower(3, std::vector<double>(static_cast<std::size_t>(half + 1)));
    const std::size_t latency = std::size_t(std::max(trace.latency, 0));
    std::vector<NotchFrame> frames;
    std::vector<double> gainDb;
    int index = 0;
    for (std::size_t end = std::size_t(n); end + latency <= trace.out.size(); end += std::size_t(hop), ++index)
    {
        const std::size_t from = end - std::size_t(n);
        for (int i = 0; i < n; ++i)
            segment[std::size_t(i)] = trace.mic[from + std::size_t(i)] * window[std::size_t(i)];
        fft.ForwardReal(segment.data(), x.data(), scratch.data());
        for (int i = 0; i < n; ++i)
            segment[std::size_t(i)] = trace.out[from + latency + std::size_t(i)] * window[std::size_t(i)];
        fft.ForwardReal(segment.data(), y.data(), scratch.data());
        const int slot = index % 3;
        for (int k = 0; k <= half; ++k)
        {
            inPower[std::size_t(slot)][std::size_t(k)] = std::norm(x[std::size_t(k)]);
            outPower[std::size_t(slot)][std::size_t(k)] = std::norm(y[std::size_t(k)]);
        }
        if (index < 2)
            continue;
        NotchFrame frame;
        frame.timeSeconds = double(end - std::size_t(n / 2) - std::size_t(hop)) / rate; // centre of the three
        double loudest = 0.0;
        std::vector<double> sxx(static_cast<std::size_t>(half + 1));
        std::vector<double> ratioDb(static_cast<std::size_t>(half + 1), 0.0);
        for (int k = lowBin; k <= highBin; ++k)
        {
            sxx[std::size_t(k)] = inPower[0][std::size_t(k)] + inPower[1][std::size_t(k)] + inPower[2][std::size_t(k)];
            loudest = std::max(loudest, sxx[std::size_t(k)]);
        }
        frame.measuredFromBin = lowBin;
        frame.binHz = binHz;
        frame.measured.assign(std::size_t(highBin - lowBin + 1), false);
        gainDb.clear();
        for (int k = lowBin; k <= highBin; ++k)
        {
            // Measurable down to 90 dB under the loudest bin (a howl at full level must not hide the
            // notches elsewhere); the samples' float precision reaches well below that.
            if (sxx[std::size_t(k)] < loudest * 1e-9 || sxx[std::size_t(k)] <= 1e-24)
                continue;
            const double syy = outPower[0][std::size_t(k)] + outPower[1][std::size_t(k)] + outPower[2][std::size_t(k)];
            ratioDb[std::size_t(k)] = ToDb(syy / sxx[std::size_t(k)]);
            frame.measured[std::size_t(k - lowBin)] = true;
            gainDb.push_back(ratioDb[std::size_t(k)]);
        }
        if (!gainDb.empty())
        {
            std::nth_element(gainDb.begin(), gainDb.begin() + long(gainDb.size() / 2), gainDb.end());
            const double broadband = gainDb[gainDb.size() / 2];
            for (int k = lowBin; k <= highBin; ++k)
                if (frame.measured[std::size_t(k - lowBin)] && ratioDb[std::size_t(k)] - broadband <= kNotchDb)
                    frame.cells.push_back({float(k * binHz), float(ratioDb[std::size_t(k)] - broadband)});
        }
        frames.push_back(std::move(frame));
    }
    return frames;
}

std::vector<NotchCell> FrameDips(const NotchFrame& frame)
{
    // Bins at kNotchCountDb or deeper that are the deepest within a notch's reach either side (two
    // notches' skirts can run into each other).
    std::vector<NotchCell> dips;
    for (std::size_t i = 0; i < frame.cells.size(); ++i)
    {
        const NotchCell& c = frame.cells[i];
        if (c.depthDb > kNotchCountDb)
            continue;
        const double reach = NotchReachHz(frame, c.frequencyHz);
        bool deepest = true;
        for (std::size_t j = i; j-- > 0 && c.frequencyHz - frame.cells[j].frequencyHz < reach && deepest;)
            deepest = frame.cells[j].depthDb > c.depthDb;
        for (std::size_t j = i + 1; j < frame.cells.size() && frame.cells[j].frequencyHz - c.frequencyHz < reach && deepest; ++j)
            deepest = frame.cells[j].depthDb >= c.depthDb;
        if (deepest)
            dips.push_back(c);
    }
    return dips;
}

NotchSummary SummariseNotches(const std::vector<NotchFrame>& frames, double seconds)
{
    struct Open
    {
        double hz;
        double first;
        double last;
        int missed;
        int seen;
    };
    std::vector<Open> open;
    std::vector<double> durations;
    auto close = [&](const Open& o) {
        if (o.seen >= kNotchSeenFrames)
            durations.push_back(o.last - o.first);
    };
    for (const NotchFrame& frame : frames)
    {
        const std::vector<NotchCell> dips = FrameDips(frame);
        std::vector<bool> matched(open.size(), false);
        for (const NotchCell& dip : dips)
        {
            const double hz = dip.frequencyHz;
            const double reach = NotchReachHz(frame, hz);
            bool found = false;
            for (std::size_t e = 0; e < open.size() && !found; ++e)
                if (!matched[e] && std::abs(hz - open[e].hz) < reach)
                {
                    open[e].hz = hz; // follows the dip's centre as the estimate settles
                    open[e].last = frame.timeSeconds;
                    open[e].missed = 0;
                    ++open[e].seen;
                    matched[e] = true;
                    found = true;
                }
            // A second minimum within one notch's reach belongs to that notch.
            for (std::size_t e = 0; e < open.size() && !found; ++e)
                found = std::abs(hz - open[e].hz) < reach;
            if (!found)
            {
                open.push_back({hz, frame.timeSeconds, frame.timeSeconds, 0, 1});
                matched.push_back(true);
            }
        }
        // A notch is gone once its frequency is measured without a dip for kNotchGoneFrames running;
        // where the input has nothing to measure, it is taken to be still there.
        for (std::size_t e = 0; e < open.size();)
        {
            const int bin = int(std::lround(open[e].hz / frame.binHz)) - frame.measuredFromBin;
            const bool seen = bin >= 0 && bin < int(frame.measured.size()) && frame.measured[std::size_t(bin)];
            if (!matched[e] && seen && ++open[e].missed >= kNotchGoneFrames)
            {
                close(open[e]);
                open.erase(open.begin() + long(e));
                matched.erase(matched.begin() + long(e));
            }
            else
                ++e;
        }
    }
    for (const Open& o : open)
        close(o);
    NotchSummary summary;
    summary.placed = int(durations.size());
    summary.perMinute = seconds > 0 ? summary.placed * 60.0 / seconds : 0.0;
    for (double d : durations)
    {
        summary.meanSeconds += d / std::max<std::size_t>(durations.size(), 1);
        summary.longestSeconds = std::max(summary.longestSeconds, d);
        summary.overHalfSecond += d > 0.5 ? 1 : 0;
    }
    summary.overHalfSecondPerMinute = seconds > 0 ? summary.overHalfSecond * 60.0 / seconds : 0.0;
    return summary;
}

Colouration MeasureColouration(const LoopTrace& trace, double rate)
{
    const int n = FrameSizeFor(rate, 8192);
    Fft fft(n);
    const std::vector<double> window = Hann(n);
    std::vector<double> segment(static_cast<std::size_t>(n)), px(static_cast<std::size_t>(n / 2 + 1)), py(static_cast<std::size_t>(n / 2 + 1));
    std::vector<double> sumX(static_cast<std::size_t>(n / 2 + 1), 0.0), sumY(static_cast<std::size_t>(n / 2 + 1), 0.0);
    std::vector<Complex> bins(static_cast<std::size_t>(n / 2 + 1)), scratch(static_cast<std::size_t>(n));
    const std::size_t latency = std::size_t(std::max(trace.latency, 0));
    double energyX = 0.0;
    double energyY = 0.0;
    for (std::size_t i = 0; i + latency < trace.out.size(); ++i)
    {
        energyX += double(trace.mic[i]) * trace.mic[i];
        energyY += double(trace.out[i + latency]) * trace.out[i + latency];
    }
    for (std::size_t end = std::size_t(n); end + latency <= trace.out.size(); end += std::size_t(n / 2))
    {
        PowerSpectrum(fft, window, trace.mic.data() + end - std::size_t(n), segment, bins, scratch, px);
        PowerSpectrum(fft, window, trace.out.data() + end - std::size_t(n) + latency, segment, bins, scratch, py);
        for (int k = 0; k <= n / 2; ++k)
        {
            sumX[std::size_t(k)] += px[std::size_t(k)];
            sumY[std::size_t(k)] += py[std::size_t(k)];
        }
    }
    Colouration c;
    c.broadbandDb = ToDb(energyY / std::max(energyX, 1e-30));
    const double binHz = rate / n;
    std::vector<double> bandX, bandY, centres;
    for (int k = 17; k <= 42; ++k) // 50 Hz to 16 kHz
    {
        const double centre = std::pow(10.0, k / 10.0);
        const int lo = int(std::ceil(centre * std::pow(2.0, -1.0 / 6.0) / binHz));
        const int hi = int(std::floor(centre * std::pow(2.0, 1.0 / 6.0) / binHz));
        if (hi >= n / 2 || centre > 0.45 * rate || hi < lo)
            continue;
        bandX.push_back(BandSum(sumX, lo, hi));
        bandY.push_back(BandSum(sumY, lo, hi));
        centres.push_back(centre);
    }
    const double loudest = bandX.empty() ? 0.0 : *std::max_element(bandX.begin(), bandX.end());
    for (std::size_t b = 0; b < bandX.size(); ++b)
    {
        if (bandX[b] < loudest * 1e-5)
            continue;
        const double d = ToDb(bandY[b] / bandX[b]);
        if (std::abs(d) > std::abs(c.worstThirdOctaveDb))
        {
            c.worstThirdOctaveDb = d;
            c.worstBandHz = centres[b];
        }
    }
    return c;
}

template <typename Sample>
static std::vector<float> Track(const std::vector<Sample>& x, double rate, double step)
{
    const std::size_t n = std::max<std::size_t>(1, std::size_t(step * rate));
    std::vector<float> out;
    for (std::size_t at = 0; at + n <= x.size(); at += n)
    {
        double sum = 0.0;
        for (std::size_t i = at; i < at + n; ++i)
            sum += double(x[i]) * double(x[i]);
        out.push_back(float(ToDb(sum / double(n))));
    }
    return out;
}

std::vector<float> LevelTrack(const std::vector<float>& x, double rate, double step) { return Track(x, rate, step); }
std::vector<float> LevelTrack(const std::vector<double>& x, double rate, double step) { return Track(x, rate, step); }

} // namespace ringstill::loop
