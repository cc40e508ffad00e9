#include "tools/ringstill-loop/Convolver.h"

#include <algorithm>
#include <cmath>

namespace ringstill::loop {
namespace {

// Longest partition: beyond this the FFTs get slower than the extra partitions they save.
constexpr int kMaxPartition = 8192;
constexpr int kGrowth = 4;

} // namespace

bool Convolver::Prepare(const std::vector<double>& response, int blockSize, std::string& error)
{
    if (!IsPowerOfTwo(blockSize))
    {
        error = "the loop's block must be a power of two";
        return false;
    }
    double head = 0.0;
    double total = 0.0;
    for (std::size_t i = 0; i < response.size(); ++i)
    {
        total += response[i] * response[i];
        if (i < std::size_t(blockSize))
            head += response[i] * response[i];
    }
    if (head > 1e-12 * total)
    {
        error = "the response has energy within its first " + std::to_string(blockSize)
                + " samples, inside the loop's block";
        return false;
    }
    block = blockSize;
    time = 0;
    levels.clear();
    const long length = long(response.size());
    int size = block;
    long start = block; // each level starts one partition in: its first partition is never needed sooner
    while (start < length || levels.empty())
    {
        const bool last = size * kGrowth > kMaxPartition || long(size) * kGrowth >= length;
        const long end = last ? std::max(start + size, (length + size - 1) / size * size) : long(size) * kGrowth;
        Level level;
        level.size = size;
        level.firstPartition = int(start / size);
        level.fft = std::make_unique<Fft>(2 * size);
        std::vector<double> taps(static_cast<std::size_t>(2 * size));
        scratch.assign(std::size_t(2 * size), {});
        for (long from = start; from < end; from += size)
        {
            std::fill(taps.begin(), taps.end(), 0.0);
            for (long i = 0; i < size && from + i < length; ++i)
                taps[std::size_t(i)] = response[std::size_t(from + i)];
            std::vector<Complex> bins(static_cast<std::size_t>(size + 1));
            level.fft->ForwardReal(taps.data(), bins.data(), scratch.data());
            level.filters.push_back(std::move(bins));
            level.history.emplace_back(std::size_t(size + 1));
        }
        levels.push_back(std::move(level));
        start = end;
        if (last)
            break;
        size *= kGrowth;
    }
    const int largest = levels.back().size;
    pending.assign(std::size_t(NextPowerOfTwo(2L * largest + block)), 0.0);
    input.clear();
    input.reserve(std::size_t(1) << 22);
    spectrum.assign(std::size_t(largest + 1), {});
    scratch.assign(std::size_t(2 * largest), {});
    segment.assign(std::size_t(2 * largest), 0.0);
    return true;
}

void Convolver::RunLevel(Level& level)
{
    const int p = level.size;
    for (int i = 0; i < 2 * p; ++i)
    {
        const long at = time - 2 * p + i;
        segment[std::size_t(i)] = at >= 0 ? input[std::size_t(at)] : 0.0;
    }
    const std::size_t partitions = level.history.size();
    level.newest = int((std::size_t(level.newest) + partitions - 1) % partitions);
    level.fft->ForwardReal(segment.data(), level.history[std::size_t(level.newest)].data(), scratch.data());
    std::fill(spectrum.begin(), spectrum.begin() + p + 1, Complex {});
    // Partition q (taps from p * (first + q)) meets the input segment that ended (first - 1 + q)
    // partitions ago.
    for (std::size_t q = 0; q < partitions; ++q)
    {
        const std::size_t age = std::size_t(level.firstPartition - 1) + q;
        if (age >= partitions)
            break;
        const Complex* x = level.history[(std::size_t(level.newest) + age) % partitions].data();
        const Complex* h = level.filters[q].data();
        for (int k = 0; k <= p; ++k)
            spectrum[std::size_t(k)] += x[k] * h[k];
    }
    level.fft->InverseReal(spectrum.data(), segment.data(), scratch.data());
    const std::size_t mask = pending.size() - 1;
    for (int i = 0; i < p; ++i)
        pending[(std::size_t(time) + std::size_t(i)) & mask] += segment[std::size_t(p + i)];
}

void Convolver::Next(double* out)
{
    for (Level& level : levels)
        if (time % level.size == 0)
            RunLevel(level);
    const std::size_t mask = pending.size() - 1;
    for (int i = 0; i < block; ++i)
    {
        double& slot = pending[(std::size_t(time) + std::size_t(i)) & mask];
        out[i] = slot;
        slot = 0.0;
    }
}

void Convolver::Push(const double* in)
{
    input.insert(input.end(), in, in + block);
    time += block;
}

std::vector<double> ConvolveDirect(const std::vector<double>& x, const std::vector<double>& h, std::size_t from,
                                   std::size_t to)
{
    std::vector<double> y(to - from, 0.0);
    for (std::size_t n = from; n < to; ++n)
    {
        double sum = 0.0;
        for (std::size_t m = 0; m < h.size() && m <= n; ++m)
            if (n - m < x.size())
                sum += h[m] * x[n - m];
        y[n - from] = sum;
    }
    return y;
}

} // namespace ringstill::loop
