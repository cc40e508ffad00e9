#include "editor/SpectrumControl.h"

#include "effect/NotchFilter.h"

#include "framework/IGraphicsRenderer.h"
#include "framework/IText.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace ringstill {

using igraphics::IColor;
using igraphics::IRECT;

namespace {

constexpr float kHandleReach = 16.0f;
constexpr float kTopDb = 3.0f;
constexpr float kBottomDb = -40.0f;
constexpr float kDbSpan = 43.0f;

constexpr IColor kBackground{255, 11, 15, 20};
constexpr IColor kGrid{40, 255, 255, 255};
constexpr IColor kLabel{115, 255, 255, 255};
constexpr IColor kOutline{255, 47, 208, 230};
constexpr IColor kFill{64, 23, 176, 196};
constexpr IColor kResponse{230, 230, 40, 40};
constexpr IColor kAutoHandle{255, 255, 200, 0};
constexpr IColor kManualHandle{255, 0, 150, 235};
constexpr IColor kRing{255, 255, 255, 255};
constexpr igraphics::IText kLabelText{11.f, kLabel, "Roboto-Regular"};

constexpr float kGridFrequencies[] = {30, 50, 100, 200, 300, 500, 1000, 2000, 3000, 5000, 10000, 20000};
constexpr int kGridDbs[] = {0, -10, -20, -30, -40};

} // namespace

// The view's own frequency, depth and Q as they are: the display shows what the user set, without
// Master Trim and Width and without the audio's limits.
float NotchResponseDb(double f, double f0, double q, double depthDb, double fs)
{
    if (f0 <= 0.0 || q <= 0.0)
        return 0.0f;
    constexpr double kTwoPi = 6.283185307179586;
    NotchFilter notch;
    notch.Design(kTwoPi * f0 / fs, q, std::pow(10.0, depthDb / 40.0));
    return static_cast<float>(notch.ResponseDb(kTwoPi * f / fs));
}

SpectrumControl::SpectrumControl(const IRECT& bounds, EditorFeed& feed) : IControl(bounds), feed(feed) {}

float SpectrumControl::PlotWidth() const { return mRECT.right - mRECT.left - 30.0f; }
float SpectrumControl::PlotHeight() const { return mRECT.bottom - mRECT.top - 16.0f; }

float SpectrumControl::TopFrequency() const
{
    return static_cast<float>(std::min(0.5 * sampleRate, 20000.0));
}

float SpectrumControl::XOfFrequency(float f) const
{
    const float top = TopFrequency();
    const float fc = std::clamp(f, 20.0f, std::max(top, 20.0f));
    return mRECT.left + std::log(fc / 20.0f) / std::log(top / 20.0f) * PlotWidth();
}

float SpectrumControl::YOfDb(float g) const
{
    const float c = std::clamp((kTopDb - g) / kDbSpan, 0.0f, 1.0f);
    return mRECT.top + c * PlotHeight();
}

float SpectrumControl::FrequencyOfX(float x) const
{
    const float pw = PlotWidth();
    const float xc = std::clamp(x, mRECT.left, mRECT.left + pw);
    const float u = std::clamp((xc - mRECT.left) / pw, 0.0f, 1.0f);
    return 20.0f * std::pow(TopFrequency() / 20.0f, u);
}

float SpectrumControl::DbOfY(float y) const
{
    const float ph = PlotHeight();
    const float yc = std::clamp(y, mRECT.top, mRECT.top + ph);
    const float v = std::clamp((yc - mRECT.top) / ph, 0.0f, 1.0f);
    return kTopDb - kDbSpan * v;
}

std::int32_t SpectrumControl::FindHandle(float x, float y) const
{
    float best = kHandleReach;
    std::int32_t result = -1;
    for (std::size_t i = 0; i < viewCopy.size(); ++i)
    {
        if (viewCopy[i].active == 0)
            continue;
        const float dx = x - XOfFrequency(viewCopy[i].frequency);
        const float dy = y - YOfDb(viewCopy[i].targetDepth);
        const float d = std::sqrt(dx * dx + dy * dy);
        if (d < best)
        {
            best = d;
            result = static_cast<std::int32_t>(i);
        }
    }
    return result;
}

// UI thread.
void SpectrumControl::OnMouseDown(float x, float y, const igraphics::IMouseMod&)
{
    dragIndex = FindHandle(x, y);
    feed.selectedNotch.exchange(dragIndex);
    MarkDirty(false);
}

// UI thread.
void SpectrumControl::OnMouseDrag(float x, float y, float, float, const igraphics::IMouseMod&)
{
    if (dragIndex < 0)
        return;
    PushNotchCommand(feed, NotchCommandType::Set, dragIndex, FrequencyOfX(x), DbOfY(y), 0.0f);
    MarkDirty(false);
}

// UI thread.
void SpectrumControl::OnMouseDblClick(float x, float y, const igraphics::IMouseMod&)
{
    if (FindHandle(x, y) >= 0)
        return;
    PushNotchCommand(feed, NotchCommandType::Add, 0, FrequencyOfX(x), kDefaultNotchDepthDb, kDefaultNotchQ);
    MarkDirty(false);
}

// UI thread.
void SpectrumControl::OnMouseWheel(float, float, const igraphics::IMouseMod&, float d)
{
    const std::int32_t i = feed.selectedNotch.load();
    if (i < 0 || static_cast<std::size_t>(i) >= viewCopy.size())
        return;
    const float q = std::clamp(viewCopy[static_cast<std::size_t>(i)].q * (d > 0.0f ? 1.12f : 0.89f), 0.5f, 60.0f);
    PushNotchCommand(feed, NotchCommandType::SetWidth, i, q, 0.0f, 0.0f);
    MarkDirty(false);
}

namespace {

// The inputs of the responses' curve: the active notches' frequency, width and depth.
bool SameResponses(const std::vector<NotchView>& a, const std::vector<NotchView>& b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i].active != b[i].active ||
            (a[i].active != 0 &&
             (a[i].frequency != b[i].frequency || a[i].q != b[i].q || a[i].targetDepth != b[i].targetDepth)))
            return false;
    return true;
}

// Shows layer when it still holds what draw draws and the renderer can show it; otherwise draws
// again, into a new layer where the renderer makes one.
template <class Draw>
void DrawThroughLayer(igraphics::IGraphicsRenderer& g, const IRECT& rect, igraphics::ILayerPtr& layer, bool valid,
                      Draw draw)
{
    if (valid && layer && g.DrawLayer(*layer))
        return;
    layer.reset();
    if (g.StartLayer(rect))
    {
        draw();
        layer = g.EndLayer();
        if (layer && g.DrawLayer(*layer))
            return;
        layer.reset();
    }
    draw();
}

} // namespace

// UI thread: one locked copy, then drawing from the copies only. The background, grid and labels
// come from a layer made once per size, scale and sample rate; the responses' curve is computed
// again only when a notch changes.
void SpectrumControl::Draw(igraphics::IGraphicsRenderer& g)
{
    ReadEditorView(feed, spectrumCopy, binWidthHz, viewCopy);
    sampleRate = feed.sampleRate.load(std::memory_order_relaxed);
    const std::int32_t selected = feed.selectedNotch.load();

    const float top = TopFrequency();
    DrawThroughLayer(g, mRECT, gridLayer, gridRect == mRECT && gridTop == top, [&] { DrawGridAndLabels(g); });
    gridRect = mRECT;
    gridTop = top;
    DrawSpectrum(g);
    DrawResponse(g);
    DrawHandles(g, selected);
}

void SpectrumControl::DrawGridAndLabels(igraphics::IGraphicsRenderer& g) const
{
    const float L = mRECT.left;
    const float T = mRECT.top;
    const float pw = PlotWidth();
    const float ph = PlotHeight();
    const float top = TopFrequency();

    g.FillRect(kBackground, mRECT);

    for (float f : kGridFrequencies)
        if (f >= 20.0f && f <= top)
            g.DrawLine(kGrid, XOfFrequency(f), T, XOfFrequency(f), T + ph, nullptr, 1.0f);

    char text[32];
    for (int db : kGridDbs)
    {
        const float y = YOfDb(static_cast<float>(db));
        g.DrawLine(kGrid, L, y, L + pw, y, nullptr, 1.0f);
        std::snprintf(text, sizeof text, "%d", db);
        g.DrawText(kLabelText, text, IRECT(L + pw + 2.0f, y - 7.0f, mRECT.right, y + 7.0f));
    }

    const struct { float f; const char* text; } freqLabels[] = {{100, "100"}, {1000, "1k"}, {10000, "10k"}};
    for (const auto& label : freqLabels)
        if (top >= label.f)
        {
            const float x = XOfFrequency(label.f);
            g.DrawText(kLabelText, label.text, IRECT(x - 14.0f, T + ph + 1.0f, x + 16.0f, mRECT.bottom));
        }
}

void SpectrumControl::DrawSpectrum(igraphics::IGraphicsRenderer& g) const
{
    if (spectrumCopy.empty() || binWidthHz <= 0.0f)
        return;
    const float L = mRECT.left;
    const float T = mRECT.top;
    const float pw = PlotWidth();
    const float ph = PlotHeight();
    const float top = TopFrequency();
    const int columns = static_cast<int>(pw);

    float ref = 1e-9f;
    for (std::size_t k = 1; k < spectrumCopy.size(); ++k)
    {
        const float fk = static_cast<float>(k) * binWidthHz;
        if (fk >= 20.0f && fk <= top)
            ref = std::max(ref, spectrumCopy[k]);
    }
    const long last = static_cast<long>(spectrumCopy.size()) - 1;
    g.PathClear();
    for (int i = 0; i <= columns; ++i)
    {
        const float f = 20.0f * std::pow(top / 20.0f, static_cast<float>(i) / pw);
        const long k = std::clamp(std::lround(f / binWidthHz), 1L, std::max(last, 1L));
        const float value = k <= last ? spectrumCopy[static_cast<std::size_t>(k)] : 0.0f;
        const float db = std::max(20.0f * std::log10(std::max(value / ref, 1e-6f)), kBottomDb);
        const float x = L + static_cast<float>(i);
        if (i == 0)
            g.PathMoveTo(x, YOfDb(std::min(db, kTopDb)));
        else
            g.PathLineTo(x, YOfDb(std::min(db, kTopDb)));
    }
    g.PathStroke(kOutline, 1.5f, true);
    g.PathLineTo(L + pw, T + ph);
    g.PathLineTo(L, T + ph);
    g.PathClose();
    g.PathFill(kFill);
}

void SpectrumControl::DrawResponse(igraphics::IGraphicsRenderer& g)
{
    const float L = mRECT.left;
    const bool same = responseValid && responseRect == mRECT && responseRate == sampleRate &&
                      SameResponses(responseViews, viewCopy);
    if (!same)
    {
        responseValid = false; // until the points and what they were made from are all in

        const float pw = PlotWidth();
        const float top = TopFrequency();
        responseY.clear();
        for (int i = 0; i <= static_cast<int>(pw); ++i)
        {
            const float f = 20.0f * std::pow(top / 20.0f, static_cast<float>(i) / pw);
            float s = 0.0f;
            for (const NotchView& v : viewCopy)
                if (v.active != 0)
                    s += NotchResponseDb(f, v.frequency, v.q, v.targetDepth, sampleRate);
            s = std::max(s, kBottomDb);
            responseY.push_back(YOfDb(std::min(s, kTopDb)));
        }
        responseRect = mRECT;
        responseRate = sampleRate;
        responseViews = viewCopy;
        responseValid = true;
    }
    DrawThroughLayer(g, mRECT, responseLayer, same, [&] {
        g.PathClear();
        for (std::size_t i = 0; i < responseY.size(); ++i)
        {
            const float x = L + static_cast<float>(i);
            if (i == 0)
                g.PathMoveTo(x, responseY[i]);
            else
                g.PathLineTo(x, responseY[i]);
        }
        g.PathStroke(kResponse, 1.5f);
    });
}

void SpectrumControl::DrawHandles(igraphics::IGraphicsRenderer& g, std::int32_t selected) const
{
    for (std::size_t i = 0; i < viewCopy.size(); ++i)
    {
        const NotchView& v = viewCopy[i];
        if (v.active == 0)
            continue;
        const float cx = XOfFrequency(v.frequency);
        const float cy = YOfDb(v.targetDepth);
        g.FillCircle(v.manual != 0 ? kManualHandle : kAutoHandle, cx, cy, 5.0f);
        if (static_cast<std::int32_t>(i) == selected)
            g.DrawCircle(kRing, cx, cy, 7.0f, nullptr, 2.0f);
    }
}

} // namespace ringstill
