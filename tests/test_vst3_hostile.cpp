// A hostile host, seeded and deterministic, against the module as a host loads it: component
// states, parameter queues, audio extremes at every supported rate, setups, bus arrangements and
// calls in odd orders, and state and controller calls from a second thread while the audio thread
// runs. After every input the plug-in's promises are checked: no crash, finite output (the host's
// own samples pass a bypass as they are), every parameter finite and in its range, an 84-byte
// state, no call that failed inside, no host call from process.
//
// RINGSTILL_HOSTILE_INPUTS and RINGSTILL_HOSTILE_SEED set a run's length and seed; by default the
// run is short, with a fixed seed. scripts/soak.sh runs long ones and sums their figures.
#include "tests/support/HostileHost.h"
#include "tests/support/Vst3TestHost.h"
#include "tools/vst3-host/Streams.h"
#include "tools/vst3-host/Text.h"

#include "pluginterfaces/gui/iplugview.h"
#include "pluginterfaces/gui/iplugviewcontentscalesupport.h"
#include "pluginterfaces/vst/ivstchannelcontextinfo.h"
#include "pluginterfaces/vst/ivstmessage.h"
#include "pluginterfaces/vst/ivstunits.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>
#include <thread>

using namespace Steinberg;
using namespace Steinberg::Vst;
using namespace ringstill::vst3host;
using ringstill::test::HostileAudio;
using ringstill::test::HostileChanges;
using ringstill::test::HostileRandom;
using ringstill::test::HostileStream;
using ringstill::test::SpecialDouble;

namespace {

constexpr ParamID kBypassId = 65536;
constexpr int kParams = 10;
constexpr int kStateBytes = 84;
constexpr int kMaxFrames = 8192;
// No-Noise and No-Reverb together at the highest supported rate.
constexpr uint32 kMaxLatency = 2 * 20000 + 32 + 512;

struct Range
{
    double min;
    double max;
};
constexpr Range kRanges[kParams] = {{0, 100}, {-40, -3}, {2, 60}, {-12, 12}, {0.5, 2},
                                    {0, 100}, {0, 100},  {-24, 24}, {0, 1},  {0, 1}};

// Every rate a host or the SDK's validator uses, from the lowest supported to the highest.
constexpr double kRates[] = {1000.0,  1234.5678, 8000.0,   11025.0,  16000.0,  22050.0,   32000.0,  44100.0, 48000.0,
                             88200.0, 96000.0,   176400.0, 192000.0, 384000.0, 768000.0, 1234567.8, 2000000.0};
constexpr int32 kMaxBlocks[] = {1, 2, 16, 64, 100, 256, 512, 1024, 4096, 8192, 0, -1, INT_MAX};

long EnvNumber(const char* name, long fallback)
{
    const char* text = std::getenv(name);
    if (text == nullptr || *text == '\0')
        return fallback;
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    return end != text && value >= 0 ? value : fallback;
}

// Short by default: sanitizer builds take several times as long per input.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr long kDefaultInputs = 4000;
#else
constexpr long kDefaultInputs = 20000;
#endif

std::uint64_t RunSeed() { return std::uint64_t(EnvNumber("RINGSTILL_HOSTILE_SEED", 20250611)); }

double DoubleAt(const Bytes& bytes, std::size_t offset)
{
    double value = 0.0;
    std::uint64_t bits = 0;
    for (int i = 0; i < 8; ++i)
        bits |= std::uint64_t(bytes[offset + std::size_t(i)]) << (8 * i);
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

void PutDoubleAt(Bytes& bytes, std::size_t offset, double value)
{
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof value);
    for (int i = 0; i < 8; ++i)
        bytes[offset + std::size_t(i)] = std::uint8_t(bits >> (8 * i));
}

// One instance and everything a host knows about it, fed one hostile input at a time.
class HostileRun
{
public:
    HostileRun(std::shared_ptr<Module> module, std::uint64_t seed)
        : module(std::move(module)), seed(seed), random(seed), audio(kMaxFrames)
    {
        Recreate();
    }

    // One input and the checks after it.
    void Input()
    {
        ++inputs;
        // Blocks mostly; setups (which rebuild every DSP state) seldom enough to keep a run fast.
        const double roll = random.Unit();
        if (roll < 0.66)
            AudioBlock();
        else if (roll < 0.80)
            StateInput();
        else if (roll < 0.915)
            ControllerCall();
        else if (roll < 0.995)
            LifecycleCall();
        else
            ViewCall();
        Check();
        if (handler->Calls().size() > ComponentHandler::kCapacity / 2)
            CheckHandler();
    }

    void Finish() { CheckHandler(); }
    long Inputs() const { return inputs; }
    int Findings() const { return findings; }
    PluginInstance& Plugin() { return *plugin; }

private:
    void Finding(const std::string& what)
    {
        ++findings;
        if (findings <= 20)
            ADD_FAILURE() << "seed " << seed << ", input " << inputs << ": " << what;
    }
    void Expect(bool ok, const char* what)
    {
        if (!ok)
            Finding(what);
    }
    // Nothing may fail inside: a guarded call that caught something answers kInternalError.
    tresult Call(tresult result, const char* what)
    {
        if (result == kInternalError)
            Finding(std::string(what) + " failed inside");
        return result;
    }

    void Recreate()
    {
        plugin.reset();
        plugin = ringstill::test::NewInitialisedInstance(module, host, handler);
        channels = 2;
        outputActive = true;
        hostBypass = false;
        sampleSize = kSample64;
        rate = 48000.0;
    }

    // ------------------------------------------------------------ audio

    int Frames()
    {
        // Over-long, odd and empty blocks, within a few hundred milliseconds of audio.
        const int longest = std::clamp(int(rate * 0.05) + 64, 64, kMaxFrames);
        const int m = std::clamp(maxBlock < 1 ? 1024 : maxBlock, 1, longest);
        const int choices[] = {0, 1, 2, 3, 7, 31, 64, 127, m - 1, m, m + 1, 2 * m + 3, random.Int(1, longest)};
        return std::clamp(random.Pick(choices), 0, longest);
    }

    void AudioBlock()
    {
        const int frames = Frames();
        ProcessData data {};
        audio.Prepare(random, data, sampleSize, channels, frames);
        if (random.Chance(0.6))
        {
            changes.Fill(random, frames);
            data.inputParameterChanges = &changes;
            TrackHostBypass(changes);
        }
        else if (random.Chance(0.3))
        {
            // The clean-up stages at their edges: around 0.1 %, off, full.
            const ParamID ids[] = {5, 6, 9};
            const double edges[] = {0.0, 0.0009, 0.001, 0.00100001, 0.0011, 0.5, 1.0};
            const double values[] = {random.Pick(edges), random.Pick(edges), random.Chance(0.1) ? 1.0 : 0.0};
            changes.Set(ids, values, 3);
            data.inputParameterChanges = &changes;
        }
        tresult result = kResultOk;
        {
            ProcessScope scope;
            result = Call(plugin->Processor()->process(data), "process");
        }
        Expect(result == kResultOk, "process refused a block");
        Expect(audio.GuardsIntact(), "a sample past the block was written");
        const bool bypassed = hostBypass || EffectBypassed();
        const bool hostsSamples = audio.InPlace() && !WillWriteOutputs(data);
        if (!bypassed && !hostsSamples && !audio.OutputsFinite())
            Finding("a sample that is not finite came out (" + std::to_string(data.numSamples) + " frames of "
                    + std::to_string(data.symbolicSampleSize) + ", " + std::to_string(channels) + " channels at "
                    + std::to_string(rate) + " Hz, in place " + std::to_string(audio.InPlace()) + ", max block "
                    + std::to_string(maxBlock) + ", result " + std::to_string(result) + ", missing " + std::to_string(audio.MissingBuffer()) + ", inputs " + std::to_string(data.numInputs) + ")");
    }

    // Where an in-place block keeps the host's own samples: outputs the plug-in may not write.
    bool WillWriteOutputs(const ProcessData& data) const
    {
        return (data.symbolicSampleSize == kSample32 || data.symbolicSampleSize == kSample64) && data.numSamples >= 0
               && data.numInputs > 0 && data.inputs != nullptr && data.numOutputs > 0 && data.outputs != nullptr
               && outputActive && !audio.MissingBuffer();
    }

    // The host bypass follows the last readable, finite point of its queue, as the plug-in reads it.
    void TrackHostBypass(HostileChanges& queues)
    {
        const int32 count = std::min(queues.getParameterCount(), int32(1 << 16));
        for (int32 i = 0; i < count; ++i)
        {
            IParamValueQueue* queue = queues.getParameterData(i);
            if (queue == nullptr || queue->getParameterId() != kBypassId)
                continue;
            const int32 points = queue->getPointCount();
            int32 offset = 0;
            ParamValue value = 0.0;
            if (points > 0 && queue->getPoint(points - 1, offset, value) == kResultOk && std::isfinite(value))
                hostBypass = value > 0.5;
        }
    }

    bool EffectBypassed()
    {
        Bytes state;
        return plugin->SaveState(state) == kResultOk && state.size() == std::size_t(kStateBytes)
               && DoubleAt(state, 9 * 8) >= 0.5;
    }

    // ------------------------------------------------------------ states

    Bytes StateBytes()
    {
        Bytes state;
        Call(plugin->SaveState(state), "getState");
        if (state.size() != std::size_t(kStateBytes))
            state.assign(std::size_t(kStateBytes), 0);
        return state;
    }

    void StateInput()
    {
        const int kind = random.Int(0, 9);
        if (kind == 0)
        {
            // A restore cut short keeps the values it read completely, and only those.
            const Bytes donor = StoredState();
            const Bytes before = StoredState();
            const int length = random.Int(0, kStateBytes);
            Bytes cut(donor.begin(), donor.begin() + length);
            IPtr<MemoryStream> stream = StreamOf(cut);
            const tresult result = Call(plugin->Component()->setState(stream), "setState");
            Expect(result == (length == kStateBytes ? kResultOk : kResultFalse), "a short state was not refused");
            const Bytes after = StateBytes();
            for (int i = 0; i < kParams; ++i)
            {
                const Bytes& expected = i < length / 8 ? donor : before;
                if (std::memcmp(after.data() + i * 8, expected.data() + i * 8, 8) != 0)
                    Finding("parameter " + std::to_string(i) + " after a state of " + std::to_string(length) + " bytes");
            }
            return;
        }
        if (kind == 1)
        {
            HostileStream out({}, random.Chance(0.5) ? HostileStream::Mode::FailingWrites : HostileStream::Mode::Plain,
                              random.Bits());
            Call(plugin->Component()->getState(&out), "getState");
            Call(plugin->Controller()->getState(&out), "controller getState");
            return;
        }
        if (kind == 2)
        {
            Call(plugin->Component()->setState(nullptr), "setState");
            Call(plugin->Controller()->setComponentState(nullptr), "setComponentState");
            return;
        }
        Bytes bytes = HostileBytes();
        const HostileStream::Mode modes[] = {HostileStream::Mode::Plain,           HostileStream::Mode::Plain,
                                             HostileStream::Mode::FailingReads,    HostileStream::Mode::ErrorsWithBytes,
                                             HostileStream::Mode::ShortReads,      HostileStream::Mode::OverReports,
                                             HostileStream::Mode::Plain,           HostileStream::Mode::ShortReads};
        HostileStream::Mode mode = random.Pick(modes);
        if (random.Chance(0.01))
            mode = HostileStream::Mode::Endless;
        HostileStream stream(std::move(bytes), mode, random.Bits());
        const tresult result = Call(plugin->Component()->setState(&stream), "setState");
        Expect(result == kResultOk || result == kResultFalse, "setState answered neither true nor false");
        HostileStream again({}, HostileStream::Mode::Plain, 0);
        Call(plugin->Controller()->setComponentState(&again), "setComponentState");
        Call(plugin->Controller()->setState(&again), "controller setState");
    }

    // Random values restored and saved again: a state as the plug-in writes it, which it now holds.
    Bytes StoredState()
    {
        Bytes state = StateBytes();
        for (int i = 0; i < kParams; ++i)
        {
            const double plain = kRanges[i].min + random.Unit() * (kRanges[i].max - kRanges[i].min);
            PutDoubleAt(state, std::size_t(i) * 8, plain);
        }
        IPtr<MemoryStream> stream = StreamOf(state);
        Call(plugin->Component()->setState(stream), "setState");
        return StateBytes();
    }

    Bytes HostileBytes()
    {
        Bytes state = StateBytes();
        switch (random.Int(0, 4))
        {
        case 0:
        {
            // Random bytes of random length.
            Bytes bytes(std::size_t(random.Int(0, 200)));
            for (auto& b : bytes)
                b = std::uint8_t(random.Bits());
            return bytes;
        }
        case 1:
            // One value that no parameter can hold.
            PutDoubleAt(state, std::size_t(random.Int(0, kParams - 1)) * 8, SpecialDouble(random));
            return state;
        case 2:
        {
            // The bypass flag as any 32-bit value.
            const std::uint32_t flag = std::uint32_t(random.Bits());
            for (int i = 0; i < 4; ++i)
                state[std::size_t(80 + i)] = std::uint8_t(flag >> (8 * i));
            return state;
        }
        case 3:
            state.resize(std::size_t(random.Int(0, kStateBytes - 1)));
            return state;
        default:
            for (int i = random.Int(1, 300); i > 0; --i)
                state.push_back(std::uint8_t(random.Bits()));
            return state;
        }
    }

    // ------------------------------------------------------------ controller

    ParamID AnyId()
    {
        const ParamID others[] = {65536, 65537, 65538, 10, 11, 0x7FFFFFFF, 0xFFFFFFFF};
        return random.Chance(0.7) ? ParamID(random.Int(0, 9)) : random.Pick(others);
    }
    double AnyValue() { return random.Chance(0.7) ? random.Unit() : SpecialDouble(random); }

    void ControllerCall()
    {
        IEditController& controller = *plugin->Controller();
        String128 text = {};
        switch (random.Int(0, 9))
        {
        case 0:
        {
            ParameterInfo info {};
            Call(controller.getParameterInfo(random.Int(-3, 14), info), "getParameterInfo");
            break;
        }
        case 1:
            Call(controller.getParamStringByValue(AnyId(), AnyValue(), text), "getParamStringByValue");
            break;
        case 2:
        {
            const char* texts[] = {"", "12", "-1e308", "nan", "inf", "abc", "50 %", "0x10", "-0", "1e999"};
            std::string typed = random.Pick(texts);
            if (random.Chance(0.2))
                typed.assign(std::size_t(random.Int(1, 127)), char(random.Int(1, 255)));
            const std::u16string wide = Widen(typed);
            ParamValue value = 0.0;
            const ParamID id = AnyId();
            const tresult result = Call(controller.getParamValueByString(
                                            id, const_cast<TChar*>(reinterpret_cast<const TChar*>(wide.c_str())), value),
                                        "getParamValueByString");
            if (result == kResultOk && id < ParamID(kParams))
                Expect(std::isfinite(value) && value >= 0.0 && value <= 1.0, "a text gave a value out of range");
            break;
        }
        case 3:
            (void)controller.normalizedParamToPlain(AnyId(), AnyValue());
            (void)controller.plainParamToNormalized(AnyId(), SpecialDouble(random));
            break;
        case 4:
            Call(controller.setParamNormalized(AnyId(), AnyValue()), "setParamNormalized");
            break;
        case 5:
        {
            FUnknownPtr<IUnitInfo> units(&controller);
            if (units)
            {
                UnitInfo unit {};
                ProgramListInfo list {};
                Call(units->getUnitInfo(random.Int(-2, 3), unit), "getUnitInfo");
                Call(units->getProgramListInfo(random.Int(-2, 3), list), "getProgramListInfo");
                Call(units->getProgramName(random.Chance(0.5) ? 65537 : random.Int(-5, 5), random.Int(-3, 3), text),
                     "getProgramName");
            }
            break;
        }
        case 6:
        {
            BusInfo info {};
            SpeakerArrangement arrangement = 0;
            Call(plugin->Component()->getBusInfo(random.Int(-1, 2), random.Int(-1, 2), random.Int(-2, 3), info),
                 "getBusInfo");
            Call(plugin->Processor()->getBusArrangement(random.Int(-1, 2), random.Int(-2, 3), arrangement),
                 "getBusArrangement");
            break;
        }
        case 7:
        {
            FUnknownPtr<IMidiMapping> mapping(&controller);
            ParamID id = 0;
            if (mapping)
                Call(mapping->getMidiControllerAssignment(random.Int(-2, 2), int16(random.Int(-3, 17)),
                                                          CtrlNumber(random.Int(-5, 140)), id),
                     "getMidiControllerAssignment");
            break;
        }
        case 8:
            TrackInformation();
            break;
        default:
            Call(plugin->Controller()->setComponentHandler(random.Chance(0.8) ? handler.get() : nullptr),
                 "setComponentHandler");
            break;
        }
    }

    void TrackInformation()
    {
        FUnknownPtr<ChannelContext::IInfoListener> listener(plugin->Component());
        if (!listener)
            return;
        void* created = nullptr;
        TUID id;
        std::memcpy(id, IAttributeList::iid, sizeof(TUID));
        if (host->createInstance(id, id, &created) != kResultTrue)
            return;
        IPtr<IAttributeList> list = owned(static_cast<IAttributeList*>(created));
        std::u16string name(std::size_t(random.Int(0, 400)), u'x');
        for (auto& unit : name)
            unit = char16_t(random.Int(1, 0xFFFF));
        if (random.Chance(0.8))
            list->setString(ChannelContext::kChannelNameKey, reinterpret_cast<const TChar*>(name.c_str()));
        if (random.Chance(0.5))
            list->setString(ChannelContext::kChannelUIDKey, reinterpret_cast<const TChar*>(name.c_str()));
        list->setInt(ChannelContext::kChannelIndexKey, std::int64_t(random.Bits()));
        list->setInt(ChannelContext::kChannelColorKey, std::int64_t(random.Bits()));
        Call(listener->setChannelContextInfos(random.Chance(0.9) ? list.get() : nullptr), "setChannelContextInfos");
    }

    // ------------------------------------------------------------ lifecycle

    void LifecycleCall()
    {
        IAudioProcessor& processor = *plugin->Processor();
        switch (random.Int(0, 12))
        {
        case 0:
        case 1:
        case 2:
        {
            // A supported setup, the rates taken in turn so every one is heard.
            rate = kRates[nextRate++ % std::size(kRates)];
            sampleSize = random.Chance(0.5) ? kSample32 : kSample64;
            maxBlock = random.Pick(kMaxBlocks);
            ProcessSetup setup {random.Chance(0.2) ? kOffline : kRealtime, sampleSize, maxBlock, rate};
            Expect(Call(processor.setupProcessing(setup), "setupProcessing") == kResultOk, "a supported setup refused");
            Call(plugin->Component()->setActive(true), "setActive");
            Call(processor.setProcessing(true), "setProcessing");
            break;
        }
        case 3:
        {
            const double refused[] = {0.0, -1.0, 1e-300, 999.0, 2000001.0, 1e12, 1e308};
            ProcessSetup setup {kRealtime, sampleSize, maxBlock, random.Chance(0.3) ? SpecialDouble(random) : random.Pick(refused)};
            if (std::isfinite(setup.sampleRate) && setup.sampleRate >= 1000.0 && setup.sampleRate <= 2000000.0)
                break;
            Expect(Call(processor.setupProcessing(setup), "setupProcessing") == kResultFalse, "a rate out of range taken");
            ProcessSetup badSize {kRealtime, random.Int(2, 100), 512, 48000.0};
            Expect(Call(processor.setupProcessing(badSize), "setupProcessing") == kResultFalse, "a sample size taken");
            break;
        }
        case 4:
            Call(plugin->Component()->setActive(random.Chance(0.5)), "setActive");
            break;
        case 5:
            Call(processor.setProcessing(random.Chance(0.5)), "setProcessing");
            break;
        case 6:
            Arrange();
            break;
        case 7:
        {
            const int32 type = random.Int(-1, 2);
            const int32 direction = random.Int(-1, 2);
            const int32 index = random.Int(-1, 2);
            const bool state = random.Chance(0.6);
            const tresult result =
                Call(plugin->Component()->activateBus(type, direction, index, state), "activateBus");
            if (result == kResultTrue && type == kAudio && direction == kOutput && index == 0)
                outputActive = state;
            break;
        }
        case 8:
            // A host that forgets the order: terminate and initialize again, or initialize twice.
            if (random.Chance(0.5))
            {
                Call(plugin->Terminate(), "terminate");
                Expect(Call(plugin->Initialize(host, handler), "initialize") == kResultOk, "initialize after terminate");
                channels = 2;
                outputActive = true;
            }
            else
            {
                Expect(Call(plugin->Component()->initialize(host), "initialize") == kResultFalse,
                       "a second initialize taken");
            }
            break;
        case 9:
            if (random.Chance(0.1))
                Recreate();
            break;
        case 10:
        {
            uint32 latency = processor.getLatencySamples();
            Expect(latency <= kMaxLatency, "a latency beyond any supported rate's");
            (void)processor.getTailSamples();
            Call(processor.canProcessSampleSize(random.Int(-1, 3)), "canProcessSampleSize");
            break;
        }
        case 11:
            QueryInterfaces();
            break;
        default:
        {
            // A block that is not there.
            ProcessData empty {};
            empty.symbolicSampleSize = sampleSize;
            empty.numSamples = random.Int(0, 64);
            ProcessScope scope;
            Call(processor.process(empty), "process");
            break;
        }
        }
    }

    void Arrange()
    {
        const SpeakerArrangement arrangements[] = {0x80000, 0x3, 0x3, 0x80000, 0, 0x7, 0x1, 0x3F, ~0ull};
        SpeakerArrangement inputs[3] = {random.Pick(arrangements), random.Pick(arrangements), random.Pick(arrangements)};
        SpeakerArrangement outputs[3] = {random.Pick(arrangements), random.Pick(arrangements), random.Pick(arrangements)};
        int32 numIns = random.Chance(0.8) ? 1 : random.Int(-1, 3);
        int32 numOuts = random.Chance(0.8) ? 1 : random.Int(-1, 3);
        if (random.Chance(0.7))
            outputs[0] = inputs[0];
        const bool nulls = random.Chance(0.05);
        const tresult result = Call(plugin->Processor()->setBusArrangements(nulls ? nullptr : inputs, numIns,
                                                                            nulls ? nullptr : outputs, numOuts),
                                    "setBusArrangements");
        if (result == kResultOk && numIns == 1 && numOuts == 1 && inputs[0] == outputs[0]
            && (inputs[0] == 0x80000 || inputs[0] == 0x3))
        {
            channels = inputs[0] == 0x3 ? 2 : 1;
            outputActive = true;
        }
    }

    void QueryInterfaces()
    {
        const TUID* known[] = {&IComponent::iid.toTUID(), &IAudioProcessor::iid.toTUID(),
                               &IEditController::iid.toTUID(), &IUnitInfo::iid.toTUID(),
                               &IConnectionPoint::iid.toTUID(), &IPlugView::iid.toTUID()};
        TUID iid;
        if (random.Chance(0.7))
            std::memcpy(iid, *random.Pick(known), sizeof(TUID));
        else
            for (auto& b : iid)
                b = char(random.Bits());
        void* object = nullptr;
        if (Call(plugin->Component()->queryInterface(iid, &object), "queryInterface") == kResultOk && object != nullptr)
            static_cast<FUnknown*>(object)->release();
    }

    void ViewCall()
    {
        const char* names[] = {ViewType::kEditor, "editor ", "", "Editor", nullptr};
        IPlugView* view = plugin->Controller()->createView(random.Pick(names));
        if (view == nullptr)
            return;
        ViewRect rect(random.Int(-5000, 5000), random.Int(-5000, 5000), random.Int(-5000, 50000), random.Int(-5000, 50000));
        Call(view->checkSizeConstraint(&rect), "checkSizeConstraint");
        Call(view->onSize(&rect), "onSize");
        Call(view->getSize(&rect), "getSize");
        FUnknownPtr<IPlugViewContentScaleSupport> scale(view);
        if (scale)
            Call(scale->setContentScaleFactor(float(random.Chance(0.5) ? SpecialDouble(random) : 4.0 * random.Unit())),
                 "setContentScaleFactor");
        Call(view->onKeyDown(char16(random.Int(0, 0xFFFF)), int16(random.Int(-10, 200)), int16(random.Int(0, 15))),
             "onKeyDown");
#ifndef _WIN32
        // Without a frame: the editor's whole layout, without a window.
        if (random.Chance(0.5))
        {
            Call(view->attached(nullptr, kPlatformTypeX11EmbedWindowID), "attached");
            Call(view->onKeyUp(char16(random.Int(0, 0x7F)), int16(random.Int(0, 60)), 0), "onKeyUp");
            if (random.Chance(0.8))
                Call(view->removed(), "removed");
        }
#endif
        view->release();
    }

    // ------------------------------------------------------------ checks

    void Check()
    {
        Bytes state;
        Expect(Call(plugin->SaveState(state), "getState") == kResultOk, "getState refused");
        if (state.size() != std::size_t(kStateBytes))
        {
            Finding("a state of " + std::to_string(state.size()) + " bytes");
            return;
        }
        for (int i = 0; i < kParams; ++i)
        {
            const double value = DoubleAt(state, std::size_t(i) * 8);
            if (!(value >= kRanges[i].min && value <= kRanges[i].max))
                Finding("parameter " + std::to_string(i) + " holds " + std::to_string(value));
        }
        const std::uint32_t flag = std::uint32_t(state[80]) | std::uint32_t(state[81]) << 8
                                   | std::uint32_t(state[82]) << 16 | std::uint32_t(state[83]) << 24;
        Expect(flag == 0 || flag == 1, "a bypass flag other than 0 or 1");
        for (ParamID id : {0u, 1u, 2u, 3u, 4u, 5u, 6u, 7u, 8u, 9u, ParamID(kBypassId)})
        {
            const double normalised = plugin->Controller()->getParamNormalized(id);
            if (!(normalised >= 0.0 && normalised <= 1.0))
                Finding("the host sees parameter " + std::to_string(id) + " at " + std::to_string(normalised));
        }
    }

    void CheckHandler()
    {
        for (const HandlerCall& call : handler->Calls())
            if (call.duringProcess)
                Finding("the component handler was called from process");
        handler->Clear();
    }

    std::shared_ptr<Module> module;
    std::uint64_t seed;
    HostileRandom random;
    IPtr<HostApplication> host = owned(new HostApplication());
    IPtr<ComponentHandler> handler = owned(new ComponentHandler());
    std::unique_ptr<PluginInstance> plugin;
    HostileAudio audio;
    HostileChanges changes;
    long inputs = 0;
    int findings = 0;
    int channels = 2;
    bool outputActive = true;
    bool hostBypass = false;
    int32 sampleSize = kSample64;
    int32 maxBlock = 1024;
    double rate = 48000.0;
    std::size_t nextRate = 0;
};

std::shared_ptr<Module> LoadPlugin()
{
    std::string error;
    std::shared_ptr<Module> module = Module::Load(RINGSTILL_PLUGIN_BUNDLE, &error);
    EXPECT_NE(module, nullptr) << error;
    return module;
}

// One summary line for scripts/soak.sh.
void Report(const char* run, std::uint64_t seed, long inputs, int findings, double seconds)
{
    std::printf("hostile %s: seed %llu, %ld inputs, %d findings, %.1f s\n", run, static_cast<unsigned long long>(seed),
                inputs, findings, seconds);
    std::fflush(stdout);
}

TEST(Vst3Hostile, EveryInputKeepsThePlugInsPromises)
{
    std::shared_ptr<Module> module = LoadPlugin();
    ASSERT_NE(module, nullptr);
    const std::uint64_t seed = RunSeed();
    const long inputs = EnvNumber("RINGSTILL_HOSTILE_INPUTS", kDefaultInputs);
    const auto start = std::chrono::steady_clock::now();
    HostileRun run(module, seed);
    ASSERT_FALSE(HasFatalFailure());
    while (run.Inputs() < inputs)
        run.Input();
    run.Finish();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    Report("single thread", seed, run.Inputs(), run.Findings(), seconds);
    EXPECT_EQ(run.Findings(), 0);
}

// The audio thread runs hostile blocks while the UI thread restores and saves states, sets and
// reads parameters, and opens and closes the editor: what a host may do at the same time.
TEST(Vst3HostileConcurrency, StateControllerAndEditorCallsWhileTheAudioThreadRuns)
{
    std::shared_ptr<Module> module = LoadPlugin();
    ASSERT_NE(module, nullptr);
    IPtr<HostApplication> host = owned(new HostApplication());
    IPtr<ComponentHandler> handler = owned(new ComponentHandler());
    std::unique_ptr<PluginInstance> plugin = ringstill::test::NewInitialisedInstance(module, host, handler);
    ASSERT_NE(plugin, nullptr);
    ASSERT_EQ(plugin->StartProcessing(kSample32, 44100.0, 512), kResultOk);
    const std::uint64_t seed = RunSeed();
    const long blocks = std::max(1L, EnvNumber("RINGSTILL_HOSTILE_INPUTS", kDefaultInputs) / 8);
    const auto start = std::chrono::steady_clock::now();

    std::atomic<bool> done {false};
    std::atomic<int> audioFindings {0};
    std::thread audioThread([&] {
        HostileRandom random(seed ^ 0xA5A5A5A5ull);
        HostileAudio audio(2048);
        HostileChanges changes;
        for (long block = 0; block < blocks; ++block)
        {
            ProcessData data {};
            audio.Prepare(random, data, kSample32, 2, random.Int(0, 2048), true);
            if (random.Chance(0.5))
            {
                changes.Fill(random, data.numSamples);
                data.inputParameterChanges = &changes;
            }
            ProcessScope scope;
            const tresult result = plugin->Processor()->process(data);
            // Finite samples in, finite samples out, bypassed or not.
            if (result != kResultOk || !audio.OutputsFinite() || !audio.GuardsIntact())
                ++audioFindings;
        }
        done = true;
    });

    HostileRandom random(seed);
    long calls = 0;
    int findings = 0;
    while (!done)
    {
        ++calls;
        IEditController& controller = *plugin->Controller();
        switch (random.Int(0, 5))
        {
        case 0:
        {
            Bytes bytes;
            plugin->SaveState(bytes);
            bytes.resize(std::size_t(random.Int(0, 120)), std::uint8_t(random.Bits()));
            HostileStream stream(bytes, random.Chance(0.7) ? HostileStream::Mode::Plain : HostileStream::Mode::ShortReads,
                                 random.Bits());
            const tresult result = plugin->Component()->setState(&stream);
            findings += result == kResultOk || result == kResultFalse ? 0 : 1;
            break;
        }
        case 1:
            controller.setParamNormalized(ParamID(random.Int(0, 9)), random.Unit());
            break;
        case 2:
        {
            String128 text = {};
            controller.getParamStringByValue(ParamID(random.Int(0, 9)), random.Unit(), text);
            (void)controller.getParamNormalized(ParamID(random.Int(0, 9)));
            break;
        }
        case 3:
        {
            IPlugView* view = controller.createView(ViewType::kEditor);
#ifndef _WIN32
            if (view != nullptr && view->attached(nullptr, kPlatformTypeX11EmbedWindowID) == kResultOk)
                view->removed();
#endif
            if (view != nullptr)
                view->release();
            break;
        }
        default:
        {
            Bytes state;
            const tresult result = plugin->SaveState(state);
            findings += result == kResultOk && state.size() == std::size_t(kStateBytes) ? 0 : 1;
            for (int i = 0; i < kParams && state.size() == std::size_t(kStateBytes); ++i)
            {
                const double value = DoubleAt(state, std::size_t(i) * 8);
                findings += value >= kRanges[i].min && value <= kRanges[i].max ? 0 : 1;
            }
            break;
        }
        }
    }
    audioThread.join();
    for (const HandlerCall& call : handler->Calls())
        findings += call.duringProcess ? 1 : 0;
    EXPECT_EQ(audioFindings.load(), 0) << "blocks that went wrong";
    findings += audioFindings.load();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    Report("two threads", seed, blocks + calls, findings, seconds);
    EXPECT_EQ(findings, 0);
    EXPECT_GT(calls, 0);
}

} // namespace
