// Drives a module binary built on our VST 3 binding (the gain fixture in tests/fixtures/vst3-gain)
// from outside, through the host library: what a host and a conformance validator see.
#include "RingstillVersion.h"
#include "framework/FourCharCode.h"
#include "tests/support/AllocCounter.h"
#include "tests/support/ModuleHeap.h"
#include "tests/support/Vst3TestHost.h"
#include "tools/vst3-host/ComponentHandler.h"
#include "tools/vst3-host/HostApplication.h"
#include "tools/vst3-host/Module.h"
#include "tools/vst3-host/PluginInstance.h"
#include "tools/vst3-host/ProcessBuffers.h"
#include "tools/vst3-host/Streams.h"
#include "tools/vst3-host/Text.h"
#include "vst3/ClassInfo.h"

#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstmessage.h"
#include "pluginterfaces/vst/ivstunits.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

using namespace Steinberg;
using namespace Steinberg::Vst;
using namespace ringstill::vst3host;

namespace {

constexpr ParamID kGainId = 0;
constexpr ParamID kDelayId = 1;
constexpr ParamID kResetId = 2;
constexpr ParamID kModeId = 3;
constexpr int kMaxBlock = 512;

// The fixture's class identifier: our two fixed words, 'Toln' and 'RsTg'.
constexpr std::array<unsigned char, 16> kFixtureClassId = {0x0D, 0xE7, 0xAE, 0xF2, 0xDE, 0x00, 0x4E, 0x4F,
                                                           0x54, 0x6F, 0x6C, 0x6E, 0x52, 0x73, 0x54, 0x67};

std::array<unsigned char, 16> BytesOf(const TUID id)
{
    std::array<unsigned char, 16> bytes {};
    std::memcpy(bytes.data(), id, 16);
    return bytes;
}

// A fixed-size text field holds exactly text, then zeros to its end.
template <typename Char, std::size_t N>
void ExpectField(const Char (&field)[N], const std::string& text)
{
    ASSERT_LT(text.size(), N);
    for (std::size_t i = 0; i < N; ++i)
    {
        const auto expected = i < text.size() ? static_cast<unsigned char>(text[i]) : 0;
        ASSERT_EQ(static_cast<unsigned>(field[i]), static_cast<unsigned>(expected)) << "at " << i << " of \"" << text << "\"";
    }
}

std::shared_ptr<Module> LoadFixture(const std::string& path = RINGSTILL_TEST_BUNDLE)
{
    std::string error;
    std::shared_ptr<Module> module = Module::Load(path, &error);
    EXPECT_NE(module, nullptr) << error;
    return module;
}

using ringstill::test::FactoryEntryOf;
using ringstill::test::QueryOf;

class Vst3Harness : public ::testing::Test
{
protected:
    void SetUp() override
    {
        module = LoadFixture();
        ASSERT_NE(module, nullptr);
        ASSERT_TRUE(ringstill::test::CountModuleHeapCalls(module->Symbol("GetPluginFactory")));
        instance = NewInstance();
        ASSERT_NE(instance, nullptr);
    }

    std::unique_ptr<PluginInstance> NewInstance() { return ringstill::test::NewInitialisedInstance(module, host, handler); }

    IPtr<HostApplication> host = owned(new HostApplication());
    IPtr<ComponentHandler> handler = owned(new ComponentHandler());
    std::shared_ptr<Module> module;
    std::unique_ptr<PluginInstance> instance;
};

// ---------------------------------------------------------------- module and entry points

TEST(Vst3Module, LoadsFromTheBundleFolderAndFromTheBinaryItself)
{
    // Compared as paths: on Windows the parts are joined with the native separator.
    const std::string resolved = Module::ResolveBinaryPath(RINGSTILL_TEST_BUNDLE);
    EXPECT_EQ(std::filesystem::path(resolved).lexically_normal(),
              std::filesystem::path(RINGSTILL_TEST_BINARY).lexically_normal());
    auto fromBundle = LoadFixture(RINGSTILL_TEST_BUNDLE);
    auto fromBinary = LoadFixture(RINGSTILL_TEST_BINARY);
    ASSERT_NE(fromBundle, nullptr);
    ASSERT_NE(fromBinary, nullptr);
    EXPECT_EQ(fromBundle->Classes().size(), 1u);
    EXPECT_EQ(fromBinary->Classes().size(), 1u);
}

TEST(Vst3Module, AMissingBinaryGivesAOneLineReason)
{
    std::string error;
    EXPECT_EQ(Module::Load("/nonexistent/Nothing.vst3", &error), nullptr);
    EXPECT_NE(error.find("/nonexistent/Nothing.vst3"), std::string::npos);
    EXPECT_EQ(error.find('\n'), std::string::npos);
}

TEST(Vst3Module, EveryEntryIsMatchedByOneExitAndAnUnmatchedExitIsRefused)
{
    auto module = LoadFixture();
    ASSERT_NE(module, nullptr);
    // Loading entered once.
    EXPECT_TRUE(module->CallEntry());
    EXPECT_TRUE(module->CallExit());
    EXPECT_TRUE(module->CallExit());
    EXPECT_FALSE(module->CallExit());
    EXPECT_FALSE(module->CallExit());
    // Back to one entry for the unload; the factory still works in between.
    EXPECT_TRUE(module->CallEntry());
    EXPECT_EQ(module->Factory()->countClasses(), 1);
}

TEST(Vst3Module, RepeatedFactoryCallsReturnTheSameFactory)
{
    auto module = LoadFixture();
    ASSERT_NE(module, nullptr);
    const auto getFactory = FactoryEntryOf(*module);
    ASSERT_NE(getFactory, nullptr);
    IPluginFactory* again = getFactory();
    EXPECT_EQ(again, module->Factory());
    // Two references now; ours goes, the module's stays.
    EXPECT_EQ(again->release(), 1u);
}

TEST(Vst3Module, AFactoryReleasedByEveryHolderIsBuiltAfreshOnTheNextCall)
{
    auto module = LoadFixture();
    ASSERT_NE(module, nullptr);
    const auto getFactory = FactoryEntryOf(*module);
    module->ReleaseFactory();
    IPluginFactory* fresh = getFactory();
    ASSERT_NE(fresh, nullptr);
    EXPECT_EQ(fresh->countClasses(), 1);
    EXPECT_EQ(fresh->release(), 0u);
}

TEST(Vst3Module, ExportsNoSymbolBesideItsEntryPoints)
{
    auto module = LoadFixture();
    ASSERT_NE(module, nullptr);
#ifdef _WIN32
    const char* entry = "InitDll";
    const char* exitPoint = "ExitDll";
    const char* otherPlatformsEntry = "ModuleEntry";
#else
    const char* entry = "ModuleEntry";
    const char* exitPoint = "ModuleExit";
    const char* otherPlatformsEntry = "InitDll";
#endif
    EXPECT_NE(module->Symbol("GetPluginFactory"), nullptr);
    EXPECT_NE(module->Symbol(entry), nullptr);
    EXPECT_NE(module->Symbol(exitPoint), nullptr);
    EXPECT_EQ(module->Symbol(otherPlatformsEntry), nullptr);
    EXPECT_EQ(module->Symbol("_ZN9Steinberg7FObject6addRefEv"), nullptr);
    EXPECT_EQ(module->Symbol("_ZN9Steinberg8FUnknown3iidE"), nullptr);
}

TEST(Vst3ModuleConcurrency, ThreadsEnteringTakingTheFactoryAndCreatingAtOnceStayBalanced)
{
    auto module = LoadFixture();
    ASSERT_NE(module, nullptr);
    const auto getFactory = FactoryEntryOf(*module);
    ASSERT_NE(getFactory, nullptr);
    TUID cid;
    std::memcpy(cid, kFixtureClassId.data(), 16);

    constexpr int kThreads = 4;
    constexpr int kRounds = 25;
    std::vector<int> created(kThreads, 0);
    std::vector<int> destroyed(kThreads, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (int round = 0; round < kRounds; ++round)
            {
                module->CallEntry();
                IPluginFactory* factory = getFactory();
                void* obj = nullptr;
                if (factory->createInstance(cid, IComponent::iid, &obj) == kResultOk && obj != nullptr)
                {
                    ++created[static_cast<size_t>(t)];
                    if (static_cast<IComponent*>(obj)->release() == 0)
                        ++destroyed[static_cast<size_t>(t)];
                }
                factory->release();
                module->CallExit();
            }
        });
    for (std::thread& thread : threads)
        thread.join();
    for (int t = 0; t < kThreads; ++t)
    {
        EXPECT_EQ(created[static_cast<size_t>(t)], kRounds);
        EXPECT_EQ(destroyed[static_cast<size_t>(t)], kRounds);
    }
    // Every thread's entries were matched: only the load's own entry is left.
    EXPECT_TRUE(module->CallExit());
    EXPECT_FALSE(module->CallExit());
    EXPECT_TRUE(module->CallEntry());
}

// ---------------------------------------------------------------- factory and class information

TEST(Vst3ClassInfo, RingstillIdentifierIsLaidOutInComOrderOnEveryPlatform)
{
    const PClassInfo2 info = ringstill::vst3::MakeEffectClassInfo(
        "Ringstill", iplug::MakeFourCC("Toln"), iplug::MakeFourCC("Rstl"));
    const std::array<unsigned char, 16> expected = {0x0D, 0xE7, 0xAE, 0xF2, 0xDE, 0x00, 0x4E, 0x4F,
                                                    0x54, 0x6F, 0x6C, 0x6E, 0x52, 0x73, 0x74, 0x6C};
    EXPECT_EQ(BytesOf(info.cid), expected);
    ExpectField(info.name, "Ringstill");
}

TEST(Vst3Factory, FactoryInformationNamesTheVendorWithUnicodeStrings)
{
    auto module = LoadFixture();
    ASSERT_NE(module, nullptr);
    PFactoryInfo info;
    std::memset(static_cast<void*>(&info), 0x5A, sizeof(info));
    ASSERT_EQ(module->Factory()->getFactoryInfo(&info), kResultOk);
    ExpectField(info.vendor, "Tollent");
    ExpectField(info.url, "https://www.tollent.audio/");
    ExpectField(info.email, "support@tollent.audio");
    EXPECT_EQ(info.flags, 16);
}

TEST(Vst3Factory, ClassInformationIsByteExactInEveryVersion)
{
    auto module = LoadFixture();
    ASSERT_NE(module, nullptr);
    IPluginFactory* factory = module->Factory();
    ASSERT_EQ(factory->countClasses(), 1);

    PClassInfo info1;
    ASSERT_EQ(factory->getClassInfo(0, &info1), kResultOk);
    EXPECT_EQ(BytesOf(info1.cid), kFixtureClassId);
    EXPECT_EQ(info1.cardinality, 0x7FFFFFFF);
    ExpectField(info1.category, "Audio Module Class");
    ExpectField(info1.name, "Ringstill Test Gain");

    auto factory2 = QueryOf<IPluginFactory2>(factory);
    ASSERT_NE(factory2, nullptr);
    PClassInfo2 info2;
    std::memset(static_cast<void*>(&info2), 0x5A, sizeof(info2));
    ASSERT_EQ(factory2->getClassInfo2(0, &info2), kResultOk);
    EXPECT_EQ(BytesOf(info2.cid), kFixtureClassId);
    EXPECT_EQ(info2.cardinality, 0x7FFFFFFF);
    ExpectField(info2.category, "Audio Module Class");
    ExpectField(info2.name, "Ringstill Test Gain");
    EXPECT_EQ(info2.classFlags, 2u);
    ExpectField(info2.subCategories, "Fx|Restoration");
    ExpectField(info2.vendor, "");
    ExpectField(info2.version, ringstill::kVersionText);
    ExpectField(info2.sdkVersion, "VST 3.8.1");

    auto factory3 = QueryOf<IPluginFactory3>(factory);
    ASSERT_NE(factory3, nullptr);
    PClassInfoW infoW;
    ASSERT_EQ(factory3->getClassInfoUnicode(0, &infoW), kResultOk);
    EXPECT_EQ(BytesOf(infoW.cid), kFixtureClassId);
    ExpectField(infoW.name, "Ringstill Test Gain");
    ExpectField(infoW.subCategories, "Fx|Restoration");
    ExpectField(infoW.version, ringstill::kVersionText);
    ExpectField(infoW.sdkVersion, "VST 3.8.1");
    EXPECT_EQ(factory3->setHostContext(nullptr), kResultOk);
}

TEST(Vst3Factory, IndicesOutsideTheClassListAreRefused)
{
    auto module = LoadFixture();
    ASSERT_NE(module, nullptr);
    PClassInfo info;
    EXPECT_EQ(module->Factory()->getClassInfo(1, &info), kInvalidArgument);
    EXPECT_EQ(module->Factory()->getClassInfo(-1, &info), kInvalidArgument);
}

TEST(Vst3Factory, UnknownClassesAndInterfacesCreateNothing)
{
    auto module = LoadFixture();
    ASSERT_NE(module, nullptr);
    TUID unknown = {1, 2, 3};
    void* obj = reinterpret_cast<void*>(1);
    EXPECT_NE(module->Factory()->createInstance(unknown, IComponent::iid, &obj), kResultOk);
    EXPECT_EQ(obj, nullptr);
    TUID cid;
    std::memcpy(cid, kFixtureClassId.data(), 16);
    obj = reinterpret_cast<void*>(1);
    // The refused object is destroyed again at once (the leak checker watches this).
    EXPECT_EQ(module->Factory()->createInstance(cid, IPluginFactory::iid, &obj), kNoInterface);
    EXPECT_EQ(obj, nullptr);
}

// ---------------------------------------------------------------- the object and its interfaces

TEST_F(Vst3Harness, ComponentProcessorAndControllerAreOneObject)
{
    EXPECT_TRUE(instance->IsSingleComponent());
    EXPECT_NE(instance->Controller(), nullptr);
    TUID controllerId;
    EXPECT_NE(instance->Component()->getControllerClassId(controllerId), kResultOk);
    EXPECT_NE(QueryOf<IUnitInfo>(instance->Component()), nullptr);
    EXPECT_NE(QueryOf<IEditController2>(instance->Component()), nullptr);
    auto requirements = QueryOf<IProcessContextRequirements>(instance->Processor());
    ASSERT_NE(requirements, nullptr);
    EXPECT_EQ(requirements->getProcessContextRequirements(), 0u);
}

TEST_F(Vst3Harness, ConnectionPointIsRefused)
{
    void* obj = reinterpret_cast<void*>(1);
    EXPECT_EQ(instance->Controller()->queryInterface(IConnectionPoint::iid, &obj), kNoInterface);
    EXPECT_EQ(obj, nullptr);
}

TEST_F(Vst3Harness, ASecondInitializeWithoutTerminateIsRefused)
{
    EXPECT_EQ(instance->Component()->initialize(host.get()), kResultFalse);
    // The controller side of the same object shares the host context.
    EXPECT_EQ(instance->Controller()->initialize(host.get()), kResultFalse);
}

TEST_F(Vst3Harness, TerminateThenInitializeBuildsTheSameObjectAgain)
{
    ASSERT_EQ(instance->Terminate(), kResultOk);
    EXPECT_EQ(instance->Component()->getBusCount(kAudio, kInput), 0);
    EXPECT_EQ(instance->Controller()->getParameterCount(), 0);
    ASSERT_EQ(instance->Initialize(host, handler), kResultOk);
    EXPECT_EQ(instance->Component()->getBusCount(kAudio, kInput), 2);
    EXPECT_EQ(instance->Controller()->getParameterCount(), 4);
}

// ---------------------------------------------------------------- buses

TEST_F(Vst3Harness, BusCountsFollowTheLists)
{
    IComponent* c = instance->Component();
    EXPECT_EQ(c->getBusCount(kAudio, kInput), 2);
    EXPECT_EQ(c->getBusCount(kAudio, kOutput), 1);
    EXPECT_EQ(c->getBusCount(kEvent, kInput), 1);
    EXPECT_EQ(c->getBusCount(kEvent, kOutput), 0);
    EXPECT_EQ(c->getBusCount(99, kInput), 0);
}

TEST_F(Vst3Harness, BusInformationCarriesNameTypeFlagsAndChannels)
{
    IComponent* c = instance->Component();
    BusInfo info;
    ASSERT_EQ(c->getBusInfo(kAudio, kInput, 0, info), kResultTrue);
    EXPECT_EQ(info.mediaType, kAudio);
    EXPECT_EQ(info.direction, kInput);
    EXPECT_EQ(info.channelCount, 2);
    EXPECT_EQ(Narrow(info.name), "Input");
    EXPECT_EQ(info.busType, kMain);
    EXPECT_EQ(info.flags, static_cast<uint32>(BusInfo::kDefaultActive));

    ASSERT_EQ(c->getBusInfo(kAudio, kInput, 1, info), kResultTrue);
    EXPECT_EQ(info.channelCount, 1);
    EXPECT_EQ(Narrow(info.name), "Sidechain");
    EXPECT_EQ(info.busType, kAux);
    EXPECT_EQ(info.flags, 0u);

    ASSERT_EQ(c->getBusInfo(kAudio, kOutput, 0, info), kResultTrue);
    EXPECT_EQ(info.direction, kOutput);
    EXPECT_EQ(Narrow(info.name), "Output");

    ASSERT_EQ(c->getBusInfo(kEvent, kInput, 0, info), kResultTrue);
    EXPECT_EQ(info.mediaType, kEvent);
    EXPECT_EQ(info.channelCount, 1);
    EXPECT_EQ(Narrow(info.name), "MIDI Input");
}

TEST_F(Vst3Harness, BusCallsOutsideTheListsAreRefused)
{
    IComponent* c = instance->Component();
    BusInfo info;
    EXPECT_EQ(c->getBusInfo(kAudio, kInput, 2, info), kInvalidArgument);
    EXPECT_EQ(c->getBusInfo(kAudio, kOutput, -1, info), kInvalidArgument);
    EXPECT_EQ(c->getBusInfo(kEvent, kOutput, 0, info), kInvalidArgument);
    EXPECT_EQ(c->activateBus(kAudio, kInput, 2, true), kInvalidArgument);
    EXPECT_EQ(c->activateBus(kAudio, kInput, 1, true), kResultTrue);
    SpeakerArrangement arrangement = 0;
    EXPECT_EQ(instance->Processor()->getBusArrangement(kOutput, 1, arrangement), kInvalidArgument);
}

TEST_F(Vst3Harness, ArrangementsAreTakenOnlyWithOnePerBus)
{
    IAudioProcessor* p = instance->Processor();
    SpeakerArrangement inputs[2] = {SpeakerArr::kMono, SpeakerArr::kMono};
    SpeakerArrangement outputs[1] = {SpeakerArr::kMono};
    EXPECT_EQ(p->setBusArrangements(inputs, 1, outputs, 1), kResultFalse);
    SpeakerArrangement arrangement = 0;
    ASSERT_EQ(p->getBusArrangement(kInput, 0, arrangement), kResultTrue);
    EXPECT_EQ(arrangement, SpeakerArr::kStereo);

    EXPECT_EQ(p->setBusArrangements(inputs, 2, outputs, 1), kResultTrue);
    ASSERT_EQ(p->getBusArrangement(kInput, 0, arrangement), kResultTrue);
    EXPECT_EQ(arrangement, SpeakerArr::kMono);
    BusInfo info;
    ASSERT_EQ(instance->Component()->getBusInfo(kAudio, kOutput, 0, info), kResultTrue);
    EXPECT_EQ(info.channelCount, 1);
}

// ---------------------------------------------------------------- processing

TEST_F(Vst3Harness, SampleSizesAreAnsweredAndUnknownSetupsRefused)
{
    EXPECT_EQ(instance->Processor()->canProcessSampleSize(kSample32), kResultTrue);
    EXPECT_EQ(instance->Processor()->canProcessSampleSize(kSample64), kResultTrue);
    EXPECT_EQ(instance->Processor()->canProcessSampleSize(2), kResultFalse);
    ProcessSetup setup {kRealtime, 7, kMaxBlock, 48000.0};
    EXPECT_EQ(instance->Processor()->setupProcessing(setup), kResultFalse);
}

struct BlockCase
{
    SymbolicSampleSizes sampleSize;
    int blockSize;
};

class Vst3Processing : public Vst3Harness, public ::testing::WithParamInterface<BlockCase>
{
protected:
    // A deterministic signal in -0.5 ... 0.5, different per channel.
    static double Signal(int channel, long t) { return 0.5 * std::sin(0.013 * static_cast<double>(t) + channel); }
};

TEST_P(Vst3Processing, OutputIsTheDelayedInputTimesTheGainAcrossBlocks)
{
    const BlockCase param = GetParam();
    ProcessBuffers buffers(param.sampleSize, {2, 1}, {2}, 2 * kMaxBlock);
    ASSERT_EQ(instance->StartProcessing(param.sampleSize, 48000.0, kMaxBlock), kResultOk);

    const double gain = 0.75;   // factor 1.5
    const double delay = 0.125; // 8 samples
    const int delaySamples = 8;
    const double tolerance = param.sampleSize == kSample32 ? 1e-6 : 1e-12;
    long t = 0;
    for (int block = 0; block < 6; ++block)
    {
        buffers.InputChanges().Clear();
        if (block == 0)
        {
            buffers.InputChanges().AddPoint(kGainId, 0, gain);
            buffers.InputChanges().AddPoint(kDelayId, 0, delay);
        }
        for (int c = 0; c < 2; ++c)
            for (int n = 0; n < param.blockSize; ++n)
                buffers.SetInput(0, c, n, Signal(c, t + n));
        buffers.FillOutputs(9.0);
        ASSERT_EQ(instance->Process(buffers, param.blockSize), kResultOk);
        for (int c = 0; c < 2; ++c)
            for (int n = 0; n < param.blockSize; ++n)
            {
                const long source = t + n - delaySamples;
                const double expected = source < 0 ? 0.0 : 1.5 * Signal(c, source);
                ASSERT_NEAR(buffers.Output(0, c, n), expected, tolerance) << "block " << block << " frame " << n;
            }
        // Nothing beyond the block is written.
        if (param.blockSize < buffers.Capacity())
        {
            EXPECT_EQ(buffers.Output(0, 0, param.blockSize), 9.0);
        }
        t += param.blockSize;
    }
    EXPECT_EQ(instance->Processor()->getLatencySamples(), static_cast<uint32>(delaySamples));
    EXPECT_EQ(instance->StopProcessing(), kResultOk);
}

INSTANTIATE_TEST_SUITE_P(BlockSizes, Vst3Processing,
                         ::testing::Values(BlockCase {kSample32, 0}, BlockCase {kSample32, 1}, BlockCase {kSample32, 7},
                                           BlockCase {kSample32, 64}, BlockCase {kSample32, kMaxBlock},
                                           BlockCase {kSample32, kMaxBlock + 1}, BlockCase {kSample64, 0},
                                           BlockCase {kSample64, 1}, BlockCase {kSample64, 7},
                                           BlockCase {kSample64, 64}, BlockCase {kSample64, kMaxBlock},
                                           BlockCase {kSample64, kMaxBlock + 1}),
                         [](const ::testing::TestParamInfo<BlockCase>& info) {
                             return std::string(info.param.sampleSize == kSample32 ? "Float" : "Double")
                                    + std::to_string(info.param.blockSize);
                         });

TEST_F(Vst3Harness, OnlyTheLastPointOfAQueueCounts)
{
    ProcessBuffers buffers(kSample32, {2, 1}, {2}, 64);
    ASSERT_EQ(instance->StartProcessing(kSample32, 44100.0, 64), kResultOk);
    buffers.InputChanges().AddPoint(kGainId, 0, 1.0);
    buffers.InputChanges().AddPoint(kGainId, 20, 0.1);
    buffers.InputChanges().AddPoint(kGainId, 40, 0.25);
    for (int n = 0; n < 64; ++n)
        buffers.SetInput(0, 0, n, 0.5);
    ASSERT_EQ(instance->Process(buffers, 64), kResultOk);
    EXPECT_FLOAT_EQ(static_cast<float>(buffers.Output(0, 0, 0)), 0.25f);
    EXPECT_FLOAT_EQ(static_cast<float>(buffers.Output(0, 0, 63)), 0.25f);
}

TEST_F(Vst3Harness, UnreadablePointsAreSkipped)
{
    ProcessBuffers buffers(kSample64, {2, 1}, {2}, 16);
    ASSERT_EQ(instance->StartProcessing(kSample64, 44100.0, 16), kResultOk);
    buffers.InputChanges().AddPoint(kGainId, 0, 1.0);
    buffers.InputChanges().Find(kGainId)->SetFailingReads(true);
    for (int n = 0; n < 16; ++n)
        buffers.SetInput(0, 0, n, 0.5);
    ASSERT_EQ(instance->Process(buffers, 16), kResultOk);
    // Gain stays at its default factor of 1.
    EXPECT_DOUBLE_EQ(buffers.Output(0, 0, 5), 0.5);
}

TEST_F(Vst3Harness, ALatencyChangeRestartsTheComponentFromProcess)
{
    ProcessBuffers buffers(kSample32, {2, 1}, {2}, 64);
    ASSERT_EQ(instance->StartProcessing(kSample32, 48000.0, 64), kResultOk);
    handler->Clear();
    buffers.InputChanges().AddPoint(kDelayId, 0, 0.5);
    ASSERT_EQ(instance->Process(buffers, 64), kResultOk);
    ASSERT_EQ(handler->Count(HandlerCall::kRestartComponent), 1u);
    EXPECT_EQ(handler->Calls()[0].flags, kLatencyChanged);
    EXPECT_EQ(instance->Processor()->getLatencySamples(), 32u);

    // The same latency again restarts nothing.
    ASSERT_EQ(instance->Process(buffers, 64), kResultOk);
    EXPECT_EQ(handler->Count(HandlerCall::kRestartComponent), 1u);
}

TEST_F(Vst3Harness, TheAllocationCounterSeesAllocationsInsideTheModule)
{
    // Otherwise the allocation-free check below would prove nothing. Only the module's code runs
    // inside the scope.
    const std::vector<PClassInfo2> classes = module->Classes();
    ASSERT_FALSE(classes.empty());
    FUnknown* created = nullptr;
    ringstill::test::HeapScope scope;
    ASSERT_EQ(module->Factory()->createInstance(classes[0].cid, FUnknown::iid, reinterpret_cast<void**>(&created)),
              kResultOk);
    EXPECT_GT(scope.Count(), 0u);
    ASSERT_NE(created, nullptr);
    created->release();
}

TEST_F(Vst3Harness, ProcessAllocatesNothingEvenWhenTheLatencyChanges)
{
    ProcessBuffers buffers(kSample32, {2, 1}, {2}, kMaxBlock);
    ProcessBuffers buffers64(kSample64, {2, 1}, {2}, kMaxBlock);
    ASSERT_EQ(instance->StartProcessing(kSample32, 48000.0, kMaxBlock), kResultOk);
    ringstill::test::HeapScope scope;
    for (int block = 0; block < 8; ++block)
    {
        buffers.InputChanges().Clear();
        buffers.InputChanges().AddPoint(kDelayId, 3, block / 8.0);
        buffers.InputChanges().AddPoint(kGainId, 5, 0.3);
        ASSERT_EQ(instance->Process(buffers, block * 60), kResultOk);
        ASSERT_EQ(instance->Process(buffers64, block * 60), kResultOk);
    }
    EXPECT_EQ(scope.Count(), 0u);
    EXPECT_GE(handler->Count(HandlerCall::kRestartComponent), 7u);
}

// ---------------------------------------------------------------- state

TEST_F(Vst3Harness, SavedStateRestoredIntoAFreshInstanceSavesToTheSameBytes)
{
    ProcessBuffers buffers(kSample64, {2, 1}, {2}, 16);
    ASSERT_EQ(instance->StartProcessing(kSample64, 48000.0, 16), kResultOk);
    buffers.InputChanges().AddPoint(kGainId, 0, 0.3);
    buffers.InputChanges().AddPoint(kDelayId, 0, 0.25);
    ASSERT_EQ(instance->Process(buffers, 16), kResultOk);

    std::vector<std::uint8_t> saved;
    ASSERT_EQ(instance->SaveState(saved), kResultOk);
    EXPECT_EQ(saved.size(), 16u);

    auto fresh = NewInstance();
    ASSERT_NE(fresh, nullptr);
    ASSERT_EQ(fresh->LoadState(saved), kResultOk);
    std::vector<std::uint8_t> again;
    ASSERT_EQ(fresh->SaveState(again), kResultOk);
    EXPECT_EQ(again, saved);
    // The controller follows the restored state.
    EXPECT_DOUBLE_EQ(fresh->Controller()->getParamNormalized(kGainId), 0.3);
    EXPECT_DOUBLE_EQ(fresh->Controller()->getParamNormalized(kDelayId), 0.25);
    EXPECT_EQ(fresh->Processor()->getLatencySamples(), 0u) << "latency follows processing, not the state";
}

TEST_F(Vst3Harness, AShortStateIsRefused)
{
    std::vector<std::uint8_t> saved;
    ASSERT_EQ(instance->SaveState(saved), kResultOk);
    saved.resize(12);
    EXPECT_EQ(instance->LoadState(saved), kResultFalse);
    EXPECT_EQ(instance->LoadState({}), kResultFalse);
}

TEST_F(Vst3Harness, TheControllerStateIsEmptyAndApartFromTheComponentState)
{
    IPtr<MemoryStream> stream = NewStream();
    ASSERT_EQ(instance->Controller()->getState(stream), kResultOk);
    EXPECT_EQ(stream->getSize(), 0);
    std::vector<std::uint8_t> component;
    ASSERT_EQ(instance->SaveState(component), kResultOk);
    IPtr<MemoryStream> componentStream = StreamOf(component);
    EXPECT_EQ(instance->Controller()->setComponentState(componentStream), kResultOk);
    EXPECT_EQ(instance->Controller()->setState(componentStream), kResultOk);
    int64 position = -1;
    componentStream->tell(&position);
    EXPECT_EQ(position, 0) << "the controller reads nothing";
}

TEST_F(Vst3Harness, StateReadThroughAStreamThatReportsErrorsIsRefused)
{
    std::vector<std::uint8_t> saved;
    ASSERT_EQ(instance->SaveState(saved), kResultOk);
    IPtr<FaultyStream> faulty = owned(new FaultyStream(saved, 4, true));
    EXPECT_EQ(instance->Component()->setState(faulty), kResultFalse);
}

// ---------------------------------------------------------------- component handler

TEST_F(Vst3Harness, AnEditGestureReachesTheHostInOrder)
{
    handler->Clear();
    ASSERT_EQ(instance->Controller()->setParamNormalized(kGainId, 0.9), kResultTrue);
    ASSERT_EQ(instance->Controller()->setParamNormalized(kResetId, 1.0), kResultTrue);
    const std::vector<HandlerCall> calls = handler->Calls();
    ASSERT_EQ(calls.size(), 5u);
    EXPECT_EQ(calls[0].kind, HandlerCall::kStartGroupEdit);
    EXPECT_EQ(calls[1].kind, HandlerCall::kBeginEdit);
    EXPECT_EQ(calls[1].id, kGainId);
    EXPECT_EQ(calls[2].kind, HandlerCall::kPerformEdit);
    EXPECT_EQ(calls[2].id, kGainId);
    EXPECT_DOUBLE_EQ(calls[2].value, 0.5);
    EXPECT_EQ(calls[3].kind, HandlerCall::kEndEdit);
    EXPECT_EQ(calls[4].kind, HandlerCall::kFinishGroupEdit);
    EXPECT_DOUBLE_EQ(instance->Controller()->getParamNormalized(kGainId), 0.5);
}

TEST_F(Vst3Harness, UnknownParametersAreRefusedByTheController)
{
    EXPECT_EQ(instance->Controller()->setParamNormalized(77, 0.5), kResultFalse);
    EXPECT_EQ(instance->Controller()->getParamNormalized(77), 0.0);
    ParameterInfo info;
    ASSERT_EQ(instance->Controller()->getParameterInfo(0, info), kResultTrue);
    EXPECT_EQ(Narrow(info.title), "Gain");
    EXPECT_EQ(info.id, kGainId);
    EXPECT_DOUBLE_EQ(info.defaultNormalizedValue, 0.5);
}

TEST_F(Vst3Harness, BadIndicesFromTheHostAreRefusedInsteadOfThrown)
{
    IEditController* controller = instance->Controller();
    ParameterInfo info;
    EXPECT_EQ(controller->getParameterInfo(4, info), kResultFalse);
    EXPECT_EQ(controller->getParameterInfo(-1, info), kResultFalse);
    auto units = QueryOf<IUnitInfo>(controller);
    ASSERT_NE(units, nullptr);
    ASSERT_EQ(units->getUnitCount(), 1);
    UnitInfo unit;
    EXPECT_EQ(units->getUnitInfo(1, unit), kResultFalse);
    EXPECT_EQ(units->getUnitInfo(-1, unit), kResultFalse);
    ASSERT_EQ(units->getUnitInfo(0, unit), kResultTrue);
    EXPECT_EQ(Narrow(unit.name), "Root");
    EXPECT_EQ(unit.parentUnitId, kNoParentUnitId);
}

TEST_F(Vst3Harness, ListTextIsGivenForValuesOutsideTheNormalisedRange)
{
    String128 text {};
    ASSERT_EQ(instance->Controller()->getParamStringByValue(kModeId, -1.0, text), kResultTrue);
    EXPECT_EQ(Narrow(text), "off");
    ASSERT_EQ(instance->Controller()->getParamStringByValue(kModeId, 2.0, text), kResultTrue);
    EXPECT_EQ(Narrow(text), "on");
    ASSERT_EQ(instance->Controller()->getParamStringByValue(kModeId, std::nan(""), text), kResultTrue);
    EXPECT_EQ(Narrow(text), "off");
}

TEST_F(Vst3Harness, ValuesThatAreNotFiniteNeverReachAParameter)
{
    ASSERT_EQ(instance->Controller()->setParamNormalized(kGainId, 0.8), kResultTrue);
    EXPECT_EQ(instance->Controller()->setParamNormalized(kGainId, std::nan("")), kResultFalse);
    EXPECT_EQ(instance->Controller()->setParamNormalized(kGainId, INFINITY), kResultFalse);
    EXPECT_DOUBLE_EQ(instance->Controller()->getParamNormalized(kGainId), 0.8);
}

// ---------------------------------------------------------------- host objects

TEST_F(Vst3Harness, TheHostNameIsWhatTheHarnessWasTold)
{
    host->SetName("Ardour 8.4");
    String128 name {};
    ASSERT_EQ(host->getName(name), kResultTrue);
    EXPECT_EQ(Narrow(name), "Ardour 8.4");
    void* message = nullptr;
    TUID messageIid;
    std::memcpy(messageIid, IMessage::iid, sizeof(TUID));
    ASSERT_EQ(host->createInstance(messageIid, messageIid, &message), kResultTrue);
    ASSERT_NE(message, nullptr);
    EXPECT_EQ(static_cast<IMessage*>(message)->release(), 0u);
}

// ---------------------------------------------------------------- lifetime

struct ReleaseOrder
{
    const char* name;
    std::array<int, 3> order; // 0 component, 1 processor, 2 controller
    bool terminateFirst;
    bool dropModuleFirst;
};

class Vst3Lifetime : public Vst3Harness, public ::testing::WithParamInterface<ReleaseOrder>
{
};

TEST_P(Vst3Lifetime, InterfacesReleasedInAnyOrderDestroyTheObjectOnTheLastRelease)
{
    const ReleaseOrder param = GetParam();
    ProcessBuffers buffers(kSample32, {2, 1}, {2}, 32);
    ASSERT_EQ(instance->StartProcessing(kSample32, 48000.0, 32), kResultOk);
    ASSERT_EQ(instance->Process(buffers, 32), kResultOk);
    if (param.terminateFirst)
    {
        ASSERT_EQ(instance->StopProcessing(), kResultOk);
        ASSERT_EQ(instance->Terminate(), kResultOk);
    }
    if (param.dropModuleFirst)
    {
        // The host lets go of the factory and its module handle while the object lives on.
        module->ReleaseFactory();
        module.reset();
    }
    long results[3] = {};
    for (int step = 0; step < 3; ++step)
    {
        switch (param.order[static_cast<size_t>(step)])
        {
        case 0: results[step] = instance->ReleaseComponent(); break;
        case 1: results[step] = instance->ReleaseProcessor(); break;
        default: results[step] = instance->ReleaseController(); break;
        }
    }
    EXPECT_GT(results[0], 0);
    EXPECT_GT(results[1], 0);
    EXPECT_EQ(results[2], 0) << "the last release destroys the object";
    instance.reset();
}

INSTANTIATE_TEST_SUITE_P(Orders, Vst3Lifetime,
                         ::testing::Values(ReleaseOrder {"ComponentProcessorController", {0, 1, 2}, true, false},
                                           ReleaseOrder {"ComponentControllerProcessor", {0, 2, 1}, true, false},
                                           ReleaseOrder {"ProcessorComponentController", {1, 0, 2}, true, true},
                                           ReleaseOrder {"ProcessorControllerComponent", {1, 2, 0}, false, false},
                                           ReleaseOrder {"ControllerComponentProcessor", {2, 0, 1}, false, true},
                                           ReleaseOrder {"ControllerProcessorComponent", {2, 1, 0}, false, false}),
                         [](const ::testing::TestParamInfo<ReleaseOrder>& info) {
                             return std::string(info.param.name) + (info.param.terminateFirst ? "Terminated" : "Live")
                                    + (info.param.dropModuleFirst ? "ModuleFirst" : "");
                         });

TEST(Vst3LifetimeHost, HostObjectsHandedToThePlugInOutliveTheHarnessReferences)
{
    auto module = LoadFixture();
    ASSERT_NE(module, nullptr);
    auto instance = PluginInstance::Create(module);
    ASSERT_NE(instance, nullptr);
    auto* host = new HostApplication();
    auto* handler = new ComponentHandler();
    ASSERT_EQ(instance->Initialize(host, handler), kResultOk);
    // The plug-in holds its own references now.
    EXPECT_GT(host->release(), 0u);
    EXPECT_GT(handler->release(), 0u);
    // Released without terminate: the plug-in's destructor lets go of both.
    EXPECT_EQ(instance->ReleaseController(), 2);
    EXPECT_EQ(instance->ReleaseProcessor(), 1);
    EXPECT_EQ(instance->ReleaseComponent(), 0);
}

} // namespace
