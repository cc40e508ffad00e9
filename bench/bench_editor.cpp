// Cost of one full editor frame offscreen at the reference size with 20 active notches,
// reported in milliseconds per frame.
#include "editor/RingstillEditor.h"
#include "effect/Ringstill.h"
#include "framework/IGraphics.h"
#include "graphics/CairoBackend.h"
#include "graphics/CairoRenderer.h"
#include "graphics/OffscreenSnapshot.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

namespace {

void EditorFrameWithTwentyNotches(benchmark::State& state)
{
    constexpr int kBlock = 512;
    ringstill::Ringstill fx;
    std::vector<double> in(kBlock), out(kBlock);
    fx.SetSampleRate(48000.0);
    fx.SetBlockCapacity(kBlock);
    fx.CreateLatencyDelay();
    fx.ConnectChannel(iplug::kInput, 0, in.data());
    fx.ConnectChannel(iplug::kOutput, 0, out.data());
    fx.DisconnectChannel(iplug::kInput, 1);
    fx.DisconnectChannel(iplug::kOutput, 1);
    fx.ResetDsp();
    for (int i = 0; i < kBlock; ++i)
        in[static_cast<std::size_t>(i)] = 0.1 * std::sin(0.05 * i) + 0.05 * std::sin(0.7 * i);
    for (int n = 0; n < 20; ++n)
        ringstill::PushNotchCommand(fx.Feed(), ringstill::NotchCommandType::Add, 0,
                                    static_cast<float>(50.0 * std::pow(1.3, n)), -18.0f, 25.0f);
    for (int b = 0; b < 8; ++b)
        fx.ProcessAudioBlock(fx.InputPointers(), fx.OutputPointers(), kBlock);
    ringstill::InstallEditor(fx, fx.Feed(), igraphics::CairoGraphicsBackend());
    igraphics::IGraphics* ui = fx.OpenEditor();
    igraphics::CairoRenderer target;
    if (ui == nullptr || fx.Feed().activeNotchCount.load() != 20)
    {
        state.SkipWithError("editor could not be set up with 20 notches");
        return;
    }
    fx.IdleUpdate();
    for (auto _ : state)
        benchmark::DoNotOptimize(igraphics::DrawOffscreen(*ui, target));
    state.counters["active_notches"] = fx.Feed().activeNotchCount.load();
}

} // namespace

BENCHMARK(EditorFrameWithTwentyNotches)->Unit(benchmark::kMillisecond)->UseRealTime();
