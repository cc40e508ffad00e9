// The plug-in at the edge of what a host may do, through the module as a host loads it: the setups
// it accepts and how it refuses the others, that nothing thrown inside (an allocation failing
// anywhere, a host object that throws) ever reaches the host, and that the host's component
// handler is called from its UI thread only, never from process.
#include "tests/fixtures/vst3-tenparam/TenParamPlugin.h"
#include "tests/support/AllocCounter.h"
#include "tests/support/ModuleHeap.h"
#include "tests/support/Vst3TestHost.h"
#include "framework/Timer.h"
#include "tools/vst3-host/Streams.h"
#include "tools/vst3-host/Text.h"
#ifndef _WIN32
#include "tools/vst3-host/HostFrame.h"
#endif

#include "pluginterfaces/gui/iplugview.h"
#include "pluginterfaces/vst/ivstchannelcontextinfo.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <stdexcept>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

using namespace Steinberg;
using namespace Steinberg::Vst;
using namespace ringstill::vst3host;
using ringstill::test::QueryOf;

namespace {

constexpr ParamID kNoNoiseId = 5;
constexpr ParamID kNoReverbId = 6;
constexpr ParamID kGainId = 7;
constexpr ParamID kBypassId = 65536;
constexpr int kStateBytes = 84;
constexpr int kNoReverbLatency = 512;

// What No-Noise delays by at a rate: one frame of the denoiser at the rate, its own frame of delay
// and a margin for the resamplers.
uint32 NoNoiseLatency(double rate)
{
    const long frame = std::lround(rate * 480.0 / 48000.0);
    return uint32(2 * frame + 32);
}

bool AllFinite(const ProcessBuffers& buffers, int frames)
{
    for (int c = 0; c < buffers.OutputChannels(0); ++c)
        for (int n = 0; n < frames; ++n)
            if (!std::isfinite(buffers.Output(0, c, n)))
                return false;
    return true;
}

// A tone at a fixed fraction of the rate, so every rate hears the same thing.
void FillTone(ProcessBuffers& buffers, long start, int frames)
{
    for (int c = 0; c < buffers.InputChannels(0); ++c)
        for (int n = 0; n < frames; ++n)
            buffers.SetInput(0, c, n, 0.3 * std::sin(0.17 * double(start + n) + c));
}

double Energy(const ProcessBuffers& buffers, int frames)
{
    double sum = 0.0;
    for (int c = 0; c < buffers.OutputChannels(0); ++c)
        for (int n = 0; n < frames; ++n)
            sum += buffers.Output(0, c, n) * buffers.Output(0, c, n);
    return sum;
}

class Vst3Reliability : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::string error;
        module = Module::Load(RINGSTILL_PLUGIN_BUNDLE, &error);
        ASSERT_NE(module, nullptr) << error;
        ASSERT_TRUE(ringstill::test::CountModuleHeapCalls(module->Symbol("GetPluginFactory")));
        instance = NewInstance();
        ASSERT_NE(instance, nullptr);
    }

    std::unique_ptr<PluginInstance> NewInstance()
    {
        return ringstill::test::NewInitialisedInstance(module, host, handler);
    }

    IAudioProcessor& Processor() { return *instance->Processor(); }

    static tresult Setup(PluginInstance& plugin, double rate, int32 maxBlock,
                         SymbolicSampleSizes size = kSample64)
    {
        ProcessSetup setup {kRealtime, size, maxBlock, rate};
        return plugin.Processor()->setupProcessing(setup);
    }

    // One block with No-Noise and No-Reverb set as given (normalised), the tone in.
    static tresult Block(PluginInstance& plugin, ProcessBuffers& buffers, int frames, double noNoise,
                         double noReverb, long start = 0)
    {
        buffers.InputChanges().Clear();
        buffers.InputChanges().AddPoint(kNoNoiseId, 0, noNoise);
        buffers.InputChanges().AddPoint(kNoReverbId, 0, noReverb);
        FillTone(buffers, start, frames);
        buffers.FillOutputs(9.0);
        return plugin.Process(buffers, frames);
    }

    // What any host can rely on after whatever went before: a full start, blocks that sound,
    // a latency that follows No-Noise, and an 84-byte state.
    void ExpectUsable(PluginInstance& plugin, const char* after)
    {
        SCOPED_TRACE(after);
        ProcessBuffers buffers(kSample32, {2}, {2}, 256);
        ASSERT_EQ(plugin.StartProcessing(kSample32, 48000.0, 256), kResultOk);
        for (int block = 0; block < 3; ++block)
        {
            ASSERT_EQ(Block(plugin, buffers, 256, 0.5, 0.0, block * 256L), kResultOk);
            ASSERT_TRUE(AllFinite(buffers, 256));
        }
        EXPECT_GT(Energy(buffers, 256), 0.0);
        EXPECT_EQ(plugin.Processor()->getLatencySamples(), NoNoiseLatency(48000.0));
        Bytes state;
        EXPECT_EQ(plugin.SaveState(state), kResultOk);
        EXPECT_EQ(state.size(), std::size_t(kStateBytes));
    }

    IPtr<HostApplication> host = owned(new HostApplication());
    IPtr<ComponentHandler> handler = owned(new ComponentHandler());
    std::shared_ptr<Module> module;
    std::unique_ptr<PluginInstance> instance;
};

// ---------------------------------------------------------------- supported setups

class Vst3RefusedRate : public Vst3Reliability, public ::testing::WithParamInterface<double>
{
};

TEST_P(Vst3RefusedRate, IsRefusedAndThePreviousSetupStays)
{
    ProcessBuffers buffers(kSample64, {2}, {2}, 512);
    ASSERT_EQ(instance->StartProcessing(kSample64, 44100.0, 512), kResultOk);
    ASSERT_EQ(Block(*instance, buffers, 512, 0.5, 0.0), kResultOk);
    ASSERT_EQ(Processor().getLatencySamples(), NoNoiseLatency(44100.0));

    EXPECT_EQ(Setup(*instance, GetParam(), 512), kResultFalse);
    // No reset happened: the latency of the running setup is still reported, and blocks go on.
    EXPECT_EQ(Processor().getLatencySamples(), NoNoiseLatency(44100.0));
    ASSERT_EQ(Block(*instance, buffers, 512, 0.5, 0.0, 512), kResultOk);
    EXPECT_TRUE(AllFinite(buffers, 512));
    EXPECT_GT(Energy(buffers, 512), 0.0);
    EXPECT_EQ(Processor().getLatencySamples(), NoNoiseLatency(44100.0));
}

INSTANTIATE_TEST_SUITE_P(
    NotFiniteNotPositiveOrOutOfRange, Vst3RefusedRate,
    ::testing::Values(std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                      -std::numeric_limits<double>::infinity(), 0.0, -0.0, -48000.0, 1e-300,
                      std::numeric_limits<double>::denorm_min(), 999.999, 2000000.5, 1e9, 1e300,
                      std::numeric_limits<double>::max()));

class Vst3SupportedRate : public Vst3Reliability, public ::testing::WithParamInterface<double>
{
};

TEST_P(Vst3SupportedRate, ProcessesWithTheRatesLatency)
{
    const double rate = GetParam();
    ProcessBuffers buffers(kSample32, {2}, {2}, 700);
    ASSERT_EQ(instance->StartProcessing(kSample32, rate, 700), kResultOk);
    long t = 0;
    // Off, No-Reverb alone, No-Noise alone, both; blocks of odd lengths, one longer than announced.
    const double settings[][2] = {{0.0, 0.0}, {0.0, 0.5}, {0.5, 0.0}, {0.5, 0.5}};
    const uint32 latencies[] = {0u, uint32(kNoReverbLatency), NoNoiseLatency(rate),
                                NoNoiseLatency(rate) + uint32(kNoReverbLatency)};
    for (int i = 0; i < 4; ++i)
    {
        for (int frames : {1, 333, 700})
        {
            ASSERT_EQ(Block(*instance, buffers, frames, settings[i][0], settings[i][1], t), kResultOk);
            ASSERT_TRUE(AllFinite(buffers, frames)) << "setting " << i << ", " << frames << " frames";
            t += frames;
        }
        EXPECT_EQ(Processor().getLatencySamples(), latencies[i]) << "setting " << i;
    }
    EXPECT_GT(Energy(buffers, 700), 0.0);
}

TEST_P(Vst3SupportedRate, OneSetupTakesBoundedMemoryForAnyMaximumBlock)
{
    // The largest maximum a host can give: the blocks then run in bounded pieces.
    const std::size_t before = ringstill::test::AllocatedBytes();
    ASSERT_EQ(Setup(*instance, GetParam(), INT_MAX), kResultOk);
    const std::size_t taken = ringstill::test::AllocatedBytes() - before;
    // Two denoiser states take about 32 MB at any rate; scratch buffers, the clean-up stages'
    // queues and the bypass delay add a few MB at most.
    EXPECT_LT(taken, std::size_t(48) << 20);
    ASSERT_EQ(Processor().setProcessing(true), kResultOk);
    // Longer than a piece in samples (65536) or in time (2 s).
    const int frames = GetParam() >= 96000.0 ? 70000 : int(GetParam() * 2.5);
    ProcessBuffers buffers(kSample64, {2}, {2}, frames);
    ASSERT_EQ(Block(*instance, buffers, frames, 0.5, 0.5), kResultOk);
    EXPECT_TRUE(AllFinite(buffers, frames));
    EXPECT_GT(Energy(buffers, frames), 0.0);
}

INSTANTIATE_TEST_SUITE_P(HostAndValidatorRates, Vst3SupportedRate,
                         ::testing::Values(1000.0, 1234.5678, 8000.0, 22050.0, 44100.0, 48000.0, 96000.0,
                                           192000.0, 384000.0, 768000.0, 1234567.8, 2000000.0),
                         [](const ::testing::TestParamInfo<double>& info) {
                             return std::to_string(std::lround(info.param * 10.0)) + "dHz";
                         });

class Vst3SmallMaximumBlock : public Vst3Reliability, public ::testing::WithParamInterface<int32>
{
};

TEST_P(Vst3SmallMaximumBlock, WorksAsAMaximumOf1024)
{
    // A reference set up with 1024 hears the same blocks; both must agree to the bit.
    std::unique_ptr<PluginInstance> reference = NewInstance();
    ASSERT_NE(reference, nullptr);
    ASSERT_EQ(instance->StartProcessing(kSample64, 48000.0, GetParam()), kResultOk);
    ASSERT_EQ(reference->StartProcessing(kSample64, 48000.0, 1024), kResultOk);
    ProcessBuffers buffers(kSample64, {2}, {2}, 3000);
    ProcessBuffers expected(kSample64, {2}, {2}, 3000);
    long t = 0;
    for (int frames : {1024, 3000, 1, 517})
    {
        ASSERT_EQ(Block(*instance, buffers, frames, 0.5, 0.5, t), kResultOk);
        ASSERT_EQ(Block(*reference, expected, frames, 0.5, 0.5, t), kResultOk);
        for (int c = 0; c < 2; ++c)
            for (int n = 0; n < frames; ++n)
                ASSERT_EQ(buffers.Output(0, c, n), expected.Output(0, c, n)) << frames << " frames, at " << n;
        EXPECT_EQ(Processor().getLatencySamples(), reference->Processor()->getLatencySamples());
        t += frames;
    }
    EXPECT_EQ(Processor().getLatencySamples(), NoNoiseLatency(48000.0) + uint32(kNoReverbLatency));
    EXPECT_GT(Energy(buffers, 517), 0.0);
}

INSTANTIATE_TEST_SUITE_P(ZeroAndBelow, Vst3SmallMaximumBlock, ::testing::Values(0, -1, INT_MIN));

TEST_F(Vst3Reliability, AfterAResetTheLatencyReadsZeroUntilTheFirstBlock)
{
    const uint32 both = NoNoiseLatency(48000.0) + uint32(kNoReverbLatency);
    ProcessBuffers buffers(kSample32, {2}, {2}, 256);
    ASSERT_EQ(instance->StartProcessing(kSample32, 48000.0, 256), kResultOk);
    ASSERT_EQ(Block(*instance, buffers, 256, 0.5, 0.5), kResultOk);
    EXPECT_EQ(Processor().getLatencySamples(), both);
    ASSERT_EQ(Processor().setProcessing(false), kResultOk);
    EXPECT_EQ(Processor().getLatencySamples(), 0u);
    ASSERT_EQ(Processor().setProcessing(true), kResultOk);
    EXPECT_EQ(Processor().getLatencySamples(), 0u);
    ASSERT_EQ(Block(*instance, buffers, 256, 0.5, 0.5), kResultOk);
    EXPECT_EQ(Processor().getLatencySamples(), both);
}

// ---------------------------------------------------------------- nothing thrown reaches the host

// What a failing call works on, made before it is armed: every allocation during the armed call
// belongs to the plug-in or to the host objects it calls.
struct CallContext
{
    std::shared_ptr<Module> module;
    IPtr<HostApplication> host;
    IPtr<ComponentHandler> handler;
    IPtr<MemoryStream> stream;
    IPtr<IAttributeList> attributes;
    std::unique_ptr<ProcessBuffers> buffers;
    PClassInfo2 classInfo {};
};

// One host call whose every allocation is made to fail in turn. prepare runs first, unarmed, on a
// fresh instance; act is the armed call, which gives `success` when nothing fails. A failure gives
// one of the failure results, and the instance stays usable, after recover (what a host does when
// the call failed) where there is one.
struct FailingCall
{
    const char* name;
    void (*prepare)(CallContext&, PluginInstance&);
    tresult (*act)(CallContext&, PluginInstance&);
    tresult success = kResultOk;
    void (*recover)(CallContext&, PluginInstance&) = nullptr;
};

class Vst3AllocationFailure : public Vst3Reliability, public ::testing::WithParamInterface<FailingCall>
{
};

TEST_P(Vst3AllocationFailure, LeavesThePlugInUsable)
{
    const FailingCall& call = GetParam();
    int failures = 0;
    for (long k = 0;; ++k)
    {
        ASSERT_LT(k, 100000) << "the call never completes";
        std::unique_ptr<PluginInstance> plugin = NewInstance();
        ASSERT_NE(plugin, nullptr);
        CallContext context;
        context.module = module;
        context.host = host;
        context.handler = handler;
        call.prepare(context, *plugin);
        ASSERT_FALSE(HasFatalFailure());
        tresult result = kResultOk;
        ringstill::test::FailAllocationAfter(k);
        EXPECT_NO_THROW(result = call.act(context, *plugin)) << "allocation " << k;
        const bool failed = ringstill::test::AllocationFailureHappened();
        ringstill::test::FailAllocationAfter(-1);
        if (!failed)
        {
            EXPECT_EQ(result, call.success) << "nothing failed";
            RecordProperty("allocations", int(k));
            break;
        }
        ++failures;
        EXPECT_TRUE(result == call.success || result == kResultFalse || result == kInternalError
                    || result == kOutOfMemory)
            << "allocation " << k << " gave " << result;
        // A block right away, as a host that ignores the result would send: never harmful.
        ProcessBuffers buffers(kSample32, {2}, {2}, 64);
        FillTone(buffers, 0, 64);
        buffers.FillOutputs(9.0);
        EXPECT_NO_THROW(plugin->Process(buffers, 64));
        EXPECT_TRUE(AllFinite(buffers, 64));
        SCOPED_TRACE("after allocation " + std::to_string(k) + " failed, giving " + std::to_string(result));
        if (call.recover != nullptr && result != call.success)
            call.recover(context, *plugin);
        ExpectUsable(*plugin, call.name);
        if (HasFatalFailure() || (HasFailure() && failures > 3))
            return;
    }
}

void Nothing(CallContext&, PluginInstance&) {}

void Start(CallContext&, PluginInstance& plugin)
{
    ASSERT_EQ(plugin.StartProcessing(kSample32, 48000.0, 256), kResultOk);
}

void Terminated(CallContext&, PluginInstance& plugin) { ASSERT_EQ(plugin.Terminate(), kResultOk); }

void InitialiseAgain(CallContext& context, PluginInstance& plugin)
{
    ASSERT_EQ(plugin.Initialize(context.host, context.handler), kResultOk);
}

void ClassInfo(CallContext& context, PluginInstance&)
{
    const std::vector<PClassInfo2> classes = context.module->Classes();
    ASSERT_FALSE(classes.empty());
    context.classInfo = classes.front();
}

void EmptyStream(CallContext& context, PluginInstance&) { context.stream = NewStream(); }

void SavedState(CallContext& context, PluginInstance& plugin)
{
    Bytes state;
    ASSERT_EQ(plugin.SaveState(state), kResultOk);
    context.stream = StreamOf(state);
}

void TruncatedState(CallContext& context, PluginInstance& plugin)
{
    Bytes state;
    ASSERT_EQ(plugin.SaveState(state), kResultOk);
    state.resize(44);
    context.stream = StreamOf(state);
}

void StartedWithBuffers(CallContext& context, PluginInstance& plugin)
{
    Start(context, plugin);
    context.buffers = std::make_unique<ProcessBuffers>(kSample32, std::vector<int> {2}, std::vector<int> {2}, 700);
}

void LongTrackName(CallContext& context, PluginInstance&)
{
    void* created = nullptr;
    TUID id;
    std::memcpy(id, IAttributeList::iid, sizeof(TUID));
    ASSERT_EQ(context.host->createInstance(id, id, &created), kResultTrue);
    context.attributes = owned(static_cast<IAttributeList*>(created));
    const std::u16string name = Widen(std::string(200, 'x'));
    context.attributes->setString(ChannelContext::kChannelNameKey, reinterpret_cast<const TChar*>(name.c_str()));
    context.attributes->setString(ChannelContext::kChannelUIDKey, reinterpret_cast<const TChar*>(name.c_str()));
    context.attributes->setInt(ChannelContext::kChannelIndexKey, 7);
}

tresult CreateInstance(CallContext& context, PluginInstance&)
{
    void* object = nullptr;
    TUID iid;
    std::memcpy(iid, IComponent::iid, sizeof(TUID));
    const tresult result = context.module->Factory()->createInstance(
        reinterpret_cast<FIDString>(context.classInfo.cid), reinterpret_cast<FIDString>(iid), &object);
    if (object != nullptr)
        static_cast<IComponent*>(object)->release();
    return result;
}

tresult Initialise(CallContext& context, PluginInstance& plugin)
{
    return plugin.Initialize(context.host, context.handler);
}

tresult ArrangeMono(CallContext&, PluginInstance& plugin)
{
    SpeakerArrangement mono = 0x80000;
    return plugin.Processor()->setBusArrangements(&mono, 1, &mono, 1);
}

tresult SetUp44100(CallContext&, PluginInstance& plugin)
{
    ProcessSetup setup {kRealtime, kSample32, 512, 44100.0};
    return plugin.Processor()->setupProcessing(setup);
}

tresult StopProcessing(CallContext&, PluginInstance& plugin) { return plugin.Processor()->setProcessing(false); }

tresult ProcessBlocks(CallContext& context, PluginInstance& plugin)
{
    ProcessBuffers& buffers = *context.buffers;
    for (int frames : {256, 700, 3})
    {
        buffers.InputChanges().Clear();
        buffers.InputChanges().AddPoint(kNoNoiseId, 0, frames == 700 ? 0.0 : 0.6);
        buffers.InputChanges().AddPoint(kNoReverbId, 0, 0.6);
        const tresult result = plugin.Process(buffers, frames);
        if (result != kResultOk)
            return result;
    }
    return kResultOk;
}

tresult GetState(CallContext& context, PluginInstance& plugin) { return plugin.Component()->getState(context.stream); }

tresult SetState(CallContext& context, PluginInstance& plugin) { return plugin.Component()->setState(context.stream); }

tresult ParameterTexts(CallContext&, PluginInstance& plugin)
{
    IEditController& controller = *plugin.Controller();
    for (int32 i = 0; i < controller.getParameterCount(); ++i)
    {
        ParameterInfo info {};
        String128 text = {};
        ParamValue value = 0.0;
        tresult result = controller.getParameterInfo(i, info);
        if (result == kResultOk)
            result = controller.getParamStringByValue(info.id, 0.37, text);
        if (result == kResultOk)
            result = controller.getParamValueByString(info.id, text, value);
        if (result != kResultOk)
            return result;
    }
    return kResultOk;
}

tresult TrackInformation(CallContext& context, PluginInstance& plugin)
{
    void* listener = nullptr;
    if (plugin.Component()->queryInterface(ChannelContext::IInfoListener::iid, &listener) != kResultOk)
        return kNoInterface;
    auto* info = static_cast<ChannelContext::IInfoListener*>(listener);
    const tresult result = info->setChannelContextInfos(context.attributes);
    info->release();
    return result;
}

tresult EditorView(CallContext&, PluginInstance& plugin)
{
    IPlugView* view = plugin.Controller()->createView(ViewType::kEditor);
    if (view == nullptr)
        return kOutOfMemory;
    ViewRect size {};
    tresult result = view->getSize(&size);
#ifndef _WIN32
    // Without a frame the view holds the editor without a window: its whole layout is built.
    if (result == kResultOk)
        result = view->attached(nullptr, kPlatformTypeX11EmbedWindowID);
    if (result == kResultOk)
        result = view->removed();
#endif
    view->release();
    return result;
}

INSTANTIATE_TEST_SUITE_P(
    EveryAllocationOfEveryCall, Vst3AllocationFailure,
    ::testing::Values(FailingCall {"createInstance", ClassInfo, CreateInstance},
                      FailingCall {"initialize", Terminated, Initialise, kResultOk, InitialiseAgain},
                      FailingCall {"setBusArrangements", Nothing, ArrangeMono},
                      FailingCall {"setupProcessing", Nothing, SetUp44100},
                      FailingCall {"setProcessing", Start, StopProcessing},
                      FailingCall {"process", StartedWithBuffers, ProcessBlocks},
                      FailingCall {"getState", EmptyStream, GetState},
                      FailingCall {"setState", SavedState, SetState},
                      FailingCall {"setStateTruncated", TruncatedState, SetState, kResultFalse},
                      FailingCall {"parameterTexts", Nothing, ParameterTexts},
                      FailingCall {"setChannelContextInfos", LongTrackName, TrackInformation},
                      FailingCall {"editorView", Nothing, EditorView}),
    [](const ::testing::TestParamInfo<FailingCall>& info) { return std::string(info.param.name); });

TEST_F(Vst3Reliability, TheFactoryThatCouldNotBeMadeIsMadeAtTheNextCall)
{
    using GetFactory = IPluginFactory* (*)();
    auto getFactory = reinterpret_cast<GetFactory>(module->Symbol("GetPluginFactory"));
    ASSERT_NE(getFactory, nullptr);
    // With every reference gone, the next call builds the factory anew.
    instance.reset();
    module->ReleaseFactory();
    int failures = 0;
    for (long k = 0; k < 1000; ++k)
    {
        ringstill::test::FailAllocationAfter(k);
        IPluginFactory* factory = nullptr;
        EXPECT_NO_THROW(factory = getFactory());
        const bool failed = ringstill::test::AllocationFailureHappened();
        ringstill::test::FailAllocationAfter(-1);
        if (factory != nullptr)
        {
            EXPECT_EQ(factory->countClasses(), 1);
            factory->release();
        }
        if (!failed)
        {
            EXPECT_NE(factory, nullptr);
            break;
        }
        EXPECT_EQ(factory, nullptr) << "allocation " << k;
        ++failures;
    }
    EXPECT_GE(failures, 1);
    std::string error;
    std::shared_ptr<Module> again = Module::Load(RINGSTILL_PLUGIN_BUNDLE, &error);
    ASSERT_NE(again, nullptr) << error;
    std::unique_ptr<PluginInstance> plugin = ringstill::test::NewInitialisedInstance(again, host, handler);
    ASSERT_NE(plugin, nullptr);
    ExpectUsable(*plugin, "a new factory");
}

// Host objects that throw: a broken host's exception never comes back out of the plug-in.
class ThrowingStream final : public MemoryStream
{
public:
    tresult PLUGIN_API read(void*, int32, int32*) override { throw std::runtime_error("host stream"); }
    tresult PLUGIN_API write(void*, int32, int32*) override { throw std::runtime_error("host stream"); }
};

class ThrowingChanges final : public IParameterChanges
{
public:
    int32 PLUGIN_API getParameterCount() override { return 1; }
    IParamValueQueue* PLUGIN_API getParameterData(int32) override { throw std::runtime_error("host queue"); }
    IParamValueQueue* PLUGIN_API addParameterData(const ParamID&, int32&) override { return nullptr; }
    tresult PLUGIN_API queryInterface(const TUID, void** obj) override
    {
        *obj = nullptr;
        return kNoInterface;
    }
    uint32 PLUGIN_API addRef() override { return 1; }
    uint32 PLUGIN_API release() override { return 1; }
};

TEST_F(Vst3Reliability, ExceptionsThrownByTheHostsObjectsStayInside)
{
    IPtr<ThrowingStream> stream = owned(new ThrowingStream());
    tresult result = kResultOk;
    EXPECT_NO_THROW(result = instance->Component()->setState(stream));
    EXPECT_EQ(result, kInternalError);
    EXPECT_NO_THROW(result = instance->Component()->getState(stream));
    EXPECT_EQ(result, kInternalError);

    ProcessBuffers buffers(kSample32, {2}, {2}, 128);
    ASSERT_EQ(instance->StartProcessing(kSample32, 48000.0, 128), kResultOk);
    ThrowingChanges changes;
    ProcessData& data = buffers.Prepare(128);
    data.inputParameterChanges = &changes;
    FillTone(buffers, 0, 128);
    buffers.FillOutputs(9.0);
    EXPECT_NO_THROW(result = Processor().process(data));
    EXPECT_EQ(result, kInternalError);
    for (int n = 0; n < 128; ++n)
        ASSERT_EQ(buffers.Output(0, 1, n), 0.0) << "a failed block is silent";
    ASSERT_EQ(instance->StopProcessing(), kResultOk);
    ExpectUsable(*instance, "the host's exceptions");
}

// ---------------------------------------------------------------- host calls on the UI thread

#ifdef _WIN32
// The UI thread's message loop: where a Windows host's idle timers tick.
void PumpMessages()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
    {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}
#endif

// (Its own suite, so the thread sanitizer build runs it.)
class Vst3HostThreadsConcurrency : public Vst3Reliability
{
};

TEST_F(Vst3HostThreadsConcurrency, NoHostCallComesFromTheAudioThreadAndTheLatencyIsThereAtOnce)
{
    ProcessBuffers buffers(kSample32, {2}, {2}, 256);
    ASSERT_EQ(instance->StartProcessing(kSample32, 48000.0, 256), kResultOk);
    handler->Clear();
    std::atomic<bool> done {false};
    std::atomic<int> wrongLatencies {0};
    std::thread audio([&] {
        for (int block = 0; block < 48; ++block)
        {
            const bool noNoise = (block / 3) % 2 == 1;
            const bool noReverb = (block / 4) % 2 == 1;
            Block(*instance, buffers, 256, noNoise ? 0.5 : 0.0, noReverb ? 0.5 : 0.0, block * 256L);
            // What a host asks right after the block, from whichever thread.
            const uint32 expected = (noNoise ? NoNoiseLatency(48000.0) : 0u) + (noReverb ? kNoReverbLatency : 0u);
            if (Processor().getLatencySamples() != expected)
                ++wrongLatencies;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        done = true;
    });
    // The UI thread meanwhile: the host's own calls, and on Windows its message loop.
    while (!done)
    {
        Bytes state;
        EXPECT_EQ(instance->SaveState(state), kResultOk);
        (void)Processor().getLatencySamples();
#ifdef _WIN32
        PumpMessages();
#endif
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    audio.join();
    EXPECT_EQ(wrongLatencies.load(), 0);
#ifdef _WIN32
    // The last change reaches the host within a tick or two of the idle timer.
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (handler->Count(HandlerCall::kRestartComponent) == 0 && std::chrono::steady_clock::now() < until)
    {
        PumpMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_GE(handler->Count(HandlerCall::kRestartComponent), 1u);
#endif
    for (const HandlerCall& call : handler->Calls())
    {
        EXPECT_FALSE(call.duringProcess);
        EXPECT_EQ(call.thread, std::this_thread::get_id());
        EXPECT_EQ(call.flags, kLatencyChanged);
    }
}

TEST_F(Vst3Reliability, ArdourHearsOfALatencyChangeFromTheThreadThatMadeItOnLinux)
{
    IPtr<HostApplication> ardour = owned(new HostApplication("Ardour"));
    std::unique_ptr<PluginInstance> plugin = ringstill::test::NewInitialisedInstance(module, ardour, handler);
    ASSERT_NE(plugin, nullptr);
    ProcessBuffers buffers(kSample32, {2}, {2}, 256);
    ASSERT_EQ(plugin->StartProcessing(kSample32, 48000.0, 256), kResultOk);
    handler->Clear();
    ASSERT_EQ(Block(*plugin, buffers, 256, 0.5, 0.0), kResultOk);
    EXPECT_EQ(plugin->Processor()->getLatencySamples(), NoNoiseLatency(48000.0));
#ifdef _WIN32
    // Windows' idle timer reaches every host on its UI thread.
    EXPECT_EQ(handler->Count(HandlerCall::kRestartComponent), 0u);
#else
    // Ardour offers its run loop to an open editor only, and relies on hearing it from process.
    const std::vector<HandlerCall> calls = handler->Calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].flags, kLatencyChanged);
    EXPECT_TRUE(calls[0].duringProcess);
#endif
}

#ifndef _WIN32
// A Linux host that offers its run loop beside its component handler, not only to the editor.
class RunLoopHandler final : public IComponentHandler
{
public:
    explicit RunLoopHandler(IPtr<HostFrame> frame) : frame(std::move(frame)) {}

    tresult PLUGIN_API beginEdit(ParamID) override { return kResultOk; }
    tresult PLUGIN_API performEdit(ParamID, ParamValue) override { return kResultOk; }
    tresult PLUGIN_API endEdit(ParamID) override { return kResultOk; }
    tresult PLUGIN_API restartComponent(int32 flags) override
    {
        restarts.push_back({flags, std::this_thread::get_id(), ProcessScope::Active()});
        return kResultOk;
    }
    tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override
    {
        if (FUnknownPrivate::iidEqual(iid, Linux::IRunLoop::iid))
            return frame->queryInterface(iid, obj);
        QUERY_INTERFACE(iid, obj, FUnknown::iid, IComponentHandler)
        QUERY_INTERFACE(iid, obj, IComponentHandler::iid, IComponentHandler)
        *obj = nullptr;
        return kNoInterface;
    }
    uint32 PLUGIN_API addRef() override { return 1; }
    uint32 PLUGIN_API release() override { return 1; }

    struct Restart
    {
        int32 flags;
        std::thread::id thread;
        bool duringProcess;
    };
    std::vector<Restart> restarts;

private:
    IPtr<HostFrame> frame;
};

TEST_F(Vst3Reliability, AHostsRunLoopBesideTheHandlerTicksWithTheEditorClosed)
{
    IPtr<HostFrame> frame = owned(new HostFrame());
    RunLoopHandler runLoopHandler(frame);
    ASSERT_EQ(instance->Controller()->setComponentHandler(&runLoopHandler), kResultTrue);
    EXPECT_EQ(frame->TimerCount(), 1u) << "the idle ticks on the host's run loop";
    ProcessBuffers buffers(kSample32, {2}, {2}, 256);
    ASSERT_EQ(instance->StartProcessing(kSample32, 48000.0, 256), kResultOk);
    std::thread([&] { Block(*instance, buffers, 256, 0.5, 0.0); }).join();
    EXPECT_TRUE(runLoopHandler.restarts.empty());
    frame->RunFor(std::chrono::milliseconds(100));
    ASSERT_EQ(runLoopHandler.restarts.size(), 1u);
    EXPECT_EQ(runLoopHandler.restarts[0].flags, kLatencyChanged);
    EXPECT_EQ(runLoopHandler.restarts[0].thread, std::this_thread::get_id());
    EXPECT_FALSE(runLoopHandler.restarts[0].duringProcess);
    // A handler without a run loop, and then none: the ticks leave the host's loop.
    ASSERT_EQ(instance->Controller()->setComponentHandler(handler), kResultTrue);
    EXPECT_EQ(frame->TimerCount(), 0u);
}
#endif

// The binding built into this test, so the idle timer can be pumped by hand on every platform.
class AnnouncingPlugin final : public ringstill::test::TenParamPlugin
{
public:
    AnnouncingPlugin() { StartIdleTimer(); }

    void ResetDsp() override
    {
        TenParamPlugin::ResetDsp();
        if (failReset)
            throw std::runtime_error("reset");
    }
    void ProcessAudioBlock(double** inputs, double** outputs, int nFrames) override
    {
        if (failBlock)
            throw std::runtime_error("block");
        TenParamPlugin::ProcessAudioBlock(inputs, outputs, nFrames);
    }

    bool failReset = false;
    bool failBlock = false;
};

class ThrowingHandler final : public IComponentHandler
{
public:
    tresult PLUGIN_API beginEdit(ParamID) override { return kResultOk; }
    tresult PLUGIN_API performEdit(ParamID, ParamValue) override { return kResultOk; }
    tresult PLUGIN_API endEdit(ParamID) override { return kResultOk; }
    tresult PLUGIN_API restartComponent(int32) override
    {
        ++restarts;
        throw std::runtime_error("host handler");
    }
    tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override
    {
        QUERY_INTERFACE(iid, obj, FUnknown::iid, IComponentHandler)
        QUERY_INTERFACE(iid, obj, IComponentHandler::iid, IComponentHandler)
        *obj = nullptr;
        return kNoInterface;
    }
    uint32 PLUGIN_API addRef() override { return 1; }
    uint32 PLUGIN_API release() override { return 1; }

    int restarts = 0;
};

class Vst3IdleTick : public ::testing::Test
{
protected:
    void SetUp() override
    {
        plug = new AnnouncingPlugin();
        ASSERT_EQ(plug->initialize(host), kResultOk);
        ASSERT_EQ(plug->setComponentHandler(handler), kResultTrue);
        handler->Clear();
    }
    void TearDown() override
    {
        plug->terminate();
        plug->release();
    }

    // Runs the UI thread's idle ticks until done() or two seconds have passed.
    template <typename Done>
    static void PumpUntil(Done done)
    {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (!done() && std::chrono::steady_clock::now() < until)
        {
            // Every timer due at once where the pump takes a time; Windows waits for its own.
            iplug::PumpTimers(iplug::TimerClock::now() + std::chrono::seconds(1));
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
    // A few ticks' worth, for what must not happen.
    static void PumpAWhile()
    {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(80);
        PumpUntil([&] { return std::chrono::steady_clock::now() >= until; });
    }
    std::size_t Restarts() const { return handler->Count(HandlerCall::kRestartComponent); }

    IPtr<HostApplication> host = owned(new HostApplication());
    IPtr<ComponentHandler> handler = owned(new ComponentHandler());
    AnnouncingPlugin* plug = nullptr;
};

TEST_F(Vst3IdleTick, AnnouncesALatencyChangeOnceFromTheUiThread)
{
    std::thread([&] { plug->ChangeLatency(512); }).join();
    EXPECT_EQ(plug->getLatencySamples(), 512u) << "published at once";
    EXPECT_EQ(Restarts(), 0u) << "nothing from the thread that changed it";
    PumpUntil([&] { return Restarts() > 0; });
    ASSERT_EQ(Restarts(), 1u);
    EXPECT_EQ(handler->Calls()[0].flags, kLatencyChanged);
    EXPECT_EQ(handler->Calls()[0].thread, std::this_thread::get_id());

    PumpAWhile();
    std::thread([&] { plug->ChangeLatency(512); }).join();
    PumpAWhile();
    EXPECT_EQ(Restarts(), 1u) << "no news, no restart";

    std::thread([&] {
        plug->ChangeLatency(0);
        plug->ChangeLatency(480);
    }).join();
    PumpUntil([&] { return Restarts() > 1; });
    PumpAWhile();
    EXPECT_EQ(Restarts(), 2u) << "changes between two ticks make one restart";
    EXPECT_EQ(plug->getLatencySamples(), 480u);
}

TEST_F(Vst3IdleTick, AHandlerThatThrowsStopsNeitherTheTickNorTheNextAnnouncement)
{
    ThrowingHandler throwing;
    ASSERT_EQ(plug->setComponentHandler(&throwing), kResultTrue);
    plug->ChangeLatency(512);
    EXPECT_NO_THROW(PumpUntil([&] { return throwing.restarts > 0; }));
    EXPECT_EQ(throwing.restarts, 1);
    ASSERT_EQ(plug->setComponentHandler(handler), kResultTrue);
    plug->ChangeLatency(0);
    PumpUntil([&] { return Restarts() > 0; });
    EXPECT_EQ(Restarts(), 1u);
}

TEST_F(Vst3IdleTick, AResetThatThrowsKeepsTheAudioSilentUntilAResetSucceeds)
{
    ProcessBuffers buffers(kSample64, {2}, {2}, 64);
    plug->failReset = true;
    ProcessSetup setup {kRealtime, kSample64, 64, 48000.0};
    EXPECT_EQ(plug->setupProcessing(setup), kInternalError);
    EXPECT_EQ(plug->setProcessing(true), kInternalError);
    FillTone(buffers, 0, 64);
    buffers.FillOutputs(9.0);
    EXPECT_EQ(plug->process(buffers.Prepare(64)), kResultOk);
    for (int n = 0; n < 64; ++n)
        ASSERT_EQ(buffers.Output(0, 0, n), 0.0);

    // The next start builds the DSP again.
    plug->failReset = false;
    EXPECT_EQ(plug->setProcessing(true), kResultOk);
    EXPECT_EQ(plug->process(buffers.Prepare(64)), kResultOk);
    EXPECT_EQ(buffers.Output(0, 0, 10), buffers.Input(0, 0, 10));
}

TEST_F(Vst3IdleTick, ABlockThatThrowsIsSilentAndTheNextOneRuns)
{
    ProcessBuffers buffers(kSample32, {2}, {2}, 64);
    ProcessSetup setup {kRealtime, kSample32, 64, 48000.0};
    ASSERT_EQ(plug->setupProcessing(setup), kResultOk);
    FillTone(buffers, 0, 64);
    buffers.FillOutputs(9.0);
    plug->failBlock = true;
    EXPECT_EQ(plug->process(buffers.Prepare(64)), kInternalError);
    for (int n = 0; n < 64; ++n)
        ASSERT_EQ(buffers.Output(0, 1, n), 0.0);
    plug->failBlock = false;
    EXPECT_EQ(plug->process(buffers.Prepare(64)), kResultOk);
    EXPECT_EQ(buffers.Output(0, 1, 10), buffers.Input(0, 1, 10));
}

} // namespace
