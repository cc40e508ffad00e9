#include "editor/MeterControl.h"

#include "framework/IGraphicsRenderer.h"
#include "framework/IText.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace ringstill {

using igraphics::IColor;
using igraphics::IRECT;

namespace {

constexpr IColor kBarBackground{140, 0, 0, 0};
constexpr IColor kWhite{255, 255, 255, 255};
constexpr igraphics::IText kMeterText{11.f, kWhite, "Roboto-Regular"};

struct Segment
{
    float from;
    float to;
    IColor colour;
};
constexpr Segment kSegments[] = {
    {-60.0f, -6.0f, IColor(255, 60, 200, 60)},
    {-6.0f, 0.0f, IColor(255, 235, 235, 40)},
    {0.0f, 6.0f, IColor(255, 235, 40, 40)},
};

} // namespace

void FormatMeterValue(float db, char* out, int size)
{
    // Finite single-precision levels stay below 771 dB; only an infinite peak (or NaN) would
    // reach the int conversion out of range, which is undefined and printed garbage.
    if (!(db > -60.0f))
        std::snprintf(out, static_cast<std::size_t>(size), "-inf");
    else if (db >= 1.0e6f)
        std::snprintf(out, static_cast<std::size_t>(size), "inf");
    else
        std::snprintf(out, static_cast<std::size_t>(size), "%d", static_cast<int>(db));
}

MeterControl::MeterControl(const IRECT& bounds, EditorFeed& feed, bool isOutput, const char* label)
    : IControl(bounds), feed(feed), isOutput(isOutput), label(label)
{
}

IRECT MeterControl::BarRect() const
{
    return IRECT(mRECT.left + 3.0f, mRECT.top + 3.0f, mRECT.right - 3.0f, mRECT.bottom - 31.0f);
}

float MeterControl::YOfDb(float db) const
{
    const IRECT a = BarRect();
    const float c = std::clamp((db + 60.0f) / 66.0f, 0.0f, 1.0f);
    return a.bottom - c * (a.bottom - a.top);
}

float MeterControl::LevelDb() const
{
    const float level = isOutput ? feed.outputPeak.load(std::memory_order_relaxed)
                                 : feed.inputPeak.load(std::memory_order_relaxed);
    return level > 1e-6f ? 20.0f * std::log10(level) : -100.0f;
}

// UI thread.
void MeterControl::Draw(igraphics::IGraphicsRenderer& g)
{
    const float db = LevelDb();
    const IRECT a = BarRect();
    g.FillRoundRect(kBarBackground, a, 3.0f);
    for (const Segment& s : kSegments)
        if (db > s.from)
            g.FillRect(s.colour, IRECT(a.left, YOfDb(std::min(s.to, db)), a.right, YOfDb(s.from)));
    g.DrawLine(kWhite, a.left, YOfDb(0.0f), a.right, YOfDb(0.0f), nullptr, 1.0f);
    if (label != nullptr && label[0] != '\0')
        g.DrawText(kMeterText, label, IRECT(mRECT.left, mRECT.bottom - 28.0f, mRECT.right, mRECT.bottom - 14.0f));
    char text[32];
    FormatMeterValue(db, text, sizeof text);
    g.DrawText(kMeterText, text, IRECT(mRECT.left, mRECT.bottom - 14.0f, mRECT.right, mRECT.bottom));
}

} // namespace ringstill
