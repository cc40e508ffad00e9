// The Ringstill bundle driven from outside its binary through the host library: what a VST 3 host
// and a conformance validator see of the plug-in.
#include "RingstillVersion.h"
#include "tests/fixtures/vst3-tenparam/TenParamPlugin.h"
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
#include "vst3/IPlugVST3View.h"

#include "pluginterfaces/gui/iplugview.h"
#include "pluginterfaces/gui/iplugviewcontentscalesupport.h"
#include "pluginterfaces/vst/ivstchannelcontextinfo.h"
#include "pluginterfaces/vst/ivstmessage.h"
#include "pluginterfaces/vst/ivstunits.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

using namespace Steinberg;
using namespace Steinberg::Vst;
using namespace ringstill::vst3host;

namespace {

// The window type a host of this platform embeds the editor into, and one it never offers here.
#ifdef _WIN32
const FIDString kThisPlatformsWindow = kPlatformTypeHWND;
const FIDString kOtherPlatformsWindow = kPlatformTypeX11EmbedWindowID;
#else
const FIDString kThisPlatformsWindow = kPlatformTypeX11EmbedWindowID;
const FIDString kOtherPlatformsWindow = kPlatformTypeHWND;
#endif

constexpr ParamID kBypassId = 65536;
constexpr ParamID kSensitivityId = 0;
constexpr ParamID kAutoCutId = 1;
constexpr ParamID kNoNoiseId = 5;
constexpr ParamID kGainId = 7;
constexpr ParamID kHoldId = 8;
constexpr int kMaxBlock = 256;
constexpr int kStateBytes = 84;

struct ParamExpectation
{
    ParamID id;
    const char* title;
    const char* units;
    int32 stepCount;
    double plainDefault;
    double min;
    double max;
};

// The ten parameters in host order after the host bypass.
constexpr ParamExpectation kParams[] = {
    {0, "Sensitivity", "%", 0, 50.0, 0.0, 100.0},  {1, "Auto Cut", "dB", 0, -18.0, -40.0, -3.0},
    {2, "Auto Width", "Q", 0, 25.0, 2.0, 60.0},    {3, "Master Trim", "dB", 0, 0.0, -12.0, 12.0},
    {4, "Master Width", "x", 0, 1.0, 0.5, 2.0},    {5, "No-Noise", "%", 0, 0.0, 0.0, 100.0},
    {6, "No-Reverb", "%", 0, 0.0, 0.0, 100.0},     {7, "Gain", "dB", 0, 0.0, -24.0, 24.0},
    {8, "Hold", "", 1, 0.0, 0.0, 1.0},             {9, "Bypass", "", 1, 0.0, 0.0, 1.0},
};

double Normalised(const ParamExpectation& p, double plain) { return (plain - p.min) / (p.max - p.min); }

using ringstill::test::FactoryEntryOf;
using ringstill::test::QueryOf;
using ringstill::test::TestFrame;

double DoubleAt(const Bytes& bytes, std::size_t offset)
{
    std::uint64_t bits = 0;
    for (int i = 0; i < 8; ++i)
        bits |= std::uint64_t(bytes[offset + std::size_t(i)]) << (8 * i);
    double value = 0.0;
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

std::string ParamText(IEditController& controller, ParamID id, double normalised)
{
    String128 text = {};
    EXPECT_EQ(controller.getParamStringByValue(id, normalised, text), kResultOk);
    return Narrow(text);
}

class Vst3Plugin : public ::testing::Test
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

    std::unique_ptr<PluginInstance> NewInstance() { return ringstill::test::NewInitialisedInstance(module, host, handler); }

    IEditController& Controller() { return *instance->Controller(); }
    IAudioProcessor& Processor() { return *instance->Processor(); }
    IComponent& Component() { return *instance->Component(); }

    Bytes Save(PluginInstance& plugin)
    {
        Bytes bytes;
        EXPECT_EQ(plugin.SaveState(bytes), kResultOk);
        return bytes;
    }
    // The plain value of parameter index as the saved state holds it.
    double SavedValue(int index) { return DoubleAt(Save(*instance), std::size_t(index) * 8); }

    // One block of a quiet test signal, per channel a different phase.
    static double Signal(int channel, long t) { return 0.05 * std::sin(0.021 * double(t) + 1.3 * channel); }
    static void FillSignal(ProcessBuffers& buffers, long start, int frames)
    {
        for (int c = 0; c < buffers.InputChannels(0); ++c)
            for (int n = 0; n < frames; ++n)
                buffers.SetInput(0, c, n, Signal(c, start + n));
    }
    static double OutputRms(ProcessBuffers& buffers, int channel, int frames)
    {
        double sum = 0.0;
        for (int n = 0; n < frames; ++n)
            sum += buffers.Output(0, channel, n) * buffers.Output(0, channel, n);
        return std::sqrt(sum / std::max(frames, 1));
    }
    static double InputRms(ProcessBuffers& buffers, int channel, int frames)
    {
        double sum = 0.0;
        for (int n = 0; n < frames; ++n)
            sum += buffers.Input(0, channel, n) * buffers.Input(0, channel, n);
        return std::sqrt(sum / std::max(frames, 1));
    }

    IPtr<HostApplication> host = owned(new HostApplication());
    IPtr<ComponentHandler> handler = owned(new ComponentHandler());
    std::shared_ptr<Module> module;
    std::unique_ptr<PluginInstance> instance;
};

// ---------------------------------------------------------------- factory and class

TEST_F(Vst3Plugin, TheFactoryListsRingstillByteForByte)
{
    const std::vector<PClassInfo2> classes = module->Classes();
    ASSERT_EQ(classes.size(), 1u);
    const PClassInfo2& info = classes[0];
    const unsigned char expectedId[16] = {0x0D, 0xE7, 0xAE, 0xF2, 0xDE, 0x00, 0x4E, 0x4F,
                                          0x54, 0x6F, 0x6C, 0x6E, 0x52, 0x73, 0x74, 0x6C};
    EXPECT_EQ(std::memcmp(info.cid, expectedId, 16), 0);
    EXPECT_EQ(info.cardinality, 0x7FFFFFFF);
    EXPECT_STREQ(info.category, "Audio Module Class");
    EXPECT_STREQ(info.name, "Ringstill");
    EXPECT_EQ(info.classFlags, 2u);
    EXPECT_STREQ(info.subCategories, "Fx|Restoration");
    EXPECT_STREQ(info.vendor, "");
    EXPECT_STREQ(info.version, ringstill::kVersionText);
    EXPECT_STREQ(info.sdkVersion, "VST 3.8.1");

    PFactoryInfo factoryInfo {};
    ASSERT_EQ(module->Factory()->getFactoryInfo(&factoryInfo), kResultOk);
    EXPECT_STREQ(factoryInfo.vendor, "Tollent");
    EXPECT_EQ(factoryInfo.flags, 16);
}

TEST_F(Vst3Plugin, TwoFactoryCallsGiveTheSameFactory)
{
    const auto get = FactoryEntryOf(*module);
    ASSERT_NE(get, nullptr);
    IPluginFactory* first = get();
    IPluginFactory* second = get();
    EXPECT_EQ(first, second);
    EXPECT_EQ(first, module->Factory());
    first->release();
    second->release();
}

TEST_F(Vst3Plugin, TheObjectAnswersItsInterfacesAndRefusesAConnectionPoint)
{
    EXPECT_NE(QueryOf<IMidiMapping>(&Component()), nullptr);
    EXPECT_NE(QueryOf<ChannelContext::IInfoListener>(&Component()), nullptr);
    EXPECT_NE(QueryOf<IUnitInfo>(&Component()), nullptr);
    EXPECT_NE(QueryOf<IEditController2>(&Component()), nullptr);
    auto requirements = QueryOf<IProcessContextRequirements>(&Component());
    ASSERT_NE(requirements, nullptr);
    EXPECT_EQ(requirements->getProcessContextRequirements(), 0u);
    void* connection = reinterpret_cast<void*>(1);
    EXPECT_EQ(Component().queryInterface(IConnectionPoint::iid, &connection), kNoInterface);
    EXPECT_EQ(connection, nullptr);
}

TEST_F(Vst3Plugin, ASecondInitializeIsRefused)
{
    EXPECT_EQ(Component().initialize(host), kResultFalse);
}

// ---------------------------------------------------------------- buses

TEST_F(Vst3Plugin, OneStereoInputAndOneStereoOutputBus)
{
    EXPECT_EQ(Component().getBusCount(kAudio, kInput), 1);
    EXPECT_EQ(Component().getBusCount(kAudio, kOutput), 1);
    EXPECT_EQ(Component().getBusCount(kEvent, kInput), 0);
    EXPECT_EQ(Component().getBusCount(kEvent, kOutput), 0);
    for (BusDirection dir : {kInput, kOutput})
    {
        BusInfo info {};
        ASSERT_EQ(Component().getBusInfo(kAudio, dir, 0, info), kResultTrue);
        EXPECT_EQ(Narrow(info.name), dir == kInput ? "Input" : "Output");
        EXPECT_EQ(info.channelCount, 2);
        EXPECT_EQ(info.busType, kMain);
        EXPECT_EQ(info.flags, uint32(BusInfo::kDefaultActive));
        SpeakerArrangement arrangement = 0;
        ASSERT_EQ(Processor().getBusArrangement(dir, 0, arrangement), kResultTrue);
        EXPECT_EQ(arrangement, SpeakerArrangement(0x3));
    }
}

TEST_F(Vst3Plugin, MonoAndStereoPairsAreAcceptedWithTheTablesArrangement)
{
    SpeakerArrangement mono = 0x80000;
    ASSERT_EQ(Processor().setBusArrangements(&mono, 1, &mono, 1), kResultOk);
    BusInfo info {};
    ASSERT_EQ(Component().getBusInfo(kAudio, kOutput, 0, info), kResultTrue);
    EXPECT_EQ(info.channelCount, 1);
    EXPECT_EQ(Narrow(info.name), "Output");
    SpeakerArrangement arrangement = 0;
    ASSERT_EQ(Processor().getBusArrangement(kInput, 0, arrangement), kResultTrue);
    EXPECT_EQ(arrangement, SpeakerArrangement(0x80000));

    // Two surround channels count as stereo and come back as plain left/right.
    SpeakerArrangement sides = 0x30;
    ASSERT_EQ(Processor().setBusArrangements(&sides, 1, &sides, 1), kResultOk);
    ASSERT_EQ(Processor().getBusArrangement(kOutput, 0, arrangement), kResultTrue);
    EXPECT_EQ(arrangement, SpeakerArrangement(0x3));
}

TEST_F(Vst3Plugin, MismatchedOrExtraBusesAreRefusedAndKeepTheBuses)
{
    SpeakerArrangement stereo = 0x3;
    SpeakerArrangement mono = 0x80000;
    EXPECT_EQ(Processor().setBusArrangements(&stereo, 1, &mono, 1), kResultFalse);
    SpeakerArrangement two[2] = {0x3, 0x80000};
    EXPECT_EQ(Processor().setBusArrangements(two, 2, &stereo, 1), kResultFalse);
    SpeakerArrangement surround = 0x3F;
    EXPECT_EQ(Processor().setBusArrangements(&surround, 1, &surround, 1), kResultFalse);
    BusInfo info {};
    ASSERT_EQ(Component().getBusInfo(kAudio, kInput, 0, info), kResultTrue);
    EXPECT_EQ(info.channelCount, 2);
}

TEST_F(Vst3Plugin, ArdourAndMixbusGetAnyArrangementWithoutAChange)
{
    for (const char* name : {"Ardour 8.4", "Mixbus32C"})
    {
        IPtr<HostApplication> namedHost = owned(new HostApplication(name));
        auto plugin = PluginInstance::Create(module);
        ASSERT_NE(plugin, nullptr);
        ASSERT_EQ(plugin->Initialize(namedHost, handler), kResultOk);
        SpeakerArrangement stereo = 0x3;
        SpeakerArrangement surround = 0x3F;
        EXPECT_EQ(plugin->Processor()->setBusArrangements(&stereo, 1, &surround, 1), kResultOk) << name;
        BusInfo info {};
        ASSERT_EQ(plugin->Component()->getBusInfo(kAudio, kOutput, 0, info), kResultTrue);
        EXPECT_EQ(info.channelCount, 2) << name;
    }
}

// ---------------------------------------------------------------- parameters

TEST_F(Vst3Plugin, TheHostSeesElevenParametersWithTheBypassFirst)
{
    ASSERT_EQ(Controller().getParameterCount(), 11);
    ParameterInfo info {};
    ASSERT_EQ(Controller().getParameterInfo(0, info), kResultOk);
    EXPECT_EQ(info.id, kBypassId);
    EXPECT_EQ(Narrow(info.title), "Bypass");
    EXPECT_EQ(info.flags, 0x10009);
    EXPECT_EQ(info.stepCount, 1);
    EXPECT_EQ(info.unitId, kRootUnitId);
    EXPECT_EQ(ParamText(Controller(), kBypassId, 0.0), "off");
    EXPECT_EQ(ParamText(Controller(), kBypassId, 1.0), "on");

    for (int i = 0; i < 10; ++i)
    {
        const ParamExpectation& p = kParams[i];
        ASSERT_EQ(Controller().getParameterInfo(i + 1, info), kResultOk);
        EXPECT_EQ(info.id, p.id);
        EXPECT_EQ(Narrow(info.title), p.title);
        EXPECT_EQ(Narrow(info.units), p.units) << p.title;
        EXPECT_EQ(info.stepCount, p.stepCount) << p.title;
        EXPECT_EQ(info.flags, ParameterInfo::kCanAutomate) << p.title;
        EXPECT_EQ(info.unitId, kRootUnitId);
        EXPECT_NEAR(info.defaultNormalizedValue, Normalised(p, p.plainDefault), 1e-12) << p.title;
        EXPECT_NEAR(Controller().getParamNormalized(p.id), info.defaultNormalizedValue, 1e-12);
    }
    EXPECT_EQ(Controller().getParameterInfo(11, info), kResultFalse);
}

TEST_F(Vst3Plugin, ValuesBecomeTextsWithoutTheirLabelAndTextsBecomeValues)
{
    EXPECT_EQ(ParamText(Controller(), kAutoCutId, 0.0), "-40.0");
    EXPECT_EQ(ParamText(Controller(), kSensitivityId, 0.5), "50");
    EXPECT_EQ(ParamText(Controller(), kGainId, 0.5), "0.0");
    EXPECT_EQ(ParamText(Controller(), 4, 1.0), "2.00");
    EXPECT_EQ(ParamText(Controller(), kHoldId, 1.0), "on");
    EXPECT_EQ(ParamText(Controller(), kHoldId, 0.0), "off");

    ParamValue value = -1.0;
    String128 text = {};
    CopyToString128("-18.0", text);
    ASSERT_EQ(Controller().getParamValueByString(kAutoCutId, text, value), kResultOk);
    EXPECT_NEAR(value, Normalised(kParams[1], -18.0), 1e-9);
    CopyToString128("12", text);
    ASSERT_EQ(Controller().getParamValueByString(kGainId, text, value), kResultOk);
    EXPECT_NEAR(value, 0.75, 1e-9);

    EXPECT_DOUBLE_EQ(Controller().normalizedParamToPlain(kGainId, 1.0), 24.0);
    EXPECT_DOUBLE_EQ(Controller().plainParamToNormalized(kGainId, 0.0), 0.5);
    EXPECT_DOUBLE_EQ(Controller().normalizedParamToPlain(kAutoCutId, 0.0), -40.0);
}

TEST_F(Vst3Plugin, UnknownOrNonFiniteHostValuesChangeNothing)
{
    EXPECT_EQ(Controller().getParamNormalized(4242), 0.0);
    EXPECT_EQ(Controller().setParamNormalized(4242, 0.5), kResultFalse);
    EXPECT_EQ(Controller().setParamNormalized(kGainId, std::numeric_limits<double>::quiet_NaN()), kResultFalse);
    EXPECT_EQ(Controller().setParamNormalized(kGainId, std::numeric_limits<double>::infinity()), kResultFalse);
    EXPECT_DOUBLE_EQ(Controller().getParamNormalized(kGainId), 0.5);
    EXPECT_DOUBLE_EQ(SavedValue(int(kGainId)), 0.0);
}

TEST_F(Vst3Plugin, SettingAParameterReachesTheEffectButTheBypassOnlyTheHostObject)
{
    ASSERT_EQ(Controller().setParamNormalized(kGainId, 0.75), kResultOk);
    EXPECT_DOUBLE_EQ(SavedValue(int(kGainId)), 12.0);
    ASSERT_EQ(Controller().setParamNormalized(kBypassId, 1.0), kResultOk);
    EXPECT_DOUBLE_EQ(Controller().getParamNormalized(kBypassId), 1.0);

    // The audio side still runs the effect: +12 dB on a quiet signal.
    ProcessBuffers buffers(kSample64, {2}, {2}, 64);
    ASSERT_EQ(instance->StartProcessing(kSample64, 48000.0, 64), kResultOk);
    FillSignal(buffers, 0, 64);
    ASSERT_EQ(instance->Process(buffers, 64), kResultOk);
    EXPECT_GT(OutputRms(buffers, 0, 64), 3.0 * InputRms(buffers, 0, 64));
}

TEST_F(Vst3Plugin, UnitsProgramsAndMidiMappingAreAnsweredAsDeclared)
{
    auto units = QueryOf<IUnitInfo>(&Component());
    ASSERT_NE(units, nullptr);
    ASSERT_EQ(units->getUnitCount(), 1);
    UnitInfo unit {};
    ASSERT_EQ(units->getUnitInfo(0, unit), kResultOk);
    EXPECT_EQ(unit.id, kRootUnitId);
    EXPECT_EQ(unit.parentUnitId, kNoParentUnitId);
    EXPECT_EQ(Narrow(unit.name), "Root");
    EXPECT_EQ(unit.programListId, kNoProgramListId);
    EXPECT_EQ(units->getUnitInfo(1, unit), kResultFalse);
    EXPECT_EQ(units->getProgramListCount(), 0);

    String128 name = {};
    ASSERT_EQ(units->getProgramName(65537, 0, name), kResultOk);
    EXPECT_EQ(Narrow(name), "Default");
    ASSERT_EQ(units->getProgramName(65537, 3, name), kResultOk);
    EXPECT_EQ(Narrow(name), "");
    EXPECT_EQ(units->getProgramName(0, 0, name), kResultFalse);
    UnitID byBus = 0;
    EXPECT_EQ(units->getUnitByBus(kAudio, kInput, 0, 0, byBus), kResultFalse);

    auto midi = QueryOf<IMidiMapping>(&Component());
    ASSERT_NE(midi, nullptr);
    ParamID id = 0;
    ASSERT_EQ(midi->getMidiControllerAssignment(0, 0, 7, id), kResultOk);
    EXPECT_EQ(id, 65538u + 7u);
    EXPECT_EQ(midi->getMidiControllerAssignment(1, 0, 7, id), kResultFalse);
    EXPECT_EQ(midi->getMidiControllerAssignment(0, 1, 7, id), kResultFalse);
}

TEST_F(Vst3Plugin, TrackInformationIsTakenWhenItCanBeRead)
{
    auto listener = QueryOf<ChannelContext::IInfoListener>(&Component());
    ASSERT_NE(listener, nullptr);
    EXPECT_EQ(listener->setChannelContextInfos(nullptr), kResultFalse);
    void* created = nullptr;
    TUID cid;
    std::memcpy(cid, IAttributeList::iid, sizeof(TUID));
    TUID iid;
    std::memcpy(iid, IAttributeList::iid, sizeof(TUID));
    ASSERT_EQ(host->createInstance(cid, iid, &created), kResultTrue);
    IPtr<IAttributeList> list = owned(static_cast<IAttributeList*>(created));
    const std::u16string track = Widen("Lead vocal");
    list->setString(ChannelContext::kChannelNameKey, reinterpret_cast<const TChar*>(track.c_str()));
    list->setInt(ChannelContext::kChannelIndexKey, 3);
    EXPECT_EQ(listener->setChannelContextInfos(list), kResultOk);
}

// ---------------------------------------------------------------- state

TEST_F(Vst3Plugin, AFreshStateIsTheTenDefaultsAndANotBypassedFlag)
{
    const Bytes bytes = Save(*instance);
    ASSERT_EQ(bytes.size(), std::size_t(kStateBytes));
    for (int i = 0; i < 10; ++i)
        EXPECT_DOUBLE_EQ(DoubleAt(bytes, std::size_t(i) * 8), kParams[i].plainDefault) << kParams[i].title;
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin() + 80, bytes.end()), (std::vector<std::uint8_t> {0, 0, 0, 0}));
}

TEST_F(Vst3Plugin, StateSavedRestoredAndSavedAgainGivesTheSameBytes)
{
    ASSERT_EQ(Controller().setParamNormalized(kGainId, 0.25), kResultOk);
    ASSERT_EQ(Controller().setParamNormalized(kSensitivityId, 0.9), kResultOk);
    ASSERT_EQ(Controller().setParamNormalized(kHoldId, 1.0), kResultOk);
    ASSERT_EQ(Controller().setParamNormalized(kBypassId, 1.0), kResultOk);
    const Bytes saved = Save(*instance);
    ASSERT_EQ(saved.size(), std::size_t(kStateBytes));
    EXPECT_EQ(saved[80], 1);

    auto fresh = NewInstance();
    ASSERT_NE(fresh, nullptr);
    ASSERT_EQ(fresh->LoadState(saved), kResultOk);
    EXPECT_EQ(Save(*fresh), saved);
    EXPECT_DOUBLE_EQ(fresh->Controller()->getParamNormalized(kGainId), 0.25);
    EXPECT_DOUBLE_EQ(fresh->Controller()->getParamNormalized(kHoldId), 1.0);
    EXPECT_DOUBLE_EQ(fresh->Controller()->getParamNormalized(kBypassId), 1.0);
}

TEST_F(Vst3Plugin, AStateWithoutTheBypassFlagFailsButRestoresTheParameters)
{
    Bytes state = Save(*instance);
    PutDoubleAt(state, 7 * 8, 6.0);  // Gain
    PutDoubleAt(state, 0 * 8, 80.0); // Sensitivity
    state.resize(80);
    ASSERT_EQ(instance->LoadState(state), kResultFalse);
    EXPECT_DOUBLE_EQ(SavedValue(7), 6.0);
    EXPECT_DOUBLE_EQ(SavedValue(0), 80.0);
    EXPECT_NEAR(Controller().getParamNormalized(kGainId), 30.0 / 48.0, 1e-12);

    // Half a state restores the half it covers.
    Bytes half = Save(*instance);
    PutDoubleAt(half, 0, 10.0);
    PutDoubleAt(half, 7 * 8, -6.0);
    half.resize(40);
    ASSERT_EQ(instance->LoadState(half), kResultFalse);
    EXPECT_DOUBLE_EQ(SavedValue(0), 10.0);
    EXPECT_DOUBLE_EQ(SavedValue(7), 6.0);
}

TEST_F(Vst3Plugin, StoredValuesAreConstrainedAndNonFiniteOnesBecomeTheDefault)
{
    Bytes state = Save(*instance);
    PutDoubleAt(state, 7 * 8, 99.0);
    PutDoubleAt(state, 1 * 8, std::numeric_limits<double>::quiet_NaN());
    PutDoubleAt(state, 8 * 8, 0.7);
    ASSERT_EQ(instance->LoadState(state), kResultOk);
    EXPECT_DOUBLE_EQ(SavedValue(7), 24.0);
    EXPECT_DOUBLE_EQ(SavedValue(1), -18.0);
    EXPECT_DOUBLE_EQ(SavedValue(8), 1.0);
}

TEST_F(Vst3Plugin, ReadErrorsEndTheStateExceptForWaveLab)
{
    Bytes state = Save(*instance);
    PutDoubleAt(state, 7 * 8, 3.0);
    {
        IPtr<FaultyStream> stream = owned(new FaultyStream(state, 16, true));
        EXPECT_EQ(Component().setState(stream), kResultFalse);
    }
    IPtr<HostApplication> wavelab = owned(new HostApplication("WaveLab 11"));
    auto plugin = PluginInstance::Create(module);
    ASSERT_NE(plugin, nullptr);
    ASSERT_EQ(plugin->Initialize(wavelab, handler), kResultOk);
    IPtr<FaultyStream> stream = owned(new FaultyStream(state, 16, true));
    EXPECT_EQ(plugin->Component()->setState(stream), kResultOk);
    EXPECT_EQ(Save(*plugin), state);

    // Pieces that arrive in odd sizes are put together whole.
    IPtr<FaultyStream> trickle = owned(new FaultyStream(state, 5, false));
    EXPECT_EQ(Component().setState(trickle), kResultOk);
    EXPECT_EQ(Save(*instance), state);
}

// --- The settings beyond the parameters: the state's extension ---------------------------------

// "RSTX", version, payload length, payload: what follows the 84 bytes when a setting is not at its
// default. The Auto Catch mode is the payload's first byte.
Bytes Extension(std::int32_t version, std::int32_t length, Bytes payload)
{
    Bytes bytes = {'R', 'S', 'T', 'X'};
    for (std::int32_t word : {version, length})
        for (int i = 0; i < 4; ++i)
            bytes.push_back(std::uint8_t(std::uint32_t(word) >> (8 * i)));
    bytes.insert(bytes.end(), payload.begin(), payload.end());
    return bytes;
}

const Bytes kAdaptiveExtension = Extension(1, 1, {1});

struct ExtensionCase
{
    const char* name;
    Bytes tail;    // after the 84 bytes
    bool adaptive; // what the plug-in reads from it
};

std::vector<ExtensionCase> ExtensionCases()
{
    Bytes trailing = kAdaptiveExtension;
    trailing.insert(trailing.end(), {'j', 'u', 'n', 'k'});
    Bytes wrongMagic = kAdaptiveExtension;
    wrongMagic[0] = 'r';
    return {
        {"None", {}, false},
        {"Adaptive", kAdaptiveExtension, true},
        {"ClassicWrittenOut", Extension(1, 1, {0}), false},
        {"ReservedPayloadBytes", Extension(1, 3, {1, 9, 9}), true},
        {"BytesAfterTheExtension", trailing, true},
        {"UnknownVersion", Extension(2, 1, {1}), false},
        {"EmptyPayload", Extension(1, 0, {}), false},
        {"PayloadBeyondTheEnd", Extension(1, 5, {1}), false},
        {"NegativeLength", Extension(1, -1, {1}), false},
        {"UnknownMode", Extension(1, 1, {7}), false},
        {"WrongMagic", wrongMagic, false},
    };
}

class Vst3PluginStateExtension : public Vst3Plugin, public ::testing::WithParamInterface<ExtensionCase>
{
};

TEST_P(Vst3PluginStateExtension, IsReadAsTheModeItCarriesAndNeverFailsTheState)
{
    Bytes state = Save(*instance);
    ASSERT_EQ(state.size(), std::size_t(kStateBytes)) << "every setting at its default adds nothing";
    PutDoubleAt(state, 0 * 8, 70.0); // Sensitivity
    state.insert(state.end(), GetParam().tail.begin(), GetParam().tail.end());
    ASSERT_EQ(instance->LoadState(state), kResultOk);
    EXPECT_DOUBLE_EQ(SavedValue(0), 70.0);

    // Saved again: the 84 bytes, and the extension exactly when the mode is Adaptive.
    Bytes expected(state.begin(), state.begin() + kStateBytes);
    if (GetParam().adaptive)
        expected.insert(expected.end(), kAdaptiveExtension.begin(), kAdaptiveExtension.end());
    EXPECT_EQ(Save(*instance), expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, Vst3PluginStateExtension, ::testing::ValuesIn(ExtensionCases()),
                         [](const ::testing::TestParamInfo<ExtensionCase>& info) { return info.param.name; });

TEST_F(Vst3Plugin, EveryTruncationOfTheExtensionReadsAsClassic)
{
    const Bytes classic = Save(*instance);
    for (std::size_t cut = 1; cut < kAdaptiveExtension.size(); ++cut)
    {
        Bytes state = classic;
        state.insert(state.end(), kAdaptiveExtension.begin(), kAdaptiveExtension.begin() + std::ptrdiff_t(cut));
        ASSERT_EQ(instance->LoadState(state), kResultOk) << cut << " bytes of the extension";
        EXPECT_EQ(Save(*instance), classic) << cut << " bytes of the extension";
    }
}

TEST_F(Vst3Plugin, AStateWithoutTheExtensionReturnsAutoCatchToClassic)
{
    Bytes adaptive = Save(*instance);
    const Bytes classic = adaptive;
    adaptive.insert(adaptive.end(), kAdaptiveExtension.begin(), kAdaptiveExtension.end());
    ASSERT_EQ(instance->LoadState(adaptive), kResultOk);
    ASSERT_EQ(Save(*instance).size(), adaptive.size());

    ASSERT_EQ(instance->LoadState(classic), kResultOk) << "a state saved before the extension existed";
    EXPECT_EQ(Save(*instance), classic);

    // A short state still restores what it covers, fails, and leaves the default mode.
    ASSERT_EQ(instance->LoadState(adaptive), kResultOk);
    Bytes shortState = classic;
    PutDoubleAt(shortState, 7 * 8, -3.0); // Gain
    shortState.resize(80);
    EXPECT_EQ(instance->LoadState(shortState), kResultFalse);
    EXPECT_DOUBLE_EQ(SavedValue(7), -3.0);
    EXPECT_EQ(Save(*instance).size(), std::size_t(kStateBytes));
}

TEST_F(Vst3Plugin, TheControllerStateIsEmpty)
{
    IPtr<MemoryStream> out = NewStream();
    EXPECT_EQ(Controller().getState(out), kResultOk);
    EXPECT_TRUE(BytesOf(*out).empty());
    IPtr<MemoryStream> in = StreamOf(Save(*instance));
    EXPECT_EQ(Controller().setState(in), kResultOk);
    EXPECT_EQ(Controller().setComponentState(in), kResultOk);
}

// ---------------------------------------------------------------- processing

struct ProcessCase
{
    SymbolicSampleSizes sampleSize;
    double sampleRate;
    int blockSize;
};

class Vst3PluginProcessing : public Vst3Plugin, public ::testing::WithParamInterface<ProcessCase>
{
};

TEST_P(Vst3PluginProcessing, SilenceInGivesSilenceOutAndEveryFrameIsWritten)
{
    const ProcessCase param = GetParam();
    ProcessBuffers buffers(param.sampleSize, {2}, {2}, std::max(param.blockSize, 1) + 1);
    ASSERT_EQ(instance->StartProcessing(param.sampleSize, param.sampleRate, kMaxBlock), kResultOk);
    for (int block = 0; block < 4; ++block)
    {
        buffers.FillOutputs(9.0);
        ASSERT_EQ(instance->Process(buffers, param.blockSize), kResultOk);
        for (int c = 0; c < 2; ++c)
            for (int n = 0; n < param.blockSize; ++n)
                ASSERT_EQ(buffers.Output(0, c, n), 0.0) << "block " << block << " channel " << c << " frame " << n;
        EXPECT_EQ(buffers.Output(0, 0, param.blockSize), 9.0) << "nothing past the block is written";
    }
    EXPECT_EQ(instance->StopProcessing(), kResultOk);
}

TEST_P(Vst3PluginProcessing, HostBypassPassesTheInputThroughExactly)
{
    const ProcessCase param = GetParam();
    ProcessBuffers buffers(param.sampleSize, {2}, {2}, std::max(param.blockSize, 1));
    ASSERT_EQ(instance->StartProcessing(param.sampleSize, param.sampleRate, kMaxBlock), kResultOk);
    long t = 0;
    for (int block = 0; block < 3; ++block)
    {
        buffers.InputChanges().Clear();
        buffers.InputChanges().AddPoint(kBypassId, 0, 1.0);
        FillSignal(buffers, t, param.blockSize);
        buffers.FillOutputs(9.0);
        ASSERT_EQ(instance->Process(buffers, param.blockSize), kResultOk);
        for (int c = 0; c < 2; ++c)
            for (int n = 0; n < param.blockSize; ++n)
                ASSERT_EQ(buffers.Output(0, c, n), buffers.Input(0, c, n)) << "block " << block << " frame " << n;
        t += param.blockSize;
    }
}

// The host presets every flag so that a flag the plug-in leaves set shows.
TEST_P(Vst3PluginProcessing, SilenceFlagsMarkExactlyTheAllZeroOutputChannels)
{
    const ProcessCase param = GetParam();
    if (param.blockSize == 0)
        GTEST_SKIP() << "an empty block has no samples to flag";
    ProcessBuffers buffers(param.sampleSize, {2}, {2}, param.blockSize);
    ASSERT_EQ(instance->StartProcessing(param.sampleSize, param.sampleRate, kMaxBlock), kResultOk);
    struct Step
    {
        bool left, right;
        uint64 flags;
    };
    long t = 0;
    for (const Step step : {Step {false, false, 3}, Step {true, false, 2}, Step {true, true, 0}, Step {false, true, 1}})
    {
        buffers.ClearInputs();
        for (int n = 0; n < param.blockSize; ++n)
        {
            // Phases that never give an exact zero, so a silent channel is one fed zeros.
            if (step.left)
                buffers.SetInput(0, 0, n, Signal(1, t + n));
            if (step.right)
                buffers.SetInput(0, 1, n, Signal(2, t + n));
        }
        ProcessData& data = buffers.Prepare(param.blockSize);
        data.outputs[0].silenceFlags = ~uint64(0);
        ASSERT_EQ(Processor().process(data), kResultOk);
        EXPECT_EQ(data.outputs[0].silenceFlags, step.flags) << "left " << step.left << " right " << step.right;
        t += param.blockSize;
    }
}

INSTANTIATE_TEST_SUITE_P(
    BlocksRatesAndSizes, Vst3PluginProcessing,
    ::testing::Values(ProcessCase {kSample32, 48000.0, 0}, ProcessCase {kSample32, 48000.0, 1},
                      ProcessCase {kSample32, 48000.0, 7}, ProcessCase {kSample32, 48000.0, 64},
                      ProcessCase {kSample32, 48000.0, kMaxBlock}, ProcessCase {kSample32, 48000.0, kMaxBlock + 1},
                      ProcessCase {kSample32, 44100.0, 3 * kMaxBlock + 5}, ProcessCase {kSample64, 48000.0, 0},
                      ProcessCase {kSample64, 48000.0, 1}, ProcessCase {kSample64, 48000.0, 7},
                      ProcessCase {kSample64, 44100.0, 64}, ProcessCase {kSample64, 96000.0, kMaxBlock},
                      ProcessCase {kSample64, 96000.0, kMaxBlock + 1}, ProcessCase {kSample32, 96000.0, 64},
                      ProcessCase {kSample64, 48000.0, 2 * kMaxBlock + 3}, ProcessCase {kSample32, 44100.0, 7}),
    [](const ::testing::TestParamInfo<ProcessCase>& info) {
        return std::string(info.param.sampleSize == kSample32 ? "Float" : "Double")
               + std::to_string(int(info.param.sampleRate)) + "Hz" + std::to_string(info.param.blockSize);
    });

// A tone above the classic detector's search band that grows like a howl, then holds: the classic
// detector never sees it and passes it untouched; in Adaptive mode, switched on through the saved
// state while the plug-in runs, it gets a trial notch at the next blocks.
TEST_F(Vst3Plugin, TheAutoCatchModeFromTheStateReachesTheProcessingAtTheNextBlock)
{
    const Bytes classic = Save(*instance);
    Bytes adaptive = classic;
    adaptive.insert(adaptive.end(), kAdaptiveExtension.begin(), kAdaptiveExtension.end());
    ProcessBuffers buffers(kSample32, {2}, {2}, kMaxBlock);
    ASSERT_EQ(instance->StartProcessing(kSample32, 48000.0, kMaxBlock), kResultOk);
    const auto tone = [](long t) {
        const double seconds = double(t) / 48000.0;
        const double db = std::min(-70.0 + 60.0 * std::fmod(seconds, 1.5), -20.0);
        return std::pow(10.0, db / 20.0) * std::sin(2.0 * M_PI * 14500.0 * seconds);
    };
    long t = 0;
    const auto run = [&](double seconds) {
        bool touched = false;
        for (; t < long(seconds * 48000.0); t += kMaxBlock)
        {
            for (int c = 0; c < 2; ++c)
                for (int n = 0; n < kMaxBlock; ++n)
                    buffers.SetInput(0, c, n, tone(t + n));
            if (instance->Process(buffers, kMaxBlock) != kResultOk)
                return false;
            for (int n = 0; n < kMaxBlock; ++n)
                touched = touched || float(buffers.Output(0, 0, n)) != float(buffers.Input(0, 0, n));
        }
        return touched;
    };
    EXPECT_FALSE(run(1.5)) << "Classic changed a tone above its band";
    ASSERT_EQ(instance->LoadState(adaptive), kResultOk);
    EXPECT_TRUE(run(3.0)) << "Adaptive left a howl-like tone alone";
    ASSERT_EQ(instance->LoadState(classic), kResultOk);
    run(4.5); // the trial notch fades out
    EXPECT_FALSE(run(6.0)) << "back in Classic, the tone is left alone again";
    EXPECT_EQ(instance->StopProcessing(), kResultOk);
}

TEST_F(Vst3Plugin, RepeatedStartsAndStopsKeepProcessing)
{
    ProcessBuffers buffers(kSample32, {2}, {2}, kMaxBlock);
    for (int cycle = 0; cycle < 4; ++cycle)
    {
        ASSERT_EQ(instance->StartProcessing(kSample32, cycle % 2 ? 44100.0 : 48000.0, kMaxBlock), kResultOk);
        ASSERT_EQ(Processor().setProcessing(false), kResultOk);
        ASSERT_EQ(Processor().setProcessing(true), kResultOk);
        buffers.FillOutputs(9.0);
        ASSERT_EQ(instance->Process(buffers, kMaxBlock), kResultOk);
        EXPECT_EQ(buffers.Output(0, 1, kMaxBlock - 1), 0.0) << "cycle " << cycle;
        ASSERT_EQ(instance->StopProcessing(), kResultOk);
    }
}

TEST_F(Vst3Plugin, OnlyTheLastOfThreeAutomationPointsInABlockCounts)
{
    ProcessBuffers buffers(kSample32, {2}, {2}, 64);
    ASSERT_EQ(instance->StartProcessing(kSample32, 48000.0, 64), kResultOk);
    buffers.InputChanges().AddPoint(kGainId, 0, 1.0);
    buffers.InputChanges().AddPoint(kGainId, 20, 0.0);
    buffers.InputChanges().AddPoint(kGainId, 40, 0.625);
    buffers.InputChanges().AddPoint(kBypassId, 0, 1.0);
    buffers.InputChanges().AddPoint(kBypassId, 10, 1.0);
    buffers.InputChanges().AddPoint(kBypassId, 30, 0.0);
    FillSignal(buffers, 0, 64);
    ASSERT_EQ(instance->Process(buffers, 64), kResultOk);
    EXPECT_DOUBLE_EQ(SavedValue(int(kGainId)), 6.0);
    // Not bypassed: +6 dB.
    EXPECT_NE(buffers.Output(0, 0, 10), buffers.Input(0, 0, 10));
}

TEST_F(Vst3Plugin, TheHostBypassIsOnAbove0Point5)
{
    ProcessBuffers buffers(kSample64, {2}, {2}, 64);
    ASSERT_EQ(instance->StartProcessing(kSample64, 48000.0, 64), kResultOk);
    for (double bypass : {0.6, 0.5})
    {
        buffers.InputChanges().Clear();
        buffers.InputChanges().AddPoint(kGainId, 0, 0.625); // +6 dB
        buffers.InputChanges().AddPoint(kBypassId, 0, bypass);
        FillSignal(buffers, 0, 64);
        ASSERT_EQ(instance->Process(buffers, 64), kResultOk);
        if (bypass > 0.5)
        {
            for (int n = 0; n < 64; ++n)
                ASSERT_EQ(buffers.Output(0, 1, n), buffers.Input(0, 1, n));
        }
        else
        {
            EXPECT_GT(OutputRms(buffers, 1, 64), 1.5 * InputRms(buffers, 1, 64));
        }
    }
}

TEST_F(Vst3Plugin, NonFiniteAutomationNeverReachesAParameter)
{
    ProcessBuffers buffers(kSample32, {2}, {2}, 32);
    ASSERT_EQ(instance->StartProcessing(kSample32, 48000.0, 32), kResultOk);
    buffers.InputChanges().AddPoint(kGainId, 0, 0.75);
    ASSERT_EQ(instance->Process(buffers, 32), kResultOk);
    buffers.InputChanges().Clear();
    buffers.InputChanges().AddPoint(kGainId, 5, std::numeric_limits<double>::quiet_NaN());
    buffers.InputChanges().AddPoint(kBypassId, 5, std::numeric_limits<double>::infinity());
    ASSERT_EQ(instance->Process(buffers, 32), kResultOk);
    EXPECT_DOUBLE_EQ(SavedValue(int(kGainId)), 12.0);
    // Unreadable points are skipped too.
    buffers.InputChanges().Clear();
    buffers.InputChanges().AddPoint(kGainId, 0, 0.0);
    buffers.InputChanges().Find(kGainId)->SetFailingReads(true);
    ASSERT_EQ(instance->Process(buffers, 32), kResultOk);
    EXPECT_DOUBLE_EQ(SavedValue(int(kGainId)), 12.0);
}

TEST_F(Vst3Plugin, ALatencyChangeIsReportedAtOnceWithoutAHostCallFromProcess)
{
    ProcessBuffers buffers(kSample32, {2}, {2}, kMaxBlock);
    ASSERT_EQ(instance->StartProcessing(kSample32, 48000.0, kMaxBlock), kResultOk);
    EXPECT_EQ(Processor().getLatencySamples(), 0u);
    handler->Clear();
    buffers.InputChanges().AddPoint(kNoNoiseId, 0, 0.5);
    ASSERT_EQ(instance->Process(buffers, kMaxBlock), kResultOk);
    EXPECT_GT(Processor().getLatencySamples(), 0u);

    buffers.InputChanges().Clear();
    buffers.InputChanges().AddPoint(kNoNoiseId, 0, 0.0);
    ASSERT_EQ(instance->Process(buffers, kMaxBlock), kResultOk);
    EXPECT_EQ(Processor().getLatencySamples(), 0u);
    EXPECT_EQ(Processor().getTailSamples(), 0u);
    // The restart comes from the UI thread's idle tick, which nothing pumps here.
    EXPECT_EQ(handler->Count(HandlerCall::kRestartComponent), 0u);
}

TEST_F(Vst3Plugin, ProcessAllocatesNothingInAnyConfiguration)
{
    ProcessBuffers buffers32(kSample32, {2}, {2}, 3 * kMaxBlock);
    ProcessBuffers buffers64(kSample64, {2}, {2}, 3 * kMaxBlock);
    for (SymbolicSampleSizes size : {kSample32, kSample64})
    {
        ProcessBuffers& buffers = size == kSample32 ? buffers32 : buffers64;
        ASSERT_EQ(instance->StartProcessing(size, 48000.0, kMaxBlock), kResultOk);
        ringstill::test::HeapScope scope;
        long t = 0;
        uint32 latency = Processor().getLatencySamples();
        int latencyChanges = 0;
        for (int block = 0; block < 12; ++block)
        {
            const int frames = (block * 97) % (3 * kMaxBlock);
            buffers.InputChanges().Clear();
            buffers.InputChanges().AddPoint(kNoNoiseId, 0, block % 3 == 1 ? 0.4 : 0.0);
            buffers.InputChanges().AddPoint(kGainId, 3, 0.6);
            buffers.InputChanges().AddPoint(kBypassId, 2, block % 4 == 3 ? 1.0 : 0.0);
            FillSignal(buffers, t, frames);
            ASSERT_EQ(instance->Process(buffers, frames), kResultOk);
            latencyChanges += Processor().getLatencySamples() != latency ? 1 : 0;
            latency = Processor().getLatencySamples();
            t += frames;
        }
        EXPECT_EQ(scope.Count(), 0u) << (size == kSample32 ? "32-bit" : "64-bit");
        EXPECT_GE(latencyChanges, 2) << "the loop changes the latency";
        ASSERT_EQ(instance->StopProcessing(), kResultOk);
    }
}

TEST_F(Vst3Plugin, AnInactiveOutputBusKeepsItsHostBufferUntouched)
{
    ProcessBuffers buffers(kSample32, {2}, {2}, 32);
    ASSERT_EQ(Component().activateBus(kAudio, kOutput, 0, false), kResultTrue);
    ASSERT_EQ(instance->StartProcessing(kSample32, 48000.0, 32), kResultOk);
    FillSignal(buffers, 0, 32);
    buffers.FillOutputs(9.0);
    ASSERT_EQ(instance->Process(buffers, 32), kResultOk);
    EXPECT_EQ(buffers.Output(0, 0, 0), 9.0);
    EXPECT_EQ(buffers.Output(0, 1, 31), 9.0);
}

TEST_F(Vst3Plugin, AMonoLayoutProcessesOneChannel)
{
    SpeakerArrangement mono = 0x80000;
    ASSERT_EQ(Processor().setBusArrangements(&mono, 1, &mono, 1), kResultOk);
    ProcessBuffers buffers(kSample32, {1}, {1}, 128);
    ASSERT_EQ(instance->StartProcessing(kSample32, 48000.0, 128), kResultOk);
    buffers.InputChanges().AddPoint(kBypassId, 0, 1.0);
    FillSignal(buffers, 0, 128);
    ASSERT_EQ(instance->Process(buffers, 128), kResultOk);
    for (int n = 0; n < 128; ++n)
        ASSERT_EQ(buffers.Output(0, 0, n), buffers.Input(0, 0, n));
    buffers.InputChanges().Clear();
    buffers.InputChanges().AddPoint(kBypassId, 0, 0.0);
    buffers.ClearInputs();
    buffers.FillOutputs(9.0);
    ASSERT_EQ(instance->Process(buffers, 128), kResultOk);
    EXPECT_EQ(buffers.Output(0, 0, 127), 0.0);
}

TEST_F(Vst3Plugin, UnknownSampleSizesAreRefused)
{
    EXPECT_EQ(Processor().canProcessSampleSize(kSample32), kResultTrue);
    EXPECT_EQ(Processor().canProcessSampleSize(kSample64), kResultTrue);
    EXPECT_EQ(Processor().canProcessSampleSize(2), kResultFalse);
    ProcessSetup setup {kRealtime, 5, kMaxBlock, 48000.0};
    EXPECT_EQ(Processor().setupProcessing(setup), kResultFalse);
}

// ---------------------------------------------------------------- view

class Vst3PluginView : public Vst3Plugin
{
protected:
    IPtr<IPlugView> MakeView(const char* name = ViewType::kEditor)
    {
        return owned(Controller().createView(name));
    }
};

TEST_F(Vst3PluginView, OnlyTheEditorNameGivesAView)
{
    EXPECT_EQ(MakeView("other"), nullptr);
    EXPECT_EQ(Controller().createView(nullptr), nullptr);
    EXPECT_NE(MakeView(), nullptr);
}

TEST_F(Vst3PluginView, TheViewIsFixedInSizeAndEmbedsIntoThisPlatformsWindows)
{
    IPtr<IPlugView> view = MakeView();
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->isPlatformTypeSupported(kThisPlatformsWindow), kResultTrue);
    EXPECT_EQ(view->isPlatformTypeSupported(kOtherPlatformsWindow), kResultFalse);
    ViewRect size;
    ASSERT_EQ(view->getSize(&size), kResultOk);
    EXPECT_EQ(size.getWidth(), 740);
    EXPECT_EQ(size.getHeight(), 726);
    EXPECT_EQ(view->canResize(), kResultFalse);
    ViewRect request(0, 0, 900, 900);
    EXPECT_EQ(view->onSize(&request), kResultFalse);

    ViewRect small(10, 20, 110, 120);
    ASSERT_EQ(view->checkSizeConstraint(&small), kResultOk);
    EXPECT_EQ(small.left, 10);
    EXPECT_EQ(small.getWidth(), 256);
    EXPECT_EQ(small.getHeight(), 256);
    ViewRect fine(0, 0, 800, 600);
    ASSERT_EQ(view->checkSizeConstraint(&fine), kResultOk);
    EXPECT_EQ(fine.getWidth(), 800);
}

TEST_F(Vst3PluginView, AttachingAndRemovingKeepsTheSizeAndScale)
{
    IPtr<IPlugView> view = MakeView();
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->attached(nullptr, "NSView"), kResultOk);
    auto scale = QueryOf<IPlugViewContentScaleSupport>(view);
    ASSERT_NE(scale, nullptr);
    EXPECT_EQ(scale->setContentScaleFactor(2.0f), kResultOk);
    // An X11 window id, never touched while no editor window is open.
    void* parent = reinterpret_cast<void*>(std::uintptr_t(0x4a00007));
    ASSERT_EQ(view->attached(parent, kPlatformTypeX11EmbedWindowID), kResultOk);
    ASSERT_EQ(view->removed(), kResultOk);
    ASSERT_EQ(view->attached(parent, kPlatformTypeX11EmbedWindowID), kResultOk);
    ViewRect size;
    ASSERT_EQ(view->getSize(&size), kResultOk);
    EXPECT_EQ(size.getWidth(), 740);
    EXPECT_EQ(size.getHeight(), 726);
    // Without an editor window nothing takes the key.
    EXPECT_EQ(view->onKeyDown(u'a', 0, 0), kResultFalse);
    ASSERT_EQ(view->removed(), kResultOk);
}

TEST_F(Vst3PluginView, TheViewKeepsThePlugInAliveUntilItGoes)
{
    IPlugView* view = Controller().createView(ViewType::kEditor);
    ASSERT_NE(view, nullptr);
    instance->ReleaseController();
    instance->ReleaseProcessor();
    EXPECT_GT(instance->ReleaseComponent(), 0) << "the view still holds the plug-in";
    EXPECT_EQ(view->release(), 0u);
}

TEST(Vst3KeyCodes, VirtualKeysFollowTheWindowsTable)
{
    EXPECT_EQ(iplug::VirtualKeyFromVst3(0, 1), 8);
    EXPECT_EQ(iplug::VirtualKeyFromVst3(0, 4), 13);
    EXPECT_EQ(iplug::VirtualKeyFromVst3(0, 19), 13);
    EXPECT_EQ(iplug::VirtualKeyFromVst3(0, 7), 32);
    EXPECT_EQ(iplug::VirtualKeyFromVst3(0, 11), 37);
    EXPECT_EQ(iplug::VirtualKeyFromVst3(0, 14), 40);
    EXPECT_EQ(iplug::VirtualKeyFromVst3(0, 15), 33);
    EXPECT_EQ(iplug::VirtualKeyFromVst3(0, 16), 34);
    EXPECT_EQ(iplug::VirtualKeyFromVst3(0, 24), 96);
    EXPECT_EQ(iplug::VirtualKeyFromVst3(0, 51), 123);
    EXPECT_EQ(iplug::VirtualKeyFromVst3(0, 52), 144);
    EXPECT_EQ(iplug::VirtualKeyFromVst3(0, 56), 18);
    EXPECT_EQ(iplug::VirtualKeyFromVst3(0, 100), 0);
    EXPECT_EQ(iplug::VirtualKeyFromVst3(0, 200), 120);
    EXPECT_EQ(iplug::VirtualKeyFromVst3(u'a', 0), 'A');
    EXPECT_EQ(iplug::VirtualKeyFromVst3(u'7', 0), '7');
    EXPECT_EQ(iplug::VirtualKeyFromVst3(u'-', 57), 0xBD);
}

// ---------------------------------------------------------------- in-process: editor-driven notifications

// The stand-in built in this process, so the calls only the editor makes can be driven directly.
class RecordingPlugin final : public ringstill::test::TenParamPlugin
{
public:
    bool OnEditorKey(const igraphics::IKeyPress& key, bool isUp) override
    {
        keys.push_back(key);
        ups.push_back(isUp);
        return true;
    }
    void OpenEditorWindow(void* parent) override { openedWith.push_back(parent); }
    void CloseEditorWindow() override { ++closes; }

    std::vector<igraphics::IKeyPress> keys;
    std::vector<bool> ups;
    std::vector<void*> openedWith;
    int closes = 0;
};

class RecordingFrame final : public TestFrame
{
public:
    tresult PLUGIN_API resizeView(IPlugView* view, ViewRect* newSize) override
    {
        (void)view;
        sizes.push_back(*newSize);
        return kResultTrue;
    }

    std::vector<ViewRect> sizes;
};

class Vst3PluginInProcess : public ::testing::Test
{
protected:
    void SetUp() override { Start("Ringstill Test Host"); }
    void TearDown() override { Finish(); }

    void Start(const char* hostName)
    {
        host = owned(new HostApplication(hostName));
        plug = new RecordingPlugin();
        ASSERT_EQ(plug->initialize(host), kResultOk);
        ASSERT_EQ(plug->setComponentHandler(handler), kResultTrue);
        handler->Clear();
    }
    void Finish()
    {
        if (plug == nullptr)
            return;
        plug->terminate();
        plug->release();
        plug = nullptr;
    }

    IPtr<HostApplication> host;
    IPtr<ComponentHandler> handler = owned(new ComponentHandler());
    RecordingPlugin* plug = nullptr;
};

TEST_F(Vst3PluginInProcess, ABuildWithoutTheExtensionReadsAnExtendedStateAsBefore)
{
    // The stand-in is the binding without settings beyond the parameters: an older build.
    IPtr<MemoryStream> stream = NewStream();
    IComponent* component = plug;
    ASSERT_EQ(component->getState(stream), kResultOk);
    Bytes saved = BytesOf(*stream);
    ASSERT_EQ(saved.size(), std::size_t(kStateBytes));
    PutDoubleAt(saved, 7 * 8, 12.0); // Gain
    saved.insert(saved.end(), kAdaptiveExtension.begin(), kAdaptiveExtension.end());
    EXPECT_EQ(component->setState(StreamOf(saved)), kResultOk);
    EXPECT_DOUBLE_EQ(plug->GetParam(7)->CurrentValue(), 12.0);
    IPtr<MemoryStream> out = NewStream();
    ASSERT_EQ(component->getState(out), kResultOk);
    EXPECT_EQ(BytesOf(*out).size(), std::size_t(kStateBytes)) << "it keeps only what it knows";
}

TEST_F(Vst3PluginInProcess, AChangedSettingTellsTheHostItsStateIsDirty)
{
    plug->MarkStateDirty();
    ASSERT_EQ(handler->Calls().size(), 1u);
    EXPECT_EQ(handler->Calls()[0].kind, HandlerCall::kSetDirty);
    EXPECT_EQ(handler->Calls()[0].flags, 1) << "dirty, not clean";
}

TEST_F(Vst3PluginInProcess, AnEditorGestureReachesTheHostAsBeginPerformEnd)
{
    plug->BeginHostEdit(int(kGainId));
    plug->SetParameterFromEditor(int(kGainId), 0.75);
    plug->EndHostEdit(int(kGainId));
    const std::vector<HandlerCall> calls = handler->Calls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].kind, HandlerCall::kBeginEdit);
    EXPECT_EQ(calls[1].kind, HandlerCall::kPerformEdit);
    EXPECT_EQ(calls[1].id, kGainId);
    EXPECT_DOUBLE_EQ(calls[1].value, 0.75);
    EXPECT_EQ(calls[2].kind, HandlerCall::kEndEdit);
    EXPECT_DOUBLE_EQ(plug->getParamNormalized(kGainId), 0.75) << "the host object follows the editor";
    EXPECT_DOUBLE_EQ(plug->GetParam(int(kGainId))->CurrentValue(), 12.0);
}

TEST_F(Vst3PluginInProcess, PushingEveryParameterIsOneGroupEditInIndexOrder)
{
    plug->GetParam(0)->StoreValue(70.0);
    plug->PushAllParamsToHost();
    const std::vector<HandlerCall> calls = handler->Calls();
    ASSERT_EQ(calls.size(), 12u);
    EXPECT_EQ(calls.front().kind, HandlerCall::kStartGroupEdit);
    EXPECT_EQ(calls.back().kind, HandlerCall::kFinishGroupEdit);
    for (int i = 0; i < 10; ++i)
    {
        EXPECT_EQ(calls[std::size_t(i + 1)].kind, HandlerCall::kPerformEdit);
        EXPECT_EQ(calls[std::size_t(i + 1)].id, ParamID(i));
    }
    EXPECT_DOUBLE_EQ(calls[1].value, 0.7);
    EXPECT_DOUBLE_EQ(plug->getParamNormalized(0), 0.7);
}

TEST_F(Vst3PluginInProcess, TitleChangesRestartTheComponentAndNothingReachesAnAbsentHandler)
{
    plug->HostParameterDetailsChanged();
    ASSERT_EQ(handler->Count(HandlerCall::kRestartComponent), 1u);
    EXPECT_EQ(handler->Calls()[0].flags, kParamTitlesChanged);
    plug->setComponentHandler(nullptr);
    handler->Clear();
    plug->BeginHostEdit(0);
    plug->HostEdit(0, 0.5);
    plug->EndHostEdit(0);
    plug->HostParameterDetailsChanged();
    plug->PushAllParamsToHost();
    EXPECT_TRUE(handler->Calls().empty());
}

TEST_F(Vst3PluginInProcess, AnInfiniteTailIsReportedAsTheSdksInfiniteValue)
{
    EXPECT_EQ(plug->getTailSamples(), 0u);
    plug->ChangeTailLength(iplug::IPlugProcessor::kInfiniteTail);
    EXPECT_EQ(plug->getTailSamples(), 0xFFFFFFFFu);
    plug->ChangeTailLength(300);
    EXPECT_EQ(plug->getTailSamples(), 300u);
}

TEST_F(Vst3PluginInProcess, TheProcessContextFillsTheTransportAndABlockWithoutOneKeepsIt)
{
    ProcessBuffers buffers(kSample64, {2}, {2}, 32);
    ProcessSetup setup {kOffline, kSample64, 32, 48000.0};
    ASSERT_EQ(plug->setupProcessing(setup), kResultOk);
    ProcessContext context {};
    context.state = ProcessContext::kPlaying | ProcessContext::kProjectTimeMusicValid | ProcessContext::kTempoValid;
    context.tempo = 97.0;
    context.projectTimeSamples = 4800;
    context.projectTimeMusic = 6.5;
    context.barPositionMusic = 4.0;
    context.timeSigNumerator = 3;
    context.timeSigDenominator = 8;
    buffers.SetContext(&context);
    buffers.SetProcessMode(kOffline);
    ASSERT_EQ(plug->process(buffers.Prepare(32)), kResultOk);
    buffers.SetContext(nullptr);
    ASSERT_EQ(plug->process(buffers.Prepare(32)), kResultOk);
    const iplug::TransportInfo& transport = plug->GetTransport();
    EXPECT_EQ(transport.tempo, 97.0);
    EXPECT_EQ(transport.samplePosition, 4800.0);
    EXPECT_EQ(transport.musicalPosition, 6.5);
    EXPECT_EQ(transport.lastBarPosition, 4.0);
    EXPECT_EQ(transport.numerator, 3);
    EXPECT_EQ(transport.denominator, 8);
    EXPECT_TRUE(transport.running);
    EXPECT_FALSE(transport.cycleActive);
    EXPECT_TRUE(plug->IsRenderingOffline());
}

TEST_F(Vst3PluginInProcess, ResizingTheEditorAsksTheHostFrameOnlyForANewSize)
{
    IPtr<IPlugView> view = owned(plug->createView(ViewType::kEditor));
    ASSERT_NE(view, nullptr);
    RecordingFrame frame;
    view->setFrame(&frame);
    EXPECT_TRUE(plug->ResizeEditor(800, 700));
    EXPECT_TRUE(plug->ResizeEditor(800, 700));
    ASSERT_EQ(frame.sizes.size(), 1u);
    EXPECT_EQ(frame.sizes[0].getWidth(), 800);
    EXPECT_EQ(frame.sizes[0].getHeight(), 700);
    ViewRect size;
    ASSERT_EQ(view->getSize(&size), kResultOk);
    EXPECT_EQ(size.getWidth(), 800);
    view->setFrame(nullptr);
}

TEST_F(Vst3PluginInProcess, ClosingAndReopeningTheEditorKeepsItsSizeAndScale)
{
    IPtr<IPlugView> view = owned(plug->createView(ViewType::kEditor));
    ASSERT_NE(view, nullptr);
    auto scale = QueryOf<IPlugViewContentScaleSupport>(view);
    ASSERT_NE(scale, nullptr);
    void* parent = reinterpret_cast<void*>(std::uintptr_t(0x4a00007));
    ASSERT_EQ(scale->setContentScaleFactor(1.5f), kResultOk);
    ASSERT_EQ(view->attached(parent, iplug::kEditorPlatformType), kResultOk);
    ASSERT_EQ(plug->openedWith.size(), 1u);
    EXPECT_EQ(plug->openedWith[0], parent);
    plug->SetEditorSize(900, 800);
    ASSERT_EQ(view->removed(), kResultOk);
    EXPECT_EQ(plug->closes, 1);
    EXPECT_EQ(plug->ClosedWidth(), 900);
    EXPECT_EQ(plug->ClosedScale(), 1.5f);

    plug->SetEditorSize(740, 726);
    plug->SetEditorScale(1.0f);
    ASSERT_EQ(view->attached(parent, iplug::kEditorPlatformType), kResultOk);
    EXPECT_EQ(plug->EditorWidth(), 900);
    EXPECT_EQ(plug->EditorHeight(), 800);
    EXPECT_EQ(plug->EditorScale(), 1.5f);
    // Another platform's window type opens nothing.
    ASSERT_EQ(view->removed(), kResultOk);
    ASSERT_EQ(view->attached(parent, kOtherPlatformsWindow), kResultOk);
    EXPECT_EQ(plug->openedWith.size(), 2u);
}

TEST_F(Vst3PluginInProcess, KeysReachTheEditorTranslatedWithTheirModifiers)
{
    IPtr<IPlugView> view = owned(plug->createView(ViewType::kEditor));
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->onKeyDown(0, 11, 0x1 | 0x4), kResultTrue);
    EXPECT_EQ(view->onKeyUp(u'q', 0, 0x2), kResultTrue);
    ASSERT_EQ(plug->keys.size(), 2u);
    EXPECT_EQ(plug->keys[0].vk, 37);
    EXPECT_TRUE(plug->keys[0].S);
    EXPECT_TRUE(plug->keys[0].C);
    EXPECT_FALSE(plug->keys[0].A);
    EXPECT_FALSE(plug->ups[0]);
    EXPECT_EQ(plug->keys[1].vk, 'Q');
    EXPECT_TRUE(plug->keys[1].A);
    EXPECT_TRUE(plug->ups[1]);
}

TEST_F(Vst3PluginInProcess, ReaperKeepsEveryKeyButTheSpaceBar)
{
    Finish();
    Start("REAPER");
    IPtr<IPlugView> view = owned(plug->createView(ViewType::kEditor));
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->onKeyDown(u'q', 0, 0), kResultFalse);
    EXPECT_EQ(view->onKeyDown(0, 11, 0), kResultFalse);
    EXPECT_EQ(view->onKeyDown(0, 7, 0), kResultTrue);
    ASSERT_EQ(plug->keys.size(), 1u);
    EXPECT_STREQ(plug->keys[0].utf8, " ");
    EXPECT_EQ(plug->keys[0].vk, 32);
}

// ---------------------------------------------------------------- lifetime

// Components released, by index: 0 component, 1 processor, 2 controller.
using ReleaseOrder = std::array<int, 3>;

std::string ReleaseOrderName(const ::testing::TestParamInfo<ReleaseOrder>& info)
{
    static const char* const kNames[] = {"Component", "Processor", "Controller"};
    std::string name;
    for (int which : info.param)
        name += kNames[which];
    return name;
}

class Vst3PluginLifetime : public Vst3Plugin, public ::testing::WithParamInterface<ReleaseOrder>
{
};

TEST_P(Vst3PluginLifetime, InterfacesReleasedInAnyOrderDestroyTheObjectOnce)
{
    ProcessBuffers buffers(kSample32, {2}, {2}, 32);
    ASSERT_EQ(instance->StartProcessing(kSample32, 48000.0, 32), kResultOk);
    ASSERT_EQ(instance->Process(buffers, 32), kResultOk);
    long results[3] = {};
    for (int step = 0; step < 3; ++step)
    {
        switch (GetParam()[std::size_t(step)])
        {
        case 0: results[step] = instance->ReleaseComponent(); break;
        case 1: results[step] = instance->ReleaseProcessor(); break;
        default: results[step] = instance->ReleaseController(); break;
        }
    }
    EXPECT_GT(results[0], 0);
    EXPECT_GT(results[1], 0);
    EXPECT_EQ(results[2], 0);
    instance.reset();
    module.reset();
}

INSTANTIATE_TEST_SUITE_P(Orders, Vst3PluginLifetime,
                         ::testing::Values(ReleaseOrder {0, 1, 2}, ReleaseOrder {0, 2, 1},
                                           ReleaseOrder {1, 0, 2}, ReleaseOrder {1, 2, 0},
                                           ReleaseOrder {2, 0, 1}, ReleaseOrder {2, 1, 0}),
                         ReleaseOrderName);

} // namespace
