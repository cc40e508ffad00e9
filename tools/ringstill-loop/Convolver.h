// The room's path from loudspeaker to microphone as a block-wise convolution that never needs the
// current block's input: the response's first `block` taps must be zero (the direct path's delay
// covers at least one block), so each block's output is ready before the loop computes that
// block's loudspeaker signal. Non-uniformly partitioned: short partitions near the start, longer
// ones further out (each 4 times the last), every partition convolved by overlap-save FFT.
#pragma once

#include "tools/ringstill-loop/Fft.h"

#include <memory>
#include <string>
#include <vector>

namespace ringstill::loop {

class Convolver
{
public:
    // False and a reason when the response has energy within its first `block` taps or block is
    // not a power of two.
    bool Prepare(const std::vector<double>& response, int block, std::string& error);

    // The next block of output (block samples), from the input pushed so far.
    void Next(double* out);
    // The input of the block whose output Next just gave.
    void Push(const double* in);

    int Block() const { return block; }

private:
    struct Level
    {
        int size = 0;                 // partition length P
        int firstPartition = 0;       // the level starts at tap P * firstPartition
        std::vector<std::vector<Complex>> filters; // P + 1 bins per partition
        std::vector<std::vector<Complex>> history; // input spectra, newest first, one per partition
        int newest = 0;
        std::unique_ptr<Fft> fft;
    };

    void RunLevel(Level& level);

    int block = 0;
    long time = 0;                 // samples pushed
    std::vector<Level> levels;
    std::vector<double> input;     // the last 2 * largest P input samples, oldest first
    std::vector<double> pending;   // output accumulated ahead, from `time` on
    std::vector<Complex> spectrum;
    std::vector<Complex> scratch;
    std::vector<double> segment;
};

// Plain direct-form convolution, outputs from..to-1 (for checks).
std::vector<double> ConvolveDirect(const std::vector<double>& x, const std::vector<double>& h, std::size_t from,
                                   std::size_t to);

} // namespace ringstill::loop
