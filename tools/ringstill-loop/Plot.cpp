#include "tools/ringstill-loop/Plot.h"

#include <cairo.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace ringstill::loop {
namespace {

constexpr int kWidth = 1400;
constexpr int kLeft = 70;
constexpr int kRight = 150;
constexpr int kTitleHeight = 24;
constexpr int kLevelHeight = 100;
constexpr int kNotchHeight = 200;
constexpr int kRowGap = 30;
constexpr int kHeader = 70;
constexpr double kLowHz = 40.0;
constexpr double kHighHz = 20000.0;
constexpr double kLevelTop = 0.0;
constexpr double kLevelBottom = -80.0;
constexpr double kDeepestDb = -30.0;

struct Row
{
    std::string title;
    std::string note;
    const PlotTrace* trace;
    double seconds;
    double onset = -1.0;
    double caught = -1.0;
};

// Depth to colour: pale yellow at a 6 dB dip through orange to deep red at 30 dB and more.
void DepthColour(cairo_t* cr, double depthDb)
{
    const double t = std::clamp((-depthDb - 6.0) / (-kDeepestDb - 6.0), 0.0, 1.0);
    cairo_set_source_rgb(cr, 1.0 - 0.45 * t, 0.9 - 0.85 * t, 0.45 - 0.4 * t);
}

void Text(cairo_t* cr, double x, double y, const std::string& text, double size, bool bold = false)
{
    cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, size);
    cairo_move_to(cr, x, y);
    cairo_show_text(cr, text.c_str());
}

void TextRight(cairo_t* cr, double x, double y, const std::string& text, double size)
{
    cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, size);
    cairo_text_extents_t e;
    cairo_text_extents(cr, text.c_str(), &e);
    cairo_move_to(cr, x - e.x_advance, y);
    cairo_show_text(cr, text.c_str());
}

double FrequencyY(double hz, double top, double height)
{
    const double t = std::log(std::clamp(hz, kLowHz, kHighHz) / kLowHz) / std::log(kHighHz / kLowHz);
    return top + height * (1.0 - t);
}

void DrawTimeGrid(cairo_t* cr, double seconds, double top, double height, double plotWidth, bool labels)
{
    const double step = seconds > 40 ? 10.0 : 5.0;
    cairo_set_line_width(cr, 1.0);
    for (double t = 0; t <= seconds + 1e-9; t += step)
    {
        const double x = kLeft + plotWidth * t / seconds;
        cairo_set_source_rgb(cr, 0.88, 0.88, 0.88);
        cairo_move_to(cr, x + 0.5, top);
        cairo_line_to(cr, x + 0.5, top + height);
        cairo_stroke(cr);
        if (labels)
        {
            char text[16];
            std::snprintf(text, sizeof text, "%.0f s", t);
            cairo_set_source_rgb(cr, 0.3, 0.3, 0.3);
            Text(cr, x - 8, top + height + 14, text, 11);
        }
    }
}

void DrawLevels(cairo_t* cr, const Row& row, double top, double plotWidth)
{
    DrawTimeGrid(cr, row.seconds, top, kLevelHeight, plotWidth, false);
    for (double db = kLevelBottom; db <= kLevelTop; db += 20.0)
    {
        const double y = top + kLevelHeight * (kLevelTop - db) / (kLevelTop - kLevelBottom);
        cairo_set_source_rgb(cr, 0.88, 0.88, 0.88);
        cairo_move_to(cr, kLeft, y + 0.5);
        cairo_line_to(cr, kLeft + plotWidth, y + 0.5);
        cairo_stroke(cr);
        if (db <= kLevelBottom)
            continue; // the panel below labels that edge
        char text[16];
        std::snprintf(text, sizeof text, "%.0f", db);
        cairo_set_source_rgb(cr, 0.3, 0.3, 0.3);
        TextRight(cr, kLeft - 6, y + 4, text, 11);
    }
    auto line = [&](const std::vector<float>& db, double r, double g, double b, double width) {
        cairo_set_source_rgb(cr, r, g, b);
        cairo_set_line_width(cr, width);
        for (std::size_t i = 0; i < db.size(); ++i)
        {
            const double x = kLeft + plotWidth * (double(i) + 0.5) * row.trace->stepSeconds / row.seconds;
            const double v = std::clamp(double(db[i]), kLevelBottom, kLevelTop);
            const double y = top + kLevelHeight * (kLevelTop - v) / (kLevelTop - kLevelBottom);
            i == 0 ? cairo_move_to(cr, x, y) : cairo_line_to(cr, x, y);
        }
        cairo_stroke(cr);
    };
    line(row.trace->dryDb, 0.65, 0.65, 0.65, 1.0);
    line(row.trace->micDb, 0.1, 0.25, 0.7, 1.3);
    auto marker = [&](double t, double r, double g, double b) {
        if (t < 0)
            return;
        const double x = kLeft + plotWidth * t / row.seconds;
        cairo_set_source_rgb(cr, r, g, b);
        cairo_set_line_width(cr, 1.5);
        cairo_move_to(cr, x, top);
        cairo_line_to(cr, x, top + kLevelHeight + kNotchHeight + 4);
        cairo_stroke(cr);
    };
    marker(row.onset, 0.9, 0.45, 0.0);
    marker(row.caught, 0.1, 0.6, 0.2);
    cairo_set_source_rgb(cr, 0.3, 0.3, 0.3);
    Text(cr, kLeft + plotWidth + 10, top + 14, "dBFS", 11);
}

void DrawNotches(cairo_t* cr, const Row& row, double top, double plotWidth)
{
    DrawTimeGrid(cr, row.seconds, top, kNotchHeight, plotWidth, true);
    for (double hz : {50.0, 100.0, 200.0, 500.0, 1000.0, 2000.0, 5000.0, 10000.0, 20000.0})
    {
        const double y = FrequencyY(hz, top, kNotchHeight);
        cairo_set_source_rgb(cr, 0.9, 0.9, 0.9);
        cairo_move_to(cr, kLeft, y + 0.5);
        cairo_line_to(cr, kLeft + plotWidth, y + 0.5);
        cairo_stroke(cr);
        char text[16];
        std::snprintf(text, sizeof text, hz >= 1000 ? "%.0fk" : "%.0f", hz >= 1000 ? hz / 1000 : hz);
        cairo_set_source_rgb(cr, 0.3, 0.3, 0.3);
        TextRight(cr, kLeft - 6, y + 4, text, 11);
    }
    const std::vector<NotchFrame>& frames = row.trace->notches;
    const double frameStep = frames.size() > 1 ? frames[1].timeSeconds - frames[0].timeSeconds : 0.05;
    const double w = std::max(1.5, plotWidth * frameStep / row.seconds);
    // Each notch's centre, frame by frame: shallow first, so the deep ones stay on top.
    std::vector<std::pair<double, NotchCell>> marks;
    for (const NotchFrame& f : frames)
        for (const NotchCell& c : FrameDips(f))
            marks.push_back({f.timeSeconds, c});
    std::stable_sort(marks.begin(), marks.end(),
                     [](const auto& a, const auto& b) { return a.second.depthDb > b.second.depthDb; });
    for (const auto& [time, c] : marks)
    {
        const double x = kLeft + plotWidth * (time - frameStep / 2) / row.seconds;
        const double y = FrequencyY(c.frequencyHz, top, kNotchHeight);
        DepthColour(cr, c.depthDb);
        cairo_rectangle(cr, x, y - 1.5, w, 3.0);
        cairo_fill(cr);
    }
    cairo_set_source_rgb(cr, 0.3, 0.3, 0.3);
    Text(cr, kLeft + plotWidth + 10, top + 14, "Hz", 11);
}

void DrawLegend(cairo_t* cr, double x, double y)
{
    cairo_set_source_rgb(cr, 0.1, 0.25, 0.7);
    cairo_rectangle(cr, x, y - 5, 22, 3);
    cairo_fill(cr);
    cairo_set_source_rgb(cr, 0.2, 0.2, 0.2);
    Text(cr, x + 28, y, "loop level at the mic", 12);
    cairo_set_source_rgb(cr, 0.65, 0.65, 0.65);
    cairo_rectangle(cr, x + 180, y - 5, 22, 3);
    cairo_fill(cr);
    cairo_set_source_rgb(cr, 0.2, 0.2, 0.2);
    Text(cr, x + 208, y, "programme alone", 12);
    cairo_set_source_rgb(cr, 0.9, 0.45, 0.0);
    cairo_rectangle(cr, x + 340, y - 9, 2, 12);
    cairo_fill(cr);
    cairo_set_source_rgb(cr, 0.2, 0.2, 0.2);
    Text(cr, x + 348, y, "howl onset", 12);
    cairo_set_source_rgb(cr, 0.1, 0.6, 0.2);
    cairo_rectangle(cr, x + 440, y - 9, 2, 12);
    cairo_fill(cr);
    cairo_set_source_rgb(cr, 0.2, 0.2, 0.2);
    Text(cr, x + 448, y, "caught (20 dB down)", 12);
    Text(cr, x + 610, y, "notch depth:", 12);
    for (int i = 0; i <= 24; ++i)
    {
        DepthColour(cr, -6.0 - i);
        cairo_rectangle(cr, x + 690 + i * 5, y - 10, 5, 12);
        cairo_fill(cr);
    }
    cairo_set_source_rgb(cr, 0.2, 0.2, 0.2);
    Text(cr, x + 690 + 25 * 5 + 6, y, "-6 to -30 dB (centre of each dip in the plug-in's transfer)", 12);
}

std::vector<Row> Rows(const BenchResults& results)
{
    std::vector<Row> rows;
    for (const LoopResult& r : results.loops)
    {
        if (!r.haveCatch)
            continue;
        const BenchCase& c = results.cases[r.caseIndex];
        Row row;
        row.trace = &r.catchTrace;
        row.seconds = r.catchTrace.micDb.size() * r.catchTrace.stepSeconds;
        char gain[48];
        std::snprintf(gain, sizeof gain, ", loop gain MSG %+g dB", results.catchOverMsgDb);
        row.title = c.label + ", " + r.programme + gain;
        const CatchResult& k = r.catchResult;
        char note[160];
        if (!k.howled)
            std::snprintf(note, sizeof note, "no howl");
        else if (!k.caught)
            std::snprintf(note, sizeof note, "howl at %.0f Hz from %.2f s, never caught", k.frequencyHz, k.onsetSeconds);
        else
            std::snprintf(note, sizeof note, "howl at %.0f Hz, caught in %.3f s; then %d howls in %.0f s (%.1f a minute)",
                          k.frequencyHz, k.catchSeconds, k.recurrences, k.windowSeconds, k.recurrencesPerMinute);
        row.note = note;
        if (k.howled)
            row.onset = k.onsetSeconds;
        if (k.caught)
            row.caught = k.onsetSeconds + k.catchSeconds;
        rows.push_back(row);
    }
    for (const OpenResult& o : results.open)
    {
        Row row;
        row.trace = &o.trace;
        row.seconds = o.trace.micDb.size() * o.trace.stepSeconds;
        row.title = o.programme + "@" + std::to_string(int(o.sampleRate)) + ", open loop (no feedback)";
        char note[160];
        std::snprintf(note, sizeof note, "%d notches (%.1f a minute), broadband %+.1f dB, worst third octave %+.1f dB at %.0f Hz",
                      o.notches.placed, o.notches.perMinute, o.colouration.broadbandDb, o.colouration.worstThirdOctaveDb,
                      o.colouration.worstBandHz);
        row.note = note;
        rows.push_back(row);
    }
    return rows;
}

} // namespace

bool WritePlot(const BenchResults& results, const RunInfo& info, const std::string& path, std::string& error)
{
    const std::vector<Row> rows = Rows(results);
    if (rows.empty())
    {
        error = "nothing to plot: --plot draws the catch and open-loop runs";
        return false;
    }
    const int rowHeight = kTitleHeight + kLevelHeight + 6 + kNotchHeight + kRowGap;
    const int height = kHeader + int(rows.size()) * rowHeight;
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, kWidth, height);
    cairo_t* cr = cairo_create(surface);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    cairo_set_source_rgb(cr, 0.1, 0.1, 0.1);
    Text(cr, kLeft, 24, "Ringstill closed-loop bench: " + info.subject, 16, true);
    Text(cr, kLeft, 44, info.date + ", " + info.machine, 12);
    DrawLegend(cr, kLeft, 64);
    const double plotWidth = kWidth - kLeft - kRight;
    double top = kHeader;
    for (const Row& row : rows)
    {
        cairo_set_source_rgb(cr, 0.1, 0.1, 0.1);
        Text(cr, kLeft, top + 16, row.title, 13, true);
        cairo_set_source_rgb(cr, 0.25, 0.25, 0.25);
        cairo_text_extents_t e;
        cairo_text_extents(cr, row.title.c_str(), &e);
        Text(cr, kLeft + e.x_advance + 40, top + 16, row.note, 12);
        const double levelTop = top + kTitleHeight;
        DrawLevels(cr, row, levelTop, plotWidth);
        DrawNotches(cr, row, levelTop + kLevelHeight + 6, plotWidth);
        top += rowHeight;
    }
    cairo_destroy(cr);
    const std::string temporary = path + ".partial-" + std::to_string(long(getpid()));
    const cairo_status_t status = cairo_surface_write_to_png(surface, temporary.c_str());
    cairo_surface_destroy(surface);
    if (status != CAIRO_STATUS_SUCCESS || std::rename(temporary.c_str(), path.c_str()) != 0)
    {
        std::remove(temporary.c_str());
        error = "cannot write the plot '" + path + "'";
        return false;
    }
    return true;
}

} // namespace ringstill::loop
