// ChannelSlot: one input or output channel of the processor: whether the host
// connected it, the host's single-precision buffer while it delivers 32-bit samples,
// and the channel's own scratch of doubles (sized by the block capacity). Owned by
// the processor; the scratch is sized on the setup thread, everything else is
// touched on the audio thread.
#pragma once

#include <vector>

namespace iplug {

struct ChannelSlot
{
    bool connected = false;
    float* hostBuffer32 = nullptr;
    std::vector<double> scratch;
};

} // namespace iplug
