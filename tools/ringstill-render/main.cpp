// ringstill-render: runs an audio file through the Ringstill VST 3 module, loaded from its bundle
// the way a host loads it, and writes the result; or, with --demo, renders the built-in feedback
// scenario and reports how far and how soon the howl was cut.
//
//   ringstill-render [options] INPUT OUTPUT
//   ringstill-render --demo [options] [OUTPUT]
#include "tools/ringstill-render/AudioFiles.h"
#include "tools/ringstill-render/EditorSnapshot.h"
#include "tools/scenario/FeedbackScenario.h"
#include "tools/ringstill-render/RenderSession.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

using namespace ringstill::render;
using namespace ringstill::scenario;

namespace {

constexpr int kDefaultBlock = 512;
constexpr int kMaxBlock = 65536;
// Files shorter than this render without a progress bar.
constexpr double kProgressMinSeconds = 20.0;

struct Options
{
    std::string plugin;
    std::string input;
    std::string output;
    std::vector<std::string> sets;
    std::string stateIn;
    std::string stateOut;
    std::string snapshot;
    int block = kDefaultBlock;
    bool use64 = false;
    bool demo = false;
    bool list = false;
    bool quiet = false;
};

// Running peak and RMS over every channel.
struct Levels
{
    double peak = 0.0;
    double sumSquares = 0.0;
    std::uint64_t samples = 0;

    void Add(const float* x, std::size_t count)
    {
        for (std::size_t i = 0; i < count; ++i)
        {
            const double v = x[i];
            peak = std::max(peak, std::fabs(v));
            sumSquares += v * v;
        }
        samples += count;
    }
    double PeakDb() const { return ToDb(peak); }
    double RmsDb() const { return ToDb(samples > 0 ? std::sqrt(sumSquares / double(samples)) : 0.0); }
    static double ToDb(double amplitude) { return amplitude > 0.0 ? 20.0 * std::log10(amplitude) : -INFINITY; }
};

int Fail(const std::string& message)
{
    std::fprintf(stderr, "ringstill-render: error: %s\n", message.c_str());
    return 1;
}

void Usage(std::FILE* out)
{
    std::fprintf(out,
                 "usage: ringstill-render [options] INPUT OUTPUT\n"
                 "       ringstill-render --demo [options] [OUTPUT]\n"
                 "Runs audio through the Ringstill VST 3 plug-in (WAV, FLAC or AIFF; mono or stereo).\n"
                 "  --plugin PATH       the .vst3 bundle (default: this build's, else ~/.vst3/Ringstill.vst3)\n"
                 "  --set NAME=VALUE    a parameter by name, in its units or by its text (\"No-Noise=40\",\n"
                 "                      \"Hold=on\"); may be repeated\n"
                 "  --state FILE        restore this component state first\n"
                 "  --save-state FILE   save the component state after rendering\n"
                 "  --snapshot FILE     draw the plug-in's editor as it stands after rendering, as PNG\n"
                 "  --block N           frames per block (default %d)\n"
                 "  --64                process 64-bit samples (default 32-bit)\n"
                 "  --demo              render the built-in feedback scenario and report the howl's cut\n"
                 "  --list              list the parameters and their current values\n"
                 "  --quiet             no progress bar\n",
                 kDefaultBlock);
}

// 0 on success, 2 on a usage error (message printed).
int ParseArguments(int argc, char** argv, Options& options)
{
    std::vector<std::string> positional;
    for (int i = 1; i < argc; ++i)
    {
        const std::string arg = argv[i];
        auto value = [&](const char* what) -> const char* {
            if (i + 1 >= argc)
            {
                std::fprintf(stderr, "ringstill-render: error: %s needs a value\n", what);
                return nullptr;
            }
            return argv[++i];
        };
        if (arg == "-h" || arg == "--help")
        {
            Usage(stdout);
            std::exit(0);
        }
        else if (arg == "--plugin" || arg == "--set" || arg == "--state" || arg == "--save-state" || arg == "--block"
                 || arg == "--snapshot")
        {
            const char* v = value(arg.c_str());
            if (v == nullptr)
                return 2;
            if (arg == "--plugin")
                options.plugin = v;
            else if (arg == "--set")
                options.sets.emplace_back(v);
            else if (arg == "--state")
                options.stateIn = v;
            else if (arg == "--save-state")
                options.stateOut = v;
            else if (arg == "--snapshot")
                options.snapshot = v;
            else
            {
                char* end = nullptr;
                const long n = std::strtol(v, &end, 10);
                if (end == v || *end != '\0' || n < 1 || n > kMaxBlock)
                {
                    std::fprintf(stderr, "ringstill-render: error: --block wants 1 to %d frames, got '%s'\n", kMaxBlock, v);
                    return 2;
                }
                options.block = int(n);
            }
        }
        else if (arg == "--64")
            options.use64 = true;
        else if (arg == "--demo")
            options.demo = true;
        else if (arg == "--list")
            options.list = true;
        else if (arg == "--quiet")
            options.quiet = true;
        else if (arg.size() > 1 && arg[0] == '-')
        {
            std::fprintf(stderr, "ringstill-render: error: unknown option '%s' (--help lists them)\n", arg.c_str());
            return 2;
        }
        else
            positional.push_back(arg);
    }
    if (options.plugin.empty())
        options.plugin = DefaultPluginPath();
    if (options.list)
        return 0;
    if (options.demo)
    {
        if (positional.size() > 1)
        {
            std::fprintf(stderr, "ringstill-render: error: --demo takes at most an output file\n");
            return 2;
        }
        if (!positional.empty())
            options.output = positional[0];
        return 0;
    }
    if (positional.size() != 2)
    {
        Usage(stderr);
        return 2;
    }
    options.input = positional[0];
    options.output = positional[1];
    return 0;
}

class Progress
{
public:
    explicit Progress(bool enabled) : enabled(enabled) {}
    void Update(double fraction)
    {
        if (!enabled)
            return;
        const int percent = int(std::clamp(fraction, 0.0, 1.0) * 100.0);
        if (percent == shown)
            return;
        shown = percent;
        constexpr int kWidth = 40;
        const int filled = percent * kWidth / 100;
        std::fprintf(stderr, "\r[%.*s%*s] %3d%%", filled, "########################################",
                     kWidth - filled, "", percent);
        std::fflush(stderr);
    }
    void Finish()
    {
        if (enabled && shown >= 0)
            std::fprintf(stderr, "\r%60s\r", "");
    }

private:
    bool enabled;
    int shown = -1;
};

// Renders frames of interleaved input through the session, compensating the latency the plug-in
// reports: the first `latency` output frames are dropped and as many silent frames are fed at
// the end, so output frame i lines up with input frame i.
class AlignedRenderer
{
public:
    AlignedRenderer(RenderSession& session, int block) : session(session), block(block)
    {
        out.resize(std::size_t(block) * std::size_t(session.Channels()));
    }

    // Calls sink(frames, count) with aligned output. False on a processing error.
    template <typename Sink>
    bool Render(const float* in, int frames, Sink&& sink, std::string& error)
    {
        const int channels = session.Channels();
        if (!session.Process(in, out.data(), frames, error))
            return false;
        if (skip < 0)
        {
            latency = session.Latency();
            skip = latency;
        }
        else if (session.Latency() != latency)
        {
            latencyChanged = true;
        }
        const int dropped = std::min(skip, frames);
        skip -= dropped;
        return sink(out.data() + std::size_t(dropped) * std::size_t(channels), frames - dropped);
    }

    // Feeds silence until the frames held back by the latency have come out.
    template <typename Sink>
    bool Flush(Sink&& sink, std::string& error)
    {
        std::vector<float> silence(std::size_t(block) * std::size_t(session.Channels()), 0.0f);
        int owed = std::max(latency, 0) - std::max(skip, 0);
        skip = std::max(skip, 0);
        while (owed > 0)
        {
            const int frames = std::min(owed, block);
            if (!Render(silence.data(), frames, sink, error))
                return false;
            owed -= frames;
        }
        return true;
    }

    int Latency() const { return std::max(latency, 0); }
    bool LatencyChanged() const { return latencyChanged; }

private:
    RenderSession& session;
    int block;
    std::vector<float> out;
    int skip = -1;
    int latency = 0;
    bool latencyChanged = false;
};

// The editor's twin for --snapshot, fed every input block; it takes the module's state once the
// first block has carried the settings in.
class SnapshotFeed
{
public:
    SnapshotFeed(const Options& options, int channels, double rate)
    {
        if (!options.snapshot.empty())
            twin = std::make_unique<EditorSnapshot>(channels, rate, options.block);
    }

    bool Process(RenderSession& session, const float* in, int frames, std::string& error)
    {
        if (twin == nullptr)
            return true;
        if (!stateTaken)
        {
            std::vector<std::uint8_t> state;
            if (!session.GetState(state) || !twin->SetState(state))
            {
                error = "the plug-in's state could not be read for the snapshot";
                return false;
            }
            stateTaken = true;
        }
        twin->Process(in, frames);
        return true;
    }

    bool Write(const Options& options, std::string& error)
    {
        return twin == nullptr || twin->Write(options.snapshot, error);
    }

private:
    std::unique_ptr<EditorSnapshot> twin;
    bool stateTaken = false;
};

std::unique_ptr<RenderSession> OpenAndConfigure(const Options& options, std::string& error)
{
    auto session = RenderSession::Open(options.plugin, error);
    if (session == nullptr)
        return nullptr;
    if (!options.stateIn.empty() && !session->LoadState(options.stateIn, error))
        return nullptr;
    for (const std::string& set : options.sets)
        if (!session->Set(set, error))
            return nullptr;
    return session;
}

void PrintLatency(const AlignedRenderer& renderer, double rate)
{
    std::printf("  latency: %d samples (%.2f ms)%s\n", renderer.Latency(), 1000.0 * renderer.Latency() / rate,
                renderer.Latency() > 0 ? ", compensated in the output" : "");
    if (renderer.LatencyChanged())
        std::printf("  note: the plug-in changed its latency during the render; alignment follows the first\n");
}

int RenderFile(const Options& options)
{
    std::string error;
    AudioReader reader;
    if (!reader.Open(options.input, error))
        return Fail(error);
    auto session = OpenAndConfigure(options, error);
    if (session == nullptr)
        return Fail(error);
    if (!session->Start(reader.Channels(), reader.SampleRate(), options.block, options.use64, error))
        return Fail(error);

    AudioWriter writer;
    if (!writer.Create(options.output, reader.Channels(), reader.SampleRate(), reader.Format(), error))
        return Fail(error);

    const int channels = reader.Channels();
    const double rate = reader.SampleRate();
    const bool showProgress =
        !options.quiet && isatty(STDERR_FILENO) && double(reader.Frames()) / rate >= kProgressMinSeconds;
    Progress progress(showProgress);
    Levels inLevels;
    Levels outLevels;
    std::vector<float> in(std::size_t(options.block) * std::size_t(channels));
    std::uint64_t framesIn = 0;
    bool writeFailed = false;
    auto sink = [&](const float* frames, int count) {
        outLevels.Add(frames, std::size_t(count) * std::size_t(channels));
        if (!writer.Write(frames, count, error))
        {
            writeFailed = true;
            return false;
        }
        return true;
    };

    AlignedRenderer renderer(*session, options.block);
    SnapshotFeed snapshot(options, channels, rate);
    const auto started = std::chrono::steady_clock::now();
    for (;;)
    {
        const long got = reader.Read(in.data(), options.block);
        if (got < 0)
            return Fail("reading '" + options.input + "' failed");
        if (got == 0)
            break;
        inLevels.Add(in.data(), std::size_t(got) * std::size_t(channels));
        framesIn += std::uint64_t(got);
        if (!renderer.Render(in.data(), int(got), sink, error)
            || !snapshot.Process(*session, in.data(), int(got), error))
            return Fail(error);
        if (reader.Frames() > 0)
            progress.Update(double(framesIn) / double(reader.Frames()));
    }
    if (!renderer.Flush(sink, error) || writeFailed)
        return Fail(error);
    const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    progress.Finish();
    session->Stop();
    if (!options.stateOut.empty() && !session->SaveState(options.stateOut, error))
        return Fail(error);
    if (!snapshot.Write(options, error) || !writer.Commit(error))
        return Fail(error);

    const double seconds = double(framesIn) / rate;
    std::printf("Ringstill render: %s -> %s\n", options.input.c_str(), options.output.c_str());
    std::printf("  %d Hz, %d channel%s, %llu frames (%.2f s), %s processing, blocks of %d\n", int(rate), channels,
                channels == 1 ? "" : "s", static_cast<unsigned long long>(framesIn), seconds,
                options.use64 ? "64-bit" : "32-bit", options.block);
    PrintLatency(renderer, rate);
    std::printf("  input:  peak %6.1f dBFS, RMS %6.1f dBFS\n", inLevels.PeakDb(), inLevels.RmsDb());
    std::printf("  output: peak %6.1f dBFS, RMS %6.1f dBFS\n", outLevels.PeakDb(), outLevels.RmsDb());
    if (took > 0.0)
        std::printf("  rendered in %.2f s (%.1f x real time)\n", took, seconds / took);
    if (!options.stateOut.empty())
        std::printf("  state saved to %s\n", options.stateOut.c_str());
    if (!options.snapshot.empty())
        std::printf("  editor snapshot written to %s\n", options.snapshot.c_str());
    return 0;
}

// Level of the howl's frequency in one window, in dBFS (-inf for silence).
double WindowToneDb(const std::vector<float>& x, std::size_t from, std::size_t length)
{
    const std::size_t to = std::min(x.size(), from + length);
    return Levels::ToDb(ToneAmplitude(x.data(), from, to, kHowlHz, kScenarioRate));
}

// The scenario's own settings; --set given by the user comes after them and wins.
constexpr const char* kDemoSettings[] = {"No-Noise=40", "No-Reverb=30"};

int RenderDemo(Options options)
{
    options.sets.insert(options.sets.begin(), std::begin(kDemoSettings), std::end(kDemoSettings));
    std::string error;
    auto session = OpenAndConfigure(options, error);
    if (session == nullptr)
        return Fail(error);
    constexpr int kChannels = 2;
    if (!session->Start(kChannels, kScenarioRate, options.block, options.use64, error))
        return Fail(error);
    AudioWriter writer;
    if (!options.output.empty() && !writer.Create(options.output, kChannels, int(kScenarioRate), SF_FORMAT_FLOAT, error))
        return Fail(error);

    const std::vector<float> mono = MakeFeedbackScenario();
    std::vector<float> input(mono.size() * kChannels);
    for (std::size_t i = 0; i < mono.size(); ++i)
        input[i * kChannels] = input[i * kChannels + 1] = mono[i];
    std::vector<float> output;
    output.reserve(input.size());
    auto sink = [&](const float* frames, int count) {
        output.insert(output.end(), frames, frames + std::size_t(count) * kChannels);
        return options.output.empty() || writer.Write(frames, count, error);
    };

    AlignedRenderer renderer(*session, options.block);
    SnapshotFeed snapshot(options, kChannels, kScenarioRate);
    const std::size_t total = mono.size();
    for (std::size_t start = 0; start < total; start += std::size_t(options.block))
    {
        const int frames = int(std::min<std::size_t>(std::size_t(options.block), total - start));
        if (!renderer.Render(input.data() + start * kChannels, frames, sink, error)
            || !snapshot.Process(*session, input.data() + start * kChannels, frames, error))
            return Fail(error);
    }
    if (!renderer.Flush(sink, error))
        return Fail(error);
    session->Stop();
    if (!options.stateOut.empty() && !session->SaveState(options.stateOut, error))
        return Fail(error);
    if (!snapshot.Write(options, error) || (!options.output.empty() && !writer.Commit(error)))
        return Fail(error);

    std::vector<float> left(total);
    for (std::size_t i = 0; i < total && i * kChannels < output.size(); ++i)
        left[i] = output[i * kChannels];

    std::printf("Ringstill render demo through %s\n", options.plugin.c_str());
    std::printf("  %.1f s of a speech-like signal at %.0f Hz, stereo, %s processing, blocks of %d;\n",
                kScenarioSeconds, kScenarioRate, options.use64 ? "64-bit" : "32-bit", options.block);
    std::printf("  a %.1f kHz howl starts at %.1f s at %.0f dBFS and rises %.0f dB per 100 ms (up to %.0f dBFS).\n",
                kHowlHz / 1000.0, kHowlStart, kHowlStartDb, kHowlRiseDb, kHowlCeilingDb);
    std::printf("  settings:");
    for (const std::string& set : options.sets)
        std::printf(" %s", set.c_str());
    std::printf(" (the rest at their defaults)\n");
    PrintLatency(renderer, kScenarioRate);

    // The howl's level in and out, in 10 ms windows (25 whole cycles of 2.5 kHz each). A cut
    // counts from the first window after which it holds for 100 ms.
    constexpr std::size_t kWindow = 480;
    constexpr std::size_t kHoldWindows = 10;
    const std::size_t onset = std::size_t(kHowlStart * kScenarioRate);
    std::vector<double> cutDb;
    double loudestOut = -INFINITY;
    double loudestAt = 0.0;
    for (std::size_t from = onset; from + kWindow <= total; from += kWindow)
    {
        const double outDb = WindowToneDb(left, from, kWindow);
        cutDb.push_back(WindowToneDb(mono, from, kWindow) - outDb);
        if (outDb > loudestOut)
        {
            loudestOut = outDb;
            loudestAt = double(from + kWindow) / kScenarioRate;
        }
    }
    for (double step : {6.0, 12.0})
    {
        double at = -1.0;
        for (std::size_t w = 0; w + kHoldWindows <= cutDb.size() && at < 0.0; ++w)
        {
            bool holds = true;
            for (std::size_t k = w; k < w + kHoldWindows && holds; ++k)
                holds = cutDb[k] >= step;
            if (holds)
                at = kHowlStart + double((w + 1) * kWindow) / kScenarioRate;
        }
        if (at < 0.0)
            std::printf("  the howl was never cut by %.0f dB for 100 ms\n", step);
        else
            std::printf("  cut by %2.0f dB or more from %4.0f ms after the howl began (the input's howl then %.1f dBFS)\n",
                        step, (at - kHowlStart) * 1000.0, HowlLevelDb(at));
    }
    std::printf("  loudest howl at the output: %.1f dBFS, %.0f ms after it began\n", loudestOut,
                (loudestAt - kHowlStart) * 1000.0);
    const std::size_t lastSecond = total - std::size_t(kScenarioRate);
    const double inLast = Levels::ToDb(ToneAmplitude(mono.data(), lastSecond, total, kHowlHz, kScenarioRate));
    const double outLast = Levels::ToDb(ToneAmplitude(left.data(), lastSecond, total, kHowlHz, kScenarioRate));
    std::printf("  last second at %.1f kHz: input %.1f dBFS, output %.1f dBFS: cut by %.1f dB\n", kHowlHz / 1000.0,
                inLast, outLast, inLast - outLast);
    if (!options.output.empty())
        std::printf("  output written to %s\n", options.output.c_str());
    if (!options.snapshot.empty())
        std::printf("  editor snapshot written to %s\n", options.snapshot.c_str());
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    const int parsed = ParseArguments(argc, argv, options);
    if (parsed != 0)
        return parsed;
    if (options.list)
    {
        std::string error;
        auto session = OpenAndConfigure(options, error);
        if (session == nullptr)
            return Fail(error);
        std::printf("Parameters of %s:\n", options.plugin.c_str());
        session->ListParameters(stdout);
        return 0;
    }
    return options.demo ? RenderDemo(options) : RenderFile(options);
}
