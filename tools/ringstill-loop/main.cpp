// ringstill-loop: the closed-loop feedback bench. Loads the plug-in's module as a host does, runs it
// in simulated rooms between microphone and loudspeaker, and measures its added stable gain, how it
// catches a howl at MSG + 3 dB and whether the howl comes back, and what it does to programme
// material without feedback.
//
//   ringstill-loop [options]          the full run: every room, programme and measure
#include "tools/ringstill-loop/Bench.h"
#include "tools/ringstill-loop/Plot.h"
#include "tools/ringstill-loop/Report.h"
#include "tools/ringstill-loop/Settings.h"
#include "tools/ringstill-render/RenderSession.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sstream>
#include <thread>

using namespace ringstill::loop;

namespace {

struct Options
{
    std::string plugin;
    std::string state;
    std::vector<std::string> sets;
    std::string json;
    std::string plot;
    bool list = false;
    bool quiet = false;
    bool progress = false;
    BenchOptions bench;
};

int Fail(const std::string& message)
{
    std::fprintf(stderr, "ringstill-loop: error: %s\n", message.c_str());
    return 1;
}

void Usage(std::FILE* out)
{
    std::fprintf(out,
                 "usage: ringstill-loop [options]\n"
                 "Runs the Ringstill VST 3 plug-in in simulated feedback loops and measures it. Without a\n"
                 "selection it runs everything (the full bench, several minutes).\n"
                 "  --plugin PATH        the .vst3 bundle or binary (default: this build's)\n"
                 "  --set NAME=VALUE     a setting by name, as for ringstill-render (\"Sensitivity=100\"); repeatable\n"
                 "  --state FILE         restore this component state first\n"
                 "  --rooms LIST         rooms by name, name@RATE for another sample rate (\"wedge,hall@44100\")\n"
                 "  --ir FILE[@RATE]     a measured loudspeaker-to-mic response (WAV); repeatable\n"
                 "  --programmes LIST    speech, music, noise\n"
                 "  --measures LIST      stable (added stable gain), ringout (the same after 20 s at the gain),\n"
                 "                       catch (catch and recurrence), open (no feedback)\n"
                 "  --full               everything (the default)\n"
                 "  --jobs N             measurements run at once (default: the number of cores)\n"
                 "  --block N            loop block in samples, a power of two (default 64)\n"
                 "  --catch-at DB        loop gain over MSG for the catch measure (default 3)\n"
                 "  --json FILE          write the results as JSON\n"
                 "  --plot FILE.png      draw the catch and open-loop runs\n"
                 "  --cache DIR          where the generated programmes are kept\n"
                 "  --list               the plug-in's parameters, the rooms and the programmes\n"
                 "  --progress / --quiet progress line on or off (default: on when stderr is a terminal)\n");
}

std::vector<std::string> SplitList(const std::string& text)
{
    std::vector<std::string> items;
    std::stringstream in(text);
    for (std::string item; std::getline(in, item, ',');)
        if (!item.empty())
            items.push_back(item);
    return items;
}

bool ParseInt(const char* text, int lo, int hi, int& out)
{
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || v < lo || v > hi)
        return false;
    out = int(v);
    return true;
}

// 0 to go on, 1 on an error (printed), -1 for --help.
int ParseArguments(int argc, char** argv, Options& o)
{
    o.bench.jobs = int(std::max(1u, std::thread::hardware_concurrency()));
    o.bench.cacheDir = RINGSTILL_LOOP_CACHE;
    for (int i = 1; i < argc; ++i)
    {
        const std::string arg = argv[i];
        const bool takesValue = arg == "--plugin" || arg == "--set" || arg == "--state" || arg == "--rooms" || arg == "--ir"
                                || arg == "--programmes" || arg == "--measures" || arg == "--jobs" || arg == "--block"
                                || arg == "--json" || arg == "--plot" || arg == "--cache" || arg == "--catch-at";
        if (takesValue && i + 1 >= argc)
            return Fail(arg + " needs a value"), 1;
        const std::string value = takesValue ? argv[++i] : "";
        if (arg == "-h" || arg == "--help")
            return -1;
        else if (arg == "--plugin")
            o.plugin = value;
        else if (arg == "--set")
            o.sets.push_back(value);
        else if (arg == "--state")
            o.state = value;
        else if (arg == "--rooms")
            o.bench.rooms = SplitList(value);
        else if (arg == "--ir")
            o.bench.irFiles.push_back(value);
        else if (arg == "--programmes")
            o.bench.programmes = SplitList(value);
        else if (arg == "--measures")
        {
            const std::vector<std::string> m = SplitList(value);
            for (const std::string& name : m)
                if (name != "stable" && name != "ringout" && name != "catch" && name != "open")
                    return Fail("unknown measure '" + name + "' (stable, ringout, catch, open)"), 1;
            auto has = [&](const char* name) { return std::find(m.begin(), m.end(), name) != m.end(); };
            o.bench.stableGain = has("stable");
            o.bench.ringOut = has("ringout");
            o.bench.catchAndRecur = has("catch");
            o.bench.openLoop = has("open");
        }
        else if (arg == "--full")
        {
            o.bench.rooms.clear();
            o.bench.programmes.clear();
            o.bench.stableGain = o.bench.ringOut = o.bench.catchAndRecur = o.bench.openLoop = true;
        }
        else if (arg == "--jobs")
        {
            if (!ParseInt(value.c_str(), 1, 64, o.bench.jobs))
                return Fail("--jobs wants 1 to 64"), 1;
        }
        else if (arg == "--block")
        {
            if (!ParseInt(value.c_str(), 1, 4096, o.bench.block) || (o.bench.block & (o.bench.block - 1)) != 0)
                return Fail("--block wants a power of two up to 4096"), 1;
        }
        else if (arg == "--catch-at")
        {
            char* end = nullptr;
            const double db = std::strtod(value.c_str(), &end);
            if (end == value.c_str() || *end != '\0' || !(db >= -20.0 && db <= 30.0))
                return Fail("--catch-at wants -20 to 30 (dB over MSG)"), 1;
            o.bench.catchOverMsgDb = db;
        }
        else if (arg == "--json")
            o.json = value;
        else if (arg == "--plot")
            o.plot = value;
        else if (arg == "--cache")
            o.bench.cacheDir = value;
        else if (arg == "--list")
            o.list = true;
        else if (arg == "--quiet")
            o.quiet = true;
        else if (arg == "--progress")
            o.progress = true;
        else
            return Fail("unknown option '" + arg + "' (--help lists them)"), 1;
    }
    for (const std::string& p : o.bench.programmes)
        if (std::find(ProgrammeNames().begin(), ProgrammeNames().end(), p) == ProgrammeNames().end())
            return Fail("unknown programme '" + p + "' (speech, music, noise)"), 1;
    if (o.plugin.empty())
        o.plugin = ringstill::render::DefaultPluginPath();
    return 0;
}

std::string Machine()
{
    std::ifstream cpuinfo("/proc/cpuinfo");
    std::string model = "unknown processor";
    for (std::string line; std::getline(cpuinfo, line);)
        if (line.rfind("model name", 0) == 0 && line.find(':') != std::string::npos)
        {
            model = line.substr(line.find(':') + 2);
            break;
        }
    return model + ", " + std::to_string(std::thread::hardware_concurrency()) + " cores";
}

std::string Today()
{
    const std::time_t now = std::time(nullptr);
    std::tm utc {};
    gmtime_r(&now, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M UTC", &utc);
    return text;
}

int List(const Options& o)
{
    std::string error;
    auto session = ringstill::render::RenderSession::Open(o.plugin, error);
    if (session == nullptr)
        return Fail(error);
    std::printf("Parameters of %s:\n", o.plugin.c_str());
    session->ListParameters(stdout);
    for (const std::string& name : StateSettingNames())
        std::printf("  %-14s (held in the state)\n", name.c_str());
    std::printf("Rooms (default run: %zu cases):\n", DefaultRoomCases().size());
    for (const RoomSpec& r : BuiltInRooms())
        std::printf("  %-10s RT60 %.1f s, %.0f m, DRR %+.0f dB: %s\n", r.name.c_str(), r.rt60Seconds, r.distanceMetres,
                    r.drrDb, r.what.c_str());
    std::printf("Programmes: speech, music, noise (%.0f s each, made on first use into %s)\n", kProgrammeSeconds,
                o.bench.cacheDir.c_str());
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    Options o;
    const int parsed = ParseArguments(argc, argv, o);
    if (parsed < 0)
    {
        Usage(stdout);
        return 0;
    }
    if (parsed > 0)
        return 2;
    if (o.list)
        return List(o);

    PluginFactory plugin(o.plugin, o.state, o.sets);
    std::string error;
    if (!plugin.Check(error))
        return Fail(error);
    RunInfo info;
    info.subject = "Ringstill";
    for (const std::string& s : o.sets)
        info.subject += ", " + s;
    if (o.sets.empty())
        info.subject += ", default settings";
    if (!o.state.empty())
        info.subject += ", state " + o.state;
    info.plugin = o.plugin;
    info.date = Today();
    info.machine = Machine();

    const bool showProgress = !o.quiet && (o.progress || isatty(STDERR_FILENO));
    const auto started = std::chrono::steady_clock::now();
    const auto progress = [&](int done, int total, const std::string& running) {
        if (!showProgress)
            return;
        const long elapsed = long(std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
        char head[48];
        std::snprintf(head, sizeof head, "[%d/%d, %ld:%02ld] ", done, total, elapsed / 60, elapsed % 60);
        std::string line(head);
        line.append(running);
        if (line.size() > 150)
        {
            line.resize(147);
            line.append("...");
        }
        std::fprintf(stderr, "\r%-150s", line.c_str());
        if (done == total)
            std::fprintf(stderr, "\r%150s\r", "");
        std::fflush(stderr);
    };
    BenchResults results;
    if (!RunBench(o.bench, plugin, results, error, progress))
        return Fail(error);
    PrintTable(results, info, stdout);
    if (!o.json.empty() && !WriteJson(results, info, o.json, error))
        return Fail(error);
    if (!o.plot.empty() && !WritePlot(results, info, o.plot, error))
        return Fail(error);
    return 0;
}
