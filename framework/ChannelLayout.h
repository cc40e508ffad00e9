// ChannelLayout and BusSpec: the channel configurations a plug-in accepts, parsed
// from its configuration text ("1-1 2-2": mono in/out or stereo in/out), and the
// names of its buses. Pure data and functions; built once at construction and
// read-only afterwards, so any thread may read them.
#pragma once

#include <string>
#include <vector>

namespace iplug {

enum BusDirection : int
{
    kInput = 0,
    kOutput = 1,
};

// A bus written as "*" takes any number of channels.
inline constexpr int kAnyChannelCount = -64;

struct BusSpec
{
    BusDirection direction = kInput;
    int channelCount = 0; // positive, or kAnyChannelCount
};

struct ChannelLayout
{
    std::vector<BusSpec> inputBuses;
    std::vector<BusSpec> outputBuses;
};

// Largest totals over all layouts, never below 0 ("*" buses count as -64 in a total).
struct ChannelLayoutMaxima
{
    int inputChannels = 0;
    int outputChannels = 0;
    int inputBuses = 0;
    int outputBuses = 0;
};

// Pieces are separated by spaces; "in-out", each side "count.count..." per bus. A
// count of 0 declares no bus; a piece without "-" declares no output buses.
// Returns the number of layouts.
int ParseChannelLayouts(const char* text, std::vector<ChannelLayout>& layouts, ChannelLayoutMaxima& maxima);

// "Input", "Main"/"Aux", "Input %i"; "Output", "Output %i" (0-based index).
// Writes at most 31 characters and a terminator into name (32 bytes).
void BusName(BusDirection direction, int busIndex, int busCount, char (&name)[32]);
std::string BusName(BusDirection direction, int busIndex, int busCount);

} // namespace iplug
