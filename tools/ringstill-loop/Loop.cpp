#include "tools/ringstill-loop/Loop.h"

#include "tools/ringstill-loop/Convolver.h"
#include "tools/ringstill-loop/Dsp.h"
#include "tools/ringstill-loop/Programmes.h"

#include <cmath>

namespace ringstill::loop {
namespace {

constexpr std::uint64_t kAmbientSeed = 977;
constexpr std::size_t kWatchEvery = 4800;

} // namespace

std::vector<double> DryInput(const std::vector<double>& programme, std::size_t samples, double rate)
{
    std::vector<double> dry = PinkNoise(samples, rate, kAmbientSeed);
    const double ambient = std::pow(10.0, (kProgrammeDbfs + kAmbientDb) / 20.0);
    for (std::size_t i = 0; i < samples; ++i)
        dry[i] = dry[i] * ambient + (programme.empty() ? 0.0 : programme[i % programme.size()]);
    return dry;
}

bool RunLoop(const LoopSetup& setup, const std::vector<double>& dry, std::size_t samples, Processor& processor,
             LoopTrace& trace, std::string& error, const LoopWatcher& watcher)
{
    const int block = setup.block;
    Convolver room;
    if (setup.feedback && !room.Prepare(setup.room->taps, block, error))
        return false;
    if (!processor.Start(setup.sampleRate, block, error))
        return false;
    samples = samples / std::size_t(block) * std::size_t(block);
    trace.dry.resize(samples);
    for (std::size_t i = 0; i < samples; ++i)
        trace.dry[i] = dry.empty() ? 0.0 : dry[i % dry.size()];
    trace.mic.assign(samples, 0.0f);
    trace.out.assign(samples, 0.0f);
    trace.returned.assign(samples, 0.0f);

    const double gain = std::pow(10.0, setup.gainDb / 20.0);
    // The clip level: kHeadroomDb above the programme as the loudspeaker plays it at MSG gain.
    const double clip = std::pow(10.0, (kProgrammeDbfs + kHeadroomDb + setup.msgDb) / 20.0);
    std::vector<double> returned(static_cast<std::size_t>(block), 0.0);
    std::vector<double> speaker(static_cast<std::size_t>(block), 0.0);
    std::vector<float> in(static_cast<std::size_t>(block));
    std::vector<float> out(static_cast<std::size_t>(block));
    std::size_t sinceWatch = 0;
    for (std::size_t at = 0; at < samples; at += std::size_t(block))
    {
        if (setup.feedback)
            room.Next(returned.data());
        for (int i = 0; i < block; ++i)
        {
            const double mic = trace.dry[at + std::size_t(i)] + returned[std::size_t(i)];
            in[std::size_t(i)] = float(mic);
        }
        if (!processor.Process(in.data(), out.data(), block, error))
            return false;
        for (int i = 0; i < block; ++i)
        {
            if (!std::isfinite(out[std::size_t(i)]))
            {
                // Silence in its place would count as perfectly stable.
                error = "the processor put out a non-finite sample at " + std::to_string(double(at) / setup.sampleRate) + " s";
                return false;
            }
            const double y = out[std::size_t(i)];
            speaker[std::size_t(i)] = clip * std::tanh(gain * y / clip);
            trace.mic[at + std::size_t(i)] = in[std::size_t(i)];
            trace.out[at + std::size_t(i)] = out[std::size_t(i)];
            trace.returned[at + std::size_t(i)] = float(returned[std::size_t(i)]);
        }
        if (setup.feedback)
            room.Push(speaker.data());
        sinceWatch += std::size_t(block);
        if (watcher && sinceWatch >= kWatchEvery)
        {
            sinceWatch = 0;
            if (!watcher(trace, at + std::size_t(block)))
            {
                const std::size_t done = at + std::size_t(block);
                trace.mic.resize(done);
                trace.out.resize(done);
                trace.returned.resize(done);
                trace.dry.resize(done);
                break;
            }
        }
    }
    trace.latency = processor.Latency();
    return true;
}

} // namespace ringstill::loop
