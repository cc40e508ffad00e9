// The render tool run as its own executable on real files: what a user sees when a render works
// and when the input is bad (one line on stderr, a non-zero exit, no output file).
#include <cairo.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct RunResult
{
    int exitCode = -1;
    std::string output; // stdout and stderr together
};

std::string Quote(const std::string& text) { return "'" + text + "'"; }

class RingstillRender : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        dir = fs::path(RINGSTILL_RENDER_WORK_DIR) / test->name();
        fs::remove_all(dir);
        fs::create_directories(dir);
    }

    std::string Path(const std::string& name) const { return (dir / name).string(); }

    RunResult Run(const std::string& arguments) const
    {
        const std::string command = std::string(RINGSTILL_RENDER_TOOL) + " --plugin " + Quote(RINGSTILL_PLUGIN_BUNDLE)
                                    + " --quiet " + arguments + " 2>&1";
        RunResult result;
        std::FILE* pipe = popen(command.c_str(), "r");
        if (pipe == nullptr)
            return result;
        std::array<char, 512> chunk {};
        while (std::fgets(chunk.data(), int(chunk.size()), pipe) != nullptr)
            result.output += chunk.data();
        const int status = pclose(pipe);
        result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return result;
    }

    // A file of a quiet sine per channel, as 32-bit float samples.
    void WriteSine(const std::string& path, int channels, int frames, int format = SF_FORMAT_WAV | SF_FORMAT_FLOAT)
    {
        SF_INFO info {};
        info.channels = channels;
        info.samplerate = 48000;
        info.format = format;
        SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
        ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
        std::vector<float> samples(std::size_t(frames) * std::size_t(channels));
        for (int n = 0; n < frames; ++n)
            for (int c = 0; c < channels; ++c)
                samples[std::size_t(n * channels + c)] = float(0.25 * std::sin(0.01 * n + c));
        EXPECT_EQ(sf_writef_float(file, samples.data(), frames), frames);
        sf_close(file);
    }

    static std::vector<float> ReadAll(const std::string& path, SF_INFO& info)
    {
        info = {};
        SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
        if (file == nullptr)
            return {};
        std::vector<float> samples(std::size_t(info.frames) * std::size_t(info.channels));
        sf_readf_float(file, samples.data(), info.frames);
        sf_close(file);
        return samples;
    }

    // Exactly one line, naming the problem.
    static void ExpectOneLineError(const RunResult& result, const std::string& fragment)
    {
        EXPECT_NE(result.exitCode, 0) << result.output;
        EXPECT_EQ(std::count(result.output.begin(), result.output.end(), '\n'), 1) << result.output;
        EXPECT_NE(result.output.find("error: "), std::string::npos) << result.output;
        EXPECT_NE(result.output.find(fragment), std::string::npos) << result.output;
    }

    bool DirectoryHoldsOnly(std::initializer_list<std::string> names) const
    {
        std::size_t count = 0;
        for (const auto& entry : fs::directory_iterator(dir))
        {
            ++count;
            if (std::find(names.begin(), names.end(), entry.path().filename().string()) == names.end())
                return false;
        }
        return count == names.size();
    }

    fs::path dir;
};

TEST_F(RingstillRender, BypassedRenderGivesTheInputBackAndASummary)
{
    WriteSine(Path("in.wav"), 2, 10000);
    const RunResult result = Run("--set Bypass=on --block 300 " + Quote(Path("in.wav")) + " " + Quote(Path("out.flac")));
    ASSERT_EQ(result.exitCode, 0) << result.output;
    EXPECT_NE(result.output.find("latency: 0 samples"), std::string::npos) << result.output;
    EXPECT_NE(result.output.find("input:  peak  -12.0 dBFS"), std::string::npos) << result.output;
    EXPECT_NE(result.output.find("output: peak  -12.0 dBFS"), std::string::npos) << result.output;

    SF_INFO inInfo {};
    SF_INFO outInfo {};
    const std::vector<float> in = ReadAll(Path("in.wav"), inInfo);
    const std::vector<float> out = ReadAll(Path("out.flac"), outInfo);
    ASSERT_EQ(outInfo.frames, 10000);
    ASSERT_EQ(outInfo.channels, 2);
    EXPECT_EQ(outInfo.format & SF_FORMAT_TYPEMASK, SF_FORMAT_FLAC);
    for (std::size_t i = 0; i < in.size(); ++i)
        ASSERT_NEAR(out[i], in[i], 1.0 / (1 << 22)) << "sample " << i; // 24-bit FLAC
    EXPECT_TRUE(DirectoryHoldsOnly({"in.wav", "out.flac"}));
}

TEST_F(RingstillRender, AMonoAiffRendersIn64BitAndTheSavedStateLoadsAgain)
{
    WriteSine(Path("in.aiff"), 1, 4000, SF_FORMAT_AIFF | SF_FORMAT_PCM_24);
    RunResult result = Run("--64 --set \"Gain=-6\" --save-state " + Quote(Path("state.bin")) + " "
                           + Quote(Path("in.aiff")) + " " + Quote(Path("out.aiff")));
    ASSERT_EQ(result.exitCode, 0) << result.output;
    EXPECT_NE(result.output.find("64-bit processing"), std::string::npos) << result.output;
    ASSERT_EQ(fs::file_size(Path("state.bin")), 84u);

    result = Run("--state " + Quote(Path("state.bin")) + " --list");
    ASSERT_EQ(result.exitCode, 0) << result.output;
    EXPECT_NE(result.output.find("Gain           -6.0 dB"), std::string::npos) << result.output;
}

TEST_F(RingstillRender, AMissingInputIsAOneLineError)
{
    const RunResult result = Run(Quote(Path("nothing.wav")) + " " + Quote(Path("out.wav")));
    ExpectOneLineError(result, "nothing.wav");
    EXPECT_FALSE(fs::exists(Path("out.wav")));
}

TEST_F(RingstillRender, AnUnknownParameterLeavesAnExistingOutputAlone)
{
    WriteSine(Path("in.wav"), 2, 1000);
    {
        std::ofstream old(Path("out.wav"));
        old << "earlier render";
    }
    const RunResult result = Run("--set Loudness=3 " + Quote(Path("in.wav")) + " " + Quote(Path("out.wav")));
    ExpectOneLineError(result, "unknown parameter 'Loudness'");
    std::ifstream kept(Path("out.wav"));
    std::string text;
    std::getline(kept, text);
    EXPECT_EQ(text, "earlier render");
    EXPECT_TRUE(DirectoryHoldsOnly({"in.wav", "out.wav"}));
}

TEST_F(RingstillRender, ValuesOutsideTheRangeOrNotAValueAreRefused)
{
    WriteSine(Path("in.wav"), 2, 1000);
    ExpectOneLineError(Run("--set No-Noise=140 " + Quote(Path("in.wav")) + " " + Quote(Path("out.wav"))),
                       "out of range for No-Noise (0 to 100 %)");
    ExpectOneLineError(Run("--set Hold=maybe " + Quote(Path("in.wav")) + " " + Quote(Path("out.wav"))),
                       "not a value of Hold");
    ExpectOneLineError(Run("--set Gain " + Quote(Path("in.wav")) + " " + Quote(Path("out.wav"))), "NAME=VALUE");
    EXPECT_FALSE(fs::exists(Path("out.wav")));
}

TEST_F(RingstillRender, AChannelCountThePlugInRefusesIsNamed)
{
    WriteSine(Path("in.wav"), 3, 1000);
    ExpectOneLineError(Run(Quote(Path("in.wav")) + " " + Quote(Path("out.wav"))), "does not accept 3 channels");
    EXPECT_TRUE(DirectoryHoldsOnly({"in.wav"}));
}

TEST_F(RingstillRender, AnUnreadableStateIsRefused)
{
    WriteSine(Path("in.wav"), 2, 1000);
    {
        std::ofstream junk(Path("junk.state"), std::ios::binary);
        junk << "not a state";
    }
    ExpectOneLineError(Run("--state " + Quote(Path("junk.state")) + " " + Quote(Path("in.wav")) + " "
                           + Quote(Path("out.wav"))),
                       "not a state this plug-in can restore");
    ExpectOneLineError(Run("--state " + Quote(Path("none.state")) + " " + Quote(Path("in.wav")) + " "
                           + Quote(Path("out.wav"))),
                       "cannot read state file");
    EXPECT_FALSE(fs::exists(Path("out.wav")));
}

TEST_F(RingstillRender, BadOptionsAreUsageErrors)
{
    EXPECT_EQ(Run("--block 0 a.wav b.wav").exitCode, 2);
    EXPECT_EQ(Run("--frobnicate a.wav b.wav").exitCode, 2);
    EXPECT_EQ(Run("onlyone.wav").exitCode, 2);
    WriteSine(Path("in.wav"), 2, 100);
    ExpectOneLineError(Run(Quote(Path("in.wav")) + " " + Quote(Path("out.mp9"))), "cannot tell the output format");
}

TEST_F(RingstillRender, TheDemoReportsTheHowl)
{
    const RunResult result = Run("--demo " + Quote(Path("demo.wav")));
    ASSERT_EQ(result.exitCode, 0) << result.output;
    EXPECT_NE(result.output.find("last second at 2.5 kHz: input -6.0 dBFS"), std::string::npos) << result.output;
    EXPECT_NE(result.output.find("cut by 12 dB or more from"), std::string::npos) << result.output;
    EXPECT_NE(result.output.find("compensated in the output"), std::string::npos) << result.output;
    SF_INFO info {};
    const std::vector<float> out = ReadAll(Path("demo.wav"), info);
    EXPECT_EQ(info.frames, 5 * 48000);
    EXPECT_EQ(info.channels, 2);
}

// The editor's picture after the demo: the howl's automatic notch is drawn where the spectrum puts
// 2.5 kHz at the automatic depth, and its bank slot is coloured as automatic.
TEST_F(RingstillRender, TheDemoSnapshotShowsTheHowlsNotch)
{
    const RunResult result = Run("--demo --snapshot " + Quote(Path("editor.png")));
    ASSERT_EQ(result.exitCode, 0) << result.output;
    EXPECT_NE(result.output.find("editor snapshot written to"), std::string::npos) << result.output;
    cairo_surface_t* image = cairo_image_surface_create_from_png(Path("editor.png").c_str());
    ASSERT_EQ(cairo_surface_status(image), CAIRO_STATUS_SUCCESS);
    EXPECT_EQ(cairo_image_surface_get_width(image), 740);
    EXPECT_EQ(cairo_image_surface_get_height(image), 726);
    const auto isGold = [&](int x, int y) {
        const unsigned char* row = cairo_image_surface_get_data(image) + y * cairo_image_surface_get_stride(image);
        const std::uint32_t argb = reinterpret_cast<const std::uint32_t*>(row)[x];
        const int r = (argb >> 16) & 0xFF, g = (argb >> 8) & 0xFF, b = argb & 0xFF;
        return r > 200 && g > 140 && g < 230 && b < 90;
    };
    // 2.5 kHz on the 20 Hz .. 20 kHz axis of the plot (x 10 .. 626), -18 dB at y = 85.
    const int handleX = int(std::lround(10.0 + std::log(125.0) / std::log(1000.0) * 616.0));
    EXPECT_TRUE(isGold(handleX, 85)) << "x " << handleX;
    EXPECT_FALSE(isGold(handleX - 40, 85));
    // Third bank cell (x 82 .. 118), off its number.
    EXPECT_TRUE(isGold(88, 197));
    EXPECT_FALSE(isGold(16, 197));
    cairo_surface_destroy(image);
}

TEST_F(RingstillRender, ASnapshotThatCannotBeWrittenFailsTheRenderWithoutOutput)
{
    const RunResult result =
        Run("--demo --snapshot " + Quote(Path("missing/editor.png")) + " " + Quote(Path("demo.wav")));
    ExpectOneLineError(result, "cannot draw the editor");
    EXPECT_FALSE(fs::exists(Path("demo.wav")));
    EXPECT_FALSE(fs::exists(Path("missing/editor.png.part")));
}

} // namespace
