// Drawing cost of one representative editor frame with the cairo renderer: the spectrum and
// response curves (613-point paths), 20 handles, the 20-cell bank strip, two meters and 60
// texts, on the 740 x 726 editor at scale 1 and 2. Reported as milliseconds per frame.

#include "graphics/CairoRenderer.h"
#include "graphics/EmbeddedResources.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>

using namespace igraphics;

namespace {

constexpr float kW = 740.f;
constexpr float kH = 726.f;

void DrawFrame(CairoRenderer& r, float scale, int frame)
{
    r.BeginFrame(scale);
    r.FillRect(IColor(255, 38, 45, 56), IRECT(0, 0, kW, kH));

    // Spectrum display at (10, 10, 652, 180): plot 612 x 154.
    const IRECT plot(10, 10, 622, 164);
    r.FillRect(IColor(255, 11, 15, 20), IRECT(10, 10, 652, 180));
    for (int i = 0; i < 12; ++i)
        r.DrawLine(IColor(40, 255, 255, 255), plot.left + 50 * i, plot.top, plot.left + 50 * i, plot.bottom);
    for (int i = 0; i <= 612; ++i)
    {
        const float x = plot.left + i;
        const float y = plot.top + 60 + 30 * std::sin(0.05f * i + 0.1f * frame) + 10 * std::sin(0.71f * i);
        i == 0 ? r.PathMoveTo(x, y) : r.PathLineTo(x, y);
    }
    r.PathStroke(IColor(255, 47, 208, 230), 1.5f, true);
    r.PathLineTo(plot.right, plot.bottom);
    r.PathLineTo(plot.left, plot.bottom);
    r.PathClose();
    r.PathFill(IColor(64, 23, 176, 196));
    for (int i = 0; i <= 612; ++i)
    {
        const float x = plot.left + i;
        const float y = plot.top + 17 + 40 * std::exp(-std::pow((i % 31 - 15) / 3.f, 2.f));
        i == 0 ? r.PathMoveTo(x, y) : r.PathLineTo(x, y);
    }
    r.PathStroke(IColor(230, 230, 40, 40), 1.5f);
    for (int i = 0; i < 20; ++i)
    {
        const float cx = plot.left + 15 + 30.5f * i;
        r.FillCircle(i % 2 ? IColor(255, 0, 150, 235) : IColor(255, 255, 200, 0), cx, plot.top + 60, 5.f);
        if (i == 3)
            r.DrawCircle(IColor(255, 255, 255, 255), cx, plot.top + 60, 7.f, nullptr, 2.f);
    }

    // Bank strip, meters and texts.
    const IText cell(10.f, IColor(255, 0, 0, 0));
    char number[4];
    for (int i = 0; i < 20; ++i)
    {
        const IRECT c(11.f + 36 * i, 187, 45.f + 36 * i, 207);
        r.FillRoundRect(IColor(255, 255, 200, 0), c, 3.f);
        std::snprintf(number, sizeof number, "%d", i + 1);
        r.DrawText(cell, number, c);
    }
    for (float left : {658.f, 697.f})
    {
        r.FillRoundRect(IColor(140, 0, 0, 0), IRECT(left + 3, 13, left + 30, 149), 3.f);
        r.FillRect(IColor(255, 60, 200, 60), IRECT(left + 3, 60, left + 30, 149));
        r.DrawLine(IColor(255, 255, 255, 255), left + 3, 25.36f, left + 30, 25.36f);
    }
    const IText label(15.f, IColor(255, 220, 224, 230), kDefaultFontId, EAlign::Near);
    for (int i = 0; i < 20; ++i)
    {
        const float y = 234.f + 22 * i;
        r.DrawText(label, "Sensitivity", IRECT(10, y, 118, y + 20));
        r.DrawText(label, "-12.5 dB", IRECT(662, y, 730, y + 20));
    }
    r.EndFrame();
}

void BM_EditorFrame(benchmark::State& state)
{
    const float scale = static_cast<float>(state.range(0));
    CairoRenderer r;
    r.CreateOffscreen(static_cast<int>(kW * scale), static_cast<int>(kH * scale));
    const ResourceBytes font = FindEmbeddedResource("Roboto-Regular.ttf");
    r.LoadFont(kDefaultFontId, font.data, font.size);
    int frame = 0;
    for (auto _ : state)
        DrawFrame(r, scale, frame++);
    // The time column is the milliseconds per frame; this is its inverse.
    state.counters["frames_per_s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

} // namespace

BENCHMARK(BM_EditorFrame)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
