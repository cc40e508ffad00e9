#include "tests/support/ReferenceDsp.h"

#include "effect/FeedbackDetector.h"
#include "effect/Fft.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace ringstill::test {

namespace {

void Multiply(float ar, float ai, float br, float bi, float& outR, float& outI)
{
    outR = ar * br - ai * bi;
    outI = ar * bi + ai * br;
}

constexpr float kStrongOverNeighbours = 8.0f;
constexpr float kNeighbourFloor = 1e-9f;
constexpr float kRiseStep = 1.003f;
constexpr float kTrackSmoothing = 0.7f;
constexpr float kNewFrequencyWeight = 0.3f;
constexpr int kMaxTrackHits = 80;
constexpr int kStrongHits = 7;
constexpr int kMaxMisses = 4;
constexpr float kReusableDepthDb = 0.05f;

int SlotNear(const NotchBank& bank, float f, float distance)
{
    for (int i = 0; i < kMaxNotches; ++i)
    {
        const Notch& slot = bank.slots[static_cast<std::size_t>(i)];
        if (slot.active && std::fabs(slot.frequency - f) < distance)
            return i;
    }
    return -1;
}

int SlotForNewNotch(const NotchBank& bank)
{
    for (int i = 0; i < kMaxNotches; ++i)
    {
        const Notch& slot = bank.slots[static_cast<std::size_t>(i)];
        if (!slot.active && std::fabs(slot.depth) < kReusableDepthDb)
            return i;
    }
    int oldest = -1;
    for (int i = 0; i < kMaxNotches; ++i)
    {
        const Notch& slot = bank.slots[static_cast<std::size_t>(i)];
        if (slot.active && !slot.manual
            && (oldest < 0 || slot.age > bank.slots[static_cast<std::size_t>(oldest)].age))
            oldest = i;
    }
    return oldest;
}

void PlaceNotch(NotchBank& bank, float frequency, float matchDistance)
{
    if (SlotNear(bank, frequency, 2.0f * matchDistance) >= 0)
        return;
    const int index = SlotForNewNotch(bank);
    if (index < 0)
        return;
    Notch& slot = bank.slots[static_cast<std::size_t>(index)];
    slot.active = true;
    slot.frequency = frequency;
    slot.q = bank.autoQ;
    slot.manual = false;
    slot.targetDepth = bank.autoCutDb;
    slot.age = 0;
}

} // namespace

void ReferenceFft(std::complex<float>* values, int count)
{
    if (values == nullptr || count < 2)
        return;
    for (int i = 1, j = 0; i < count; ++i)
    {
        int bit = count >> 1;
        for (; j & bit; bit >>= 1)
            j ^= bit;
        j ^= bit;
        if (i < j)
            std::swap(values[i], values[j]);
    }
    float* v = reinterpret_cast<float*>(values);
    for (int len = 2; len <= count; len <<= 1)
    {
        const float angle = static_cast<float>(-kTwoPiF) / static_cast<float>(len);
        const float stepR = std::cos(angle);
        const float stepI = std::sin(angle);
        const int half = len / 2;
        for (int start = 0; start < count; start += len)
        {
            float wr = 1.0f, wi = 0.0f;
            for (int k = 0; k < half; ++k)
            {
                float* u = v + 2 * (start + k);
                float* x = v + 2 * (start + k + half);
                float tr, ti;
                Multiply(wr, wi, x[0], x[1], tr, ti);
                const float ur = u[0], ui = u[1];
                u[0] = ur + tr;
                u[1] = ui + ti;
                x[0] = ur - tr;
                x[1] = ui - ti;
                float nr, ni;
                Multiply(wr, wi, stepR, stepI, nr, ni);
                wr = nr;
                wi = ni;
            }
        }
    }
}

void ReferenceFeedDetector(NotchBank& bank, float* samples, int n)
{
    const int size = bank.analysisSize;
    const bool ready = size > 0 && bank.hopSize > 0 && bank.analysisBuffer.size() == static_cast<std::size_t>(size)
                       && bank.analysisFill >= 0 && bank.analysisFill < size;
    float* buffer = bank.analysisBuffer.data();
    for (int i = 0; i < n; ++i)
    {
        const float x = samples[i];
        if (!std::isfinite(x))
        {
            samples[i] = 0.0f;
            bank.analysisFill = 0;
            for (FeedbackTrack& track : bank.tracks)
                track = FeedbackTrack{};
            continue;
        }
        if (!ready)
            continue;
        buffer[bank.analysisFill++] = x;
        if (bank.analysisFill == size)
        {
            ReferenceAnalyseFrame(bank);
            const int keep = size - bank.hopSize;
            std::memmove(buffer, buffer + bank.hopSize, static_cast<std::size_t>(keep) * sizeof(float));
            bank.analysisFill = keep;
        }
    }
}

void ReferenceAnalyseFrame(NotchBank& bank)
{
    const int size = bank.analysisSize;
    const std::size_t half = static_cast<std::size_t>(size / 2);
    std::vector<std::complex<float>> values(static_cast<std::size_t>(size));
    for (int j = 0; j < size; ++j)
        values[static_cast<std::size_t>(j)] = {bank.analysisBuffer[static_cast<std::size_t>(j)]
                                                   * bank.window[static_cast<std::size_t>(j)],
                                               0.0f};
    ReferenceFft(values.data(), size);

    std::vector<float> mag(half);
    for (std::size_t k = 0; k < half; ++k)
    {
        const float re = values[k].real();
        const float im = values[k].imag();
        mag[k] = std::sqrt(re * re + im * im);
    }
    if (bank.spectrum.size() == half)
        std::copy(mag.begin(), mag.end(), bank.spectrum.begin());

    const SearchBand band = SearchBandFor(size, bank.sampleRate);
    if (band.hi < band.lo)
        return;
    float sum = 0.0f;
    for (int k = band.lo; k <= band.hi; ++k)
        sum += mag[static_cast<std::size_t>(k)];
    const float m = sum / static_cast<float>(band.hi - band.lo + 1);
    if (m <= 0.0f)
        return;

    const DetectorThresholds t = ThresholdsFor(bank.sensitivity, bank.binWidthHz);
    const float d = t.matchDistanceHz;
    for (FeedbackTrack& track : bank.tracks)
        if (track.active)
            track.misses += 1;
    for (Notch& slot : bank.slots)
        if (slot.active)
            slot.age += 1;

    for (int k = band.lo; k <= band.hi; ++k)
    {
        const auto at = [&](int i) { return mag[static_cast<std::size_t>(i)]; };
        const float level = at(k);
        if (!(level > at(k - 1) && level >= at(k + 1) && level > t.candidateFactor * m))
            continue;
        const float curvature = at(k - 1) - 2.0f * level + at(k + 1);
        const float offset = curvature == 0.0f ? 0.0f : 0.5f * (at(k - 1) - at(k + 1)) / curvature;
        const float f = (static_cast<float>(k) + offset) * bank.binWidthHz;
        const bool strong = level > kStrongOverNeighbours * ((at(k - 2) + at(k + 2)) * 0.5f + kNeighbourFloor)
                            && level > t.strongFactor * m;

        const int near = SlotNear(bank, f, 2.0f * d);
        if (near >= 0)
        {
            bank.slots[static_cast<std::size_t>(near)].age = 0;
            continue;
        }
        FeedbackTrack* match = nullptr;
        for (FeedbackTrack& track : bank.tracks)
            if (track.active && std::fabs(track.frequency - f) < d)
            {
                match = &track;
                break;
            }
        if (match == nullptr)
        {
            for (FeedbackTrack& track : bank.tracks)
                if (!track.active)
                {
                    track = FeedbackTrack{true, f, 1, 0, level, level, 0};
                    break;
                }
            continue;
        }
        FeedbackTrack& track = *match;
        track.hits += 1;
        track.misses = 0;
        track.frequency = kTrackSmoothing * track.frequency + kNewFrequencyWeight * f;
        if (level > kRiseStep * track.lastLevel)
        {
            if (track.riseCount == 0)
                track.riseBase = track.lastLevel;
            track.riseCount += 1;
        }
        else
        {
            track.riseCount = 0;
        }
        track.lastLevel = level;
        const bool feedback = (track.riseCount >= t.riseLength && level >= t.riseFactor * track.riseBase)
                              || (strong && track.hits > kStrongHits);
        if (!feedback)
        {
            if (track.hits > kMaxTrackHits)
                track = FeedbackTrack{};
            continue;
        }
        if (!bank.hold)
            PlaceNotch(bank, track.frequency, d);
        track = FeedbackTrack{};
    }

    for (FeedbackTrack& track : bank.tracks)
        if (track.active && track.misses > kMaxMisses)
            track = FeedbackTrack{};
    if (!bank.hold)
        for (Notch& slot : bank.slots)
            if (slot.active && !slot.manual && slot.age > bank.releaseFrames)
                slot.targetDepth = 0.0f;
}

float ReferenceNoReverbSample(NoReverbChannel& channel, float x)
{
    channel.inputRing[static_cast<std::size_t>(channel.writeIndex)] = std::isfinite(x) ? x : 0.0f;
    channel.writeIndex = (channel.writeIndex + 1) % kNoReverbFrameSize;
    if (++channel.hopCounter > kNoReverbHop - 1)
    {
        channel.hopCounter = 0;
        ReferenceNoReverbFrame(channel);
    }
    if (channel.outputCount < 1)
        return 0.0f;
    const float y = channel.outputRing[static_cast<std::size_t>(channel.readIndex)];
    channel.readIndex = (channel.readIndex + 1) % kNoReverbOutputRingSize;
    --channel.outputCount;
    return y;
}

void ReferenceNoReverbFrame(NoReverbChannel& channel)
{
    constexpr float kInverseFrameSize = 1.0f / kNoReverbFrameSize;
    std::vector<std::complex<float>> X(kNoReverbFrameSize);
    for (int j = 0; j < kNoReverbFrameSize; ++j)
        X[static_cast<std::size_t>(j)] = {channel.inputRing[static_cast<std::size_t>((channel.writeIndex + j) % kNoReverbFrameSize)]
                                              * channel.window[static_cast<std::size_t>(j)],
                                          0.0f};
    ReferenceFft(X.data(), kNoReverbFrameSize);

    const float r = channel.amount;
    for (int i = 0; i < kNoReverbBins; ++i)
    {
        float gain = 1.0f;
        if (r > kCleanupOffAmount)
        {
            const float re = X[static_cast<std::size_t>(i)].real();
            const float im = X[static_cast<std::size_t>(i)].imag();
            const float mag = std::sqrt(re * re + im * im);
            const float avg = channel.average[static_cast<std::size_t>(i)];
            const float ratio = (mag - avg) / (mag + 1e-9f);
            channel.average[static_cast<std::size_t>(i)] = 0.12f * mag + 0.88f * avg;
            const float g = std::max(std::min(ratio, 1.0f), 0.25f);
            gain = 1.0f - (1.0f - g) * r;
        }
        X[static_cast<std::size_t>(i)] *= gain;
        if (i >= 1 && i <= kNoReverbFrameSize / 2 - 1)
            X[static_cast<std::size_t>(kNoReverbFrameSize - i)] *= gain;
    }
    for (auto& v : X)
        v = {v.real(), -v.imag()};
    ReferenceFft(X.data(), kNoReverbFrameSize);
    for (int j = 0; j < kNoReverbFrameSize; ++j)
        channel.accumulator[static_cast<std::size_t>(j)] += X[static_cast<std::size_t>(j)].real() * kInverseFrameSize
                                                            * channel.window[static_cast<std::size_t>(j)]
                                                            / channel.normaliser;
    for (int j = 0; j < kNoReverbHop; ++j)
    {
        channel.outputRing[static_cast<std::size_t>(channel.outputWriteIndex)] = channel.accumulator[static_cast<std::size_t>(j)];
        channel.outputWriteIndex = (channel.outputWriteIndex + 1) % kNoReverbOutputRingSize;
        ++channel.outputCount;
    }
    std::copy(channel.accumulator.begin() + kNoReverbHop, channel.accumulator.end(), channel.accumulator.begin());
    std::fill(channel.accumulator.end() - kNoReverbHop, channel.accumulator.end(), 0.0f);
}

::testing::AssertionResult SameDetectorState(const NotchBank& a, const NotchBank& b)
{
    if (a.analysisFill != b.analysisFill)
        return ::testing::AssertionFailure() << "analysisFill " << a.analysisFill << " vs " << b.analysisFill;
    if (a.spectrum.size() != b.spectrum.size() || a.analysisBuffer.size() != b.analysisBuffer.size())
        return ::testing::AssertionFailure() << "buffer sizes differ";
    if (auto r = SameFloats(a.spectrum.data(), b.spectrum.data(), a.spectrum.size()); !r)
        return r << " (spectrum)";
    if (auto r = SameFloats(a.analysisBuffer.data(), b.analysisBuffer.data(), a.analysisBuffer.size()); !r)
        return r << " (analysis buffer)";
    for (std::size_t i = 0; i < a.tracks.size(); ++i)
    {
        const FeedbackTrack& x = a.tracks[i];
        const FeedbackTrack& y = b.tracks[i];
        if (x.active != y.active || !SameFloat(x.frequency, y.frequency) || x.hits != y.hits || x.misses != y.misses
            || !SameFloat(x.lastLevel, y.lastLevel) || !SameFloat(x.riseBase, y.riseBase) || x.riseCount != y.riseCount)
            return ::testing::AssertionFailure() << "track " << i << " differs";
    }
    for (std::size_t i = 0; i < a.slots.size(); ++i)
    {
        const Notch& x = a.slots[i];
        const Notch& y = b.slots[i];
        if (x.active != y.active || x.manual != y.manual || !SameFloat(x.frequency, y.frequency)
            || !SameFloat(x.depth, y.depth) || !SameFloat(x.targetDepth, y.targetDepth) || x.age != y.age
            || !SameFloat(x.q, y.q) || std::bit_cast<std::uint64_t>(x.filter.b0) != std::bit_cast<std::uint64_t>(y.filter.b0)
            || std::bit_cast<std::uint64_t>(x.filter.z1) != std::bit_cast<std::uint64_t>(y.filter.z1))
            return ::testing::AssertionFailure() << "slot " << i << " differs";
    }
    return ::testing::AssertionSuccess();
}

} // namespace ringstill::test
