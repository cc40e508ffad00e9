// vst3-host-render: runs raw audio (interleaved 32-bit floats, this machine's byte order) through
// the first class of a VST 3 module, loaded from its bundle the way a host loads it, and writes
// the output in the same format, frame for frame (the plug-in's latency is left in). Parameters
// are set by title, before the first block or at a time into the input.
//
//   vst3-host-render [options] BUNDLE INPUT OUTPUT
//   vst3-host-render --scenario OUTPUT      writes the built-in feedback scenario (mono, 48 kHz)
#include "tools/scenario/FeedbackScenario.h"
#include "tools/vst3-host/ComponentHandler.h"
#include "tools/vst3-host/HostApplication.h"
#include "tools/vst3-host/Module.h"
#include "tools/vst3-host/PluginInstance.h"
#include "tools/vst3-host/ProcessBuffers.h"
#include "tools/vst3-host/Text.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace Steinberg;
using namespace Steinberg::Vst;
using namespace ringstill::vst3host;

namespace {

constexpr int kMaxBlock = 65536;
constexpr int kMaxChannels = 2;

struct Change
{
    double seconds = 0.0; // negative: before the first block
    std::string assignment;
};

struct Options
{
    std::string bundle;
    std::string input;
    std::string output;
    std::string scenario;
    std::vector<Change> changes;
    int channels = 1;
    int block = 512;
    double rate = 48000.0;
    bool use64 = false;
};

// A change resolved to the parameter and the frame it lands on.
struct Point
{
    long frame;
    ParamID id;
    double normalised;
};

int Fail(const std::string& message)
{
    std::fprintf(stderr, "vst3-host-render: error: %s\n", message.c_str());
    return 1;
}

void Usage(std::FILE* out)
{
    std::fprintf(out,
                 "usage: vst3-host-render [options] BUNDLE INPUT OUTPUT\n"
                 "       vst3-host-render --scenario OUTPUT\n"
                 "INPUT and OUTPUT are raw interleaved 32-bit floats.\n"
                 "  --channels N        1 or 2 (default 1)\n"
                 "  --rate HZ           sample rate (default 48000)\n"
                 "  --block N           frames per process call, 1 to %d (default 512)\n"
                 "  --64                process in 64-bit samples\n"
                 "  --set NAME=VALUE    before the first block (VALUE plain, or a value text)\n"
                 "  --at SECONDS NAME=VALUE   at that time into the input\n",
                 kMaxBlock);
}

bool ParseNumber(const char* text, double& value)
{
    errno = 0;
    char* end = nullptr;
    value = std::strtod(text, &end);
    return end != text && *end == '\0' && errno == 0 && std::isfinite(value);
}

bool ParseArguments(int argc, char** argv, Options& options, std::string& error)
{
    std::vector<std::string> positional;
    for (int i = 1; i < argc; ++i)
    {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        double number = 0.0;
        if (arg == "--scenario" && hasValue)
            options.scenario = argv[++i];
        else if ((arg == "--channels" || arg == "--block" || arg == "--rate") && hasValue)
        {
            if (!ParseNumber(argv[++i], number))
            {
                error = arg + " wants a number, got '" + argv[i] + "'";
                return false;
            }
            if (arg == "--rate")
                options.rate = number;
            else if (arg == "--block")
                options.block = int(number);
            else
                options.channels = int(number);
        }
        else if (arg == "--64")
            options.use64 = true;
        else if (arg == "--set" && hasValue)
            options.changes.push_back({-1.0, argv[++i]});
        else if (arg == "--at" && i + 2 < argc)
        {
            if (!ParseNumber(argv[i + 1], number) || number < 0.0)
            {
                error = "--at wants a time in seconds, got '" + std::string(argv[i + 1]) + "'";
                return false;
            }
            options.changes.push_back({number, argv[i + 2]});
            i += 2;
        }
        else if (!arg.empty() && arg[0] == '-')
        {
            error = "unknown or incomplete option '" + arg + "'";
            return false;
        }
        else
            positional.push_back(arg);
    }
    if (!options.scenario.empty())
    {
        if (!positional.empty())
            error = "--scenario takes no other files";
        return error.empty();
    }
    if (positional.size() != 3)
    {
        error = "want BUNDLE INPUT OUTPUT";
        return false;
    }
    options.bundle = positional[0];
    options.input = positional[1];
    options.output = positional[2];
    if (options.channels < 1 || options.channels > kMaxChannels)
        error = "--channels must be 1 or 2";
    else if (options.block < 1 || options.block > kMaxBlock)
        error = "--block must be 1 to " + std::to_string(kMaxBlock);
    else if (!(options.rate >= 8000.0 && options.rate <= 384000.0))
        error = "--rate must be 8000 to 384000";
    return error.empty();
}

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

// "Name=Value" against the controller's parameter list: the plain value in its range, or one of
// the value texts of a switch or list.
bool Resolve(IEditController& controller, const std::string& assignment, ParamID& id, double& normalised,
             std::string& error)
{
    const std::size_t eq = assignment.find('=');
    if (eq == std::string::npos)
    {
        error = "want NAME=VALUE, got '" + assignment + "'";
        return false;
    }
    const std::string name = Lower(assignment.substr(0, eq));
    const std::string valueText = assignment.substr(eq + 1);
    for (int32 i = 0; i < controller.getParameterCount(); ++i)
    {
        ParameterInfo info {};
        if (controller.getParameterInfo(i, info) != kResultOk || Lower(Narrow(info.title)) != name)
            continue;
        id = info.id;
        double plain = 0.0;
        if (ParseNumber(valueText.c_str(), plain))
        {
            const double lo = controller.normalizedParamToPlain(id, 0.0);
            const double hi = controller.normalizedParamToPlain(id, 1.0);
            if (plain < std::min(lo, hi) || plain > std::max(lo, hi))
            {
                error = "value " + valueText + " is out of range for " + Narrow(info.title);
                return false;
            }
            normalised = controller.plainParamToNormalized(id, plain);
            return true;
        }
        for (int32 step = 0; step <= info.stepCount && info.stepCount > 0; ++step)
        {
            String128 text = {};
            const double candidate = double(step) / info.stepCount;
            if (controller.getParamStringByValue(id, candidate, text) == kResultOk
                && Lower(Narrow(text)) == Lower(valueText))
            {
                normalised = candidate;
                return true;
            }
        }
        error = "'" + valueText + "' is not a value of " + Narrow(info.title);
        return false;
    }
    error = "no parameter titled '" + assignment.substr(0, eq) + "'";
    return false;
}

bool ReadFloats(const std::string& path, std::vector<float>& samples, std::string& error)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
    {
        error = "cannot read '" + path + "'";
        return false;
    }
    float chunk[4096];
    std::size_t got = 0;
    while ((got = std::fread(chunk, sizeof(float), 4096, file)) > 0)
        samples.insert(samples.end(), chunk, chunk + got);
    const bool ok = std::ferror(file) == 0;
    std::fclose(file);
    if (!ok)
        error = "cannot read '" + path + "'";
    return ok;
}

bool WriteFloats(const std::string& path, const std::vector<float>& samples, std::string& error)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    bool ok = file != nullptr && std::fwrite(samples.data(), sizeof(float), samples.size(), file) == samples.size();
    if (file != nullptr)
        ok = std::fclose(file) == 0 && ok;
    if (!ok)
        error = "cannot write '" + path + "'";
    return ok;
}

SpeakerArrangement ArrangementFor(int channels) { return channels == 1 ? SpeakerArr::kMono : SpeakerArr::kStereo; }

int Render(const Options& options)
{
    std::string error;
    std::vector<float> input;
    if (!ReadFloats(options.input, input, error))
        return Fail(error);
    const std::size_t channels = std::size_t(options.channels);
    if (input.size() % channels != 0)
        return Fail("'" + options.input + "' does not hold whole frames of " + std::to_string(channels) + " channels");
    const long frames = long(input.size() / channels);

    std::shared_ptr<Module> module = Module::Load(options.bundle, &error);
    if (module == nullptr)
        return Fail(error);
    std::unique_ptr<PluginInstance> instance = PluginInstance::Create(module, nullptr, &error);
    if (instance == nullptr)
        return Fail(error);
    IPtr<HostApplication> host = owned(new HostApplication("vst3-host-render"));
    IPtr<ComponentHandler> handler = owned(new ComponentHandler());
    if (instance->Initialize(host, handler) != kResultOk || instance->Controller() == nullptr)
        return Fail("the plug-in did not initialise");
    IEditController& controller = *instance->Controller();

    std::vector<Point> points;
    for (const Change& change : options.changes)
    {
        Point point {0, 0, 0.0};
        if (!Resolve(controller, change.assignment, point.id, point.normalised, error))
            return Fail(error);
        point.frame = change.seconds < 0.0 ? 0 : long(std::llround(change.seconds * options.rate));
        if (change.seconds < 0.0)
            controller.setParamNormalized(point.id, point.normalised);
        points.push_back(point);
    }
    std::stable_sort(points.begin(), points.end(), [](const Point& a, const Point& b) { return a.frame < b.frame; });

    SpeakerArrangement arrangement = ArrangementFor(options.channels);
    const SymbolicSampleSizes size = options.use64 ? kSample64 : kSample32;
    if (instance->Processor()->setBusArrangements(&arrangement, 1, &arrangement, 1) != kResultOk)
        return Fail("the plug-in does not take " + std::to_string(channels) + " channel(s)");
    if (instance->Processor()->canProcessSampleSize(size) != kResultTrue
        || instance->StartProcessing(size, options.rate, options.block, kOffline) != kResultOk)
        return Fail("the plug-in refused to start processing");

    ProcessBuffers buffers(size, {options.channels}, {options.channels}, options.block);
    buffers.SetProcessMode(kOffline);
    std::vector<float> output(input.size(), 0.0f);
    std::size_t next = 0;
    for (long start = 0; start < frames; start += options.block)
    {
        const int count = int(std::min<long>(options.block, frames - start));
        buffers.InputChanges().Clear();
        for (; next < points.size() && points[next].frame < start + count; ++next)
            buffers.InputChanges().AddPoint(points[next].id, int32(std::max(points[next].frame - start, 0L)),
                                            points[next].normalised);
        for (std::size_t c = 0; c < channels; ++c)
            for (int n = 0; n < count; ++n)
                buffers.SetInput(0, int(c), n, input[(std::size_t(start) + std::size_t(n)) * channels + c]);
        if (instance->Process(buffers, count) != kResultOk)
            return Fail("the plug-in failed to process the block at frame " + std::to_string(start));
        for (std::size_t c = 0; c < channels; ++c)
            for (int n = 0; n < count; ++n)
                output[(std::size_t(start) + std::size_t(n)) * channels + c] = float(buffers.Output(0, int(c), n));
    }
    instance->StopProcessing();
    if (!WriteFloats(options.output, output, error))
        return Fail(error);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    std::string error;
    if (argc == 1 || (argc == 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")))
    {
        Usage(argc == 1 ? stderr : stdout);
        return argc == 1 ? 2 : 0;
    }
    if (!ParseArguments(argc, argv, options, error))
    {
        Fail(error);
        Usage(stderr);
        return 2;
    }
    if (!options.scenario.empty())
    {
        if (!WriteFloats(options.scenario, ringstill::scenario::MakeFeedbackScenario(), error))
            return Fail(error);
        return 0;
    }
    return Render(options);
}
