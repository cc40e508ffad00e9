#include "framework/ChannelLayout.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <string_view>

namespace iplug {

namespace {

// One bus count: "*" is any, otherwise the leading decimal integer; garbage,
// overflow and negative counts read as 0 and so declare no bus.
int ReadBusCount(std::string_view piece)
{
    if (piece == "*")
        return kAnyChannelCount;
    std::size_t i = 0;
    while (i < piece.size() && (piece[i] == ' ' || piece[i] == '\t'))
        ++i;
    if (i < piece.size() && piece[i] == '+')
        ++i;
    int count = 0;
    const auto result = std::from_chars(piece.data() + i, piece.data() + piece.size(), count);
    if (result.ec != std::errc() || count < 0)
        return 0;
    return count;
}

void ParseSide(std::string_view side, BusDirection direction, std::vector<BusSpec>& buses, int& channelTotal)
{
    channelTotal = 0;
    if (side.empty())
        return;
    std::size_t start = 0;
    for (;;)
    {
        const std::size_t dot = side.find('.', start);
        const std::string_view piece = side.substr(start, dot == std::string_view::npos ? dot : dot - start);
        const int count = ReadBusCount(piece);
        if (count != 0)
        {
            buses.push_back(BusSpec{direction, count});
            channelTotal += count;
        }
        if (dot == std::string_view::npos)
            break;
        start = dot + 1;
    }
}

} // namespace

int ParseChannelLayouts(const char* text, std::vector<ChannelLayout>& layouts, ChannelLayoutMaxima& maxima)
{
    layouts.clear();
    maxima = ChannelLayoutMaxima{};
    const std::string_view all(text ? text : "");
    std::size_t start = 0;
    while (start <= all.size())
    {
        std::size_t end = all.find(' ', start);
        if (end == std::string_view::npos)
            end = all.size();
        const std::string_view piece = all.substr(start, end - start);
        start = end + 1;
        if (piece.empty())
            continue; // doubled or trailing spaces

        ChannelLayout layout;
        const std::size_t dash = piece.find('-');
        int inputChannels = 0;
        int outputChannels = 0;
        ParseSide(piece.substr(0, dash), kInput, layout.inputBuses, inputChannels);
        if (dash != std::string_view::npos)
            ParseSide(piece.substr(dash + 1), kOutput, layout.outputBuses, outputChannels);

        const int inputBuses = int(layout.inputBuses.size());
        const int outputBuses = int(layout.outputBuses.size());
        maxima.inputChannels = std::max(maxima.inputChannels, inputChannels);
        maxima.outputChannels = std::max(maxima.outputChannels, outputChannels);
        maxima.inputBuses = std::max(maxima.inputBuses, inputBuses);
        maxima.outputBuses = std::max(maxima.outputBuses, outputBuses);
        layouts.push_back(std::move(layout));
    }
    return int(layouts.size());
}

void BusName(BusDirection direction, int busIndex, int busCount, char (&name)[32])
{
    if (direction == kInput)
    {
        if (busCount == 1)
            std::snprintf(name, sizeof name, "%s", "Input");
        else if (busCount == 2)
            std::snprintf(name, sizeof name, "%s", busIndex == 0 ? "Main" : "Aux");
        else
            std::snprintf(name, sizeof name, "Input %i", busIndex);
    }
    else
    {
        if (busCount == 1)
            std::snprintf(name, sizeof name, "%s", "Output");
        else
            std::snprintf(name, sizeof name, "Output %i", busIndex);
    }
}

std::string BusName(BusDirection direction, int busIndex, int busCount)
{
    char name[32];
    BusName(direction, busIndex, busCount, name);
    return name;
}

} // namespace iplug
