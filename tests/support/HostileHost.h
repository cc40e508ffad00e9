#pragma once
// The pieces of a hostile host: a seeded random source that gives the same inputs on every
// platform, a state stream that fails, short-reads, over-reports or never ends, parameter queues
// that lie about their points, and audio buses whose samples are the extremes a host can send.
// One thread each; nothing here is shared between threads.

#include "pluginterfaces/base/ibstream.h"
#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstparameterchanges.h"

#include <cstdint>
#include <vector>

namespace ringstill::test {

// splitmix64: the same sequence for a seed wherever it runs.
class HostileRandom
{
public:
    explicit HostileRandom(std::uint64_t seed) : state(seed) {}

    std::uint64_t Bits()
    {
        std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // lo ... hi, both included.
    int Int(int lo, int hi) { return lo + int(Bits() % std::uint64_t(std::int64_t(hi) - lo + 1)); }
    double Unit() { return double(Bits() >> 11) * 0x1.0p-53; }
    bool Chance(double p) { return Unit() < p; }
    template <typename T, std::size_t N>
    const T& Pick(const T (&values)[N])
    {
        return values[Bits() % N];
    }

private:
    std::uint64_t state;
};

// Doubles a host or a corrupted state may carry: NaNs, infinities, the largest and smallest
// magnitudes, negative zero.
double SpecialDouble(HostileRandom& random);

// A component state stream of bytes, misbehaving as asked. Lives on the caller's stack; reference
// counting is a no-op.
class HostileStream final : public Steinberg::IBStream
{
public:
    enum class Mode
    {
        Plain,
        FailingReads,   // every read fails and delivers nothing
        ErrorsWithBytes, // reads deliver their bytes but report an error
        ShortReads,     // at most a few bytes per read
        OverReports,    // tells of more bytes than asked for (or fewer than none)
        Endless,        // never runs out of bytes
        FailingWrites,  // writes fail
    };

    HostileStream(std::vector<std::uint8_t> bytes, Mode mode, std::uint64_t seed);

    const std::vector<std::uint8_t>& Written() const { return written; }

    Steinberg::tresult PLUGIN_API read(void* buffer, Steinberg::int32 numBytes, Steinberg::int32* numBytesRead) override;
    Steinberg::tresult PLUGIN_API write(void* buffer, Steinberg::int32 numBytes,
                                        Steinberg::int32* numBytesWritten) override;
    Steinberg::tresult PLUGIN_API seek(Steinberg::int64 pos, Steinberg::int32 mode, Steinberg::int64* result) override;
    Steinberg::tresult PLUGIN_API tell(Steinberg::int64* pos) override;

    Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override;
    Steinberg::uint32 PLUGIN_API addRef() override { return 1; }
    Steinberg::uint32 PLUGIN_API release() override { return 1; }

private:
    std::vector<std::uint8_t> bytes;
    std::vector<std::uint8_t> written;
    Mode mode;
    HostileRandom random;
    std::int64_t position = 0;
};

// One parameter's queue of points, as a host hands it over: points in any order and at any
// offset, values of any kind, and reads that fail or counts that lie.
class HostileQueue final : public Steinberg::Vst::IParamValueQueue
{
public:
    static constexpr int kMaxPoints = 8;

    void Fill(HostileRandom& random, Steinberg::Vst::ParamID id, int frames);
    // One readable point at offset 0.
    void SetSingle(Steinberg::Vst::ParamID id, Steinberg::Vst::ParamValue value);

    Steinberg::Vst::ParamID PLUGIN_API getParameterId() override { return id; }
    Steinberg::int32 PLUGIN_API getPointCount() override { return reportedCount; }
    Steinberg::tresult PLUGIN_API getPoint(Steinberg::int32 index, Steinberg::int32& sampleOffset,
                                           Steinberg::Vst::ParamValue& value) override;
    Steinberg::tresult PLUGIN_API addPoint(Steinberg::int32, Steinberg::Vst::ParamValue, Steinberg::int32&) override
    {
        return Steinberg::kResultFalse;
    }

    Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override;
    Steinberg::uint32 PLUGIN_API addRef() override { return 1; }
    Steinberg::uint32 PLUGIN_API release() override { return 1; }

private:
    Steinberg::Vst::ParamID id = 0;
    int count = 0;
    Steinberg::int32 reportedCount = 0;
    bool failReads = false;
    Steinberg::int32 offsets[kMaxPoints] {};
    Steinberg::Vst::ParamValue values[kMaxPoints] {};
};

class HostileChanges final : public Steinberg::Vst::IParameterChanges
{
public:
    static constexpr int kMaxQueues = 24;

    // Queues for known, reserved and unknown identifiers; count and data calls may lie.
    void Fill(HostileRandom& random, int frames);
    // One well-formed point per identifier, for the values the run means to set.
    void Set(const Steinberg::Vst::ParamID* ids, const double* values, int count);

    Steinberg::int32 PLUGIN_API getParameterCount() override { return reportedCount; }
    Steinberg::Vst::IParamValueQueue* PLUGIN_API getParameterData(Steinberg::int32 index) override;
    Steinberg::Vst::IParamValueQueue* PLUGIN_API addParameterData(const Steinberg::Vst::ParamID&,
                                                                  Steinberg::int32&) override
    {
        return nullptr;
    }

    Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override;
    Steinberg::uint32 PLUGIN_API addRef() override { return 1; }
    Steinberg::uint32 PLUGIN_API release() override { return 1; }

private:
    HostileQueue queues[kMaxQueues];
    int count = 0;
    Steinberg::int32 reportedCount = 0;
    int nullIndex = -1;
};

// The audio side of one block: an input and an output bus of up to two channels in either sample
// size, filled with extremes, optionally processed in place, with guard samples past the block
// that must come back untouched.
class HostileAudio
{
public:
    static constexpr int kGuard = 16;
    static constexpr double kSentinel = 0.25;

    explicit HostileAudio(int maxFrames);

    // Fills the buses for a block of frames and points data at them. finiteOnly keeps NaN and
    // infinity out of the input (huge finite values stay).
    void Prepare(HostileRandom& random, Steinberg::Vst::ProcessData& data, Steinberg::int32 sampleSize, int channels,
                 int frames, bool finiteOnly = false);
    // Every output sample of the block finite, and the guard samples after it untouched.
    bool OutputsFinite() const;
    bool GuardsIntact() const;
    int MaxFrames() const { return maxFrames; }
    // How the last block was handed over.
    bool InPlace() const { return inPlace; }
    bool MissingBuffer() const { return missingBuffer; }

private:
    void FillChannel(HostileRandom& random, int channel, bool finiteOnly);
    double& In64(int c, int n) { return in64[std::size_t(c)][std::size_t(n)]; }

    int maxFrames;
    int frames = 0;
    int channels = 0;
    bool is64 = true;
    bool inPlace = false;
    bool missingBuffer = false;
    std::vector<std::vector<double>> in64;
    std::vector<std::vector<double>> out64;
    std::vector<std::vector<float>> in32;
    std::vector<std::vector<float>> out32;
    double* inPointers64[2] {};
    double* outPointers64[2] {};
    float* inPointers32[2] {};
    float* outPointers32[2] {};
    Steinberg::Vst::AudioBusBuffers inputBus {};
    Steinberg::Vst::AudioBusBuffers outputBus {};
};

} // namespace ringstill::test
