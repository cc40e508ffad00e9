// LatencyDelay: the delay line the host bypass runs through, so that bypassed audio
// stays aligned with the latency the plug-in reported. Owned by the processor.
// Construction and Reserve run on the setup thread and may allocate; SetLength and
// Process run on the audio thread and allocate nothing as long as the length stays
// within what was reserved.
#pragma once

#include <vector>

namespace iplug {

class LatencyDelay
{
public:
    LatencyDelay(int nInputs, int nOutputs, int length);

    // Setup thread. Makes room for lengths up to maxLength; false when out of memory.
    bool Reserve(int maxLength);
    // Audio or setup thread. Empties the line at a new length (the write position
    // restarts at 0). Allocation-free up to the reserved length; beyond it the
    // buffer has to grow.
    void SetLength(int length);

    // Audio thread. out[j] = in[j] delayed by Length() for every channel present on
    // both sides; outputs without an input are silenced. in and out may be the same
    // buffers. Null channel pointers are skipped.
    void Process(double* const* inputs, double* const* outputs, int nFrames);

    int Length() const { return length; }
    int ReservedLength() const;
    int NInputs() const { return nInputs; }
    int NOutputs() const { return nOutputs; }

private:
    int nInputs;
    int nOutputs;
    int length = 0;
    int writePos = 0;
    std::vector<double> buffer; // Length() samples per input channel
};

} // namespace iplug
