// The measures: MSG of each room, added stable gain by bisection against a pass-through, catch and
// recurrence at MSG + 3 dB, and the open-loop damage on each programme. Every mode and setting gets
// the same rooms, seeds, programmes and thresholds. Runs its measurements on worker threads.
#pragma once

#include "tools/ringstill-loop/Analysis.h"
#include "tools/ringstill-loop/Processor.h"
#include "tools/ringstill-loop/Programmes.h"
#include "tools/ringstill-loop/Rooms.h"

#include <functional>
#include <string>
#include <vector>

namespace ringstill::loop {

struct BenchOptions
{
    std::vector<std::string> rooms;      // "name" or "name@rate"; empty: the full set
    std::vector<std::string> irFiles;    // measured responses, "file" or "file@rate"
    std::vector<std::string> programmes; // empty: all
    bool stableGain = true;
    bool catchAndRecur = true;
    bool openLoop = true;
    bool ringOut = true; // the stable limits again, judged after a ring-out at the gain
    int jobs = 2;
    int block = 64;
    double stableSeconds = 20.0;
    double ringOutSeconds = 20.0;
    double catchSeconds = 80.0;
    double openSeconds = 60.0;
    double catchOverMsgDb = 3.0;
    std::string cacheDir;
};

struct BenchCase
{
    std::string label; // "hall" or "hall@44100"
    RoomSpec room;
    double sampleRate = 48000.0;
    RoomResponse response;
    MsgResult msg;
};

struct StabilityStep
{
    double overMsgDb = 0.0;
    bool stable = false;
    double maxProminenceDb = 0.0;
    double howlSeconds = 0.0; // unstable: when the first howl was judged, and where
    double howlHz = 0.0;
};

struct StableLimit
{
    double overMsgDb = 0.0; // the largest gain over MSG found stable
    bool bounded = true;    // false: stable or unstable over the whole search range
    std::vector<StabilityStep> steps;
};

struct PlotTrace
{
    double stepSeconds = 0.05;
    std::vector<float> micDb;
    std::vector<float> dryDb;
    std::vector<NotchFrame> notches;
};

struct LoopResult
{
    std::size_t caseIndex = 0;
    std::string programme;
    bool haveStable = false;
    StableLimit passThrough;
    StableLimit plugin;
    double addedStableGainDb = 0.0;
    bool haveRingOut = false;
    StableLimit passThroughRung; // judged after ringOutSeconds at the gain
    StableLimit pluginRung;
    double rungStableGainDb = 0.0;
    bool haveCatch = false;
    CatchResult catchResult;
    PlotTrace catchTrace;
};

struct OpenResult
{
    std::string programme;
    double sampleRate = 48000.0;
    double seconds = 0.0;
    NotchSummary notches;
    Colouration colouration;
    PlotTrace trace;
};

struct BenchResults
{
    std::vector<BenchCase> cases;
    std::vector<LoopResult> loops;
    std::vector<OpenResult> open;
    double wallSeconds = 0.0;
    double catchOverMsgDb = 3.0; // the loop gain of the catch runs
    double ringOutSeconds = 20.0;
};

// Progress: tasks done, tasks in all, what is running.
using ProgressFn = std::function<void(int done, int total, const std::string& running)>;

std::vector<std::string> DefaultRoomCases();

bool RunBench(const BenchOptions& options, const ProcessorFactory& plugin, BenchResults& results, std::string& error,
              const ProgressFn& progress);

// The building blocks, also used by the tests. dry: DryInput of the programme. A run lasts
// ringOutSeconds + seconds, and only its last `seconds` are judged.
bool StableAt(const BenchCase& c, const std::vector<double>& dry, const BandPlan& plan, double seconds,
              int block, double overMsgDb, const ProcessorFactory& factory, StabilityStep& step, std::string& error,
              double ringOutSeconds = 0.0);
bool FindStableLimit(const BenchCase& c, const std::vector<double>& dry, const BandPlan& plan, double seconds,
                     int block, const ProcessorFactory& factory, StableLimit& limit, std::string& error,
                     const std::function<void(double)>& trying = {}, double ringOutSeconds = 0.0);
bool MakeCase(const std::string& label, bool measured, double defaultRate, int block, BenchCase& out, std::string& error);

} // namespace ringstill::loop
