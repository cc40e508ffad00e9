#include "effect/Denoiser.h"
#include "tests/support/AllocCounter.h"
#include "tests/support/TestSignals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <thread>
#include <vector>

using namespace ringstill;

namespace {

using Frame = std::array<float, kDenoiserFrameSize>;

// Frames of a speech-like signal over noise, in the denoiser's 16-bit range.
std::vector<Frame> TestFrames(int count)
{
    const std::size_t n = static_cast<std::size_t>(count) * kDenoiserFrameSize;
    std::vector<float> speech = test::SpeechLike(n, kDenoiserSampleRate, 0.1);
    const std::vector<float> noise = test::WhiteNoise(n, 0.02, 7);
    std::vector<Frame> frames(static_cast<std::size_t>(count));
    for (std::size_t i = 0; i < n; ++i)
        frames[i / kDenoiserFrameSize][i % kDenoiserFrameSize] = (speech[i] + noise[i]) * 32768.0f;
    return frames;
}

std::vector<Frame> DenoiseAll(DenoiserState* state, const std::vector<Frame>& frames)
{
    std::vector<Frame> out(frames.size());
    for (std::size_t f = 0; f < frames.size(); ++f)
        EXPECT_TRUE(DenoiseFrame(state, frames[f].data(), out[f].data()));
    return out;
}

} // namespace

TEST(Denoiser, OutputIsTheInputFrameTenMillisecondsLate)
{
    // The denoiser returns each frame one frame later; silence before the
    // first frame comes out as silence.
    const std::vector<Frame> frames = TestFrames(60);
    DenoiserPtr state(CreateDenoiser());
    const std::vector<Frame> out = DenoiseAll(state.get(), frames);
    std::vector<float> x, y;
    for (std::size_t f = 0; f < frames.size(); ++f)
    {
        x.insert(x.end(), frames[f].begin(), frames[f].end());
        y.insert(y.end(), out[f].begin(), out[f].end());
    }
    EXPECT_NEAR(test::BestLag(x, y, 700, 4800), kDenoiserFrameSize, 4);
}

TEST(Denoiser, MemoryNeverGrowsAfterCreation)
{
    DenoiserPtr state(CreateDenoiser());
    ASSERT_NE(state, nullptr);
    const std::size_t bytes = DenoiserMemoryBytes(state.get());
    std::vector<Frame> frames = TestFrames(200);
    // Loud, silent and full-scale frames as well as ordinary ones.
    Frame loud{}, silent{};
    for (int i = 0; i < kDenoiserFrameSize; ++i)
        loud[static_cast<std::size_t>(i)] = (i % 2 ? 32767.0f : -32768.0f);
    frames.insert(frames.end(), 20, loud);
    frames.insert(frames.end(), 20, silent);
    (void)DenoiseAll(state.get(), frames);
    EXPECT_EQ(DenoiserMemoryBytes(state.get()), bytes);
    EXPECT_EQ(DenoiserRefusedGrowth(state.get()), 0u);
}

TEST(DenoiserFailure, ATrapInsideTheModuleIsReportedAndLeavesOutputUntouched)
{
    const std::vector<Frame> frames = TestFrames(3);
    DenoiserPtr state(CreateDenoiser());
    Frame out{};
    ASSERT_TRUE(DenoiseFrame(state.get(), frames[0].data(), out.data()));

    BreakDenoiserForTesting(state.get());
    Frame marker;
    marker.fill(123.0f);
    out = marker;
    EXPECT_FALSE(DenoiseFrame(state.get(), frames[1].data(), out.data()));
    EXPECT_EQ(out, marker);
    // The state stays unusable; later calls fail at once.
    EXPECT_FALSE(DenoiseFrame(state.get(), frames[2].data(), out.data()));
    EXPECT_EQ(out, marker);
}

TEST(DenoiserFailure, RepeatedTrapsLeaveTheRuntimeUsable)
{
    // A trap that left the call-depth counter raised would make every call
    // trap after a few hundred; hundreds of traps must leave it at rest.
    const std::vector<Frame> frames = TestFrames(1);
    Frame out{};
    for (int i = 0; i < 520; ++i)
    {
        DenoiserPtr broken(CreateDenoiser());
        ASSERT_NE(broken, nullptr);
        BreakDenoiserForTesting(broken.get());
        ASSERT_FALSE(DenoiseFrame(broken.get(), frames[0].data(), out.data()));
    }
    DenoiserPtr healthy(CreateDenoiser());
    DenoiserPtr reference(CreateDenoiser());
    Frame expected{};
    ASSERT_TRUE(DenoiseFrame(reference.get(), frames[0].data(), expected.data()));
    ASSERT_TRUE(DenoiseFrame(healthy.get(), frames[0].data(), out.data()));
    EXPECT_EQ(out, expected);
}

TEST(DenoiserFailure, CreationFailsCleanlyWhenMemoryRunsOut)
{
    {
        DenoiserAllocationFailureForTesting outOfMemory;
        EXPECT_EQ(CreateDenoiser(), nullptr);
    }
    DenoiserPtr state(CreateDenoiser());
    EXPECT_NE(state, nullptr);
}

TEST(DenoiserConcurrency, TwoStatesOnTwoThreadsMatchTheSingleThreadResult)
{
    const std::vector<Frame> frames = TestFrames(150);
    DenoiserPtr reference(CreateDenoiser());
    const std::vector<Frame> expected = DenoiseAll(reference.get(), frames);

    std::vector<Frame> outA, outB;
    auto run = [&frames](std::vector<Frame>& out) {
        DenoiserPtr state(CreateDenoiser());
        out.resize(frames.size());
        for (std::size_t f = 0; f < frames.size(); ++f)
            if (!DenoiseFrame(state.get(), frames[f].data(), out[f].data()))
                out[f].fill(-1.0f);
    };
    std::thread a(run, std::ref(outA));
    std::thread b(run, std::ref(outB));
    a.join();
    b.join();
    EXPECT_EQ(outA, expected);
    EXPECT_EQ(outB, expected);
}

TEST(DenoiserConcurrency, TrapsOnOneThreadDoNotDisturbAnotherThread)
{
    const std::vector<Frame> frames = TestFrames(150);
    DenoiserPtr reference(CreateDenoiser());
    const std::vector<Frame> expected = DenoiseAll(reference.get(), frames);

    std::vector<Frame> out(frames.size());
    int unexpectedSuccesses = 0;
    std::thread healthy([&] {
        DenoiserPtr state(CreateDenoiser());
        for (std::size_t f = 0; f < frames.size(); ++f)
            if (!DenoiseFrame(state.get(), frames[f].data(), out[f].data()))
                out[f].fill(-1.0f);
    });
    std::thread trapping([&] {
        Frame scratch{};
        for (int i = 0; i < 40; ++i)
        {
            DenoiserPtr state(CreateDenoiser());
            BreakDenoiserForTesting(state.get());
            if (DenoiseFrame(state.get(), frames[0].data(), scratch.data()))
                ++unexpectedSuccesses;
        }
    });
    healthy.join();
    trapping.join();
    EXPECT_EQ(unexpectedSuccesses, 0);
    EXPECT_EQ(out, expected);
}
