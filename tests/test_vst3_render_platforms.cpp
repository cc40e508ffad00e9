// The raw-float render tool run as its own executable against the real plug-in bundle: the
// feedback scenario comes out with its howl cut, parameter changes land at their time, and the
// Windows module (run under wine) renders what the Linux module renders.
#include "tools/scenario/FeedbackScenario.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace {

namespace fs = std::filesystem;
using ringstill::scenario::kScenarioRate;
using ringstill::scenario::ToneAmplitude;

constexpr double kEqualWithin = 1e-6;

struct RunResult
{
    int exitCode = -1;
    std::string output; // stdout and stderr together
};

std::string Quote(const std::string& text) { return "\"" + text + "\""; }

std::string NativePath(const std::string& path) { return fs::path(path).make_preferred().string(); }

// Output goes through a file rather than a pipe: wine's own background processes, started by the
// first Windows program, would hold a pipe open long after the program is gone.
RunResult RunTool(const std::string& program, const std::string& arguments, const fs::path& outputFile)
{
    std::string command = Quote(NativePath(program)) + " " + arguments + " > "
                          + Quote(NativePath(outputFile.string())) + " 2>&1";
#ifdef _WIN32
    // cmd.exe takes the outer quotes off again.
    command = "\"" + command + "\"";
#endif
    RunResult result;
    const int status = std::system(command.c_str());
#ifdef _WIN32
    result.exitCode = status;
#else
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
    if (std::FILE* file = std::fopen(outputFile.string().c_str(), "rb"))
    {
        std::array<char, 512> chunk {};
        std::size_t got = 0;
        while ((got = std::fread(chunk.data(), 1, chunk.size(), file)) > 0)
            result.output.append(chunk.data(), got);
        std::fclose(file);
    }
    return result;
}

std::vector<float> ReadFloats(const std::string& path)
{
    std::vector<float> samples;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return samples;
    float chunk[4096];
    std::size_t got = 0;
    while ((got = std::fread(chunk, sizeof(float), 4096, file)) > 0)
        samples.insert(samples.end(), chunk, chunk + got);
    std::fclose(file);
    return samples;
}

bool WriteFloats(const std::string& path, const std::vector<float>& samples)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return false;
    const bool written = std::fwrite(samples.data(), sizeof(float), samples.size(), file) == samples.size();
    return std::fclose(file) == 0 && written;
}

double Rms(const std::vector<float>& x, std::size_t from, std::size_t to)
{
    double sum = 0.0;
    for (std::size_t i = from; i < to; ++i)
        sum += double(x[i]) * double(x[i]);
    return std::sqrt(sum / double(std::max<std::size_t>(to - from, 1)));
}

std::size_t At(double seconds) { return std::size_t(seconds * kScenarioRate); }

// No-Noise fully in, and No-Reverb on from 2 s to 3.5 s, while the howl grows from 1 s.
const char* const kChanges = "--set No-Noise=100 --at 2.0 No-Reverb=100 --at 3.5 No-Reverb=0";

class Vst3HostRender : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        dir = fs::path(RINGSTILL_HOST_RENDER_WORK_DIR) / test->name();
        fs::remove_all(dir);
        fs::create_directories(dir);
        scenario = Path("scenario.f32");
        const RunResult made = RunTool(RINGSTILL_HOST_RENDER_TOOL, "--scenario " + Quote(scenario), dir / "scenario.log");
        ASSERT_EQ(made.exitCode, 0) << made.output;
        input = ReadFloats(scenario);
        ASSERT_EQ(input.size(), At(ringstill::scenario::kScenarioSeconds));
    }

    std::string Path(const std::string& name) const { return (dir / name).string(); }

    // Renders in through this build's tool and bundle into a file named out; its samples.
    std::vector<float> Render(const std::string& in, const std::string& out, const std::string& options)
    {
        const RunResult run = RunTool(RINGSTILL_HOST_RENDER_TOOL, options + " " + Quote(RINGSTILL_PLUGIN_BUNDLE) + " "
                                                                  + Quote(in) + " " + Quote(Path(out)),
                                      dir / (out + ".log"));
        EXPECT_EQ(run.exitCode, 0) << run.output;
        return ReadFloats(Path(out));
    }

    fs::path dir;
    std::string scenario;
    std::vector<float> input;
};

TEST_F(Vst3HostRender, TheScenarioComesOutFrameForFrameWithTheHowlCutAndTheSpeechKept)
{
    const std::vector<float> output = Render(scenario, "out.f32", kChanges);
    ASSERT_EQ(output.size(), input.size());
    const double howlIn = ToneAmplitude(input.data(), At(4.0), At(5.0), ringstill::scenario::kHowlHz, kScenarioRate);
    const double howlOut = ToneAmplitude(output.data(), At(4.0), At(5.0), ringstill::scenario::kHowlHz, kScenarioRate);
    EXPECT_LT(howlOut, howlIn * 0.1) << "in " << howlIn << ", out " << howlOut;
    // Before the howl the speech is still there, if quieter after the denoiser.
    EXPECT_GT(Rms(output, At(0.3), At(0.9)), Rms(input, At(0.3), At(0.9)) * 0.05);
}

TEST_F(Vst3HostRender, AChangeAtATimeLeavesEveryBlockBeforeItsOwnAlone)
{
    // The plug-in takes a block's automation from the block's start on.
    constexpr std::size_t kBlock = 512;
    const std::size_t changeBlockStart = At(2.0) / kBlock * kBlock;
    const std::vector<float> plain = Render(scenario, "plain.f32", "--block 512 --set No-Noise=100");
    const std::vector<float> changed = Render(scenario, "changed.f32", std::string("--block 512 ") + kChanges);
    ASSERT_EQ(plain.size(), input.size());
    ASSERT_EQ(changed.size(), input.size());
    const auto firstDifference =
        std::size_t(std::mismatch(plain.begin(), plain.end(), changed.begin()).first - plain.begin());
    EXPECT_GE(firstDifference, changeBlockStart);
    EXPECT_LT(firstDifference, At(2.1));
}

TEST_F(Vst3HostRender, InStereoAt64BitInOddBlocksTheHowlIsCutOnBothChannels)
{
    std::vector<float> stereo(input.size() * 2);
    for (std::size_t i = 0; i < input.size(); ++i)
    {
        stereo[2 * i] = input[i];
        stereo[2 * i + 1] = 0.5f * input[i];
    }
    const std::string in = Path("stereo.f32");
    ASSERT_TRUE(WriteFloats(in, stereo));
    const std::vector<float> output = Render(in, "stereo-out.f32", std::string("--channels 2 --64 --block 97 ") + kChanges);
    ASSERT_EQ(output.size(), stereo.size());
    const double howlIn = ToneAmplitude(input.data(), At(4.0), At(5.0), ringstill::scenario::kHowlHz, kScenarioRate);
    for (std::size_t channel = 0; channel < 2; ++channel)
    {
        std::vector<float> samples(input.size());
        for (std::size_t i = 0; i < input.size(); ++i)
            samples[i] = output[2 * i + channel];
        const double howlOut =
            ToneAmplitude(samples.data(), At(4.0), At(5.0), ringstill::scenario::kHowlHz, kScenarioRate);
        EXPECT_LT(howlOut, howlIn * 0.1) << "channel " << channel;
        EXPECT_GT(Rms(samples, At(0.3), At(0.9)), 0.0) << "channel " << channel;
    }
}

TEST_F(Vst3HostRender, AnUnknownParameterIsOneLineAndAFailure)
{
    const RunResult run = RunTool(RINGSTILL_HOST_RENDER_TOOL, "--set Nonsense=1 " + Quote(RINGSTILL_PLUGIN_BUNDLE) + " "
                                                              + Quote(scenario) + " " + Quote(Path("never.f32")),
                                  dir / "never.log");
    EXPECT_NE(run.exitCode, 0);
    EXPECT_NE(run.output.find("no parameter titled 'Nonsense'"), std::string::npos) << run.output;
    EXPECT_EQ(std::count(run.output.begin(), run.output.end(), '\n'), 1) << run.output;
    EXPECT_FALSE(fs::exists(Path("never.f32")));
}

// The same input through the Windows build of the tool and the module, run under wine.
struct PlatformCase
{
    const char* name;
    const char* options;
    bool stereo;
};

void PrintTo(const PlatformCase& c, std::ostream* out) { *out << c.name << ": " << c.options; }

class Vst3WindowsRender : public Vst3HostRender, public ::testing::WithParamInterface<PlatformCase>
{
};

TEST_P(Vst3WindowsRender, TheWindowsModuleRendersWhatTheLinuxModuleRenders)
{
#if defined(RINGSTILL_WINDOWS_RENDER_TOOL) && !defined(_WIN32)
    const PlatformCase& c = GetParam();
    std::string in = scenario;
    if (c.stereo)
    {
        std::vector<float> stereo(input.size() * 2);
        for (std::size_t i = 0; i < input.size(); ++i)
        {
            stereo[2 * i] = input[i];
            stereo[2 * i + 1] = -0.7f * input[i];
        }
        in = Path("stereo.f32");
        ASSERT_TRUE(WriteFloats(in, stereo));
    }
    const std::string options = std::string(c.options) + " " + kChanges;
    const std::vector<float> fromLinux = Render(in, "linux.f32", options);
    setenv("WINEDEBUG", "-all", 0);
    const RunResult windows = RunTool(RINGSTILL_WINE, Quote(RINGSTILL_WINDOWS_RENDER_TOOL) + " " + options + " "
                                                      + Quote(RINGSTILL_WINDOWS_BUNDLE) + " " + Quote(in) + " "
                                                      + Quote(Path("windows.f32")),
                                      dir / "windows.log");
    ASSERT_EQ(windows.exitCode, 0) << windows.output;
    const std::vector<float> fromWindows = ReadFloats(Path("windows.f32"));
    ASSERT_EQ(fromLinux.size(), c.stereo ? input.size() * 2 : input.size());
    ASSERT_EQ(fromWindows.size(), fromLinux.size());
    double largest = 0.0;
    std::size_t where = 0;
    for (std::size_t i = 0; i < fromLinux.size(); ++i)
    {
        const double difference = std::fabs(double(fromLinux[i]) - double(fromWindows[i]));
        if (difference > largest || std::isnan(difference))
        {
            largest = difference;
            where = i;
        }
    }
    RecordProperty("largest_difference", std::to_string(largest));
    std::printf("largest Linux/Windows difference (%s): %.3g at sample %zu\n", c.name, largest, where);
    EXPECT_LE(largest, kEqualWithin) << "at sample " << where;
    // Both renders did real work: the howl is gone from each.
    EXPECT_LT(Rms(fromLinux, fromLinux.size() * 4 / 5, fromLinux.size()), Rms(input, At(4.0), At(5.0)) * 0.5);
#else
    GTEST_SKIP() << "no Windows build given (-DRINGSTILL_WINDOWS_BUILD_DIR) or not on Linux";
#endif
}

INSTANTIATE_TEST_SUITE_P(Cases, Vst3WindowsRender,
                         ::testing::Values(PlatformCase {"mono", "--block 512", false},
                                           PlatformCase {"stereo64", "--channels 2 --64 --block 97", true}),
                         [](const ::testing::TestParamInfo<PlatformCase>& info) { return std::string(info.param.name); });

} // namespace
