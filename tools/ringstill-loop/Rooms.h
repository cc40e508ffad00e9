// The acoustic path from loudspeaker to microphone: synthetic, seeded room responses described by
// reverberation time, direct-path delay and direct-to-reverberant ratio, shaped by the band limits of
// real transducers; or a measured response read from a file. Scaled so the direct path has the
// amplitude 1 / distance (metres), which puts the maximum stable gain in familiar terms.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ringstill::loop {

struct RoomSpec
{
    std::string name;
    std::string what;
    double rt60Seconds = 0.5;   // at mid frequencies; lows ring 20 % longer, highs 40 % shorter
    double distanceMetres = 1.0;
    double latencyMs = 0.5;     // converters and console, added to the acoustic delay
    double drrDb = 0.0;         // direct to everything after it
    double lowCutHz = 80.0;     // loudspeaker's low roll-off (the microphone's is at 60 Hz)
    double highCutHz = 16000.0; // loudspeaker's high roll-off (the microphone's is at 18 kHz)
    std::uint32_t seed = 1;
    std::string file;           // a measured response instead of the synthetic one
};

struct RoomResponse
{
    std::vector<double> taps;
    int delaySamples = 0;     // first non-zero tap
    double droppedDb = -300;  // energy dropped from before the loop's block (measured responses)
};

// The built-in rooms, from a monitor wedge to a reverberant hall.
const std::vector<RoomSpec>& BuiltInRooms();

RoomResponse MakeRoomResponse(const RoomSpec& room, double sampleRate);

// A measured response (any rate, first channel), resampled to sampleRate. Taps before the first
// block are zeroed (the loop cannot use them); their share of the energy is reported.
bool LoadRoomResponse(const std::string& path, double sampleRate, int block, RoomResponse& out, std::string& error);

struct MsgResult
{
    double msgDb = 0.0;      // the broadband gain at which the loop first reaches unity at a phase crossing
    double frequencyHz = 0.0;
};

// From the loop's response (the room path times a unity plug-in): the smallest of -20 log10 |H| over
// the frequencies where H's phase is a multiple of 2 pi.
MsgResult MaximumStableGain(const std::vector<double>& taps, double sampleRate);

} // namespace ringstill::loop
