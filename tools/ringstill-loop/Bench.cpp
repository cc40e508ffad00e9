#include "tools/ringstill-loop/Bench.h"

#include "tools/ringstill-loop/Loop.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <map>
#include <mutex>
#include <thread>

namespace ringstill::loop {
namespace {

constexpr double kSearchStepDb = 3.0;
constexpr double kResolutionDb = 0.25;
constexpr double kSearchHighDb = 30.0;
constexpr double kSearchLowDb = -24.0;
constexpr double kPlotStep = 0.05;

struct Key
{
    std::string programme;
    double rate;
    bool operator<(const Key& o) const { return programme != o.programme ? programme < o.programme : rate < o.rate; }
};

struct Material
{
    Programme programme;
    std::vector<double> dry;
    BandPlan plan;
};

PlotTrace MakePlotTrace(const LoopTrace& trace, double rate, std::vector<NotchFrame> notches)
{
    PlotTrace p;
    p.stepSeconds = kPlotStep;
    p.micDb = LevelTrack(trace.mic, rate, kPlotStep);
    p.dryDb = LevelTrack(trace.dry, rate, kPlotStep);
    p.notches = std::move(notches);
    return p;
}

} // namespace

std::vector<std::string> DefaultRoomCases()
{
    std::vector<std::string> cases;
    for (const RoomSpec& r : BuiltInRooms())
        cases.push_back(r.name);
    cases.push_back("wedge@44100");
    cases.push_back("hall@44100");
    return cases;
}

bool MakeCase(const std::string& label, bool measured, double defaultRate, int block, BenchCase& out, std::string& error)
{
    std::string name = label;
    out.sampleRate = defaultRate;
    if (const std::size_t at = label.rfind('@'); at != std::string::npos)
    {
        name = label.substr(0, at);
        char* end = nullptr;
        const double rate = std::strtod(label.c_str() + at + 1, &end);
        if (end == label.c_str() + at + 1 || *end != '\0' || rate < 8000.0 || rate > 384000.0)
        {
            error = "'" + label + "': the rate after @ must be 8000 to 384000 Hz";
            return false;
        }
        out.sampleRate = rate;
    }
    out.label = label;
    if (measured)
    {
        // Shown by its file name; the path stays in the description.
        const std::size_t slash = label.find_last_of('/');
        out.label = slash == std::string::npos ? label : label.substr(slash + 1);
    }
    if (measured)
    {
        out.room = RoomSpec {};
        out.room.name = name;
        out.room.what = "measured response " + name;
        out.room.file = name;
        if (!LoadRoomResponse(name, out.sampleRate, block, out.response, error))
            return false;
        char dropped[96];
        std::snprintf(dropped, sizeof dropped, " (%.1f dB of its energy lay in the first block and is left out)",
                      out.response.droppedDb);
        out.room.what += dropped;
    }
    else
    {
        const auto& rooms = BuiltInRooms();
        const auto found = std::find_if(rooms.begin(), rooms.end(), [&](const RoomSpec& r) { return r.name == name; });
        if (found == rooms.end())
        {
            error = "unknown room '" + name + "' (--list shows them)";
            return false;
        }
        out.room = *found;
        out.response = MakeRoomResponse(out.room, out.sampleRate);
    }
    if (out.response.delaySamples < block)
    {
        error = "room '" + label + "': its direct path (" + std::to_string(out.response.delaySamples)
                + " samples) is shorter than the loop's block (" + std::to_string(block) + "); use a smaller --block";
        return false;
    }
    out.msg = MaximumStableGain(out.response.taps, out.sampleRate);
    return true;
}

bool StableAt(const BenchCase& c, const std::vector<double>& dry, const BandPlan& plan, double seconds, int block,
              double overMsgDb, const ProcessorFactory& factory, StabilityStep& step, std::string& error,
              double ringOutSeconds)
{
    std::unique_ptr<Processor> processor = factory.Create(error);
    if (processor == nullptr)
        return false;
    LoopSetup setup;
    setup.room = &c.response;
    setup.sampleRate = c.sampleRate;
    setup.block = block;
    setup.gainDb = c.msg.msgDb + overMsgDb;
    setup.msgDb = c.msg.msgDb;
    HowlMeter meter(plan, ringOutSeconds);
    LoopTrace trace;
    const auto watch = [&](const LoopTrace& t, std::size_t done) {
        meter.Update(t, done);
        return !meter.Howled();
    };
    if (!RunLoop(setup, dry, std::size_t((ringOutSeconds + seconds) * c.sampleRate), *processor, trace, error, watch))
        return false;
    meter.Update(trace, trace.mic.size());
    step.overMsgDb = overMsgDb;
    step.stable = !meter.Howled();
    step.maxProminenceDb = meter.MaxProminenceDb();
    if (!step.stable)
    {
        step.howlSeconds = meter.FirstHowl().timeSeconds;
        step.howlHz = meter.FirstHowl().frequencyHz;
    }
    return true;
}

bool FindStableLimit(const BenchCase& c, const std::vector<double>& dry, const BandPlan& plan, double seconds,
                     int block, const ProcessorFactory& factory, StableLimit& limit, std::string& error,
                     const std::function<void(double)>& trying, double ringOutSeconds)
{
    limit = StableLimit {};
    auto test = [&](double db, bool& stable) {
        if (trying)
            trying(db);
        StabilityStep step;
        if (!StableAt(c, dry, plan, seconds, block, db, factory, step, error, ringOutSeconds))
            return false;
        limit.steps.push_back(step);
        stable = step.stable;
        return true;
    };
    // Bracket in 3 dB steps from MSG, then halve the bracket down to the resolution.
    bool stable = false;
    if (!test(0.0, stable))
        return false;
    double lo = 0.0, hi = 0.0;
    const double direction = stable ? 1.0 : -1.0;
    bool bracketed = false;
    for (double db = direction * kSearchStepDb; db <= kSearchHighDb && db >= kSearchLowDb; db += direction * kSearchStepDb)
    {
        bool s = false;
        if (!test(db, s))
            return false;
        if (s != stable)
        {
            lo = stable ? db - kSearchStepDb : db;
            hi = stable ? db : db + kSearchStepDb;
            bracketed = true;
            break;
        }
    }
    if (!bracketed)
    {
        limit.bounded = false;
        limit.overMsgDb = stable ? kSearchHighDb : kSearchLowDb;
        return true;
    }
    while (hi - lo > kResolutionDb)
    {
        const double mid = 0.5 * (lo + hi);
        bool s = false;
        if (!test(mid, s))
            return false;
        (s ? lo : hi) = mid;
    }
    limit.overMsgDb = lo;
    return true;
}

namespace {

// One bench run: its cases and programmes, the measurements as tasks, and the workers that run them.
class BenchRun
{
public:
    BenchRun(const BenchOptions& options, const ProcessorFactory& plugin, BenchResults& results)
        : options(options), plugin(plugin), results(results), status(std::size_t(std::max(options.jobs, 1)))
    {
    }

    // Main thread: rooms, programmes and the task list.
    bool Prepare(std::string& error)
    {
        std::vector<std::string> labels = options.rooms;
        if (labels.empty() && options.irFiles.empty())
            labels = DefaultRoomCases();
        for (std::size_t i = 0; i < labels.size() + options.irFiles.size(); ++i)
        {
            const bool measured = i >= labels.size();
            BenchCase c;
            if (!MakeCase(measured ? options.irFiles[i - labels.size()] : labels[i], measured, 48000.0, options.block, c,
                          error))
                return false;
            results.cases.push_back(std::move(c));
        }
        programmes = options.programmes.empty() ? ProgrammeNames() : options.programmes;
        for (const BenchCase& c : results.cases)
            if (std::find(rates.begin(), rates.end(), c.sampleRate) == rates.end())
                rates.push_back(c.sampleRate);
        for (const std::string& name : programmes)
            for (double rate : rates)
            {
                Material& m = materials[{name, rate}];
                if (!LoadProgramme(name, rate, options.cacheDir, m.programme, error))
                    return false;
                m.dry = DryInput(m.programme.samples, m.programme.samples.size(), rate);
                m.plan = MakeBandPlan(m.dry, rate);
            }
        MakeTasks();
        return true;
    }

    // Main thread: runs the tasks on the workers, reporting progress until all are done.
    bool Run(const ProgressFn& progress, std::string& error)
    {
        std::vector<std::thread> threads;
        for (std::size_t w = 0; w < status.size(); ++w)
            threads.emplace_back([this, w] { Work(w); });
        while (done < int(tasks.size()) && !failed)
        {
            if (progress)
                progress(done, int(tasks.size()), Running());
            std::this_thread::sleep_for(std::chrono::milliseconds(250));
        }
        for (std::thread& t : threads)
            t.join();
        if (failed)
        {
            error = firstError;
            return false;
        }
        if (progress)
            progress(int(tasks.size()), int(tasks.size()), "");
        return true;
    }

private:
    struct Task
    {
        enum Kind { kStable, kRingOut, kCatch, kOpen } kind;
        std::size_t result;
    };

    // One task per measurement; the longest first, so the workers finish together.
    void MakeTasks()
    {
        for (std::size_t ci = 0; ci < results.cases.size(); ++ci)
            for (const std::string& name : programmes)
            {
                LoopResult r;
                r.caseIndex = ci;
                r.programme = name;
                results.loops.push_back(r);
                if (options.ringOut)
                    tasks.push_back({Task::kRingOut, results.loops.size() - 1});
                if (options.stableGain)
                    tasks.push_back({Task::kStable, results.loops.size() - 1});
            }
        for (std::size_t li = 0; li < results.loops.size() && options.catchAndRecur; ++li)
            tasks.push_back({Task::kCatch, li});
        if (!options.openLoop)
            return;
        for (double rate : rates)
            for (const std::string& name : programmes)
            {
                OpenResult o;
                o.programme = name;
                o.sampleRate = rate;
                results.open.push_back(o);
                tasks.push_back({Task::kOpen, results.open.size() - 1});
            }
    }

    // Worker thread.
    void Work(std::size_t worker)
    {
        for (std::size_t t; !failed && (t = next++) < tasks.size();)
        {
            std::string err;
            const Task& task = tasks[t];
            const bool ok = task.kind == Task::kOpen     ? RunOpen(worker, results.open[task.result], err)
                            : task.kind == Task::kStable  ? RunStable(worker, results.loops[task.result], false, err)
                            : task.kind == Task::kRingOut ? RunStable(worker, results.loops[task.result], true, err)
                                                          : RunCatch(worker, results.loops[task.result], err);
            if (!ok)
            {
                std::lock_guard<std::mutex> lock(statusMutex);
                if (!failed.exchange(true))
                    firstError = err;
            }
            ++done;
            SetStatus(worker, "");
        }
    }

    bool RunOpen(std::size_t worker, OpenResult& o, std::string& err)
    {
        const Material& m = materials.at({o.programme, o.sampleRate});
        SetStatus(worker, "open loop " + o.programme + "@" + std::to_string(int(o.sampleRate)));
        std::unique_ptr<Processor> p = plugin.Create(err);
        if (p == nullptr)
            return false;
        LoopSetup setup;
        setup.sampleRate = o.sampleRate;
        setup.block = options.block;
        setup.feedback = false;
        LoopTrace trace;
        if (!RunLoop(setup, m.dry, std::size_t(options.openSeconds * o.sampleRate), *p, trace, err))
            return false;
        o.seconds = double(trace.mic.size()) / o.sampleRate;
        std::vector<NotchFrame> notches = MeasureNotches(trace, o.sampleRate);
        o.notches = SummariseNotches(notches, o.seconds);
        o.colouration = MeasureColouration(trace, o.sampleRate);
        o.trace = MakePlotTrace(trace, o.sampleRate, std::move(notches));
        return true;
    }

    // From a cold start, or judged only after a ring-out at the gain (as an engineer rings a system
    // out before the show).
    bool RunStable(std::size_t worker, LoopResult& r, bool rung, std::string& err)
    {
        const BenchCase& c = results.cases[r.caseIndex];
        const Material& m = materials.at({r.programme, c.sampleRate});
        const std::string what = c.label + " " + r.programme + (rung ? " after ring-out" : "");
        auto note = [&](const char* who) {
            return [&, who](double db) {
                char text[96];
                std::snprintf(text, sizeof text, " stable gain, %s at MSG %+.2f dB", who, db);
                SetStatus(worker, what + text);
            };
        };
        const double ringOut = rung ? options.ringOutSeconds : 0.0;
        StableLimit& pass = rung ? r.passThroughRung : r.passThrough;
        StableLimit& plug = rung ? r.pluginRung : r.plugin;
        const PassThroughFactory passThrough;
        if (!FindStableLimit(c, m.dry, m.plan, options.stableSeconds, options.block, passThrough, pass, err,
                             note("pass-through"), ringOut)
            || !FindStableLimit(c, m.dry, m.plan, options.stableSeconds, options.block, plugin, plug, err,
                                note("plug-in"), ringOut))
            return false;
        (rung ? r.rungStableGainDb : r.addedStableGainDb) = plug.overMsgDb - pass.overMsgDb;
        (rung ? r.haveRingOut : r.haveStable) = true;
        return true;
    }

    bool RunCatch(std::size_t worker, LoopResult& r, std::string& err)
    {
        const BenchCase& c = results.cases[r.caseIndex];
        const Material& m = materials.at({r.programme, c.sampleRate});
        char at[48];
        std::snprintf(at, sizeof at, " catch at MSG %+g dB", options.catchOverMsgDb);
        SetStatus(worker, c.label + " " + r.programme + at);
        std::unique_ptr<Processor> p = plugin.Create(err);
        if (p == nullptr)
            return false;
        LoopSetup setup;
        setup.room = &c.response;
        setup.sampleRate = c.sampleRate;
        setup.block = options.block;
        setup.gainDb = c.msg.msgDb + options.catchOverMsgDb;
        setup.msgDb = c.msg.msgDb;
        LoopTrace trace;
        if (!RunLoop(setup, m.dry, std::size_t(options.catchSeconds * c.sampleRate), *p, trace, err))
            return false;
        HowlMeter meter(m.plan);
        meter.Update(trace, trace.mic.size());
        r.catchResult = AnalyseCatch(trace, meter.Frames(), c.sampleRate);
        r.catchTrace = MakePlotTrace(trace, c.sampleRate, MeasureNotches(trace, c.sampleRate));
        r.haveCatch = true;
        return true;
    }

    void SetStatus(std::size_t worker, const std::string& text)
    {
        std::lock_guard<std::mutex> lock(statusMutex);
        status[worker] = text;
    }

    std::string Running()
    {
        std::lock_guard<std::mutex> lock(statusMutex);
        std::string text;
        for (const std::string& s : status)
            if (!s.empty())
                text += (text.empty() ? "" : " | ") + s;
        return text;
    }

    const BenchOptions& options;
    const ProcessorFactory& plugin;
    BenchResults& results;
    std::vector<std::string> programmes;
    std::vector<double> rates;
    std::map<Key, Material> materials;
    std::vector<Task> tasks;
    std::atomic<std::size_t> next {0};
    std::atomic<int> done {0};
    std::atomic<bool> failed {false};
    std::mutex statusMutex;
    std::vector<std::string> status; // what each worker is doing
    std::string firstError;
};

} // namespace

bool RunBench(const BenchOptions& options, const ProcessorFactory& plugin, BenchResults& results, std::string& error,
              const ProgressFn& progress)
{
    const auto started = std::chrono::steady_clock::now();
    results = BenchResults {};
    BenchRun run(options, plugin, results);
    if (!run.Prepare(error) || !run.Run(progress, error))
        return false;
    results.catchOverMsgDb = options.catchOverMsgDb;
    results.ringOutSeconds = options.ringOutSeconds;
    results.wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    return true;
}

} // namespace ringstill::loop
