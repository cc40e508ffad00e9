// The RNNoise denoiser as the No-Noise stage uses it: create a state with the
// built-in model, denoise one 480-sample frame at 48 kHz in the 16-bit sample
// range, destroy. Each state is a module instance of its own with its own
// linear memory, so states on different threads share nothing mutable.
#pragma once

#include <cstddef>
#include <memory>

namespace ringstill {

// Samples per denoiser frame: 10 ms at the denoiser's own rate.
inline constexpr int kDenoiserFrameSize = 480;
inline constexpr int kDenoiserSampleRate = 48000;

struct DenoiserState;

// Host thread (allocates). Returns nullptr when the state cannot be created.
DenoiserState* CreateDenoiser();

// Audio thread: never allocates, never blocks. input and output hold
// kDenoiserFrameSize samples in the 16-bit range (and may be the same array).
// Returns false when the module trapped; the state then stays unusable and
// every later call returns false without touching output.
bool DenoiseFrame(DenoiserState* state, const float* input, float* output);

// Host thread. nullptr is ignored.
void DestroyDenoiser(DenoiserState* state);

struct DenoiserDeleter
{
    void operator()(DenoiserState* state) const { DestroyDenoiser(state); }
};
using DenoiserPtr = std::unique_ptr<DenoiserState, DenoiserDeleter>;

// Diagnostics: size of the state's linear memory, and how many times the
// module asked for more memory after creation (and was refused).
std::size_t DenoiserMemoryBytes(const DenoiserState* state);
unsigned DenoiserRefusedGrowth(const DenoiserState* state);

// Test hooks. BreakDenoiserForTesting makes the next frame call trap inside
// the module. While a DenoiserAllocationFailureForTesting lives, creating a
// state on this thread fails as if memory had run out.
void BreakDenoiserForTesting(DenoiserState* state);
class DenoiserAllocationFailureForTesting
{
public:
    DenoiserAllocationFailureForTesting();
    ~DenoiserAllocationFailureForTesting();
    DenoiserAllocationFailureForTesting(const DenoiserAllocationFailureForTesting&) = delete;
    DenoiserAllocationFailureForTesting& operator=(const DenoiserAllocationFailureForTesting&) = delete;
};

} // namespace ringstill
