// The closed loop: mic = source + room * loudspeaker, loudspeaker = saturate(gain * processor(mic)).
// Runs block by block with a block no longer than the room's direct-path delay, so the room's
// output for a block depends only on earlier loudspeaker samples. Worker threads: one loop per
// thread, the room's convolver and the processor its own.
#pragma once

#include "tools/ringstill-loop/Processor.h"
#include "tools/ringstill-loop/Rooms.h"

#include <functional>
#include <string>
#include <vector>

namespace ringstill::loop {

// Loudspeaker's clip level above the programme's level at MSG gain: a howl tops out about here.
inline constexpr double kHeadroomDb = 30.0;
// Microphone self-noise and room noise against the programme: no input is ever digitally silent.
inline constexpr double kAmbientDb = -50.0;

struct LoopSetup
{
    const RoomResponse* room = nullptr;
    double sampleRate = 48000.0;
    int block = 64;
    bool feedback = true;  // false: open loop, the processor alone on the programme
    double gainDb = 0.0;   // broadband loop gain (the room path carries the rest)
    double msgDb = 0.0;    // the room's MSG, which sets the loudspeaker's clip level
};

struct LoopTrace
{
    std::vector<float> mic;      // the processor's input
    std::vector<float> out;      // the processor's output
    std::vector<float> returned; // the room's return into the microphone (mic minus the dry input)
    std::vector<double> dry;     // programme plus ambient noise: what the mic hears without the loop
    int latency = 0;             // the processor's reported latency at the end
};

// Called now and then with the samples done; returning false stops the run early (the trace then
// ends there).
using LoopWatcher = std::function<bool(const LoopTrace& trace, std::size_t done)>;

// dry: the microphone's input without the loop (DryInput), repeated if shorter than samples.
bool RunLoop(const LoopSetup& setup, const std::vector<double>& dry, std::size_t samples, Processor& processor,
             LoopTrace& trace, std::string& error, const LoopWatcher& watcher = {});

// The dry input for a programme: the programme plus seeded ambient noise.
std::vector<double> DryInput(const std::vector<double>& programme, std::size_t samples, double sampleRate);

} // namespace ringstill::loop
