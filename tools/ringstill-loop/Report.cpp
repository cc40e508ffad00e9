#include "tools/ringstill-loop/Report.h"

#include "tools/ringstill-render/AudioFiles.h"

#include <cmath>
#include <sstream>

namespace ringstill::loop {
namespace {

std::string Limit(const StableLimit& l)
{
    char text[32];
    std::snprintf(text, sizeof text, "%s%+.2f", l.bounded ? "" : (l.overMsgDb > 0 ? ">=" : "<="), l.overMsgDb);
    return text;
}

std::string CatchText(const LoopResult& r)
{
    const CatchResult& c = r.catchResult;
    char text[160];
    if (!c.howled)
        std::snprintf(text, sizeof text, "%-8s %6s %7s %7s %9s %8s", "no howl", "", "", "", "", "");
    else if (!c.caught)
        std::snprintf(text, sizeof text, "%8.0f %6.1f %7.2f %7s %9s %8s", c.frequencyHz, c.peakProminenceDb,
                      c.onsetSeconds, "never", "", "");
    else
        std::snprintf(text, sizeof text, "%8.0f %6.1f %7.2f %7.3f %9.1f %8.1f %8s", c.frequencyHz, c.peakProminenceDb,
                      c.onsetSeconds, c.catchSeconds, c.recurrencesPerMinute, c.howlingSeconds,
                      c.howlingSeconds > 0 ? std::to_string(int(std::lround(c.lastHowlHz))).c_str() : "-");
    return text;
}

std::string Escape(const std::string& s)
{
    std::string out;
    for (char c : s)
    {
        if (c == '"' || c == '\\')
            out += '\\';
        if (static_cast<unsigned char>(c) >= 0x20)
            out += c;
    }
    return out;
}

std::string Number(double v)
{
    if (!std::isfinite(v))
        return "null";
    char text[32];
    std::snprintf(text, sizeof text, "%.4g", v);
    return text;
}

void JsonLimit(std::ostringstream& j, const char* name, const StableLimit& l)
{
    j << "\"" << name << "\": {\"limit_db\": " << Number(l.overMsgDb) << ", \"bounded\": " << (l.bounded ? "true" : "false")
      << ", \"steps\": [";
    for (std::size_t i = 0; i < l.steps.size(); ++i)
        j << (i ? ", " : "") << "{\"over_msg_db\": " << Number(l.steps[i].overMsgDb)
          << ", \"stable\": " << (l.steps[i].stable ? "true" : "false")
          << ", \"max_prominence_db\": " << Number(l.steps[i].maxProminenceDb)
          << (l.steps[i].stable ? "" : ", \"howl_s\": " + Number(l.steps[i].howlSeconds)
                                           + ", \"howl_hz\": " + Number(l.steps[i].howlHz))
          << "}";
    j << "]}";
}

} // namespace

void PrintTable(const BenchResults& results, const RunInfo& info, std::FILE* out)
{
    std::fprintf(out, "Ringstill closed-loop bench: %s\n", info.subject.c_str());
    std::fprintf(out, "  %s, %s, %.0f s wall time\n", info.date.c_str(), info.machine.c_str(), results.wallSeconds);
    std::fprintf(out, "\nRooms (MSG: the broadband loop gain at which the loop first reaches unity at a phase crossing)\n");
    std::fprintf(out, "  %-14s %6s %8s %6s %6s %8s %8s  %s\n", "room", "rate", "delay ms", "RT60 s", "DRR dB", "MSG dB",
                 "at Hz", "what");
    for (const BenchCase& c : results.cases)
    {
        char rt[16] = "-", drr[16] = "-";
        if (c.room.file.empty())
        {
            std::snprintf(rt, sizeof rt, "%.2f", c.room.rt60Seconds);
            std::snprintf(drr, sizeof drr, "%.1f", c.room.drrDb);
        }
        std::fprintf(out, "  %-14s %6.0f %8.2f %6s %6s %8.2f %8.1f  %s\n", c.label.c_str(), c.sampleRate,
                     1000.0 * c.response.delaySamples / c.sampleRate, rt, drr, c.msg.msgDb, c.msg.frequencyHz,
                     c.room.what.c_str());
    }
    std::fprintf(out, "\nClosed loop: stable limits in dB over MSG, ASG = plug-in limit - pass-through limit, rung = ASG judged after\n"
                      "  %g s at the gain (a ring-out). Catch run at MSG %+g dB:\n"
                      "  the first howl, how far it stood out of the programme (peak dB), its onset, the time from onset until\n"
                      "  its return fell 20 dB, then howls a minute after that catch, seconds spent howling and where.\n",
                 results.ringOutSeconds, results.catchOverMsgDb);
    std::fprintf(out, "  %-14s %-7s %8s %8s %6s %6s | %8s %6s %7s %7s %9s %8s %8s\n", "room", "prog", "pass", "plug-in",
                 "ASG", "rung", "howl Hz", "peak", "onset s", "catch s", "recur/min", "howl s", "then Hz");
    for (const LoopResult& r : results.loops)
    {
        const BenchCase& c = results.cases[r.caseIndex];
        char stable[64] = "";
        if (r.haveStable)
            std::snprintf(stable, sizeof stable, "%8s %8s %+6.2f", Limit(r.passThrough).c_str(), Limit(r.plugin).c_str(),
                          r.addedStableGainDb);
        else
            std::snprintf(stable, sizeof stable, "%8s %8s %6s", "-", "-", "-");
        char rung[16] = "     -";
        if (r.haveRingOut)
            std::snprintf(rung, sizeof rung, "%+6.2f", r.rungStableGainDb);
        std::fprintf(out, "  %-14s %-7s %s %s | %s\n", c.label.c_str(), r.programme.c_str(), stable, rung,
                     r.haveCatch ? CatchText(r).c_str() : "-");
    }
    if (!results.open.empty())
    {
        std::fprintf(out, "\nOpen loop (no feedback): automatic notches seen in the plug-in's transfer, and its colouration\n");
        std::fprintf(out, "  %-7s %6s %7s %11s %9s %7s %9s %12s %12s\n", "prog", "rate", "notches", "notches/min",
                     ">0.5s/min", "mean s", "longest s", "broadband dB", "worst 1/3 oct");
        for (const OpenResult& o : results.open)
        {
            char where[32] = "";
            if (o.colouration.worstBandHz > 0)
                std::snprintf(where, sizeof where, " @ %.0f Hz", o.colouration.worstBandHz);
            std::fprintf(out, "  %-7s %6.0f %7d %11.1f %9.1f %7.2f %9.2f %12.2f %+7.2f dB%s\n", o.programme.c_str(),
                         o.sampleRate, o.notches.placed, o.notches.perMinute, o.notches.overHalfSecondPerMinute,
                         o.notches.meanSeconds,
                         o.notches.longestSeconds, o.colouration.broadbandDb, o.colouration.worstThirdOctaveDb, where);
        }
    }
}

bool WriteJson(const BenchResults& results, const RunInfo& info, const std::string& path, std::string& error)
{
    std::ostringstream j;
    j << "{\n  \"subject\": \"" << Escape(info.subject) << "\",\n  \"plugin\": \"" << Escape(info.plugin)
      << "\",\n  \"date\": \"" << Escape(info.date) << "\",\n  \"machine\": \"" << Escape(info.machine)
      << "\",\n  \"wall_seconds\": " << Number(results.wallSeconds)
      << ",\n  \"catch_over_msg_db\": " << Number(results.catchOverMsgDb) << ",\n  \"rooms\": [";
    for (std::size_t i = 0; i < results.cases.size(); ++i)
    {
        const BenchCase& c = results.cases[i];
        j << (i ? "," : "") << "\n    {\"room\": \"" << Escape(c.label) << "\", \"sample_rate\": " << Number(c.sampleRate)
          << ", \"delay_ms\": " << Number(1000.0 * c.response.delaySamples / c.sampleRate)
          << ", \"rt60_s\": " << (c.room.file.empty() ? Number(c.room.rt60Seconds) : "null")
          << ", \"drr_db\": " << (c.room.file.empty() ? Number(c.room.drrDb) : "null")
          << ", \"msg_db\": " << Number(c.msg.msgDb) << ", \"msg_hz\": " << Number(c.msg.frequencyHz) << "}";
    }
    j << "\n  ],\n  \"closed_loop\": [";
    for (std::size_t i = 0; i < results.loops.size(); ++i)
    {
        const LoopResult& r = results.loops[i];
        j << (i ? "," : "") << "\n    {\"room\": \"" << Escape(results.cases[r.caseIndex].label) << "\", \"programme\": \""
          << r.programme << "\"";
        if (r.haveStable)
        {
            j << ", \"added_stable_gain_db\": " << Number(r.addedStableGainDb) << ", ";
            JsonLimit(j, "pass_through", r.passThrough);
            j << ", ";
            JsonLimit(j, "plugin", r.plugin);
        }
        if (r.haveRingOut)
        {
            j << ", \"ring_out_s\": " << Number(results.ringOutSeconds)
              << ", \"rung_stable_gain_db\": " << Number(r.rungStableGainDb) << ", ";
            JsonLimit(j, "pass_through_rung", r.passThroughRung);
            j << ", ";
            JsonLimit(j, "plugin_rung", r.pluginRung);
        }
        if (r.haveCatch)
        {
            const CatchResult& c = r.catchResult;
            j << ", \"catch\": {\"howled\": " << (c.howled ? "true" : "false") << ", \"onset_s\": " << Number(c.onsetSeconds)
              << ", \"frequency_hz\": " << Number(c.frequencyHz) << ", \"peak_prominence_db\": " << Number(c.peakProminenceDb)
              << ", \"caught\": " << (c.caught ? "true" : "false") << ", \"catch_s\": " << (c.caught ? Number(c.catchSeconds) : "null")
              << ", \"window_s\": " << Number(c.windowSeconds) << ", \"recurrences\": " << c.recurrences
              << ", \"recurrences_per_min\": " << (c.caught ? Number(c.recurrencesPerMinute) : "null")
              << ", \"howling_s\": " << Number(c.howlingSeconds)
              << ", \"window_loudest_howl_hz\": " << (c.howlingSeconds > 0 ? Number(c.lastHowlHz) : "null") << "}";
        }
        j << "}";
    }
    j << "\n  ],\n  \"open_loop\": [";
    for (std::size_t i = 0; i < results.open.size(); ++i)
    {
        const OpenResult& o = results.open[i];
        j << (i ? "," : "") << "\n    {\"programme\": \"" << o.programme << "\", \"sample_rate\": " << Number(o.sampleRate)
          << ", \"seconds\": " << Number(o.seconds) << ", \"notches\": " << o.notches.placed
          << ", \"notches_per_min\": " << Number(o.notches.perMinute)
          << ", \"notches_over_half_s_per_min\": " << Number(o.notches.overHalfSecondPerMinute)
          << ", \"mean_notch_s\": " << Number(o.notches.meanSeconds)
          << ", \"longest_notch_s\": " << Number(o.notches.longestSeconds)
          << ", \"broadband_db\": " << Number(o.colouration.broadbandDb)
          << ", \"worst_third_octave_db\": " << Number(o.colouration.worstThirdOctaveDb)
          << ", \"worst_third_octave_hz\": " << Number(o.colouration.worstBandHz) << "}";
    }
    j << "\n  ]\n}\n";
    const std::string text = j.str();
    return render::WriteFileAtomically(path, reinterpret_cast<const std::uint8_t*>(text.data()), text.size(), error);
}

} // namespace ringstill::loop
