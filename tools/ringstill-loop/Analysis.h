// What the bench reads from a run: how far any narrow band of the microphone signal stands out of
// the dry programme (howls), the howl events with their catch, the notches the processor applies
// (seen from outside, as dips in its measured transfer), and the open-loop colouration. Nothing here
// knows which processor made the run. Worker threads; one object per run.
#pragma once

#include "tools/ringstill-loop/Fft.h"
#include "tools/ringstill-loop/Loop.h"

#include <memory>
#include <vector>

namespace ringstill::loop {

// A band stands out this far above the dry programme: a howl.
inline constexpr double kHowlDb = 12.0;

// Sixth-octave bands (at least five analysis bins wide) with the dry programme's long-term energy in
// each, the floor below which a quiet moment of the programme does not make a band look prominent.
// A band's prominence is the microphone's energy in it over the dry programme's, the latter held
// from its recent peaks and let fall slowly.
struct BandPlan
{
    double sampleRate = 48000.0;
    int frameSize = 4096;
    int hop = 512;
    std::vector<int> firstBin;
    std::vector<int> lastBin;
    std::vector<double> floorEnergy;
    double floorTotal = 0.0;
};
BandPlan MakeBandPlan(const std::vector<double>& dry, double sampleRate);

struct HowlFrame
{
    double timeSeconds = 0.0;    // the frame's end
    double prominenceDb = 0.0;   // the most prominent band (or the whole band) over the dry programme
    double frequencyHz = 0.0;    // the strongest bin of that band in the microphone signal
    double micDb = -300.0;       // broadband level of the microphone signal, dBFS
    double dryDb = -300.0;       // the same for the dry input
};

// Frame-by-frame prominence, fed as the run goes so an unstable run can stop early.
class HowlMeter
{
public:
    // Frames ending before judgeFromSeconds are measured but never count as a howl.
    explicit HowlMeter(const BandPlan& plan, double judgeFromSeconds = 0.0);
    void Update(const LoopTrace& trace, std::size_t available);
    const std::vector<HowlFrame>& Frames() const { return frames; }
    // A howl: kHowlDb or more for three frames in a row.
    bool Howled() const { return firstHowl >= 0; }
    // The frame that completed the first howl; only when Howled().
    const HowlFrame& FirstHowl() const { return frames[std::size_t(firstHowl)]; }
    double MaxProminenceDb() const { return maxProminence; }

private:
    const BandPlan& plan;
    Fft fft;
    std::vector<double> window;
    std::vector<double> segment;
    std::vector<Complex> bins;
    std::vector<Complex> scratch;
    std::vector<double> micPower;
    std::vector<double> dryPower;
    std::vector<HowlFrame> frames;
    std::size_t nextEnd = 0;
    std::vector<double> held; // the dry programme's band energy, held and let fall
    double heldTotal = 0.0;
    double holdDecay = 1.0;
    double judgeFrom = 0.0;
    int run = 0;
    long firstHowl = -1;
    double maxProminence = -300.0;
};

struct CatchResult
{
    bool howled = false;
    double onsetSeconds = 0.0;
    double frequencyHz = 0.0;
    double peakProminenceDb = 0.0;
    bool caught = false;
    double catchSeconds = 0.0;      // onset to 20 dB below the peak of the howl's return
    double windowSeconds = 0.0;     // after the first catch, at most 60 s
    int recurrences = 0;            // howls starting within that window
    double howlingSeconds = 0.0;    // time within that window at kHowlDb or more
    double lastHowlHz = 0.0;        // where the window's most prominent howl stood, if it howled
    double recurrencesPerMinute = 0.0;
};
CatchResult AnalyseCatch(const LoopTrace& trace, const std::vector<HowlFrame>& frames, double sampleRate);

// The processor's transfer seen from its input and output: dips below its broadband gain.
struct NotchCell
{
    float frequencyHz;
    float depthDb; // negative
};
struct NotchFrame
{
    double timeSeconds = 0.0;
    std::vector<NotchCell> cells; // ascending frequency
    // Which bins had enough input to measure, from measuredFromBin on.
    std::vector<bool> measured;
    int measuredFromBin = 0;
    double binHz = 1.0;
};
std::vector<NotchFrame> MeasureNotches(const LoopTrace& trace, double sampleRate);

// A frame's notches: the deepest bin of each dip that reaches 6 dB.
std::vector<NotchCell> FrameDips(const NotchFrame& frame);

struct NotchSummary
{
    int placed = 0;
    double perMinute = 0.0;
    double meanSeconds = 0.0;   // from the first to the last frame a dip was seen
    double longestSeconds = 0.0;
    int overHalfSecond = 0; // those that stayed longer than 0.5 s: a trial lifted sooner is hardly heard
    double overHalfSecondPerMinute = 0.0;
};
NotchSummary SummariseNotches(const std::vector<NotchFrame>& frames, double seconds);

struct Colouration
{
    double broadbandDb = 0.0;       // output against input, whole run
    double worstThirdOctaveDb = 0.0; // signed, the band furthest from 0 dB
    double worstBandHz = 0.0;
};
Colouration MeasureColouration(const LoopTrace& trace, double sampleRate);

// Broadband level every `step` seconds, dBFS.
std::vector<float> LevelTrack(const std::vector<float>& x, double sampleRate, double step);
std::vector<float> LevelTrack(const std::vector<double>& x, double sampleRate, double step);

} // namespace ringstill::loop
