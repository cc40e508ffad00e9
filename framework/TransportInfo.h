// TransportInfo: the host's timing as of the last processed block. Owned by the
// processor; written and read on the audio thread. -1 marks what the host did not say.
#pragma once

namespace iplug {

struct TransportInfo
{
    double tempo = 120.0;
    double samplePosition = -1.0;
    double musicalPosition = -1.0; // quarter notes
    double lastBarPosition = -1.0;
    double cycleStart = -1.0;
    double cycleEnd = -1.0;
    int numerator = 4;
    int denominator = 4;
    bool running = false;
    bool cycleActive = false;
};

} // namespace iplug
