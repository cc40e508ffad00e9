#include "effect/NotchBank.h"

#include "effect/Fft.h"
#include "effect/NotchCascade.h"

#include <algorithm>
#include <cmath>

namespace ringstill {

namespace {

// Depth ramp: fast toward a deeper cut, slower when releasing or easing off.
constexpr float kDeepenRate = 0.6f;
constexpr float kEaseRate = 0.3f;
// A slot is still fading (and keeps being designed) above this magnitude.
constexpr float kFadingDepthDb = 0.05f;
// A released slot becomes Free below this magnitude.
constexpr float kFreeDepthDb = 0.1f;

constexpr double kMinDepthDb = -40.0;
constexpr double kMinFrequencyHz = 20.0;
constexpr double kMaxFrequencyRatio = 0.49;
constexpr double kMinQ = 0.5;
constexpr double kMaxQ = 60.0;

// Soft clip: transparent within the knee, smoothly limited to 1.0 beyond it.
constexpr float kClipKnee = 0.9f;
constexpr float kClipSpan = 1.0f - kClipKnee; // 0.10000002384185791 in float
static_assert(kClipSpan == 0.10000002384185791f, "clip span is the float difference");

// Filter states below this are a decaying tail far under the float signal's
// resolution; flushing them keeps the tail out of the slow subnormal range.
constexpr double kStateFloor = 1e-30;

double LimitFrequency(double hz, double sampleRate)
{
    if (hz < kMinFrequencyHz)
        return kMinFrequencyHz;
    return std::min(hz, kMaxFrequencyRatio * sampleRate);
}

float LimitDepth(float db)
{
    return std::clamp(db, static_cast<float>(kMinDepthDb), 0.0f);
}

float LimitWidth(float q)
{
    return std::clamp(q, static_cast<float>(kMinQ), static_cast<float>(kMaxQ));
}

bool AllFinite(float a, float b, float c)
{
    return std::isfinite(a) && std::isfinite(b) && std::isfinite(c);
}

void DesignFilter(Notch& notch, const NotchBank& bank)
{
    double g = static_cast<double>(bank.trimDb) + static_cast<double>(notch.depth);
    g = std::isnan(g) ? 0.0 : std::clamp(g, kMinDepthDb, 0.0);
    const double A = std::pow(10.0, g / 40.0);

    const double f0 = LimitFrequency(static_cast<double>(notch.frequency), bank.sampleRate);
    const double w0 = kTwoPiF * f0 / bank.sampleRate;

    double Q = static_cast<double>(notch.q) * static_cast<double>(bank.widthScale);
    if (!(Q >= kMinQ)) // also catches NaN
        Q = kMinQ;

    notch.filter.Design(w0, Q, A);
}

// A filter state that overflowed (absurd input levels) would stick forever; a
// tail far below audibility would crawl through subnormals. Both end with the block.
void SettleState(double& z1, double& z2)
{
    const bool finite = std::isfinite(z1) && std::isfinite(z2);
    if (!finite || (std::fabs(z1) < kStateFloor && std::fabs(z2) < kStateFloor))
        z1 = z2 = 0.0;
}

// Step 3's filters: the active slots in index order as one cascade, run on
// the bank's path.
void FilterBlock(NotchBank& bank, float* samples, int n)
{
    static_assert(kMaxNotches <= kCascadeCapacity);
    NotchCascade cascade;
    Notch* stages[kMaxNotches];
    for (Notch& slot : bank.slots)
    {
        if (!slot.active)
            continue;
        stages[cascade.Append(slot.filter)] = &slot;
    }
    if (cascade.count == 0)
        return;
    KernelsFor(bank.filterPath).notchCascade(cascade, samples, n);
    for (int j = 0; j < cascade.count; ++j)
    {
        SettleState(cascade.z1[j], cascade.z2[j]);
        stages[j]->filter.z1 = cascade.z1[j];
        stages[j]->filter.z2 = cascade.z2[j];
    }
}

float SoftClip(float v)
{
    if (v > kClipKnee)
        return kClipKnee + kClipSpan * std::tanh((v - kClipKnee) / kClipSpan);
    if (v < -kClipKnee)
        return -kClipKnee + kClipSpan * std::tanh((v + kClipKnee) / kClipSpan);
    return v;
}

void ApplyCommand(const NotchCommand& command, NotchBank& bank)
{
    const unsigned index = static_cast<unsigned>(command.slotIndex);
    const bool indexValid = index < static_cast<unsigned>(kMaxNotches);
    switch (static_cast<NotchCommandType>(command.type))
    {
    case NotchCommandType::Add:
    {
        // Values that are not numbers would poison the filter: ignore the command.
        if (!AllFinite(command.a, command.b, command.c))
            return;
        for (Notch& slot : bank.slots)
        {
            if (slot.active || !(std::fabs(slot.depth) < kFadingDepthDb))
                continue;
            slot.active = true;
            slot.manual = true;
            slot.age = 0;
            slot.frequency = static_cast<float>(LimitFrequency(command.a, bank.sampleRate));
            slot.targetDepth = LimitDepth(command.b);
            slot.q = LimitWidth(command.c);
            return;
        }
        return; // a manual add never displaces a notch
    }
    case NotchCommandType::Set:
    {
        if (!indexValid || !std::isfinite(command.a) || !std::isfinite(command.b))
            return;
        Notch& slot = bank.slots[index];
        slot.frequency = static_cast<float>(LimitFrequency(command.a, bank.sampleRate));
        slot.targetDepth = LimitDepth(command.b);
        slot.manual = true;
        slot.active = true;
        slot.age = 0;
        return;
    }
    case NotchCommandType::SetWidth:
        if (!indexValid || !std::isfinite(command.a))
            return;
        bank.slots[index].q = LimitWidth(command.a);
        return;
    case NotchCommandType::Remove:
        if (!indexValid)
            return;
        bank.slots[index].targetDepth = 0.0f;
        bank.slots[index].manual = false;
        return;
    }
}

} // namespace

NotchKind KindOf(const Notch& notch)
{
    if (!notch.active)
        return NotchKind::Free;
    return notch.manual ? NotchKind::Manual : NotchKind::Auto;
}

void ConfigureBank(NotchBank& bank, double sampleRate)
{
    if (!(sampleRate > 0.0) || !std::isfinite(sampleRate))
        sampleRate = 48000.0;

    const int n = AnalysisSizeFor(sampleRate);
    bank.sampleRate = sampleRate;
    bank.analysisSize = n;
    bank.hopSize = n / 8;
    bank.binWidthHz = static_cast<float>(sampleRate) / static_cast<float>(n);
    bank.analysisFill = 0;
    bank.releaseFrames =
        static_cast<std::int32_t>(3.0 / (static_cast<double>(bank.hopSize) / sampleRate));

    const std::size_t size = static_cast<std::size_t>(n);
    bank.analysisBuffer.assign(size, 0.0f);
    bank.spectrum.assign(size / 2, 0.0f);
    bank.window.resize(size);
    FillHannWindow(bank.window.data(), n);

    PrepareDetector(bank);
    PrepareAdaptiveCatch(bank);
    bank.filterPath = DefaultSimdPath();

    bank.slots.fill(Notch{});
    bank.tracks.fill(FeedbackTrack{});
    bank.adaptive = AdaptiveCatchState{};
}

void UpdateNotchFilters(NotchBank& bank)
{
    for (Notch& slot : bank.slots)
    {
        if (!slot.active && !(std::fabs(slot.depth) >= kFadingDepthDb))
            continue;

        const float rate = std::fabs(slot.targetDepth) > std::fabs(slot.depth) ? kDeepenRate : kEaseRate;
        slot.depth = slot.depth + (slot.targetDepth - slot.depth) * rate;

        if (slot.targetDepth == 0.0f && std::fabs(slot.depth) < kFreeDepthDb)
        {
            slot.depth = 0.0f;
            slot.filter.Reset();
            slot.active = false;
            continue;
        }
        DesignFilter(slot, bank);
    }
}

void ProcessBankBlock(NotchBank& bank, float* samples, int n)
{
    if (samples == nullptr)
        n = 0;
    if (n > 0)
        FeedDetector(bank, samples, n);

    UpdateNotchFilters(bank);

    if (n <= 0)
        return;
    FilterBlock(bank, samples, n);

    const float gain = bank.outputGain;
    for (int i = 0; i < n; ++i)
    {
        float v = SoftClip(samples[i] * gain);
        if (std::isnan(v)) // only after an overflowed state, which the block end clears
            v = 0.0f;
        samples[i] = v;
    }
}

int CountActiveNotches(const NotchBank& bank)
{
    int count = 0;
    for (const Notch& slot : bank.slots)
        count += slot.active ? 1 : 0;
    return count;
}

void ApplyNotchCommands(EditorFeed& feed, std::span<NotchBank> banks)
{
    // Commands pushed while these are applied wait for the next block.
    feed.commands.PopAll([&](const NotchCommand& command) {
        for (NotchBank& bank : banks)
            ApplyCommand(command, bank);
    });
}

void PublishEditorView(EditorFeed& feed, std::span<const NotchBank> banks)
{
    if (banks.empty())
        return;
    if (feed.viewLock.exchange(1, std::memory_order_acquire) != 0)
        return; // the editor is reading; publish next block

    const NotchBank& bank = banks[0];
    if (feed.spectrumView.size() != bank.spectrum.size())
        feed.spectrumView.resize(bank.spectrum.size());
    std::copy(bank.spectrum.begin(), bank.spectrum.end(), feed.spectrumView.begin());
    feed.viewBinWidthHz = bank.binWidthHz;

    if (feed.notchViews.size() != static_cast<std::size_t>(kMaxNotches))
        feed.notchViews.resize(kMaxNotches);
    for (int i = 0; i < kMaxNotches; ++i)
    {
        const Notch& slot = bank.slots[static_cast<std::size_t>(i)];
        NotchView& view = feed.notchViews[static_cast<std::size_t>(i)];
        view.active = slot.active ? 1 : 0;
        view.manual = slot.manual ? 1 : 0;
        view.reserved[0] = view.reserved[1] = 0;
        view.frequency = slot.frequency;
        view.targetDepth = slot.targetDepth;
        view.q = slot.q;
    }

    feed.viewLock.store(0, std::memory_order_release);
}

} // namespace ringstill
