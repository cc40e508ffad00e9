#include "framework/IGraphics.h"
#include "framework/IPlugAPIBase.h"
#include "framework/IPlugProcessor.h"
#include "framework/SpscQueue.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <thread>
#include <vector>

using namespace iplug;

namespace {

enum TestParams
{
    kSensitivity,
    kAutoCut,
    kAutoWidth,
    kMasterTrim,
    kMasterWidth,
    kNoNoise,
    kNoReverb,
    kGain,
    kHold,
    kBypass,
    kNumTestParams
};

const double kDefaults[kNumTestParams] = {50, -18, 25, 0, 1, 0, 0, 0, 0, 0};

PluginConfig TestConfig(int nPresets = 1)
{
    PluginConfig c;
    c.nParams = kNumTestParams;
    c.nPresets = nPresets;
    c.channelLayouts = "1-1 2-2";
    c.pluginName = "Ringstill";
    c.productName = "Ringstill";
    c.makerName = "Tollent";
    c.vendorVersion = 0x00010007;
    c.uniqueId = MakeFourCC("Rstl");
    c.makerId = MakeFourCC("Toln");
    c.hasEditor = true;
    c.editorWidth = 740;
    c.editorHeight = 726;
    c.minWidth = 256;
    c.maxWidth = 8192;
    c.minHeight = 256;
    c.maxHeight = 8192;
    return c;
}

// A plug-in shaped like the effect: ten parameters, one default preset, and every
// hook recorded so the tests can see what the bases call and in which order.
class TestPlugin : public IPlugAPIBase, public IPlugProcessor
{
public:
    explicit TestPlugin(const PluginConfig& config = TestConfig()) : IPlugAPIBase(config), IPlugProcessor(config)
    {
        GetParam(kSensitivity)->DefineDouble("Sensitivity", 50, 0, 100, 1, "%");
        GetParam(kAutoCut)->DefineDouble("Auto Cut", -18, -40, -3, 0.1, "dB");
        GetParam(kAutoWidth)->DefineDouble("Auto Width", 25, 2, 60, 0.1, "Q");
        GetParam(kMasterTrim)->DefineDouble("Master Trim", 0, -12, 12, 0.1, "dB");
        GetParam(kMasterWidth)->DefineDouble("Master Width", 1, 0.5, 2, 0.01, "x");
        GetParam(kNoNoise)->DefineDouble("No-Noise", 0, 0, 100, 0.1, "%");
        GetParam(kNoReverb)->DefineDouble("No-Reverb", 0, 0, 100, 0.1, "%");
        GetParam(kGain)->DefineDouble("Gain", 0, -24, 24, 0.1, "dB");
        GetParam(kHold)->DefineBool("Hold");
        GetParam(kBypass)->DefineBool("Bypass");
        CreateDefaultPreset();
    }

    void OnParamChange(int index) override { log.push_back("change " + std::to_string(index)); }
    void ParamChangedForEditor(int index, ParamSource source) override
    {
        log.push_back("editor " + std::to_string(index) + " " + std::to_string(int(source)));
    }
    void SendParamToEditor(int index, double value, bool normalised) override
    {
        sentToEditor.push_back({index, value});
        EXPECT_TRUE(normalised);
    }
    void HostEdit(int index, double normalised) override
    {
        log.push_back("host " + std::to_string(index));
        hostEdits.push_back({index, normalised});
    }

    using IEditorDelegate::OnParamChange;

    struct Sent
    {
        int index;
        double value;
    };
    std::vector<std::string> log;
    std::vector<Sent> sentToEditor;
    std::vector<Sent> hostEdits;
};

void PutDoubles(ByteChunk& chunk, std::initializer_list<double> values)
{
    for (double v : values)
        chunk.PutDouble(v);
}

ByteChunk ChunkOf(const TestPlugin& plugin)
{
    ByteChunk chunk;
    EXPECT_TRUE(plugin.SerializeParams(chunk));
    return chunk;
}

class PluginBaseTest : public ::testing::Test
{
protected:
    // Every index the tests use is valid; a missing parameter ends the test run.
    IParam& Param(int index)
    {
        IParam* p = plugin.GetParam(index);
        if (p == nullptr)
            std::abort();
        return *p;
    }

    TestPlugin plugin;
};

} // namespace

// --- Construction ------------------------------------------------------------

TEST_F(PluginBaseTest, AFreshPluginHasTenParametersAtTheirDefaults)
{
    ASSERT_EQ(plugin.NParams(), 10);
    for (int i = 0; i < kNumTestParams; ++i)
        EXPECT_DOUBLE_EQ(Param(i).CurrentValue(), kDefaults[i]) << i;
    EXPECT_EQ(plugin.GetParam(10), nullptr);
    EXPECT_EQ(plugin.GetParam(-1), nullptr);
}

TEST_F(PluginBaseTest, TheDefaultsDisplayWithTheirDecimals)
{
    const char* expected[kNumTestParams] = {"50", "-18.0", "25.0", "0.0", "1.00", "0.0", "0.0", "0.0", "off", "off"};
    for (int i = 0; i < kNumTestParams; ++i)
    {
        char text[32];
        const IParam* p = plugin.GetParam(i);
        p->FormatDisplay(p->CurrentValue(), false, text, sizeof text);
        EXPECT_STREQ(text, expected[i]) << p->GetName();
    }
}

TEST_F(PluginBaseTest, TheConfigurationIsCopied)
{
    EXPECT_STREQ(plugin.GetPluginName(), "Ringstill");
    EXPECT_STREQ(plugin.GetProductName(), "Ringstill");
    EXPECT_STREQ(plugin.GetMakerName(), "Tollent");
    EXPECT_EQ(plugin.GetVendorVersion(), 65543);
    EXPECT_EQ(plugin.GetUniqueId(), 0x5273746Cu);
    EXPECT_EQ(plugin.GetMakerId(), 0x546F6C6Eu);
    EXPECT_TRUE(plugin.HasEditor());
    EXPECT_FALSE(plugin.IsHostResizable());
    EXPECT_EQ(plugin.EditorWidth(), 740);
    EXPECT_EQ(plugin.EditorHeight(), 726);
    EXPECT_EQ(plugin.GetHost(), kHostUninit);
}

TEST_F(PluginBaseTest, ParametersStoreClampedValues)
{
    plugin.GetParam(kAutoCut)->StoreValue(-2);
    plugin.GetParam(kGain)->StoreValue(30);
    plugin.GetParam(kSensitivity)->StoreValue(49.6);
    plugin.GetParam(kHold)->StoreValue(0.7);
    EXPECT_DOUBLE_EQ(plugin.GetParam(kAutoCut)->CurrentValue(), -3.0);
    EXPECT_DOUBLE_EQ(plugin.GetParam(kGain)->CurrentValue(), 24.0);
    EXPECT_DOUBLE_EQ(plugin.GetParam(kSensitivity)->CurrentValue(), 49.6);
    EXPECT_DOUBLE_EQ(plugin.GetParam(kHold)->CurrentValue(), 1.0);
}

// --- The state chunk -----------------------------------------------------------

TEST_F(PluginBaseTest, SavingAFreshPluginGivesTheTenDefaultsAsEightyLittleEndianBytes)
{
    const ByteChunk chunk = ChunkOf(plugin);
    ASSERT_EQ(chunk.Size(), 80);
    // 50.0 is 0x4049000000000000: least significant byte first.
    const std::uint8_t fifty[8] = {0, 0, 0, 0, 0, 0, 0x49, 0x40};
    EXPECT_EQ(std::memcmp(chunk.GetData(), fifty, 8), 0);
    for (int i = 0; i < kNumTestParams; ++i)
    {
        double v = 0;
        EXPECT_EQ(chunk.GetDouble(v, 8 * i), 8 * (i + 1));
        EXPECT_DOUBLE_EQ(v, kDefaults[i]);
    }
}

TEST_F(PluginBaseTest, WriteStateIsTheParameterChunk)
{
    ByteChunk state;
    ASSERT_TRUE(plugin.WriteState(state));
    const ByteChunk params = ChunkOf(plugin);
    ASSERT_EQ(state.Size(), params.Size());
    EXPECT_EQ(std::memcmp(state.GetData(), params.GetData(), std::size_t(state.Size())), 0);
}

TEST_F(PluginBaseTest, ACompleteChunkRestoresEveryValueAndReturnsTheEndPosition)
{
    ByteChunk chunk;
    PutDoubles(chunk, {10, -30, 40, 5, 1.5, 20, 30, -6, 1, 1});
    EXPECT_EQ(plugin.ReadState(chunk, 0), 80);
    EXPECT_DOUBLE_EQ(plugin.GetParam(kSensitivity)->CurrentValue(), 10);
    EXPECT_DOUBLE_EQ(plugin.GetParam(kMasterWidth)->CurrentValue(), 1.5);
    EXPECT_DOUBLE_EQ(plugin.GetParam(kBypass)->CurrentValue(), 1);
    // Saved again, it gives the same bytes.
    const ByteChunk again = ChunkOf(plugin);
    ASSERT_EQ(again.Size(), 80);
    EXPECT_EQ(std::memcmp(again.GetData(), chunk.GetData(), 80), 0);
}

TEST_F(PluginBaseTest, AFortyByteChunkRestoresTheFirstFiveAndReportsShortData)
{
    for (int i = 5; i < kNumTestParams; ++i)
        Param(i).StoreNormalised(1.0);
    ByteChunk chunk;
    PutDoubles(chunk, {10, -30, 40, 5, 1.5});
    EXPECT_EQ(plugin.UnserializeParams(chunk, 0), -1);
    EXPECT_DOUBLE_EQ(plugin.GetParam(kSensitivity)->CurrentValue(), 10);
    EXPECT_DOUBLE_EQ(plugin.GetParam(kMasterWidth)->CurrentValue(), 1.5);
    for (int i = 5; i < kNumTestParams; ++i)
        EXPECT_DOUBLE_EQ(Param(i).CurrentNormalised(), 1.0) << "parameter " << i << " kept its value";
}

TEST_F(PluginBaseTest, EveryRestoreAnnouncesAllParametersAsAPresetRecall)
{
    ByteChunk shortChunk;
    PutDoubles(shortChunk, {10});
    plugin.UnserializeParams(shortChunk, 0);
    ASSERT_EQ(plugin.log.size(), 20u);
    EXPECT_EQ(plugin.log[0], "change 0");
    EXPECT_EQ(plugin.log[1], "editor 0 2");
    EXPECT_EQ(plugin.log[19], "editor 9 2");
}

TEST_F(PluginBaseTest, RestoredValuesAreConstrainedNotRejected)
{
    ByteChunk chunk;
    PutDoubles(chunk, {55.55, -100, 25, 0, 1, 0, 0, 0, 0.7, 0});
    EXPECT_EQ(plugin.UnserializeParams(chunk, 0), 80);
    EXPECT_DOUBLE_EQ(plugin.GetParam(kSensitivity)->CurrentValue(), 55.55) << "Sensitivity is not stepped";
    EXPECT_DOUBLE_EQ(plugin.GetParam(kAutoCut)->CurrentValue(), -40);
    EXPECT_DOUBLE_EQ(plugin.GetParam(kHold)->CurrentValue(), 1);

    // The same value for a stepped parameter with step 1.
    plugin.GetParam(kSensitivity)->DefineDouble("Sensitivity", 50, 0, 100, 1, "%", ParamFlags::Stepped);
    EXPECT_EQ(plugin.UnserializeParams(chunk, 0), 80);
    EXPECT_DOUBLE_EQ(plugin.GetParam(kSensitivity)->CurrentValue(), 56);
}

TEST_F(PluginBaseTest, NonFiniteValuesInAChunkNeverReachAParameter)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (int i = 0; i < kNumTestParams; ++i)
        Param(i).StoreNormalised(0.9);
    ByteChunk chunk;
    PutDoubles(chunk, {nan, inf, -inf, nan, nan, nan, nan, nan, nan, nan});
    EXPECT_EQ(plugin.UnserializeParams(chunk, 0), 80);
    EXPECT_DOUBLE_EQ(plugin.GetParam(kSensitivity)->CurrentValue(), 50) << "NaN restores the default";
    EXPECT_DOUBLE_EQ(plugin.GetParam(kAutoCut)->CurrentValue(), -3);
    EXPECT_DOUBLE_EQ(plugin.GetParam(kAutoWidth)->CurrentValue(), 2);
    EXPECT_DOUBLE_EQ(plugin.GetParam(kMasterWidth)->CurrentValue(), 1);
    EXPECT_DOUBLE_EQ(plugin.GetParam(kBypass)->CurrentValue(), 0);
}

TEST_F(PluginBaseTest, RestoringFromAStartPositionSkipsWhatComesBefore)
{
    ByteChunk chunk;
    chunk.PutInt32(0x7F7F7F7F);
    chunk.PutInt32(-1);
    PutDoubles(chunk, {10, -30, 40, 5, 1.5, 20, 30, -6, 1, 1});
    EXPECT_EQ(plugin.UnserializeParams(chunk, 8), 88);
    EXPECT_DOUBLE_EQ(plugin.GetParam(kSensitivity)->CurrentValue(), 10);
    EXPECT_DOUBLE_EQ(plugin.GetParam(kGain)->CurrentValue(), -6);
    EXPECT_EQ(plugin.UnserializeParams(chunk, 88), -1) << "nothing left after the end";
    EXPECT_EQ(plugin.UnserializeParams(chunk, -4), -1);
}

TEST(ByteChunk, ReadsPastTheEndReturnMinusOneAndCopyNothing)
{
    ByteChunk chunk;
    chunk.PutInt32(-2);
    std::int32_t v = 5;
    EXPECT_EQ(chunk.GetInt32(v, 0), 4);
    EXPECT_EQ(v, -2);
    double d = 3;
    EXPECT_EQ(chunk.GetDouble(d, 0), -1);
    EXPECT_DOUBLE_EQ(d, 3);
    const std::uint8_t le[4] = {0xFE, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(std::memcmp(chunk.GetData(), le, 4), 0);
}

// --- Presets -------------------------------------------------------------------

TEST_F(PluginBaseTest, TheOnlyPresetIsDefaultHoldingTheDefaults)
{
    ASSERT_EQ(plugin.NPresets(), 1);
    EXPECT_STREQ(plugin.GetPresetName(0), "Default");
    EXPECT_STREQ(plugin.GetPresetName(1), "");
    const PresetSlot* slot = plugin.GetPreset(0);
    ASSERT_NE(slot, nullptr);
    EXPECT_TRUE(slot->initialised);
    EXPECT_EQ(slot->data.Size(), 80);
}

TEST_F(PluginBaseTest, LoadingPresetZeroRestoresTheDefaultsAndRefreshesTheEditor)
{
    for (int i = 0; i < kNumTestParams; ++i)
        Param(i).StoreNormalised(0.1);
    EXPECT_TRUE(plugin.LoadPreset(0));
    for (int i = 0; i < kNumTestParams; ++i)
        EXPECT_DOUBLE_EQ(Param(i).CurrentValue(), kDefaults[i]);
    ASSERT_EQ(plugin.sentToEditor.size(), 10u);
    EXPECT_EQ(plugin.sentToEditor[1].index, kAutoCut);
    EXPECT_DOUBLE_EQ(plugin.sentToEditor[1].value, plugin.GetParam(kAutoCut)->GetDefaultNormalised());
    EXPECT_EQ(plugin.GetCurrentPresetIdx(), 0);
}

TEST_F(PluginBaseTest, LoadingAPresetOutOfRangeFailsAndChangesNothing)
{
    plugin.GetParam(kGain)->StoreValue(6);
    EXPECT_FALSE(plugin.LoadPreset(1));
    EXPECT_FALSE(plugin.LoadPreset(-1));
    EXPECT_DOUBLE_EQ(plugin.GetParam(kGain)->CurrentValue(), 6);
    EXPECT_TRUE(plugin.sentToEditor.empty());
}

TEST_F(PluginBaseTest, ASecondDefaultPresetNeedsAFreeSlot)
{
    plugin.GetParam(kGain)->StoreValue(6);
    plugin.CreateDefaultPreset();
    ASSERT_TRUE(plugin.LoadPreset(0));
    EXPECT_DOUBLE_EQ(plugin.GetParam(kGain)->CurrentValue(), 0) << "the slot kept the first defaults";
}

TEST(Presets, UnusedSlotsAreEmptyAndLoadingOneCapturesTheStateAsAUserPreset)
{
    TestPlugin plugin(TestConfig(3));
    EXPECT_STREQ(plugin.GetPresetName(0), "Default");
    EXPECT_STREQ(plugin.GetPresetName(1), "empty");
    EXPECT_STREQ(plugin.GetPresetName(2), "empty");

    plugin.GetParam(kGain)->StoreValue(6);
    EXPECT_TRUE(plugin.LoadPreset(1));
    EXPECT_STREQ(plugin.GetPresetName(1), "user preset 1");
    EXPECT_DOUBLE_EQ(plugin.GetParam(kGain)->CurrentValue(), 6) << "nothing is loaded";
    EXPECT_EQ(plugin.GetCurrentPresetIdx(), 1);

    plugin.GetParam(kGain)->StoreValue(-6);
    EXPECT_TRUE(plugin.LoadPreset(2));
    EXPECT_STREQ(plugin.GetPresetName(2), "user preset 2");

    EXPECT_TRUE(plugin.LoadPreset(1));
    EXPECT_DOUBLE_EQ(plugin.GetParam(kGain)->CurrentValue(), 6) << "the captured state comes back";
    EXPECT_STREQ(plugin.GetPresetName(1), "user preset 1");
}

TEST(Presets, WithoutCreateDefaultPresetEverySlotIsEmpty)
{
    PluginConfig config = TestConfig(2);
    IPlugAPIBase bare(config);
    EXPECT_STREQ(bare.GetPresetName(0), "empty");
    EXPECT_FALSE(bare.GetPreset(0)->initialised);
}

// --- Change notification -------------------------------------------------------

TEST_F(PluginBaseTest, ParamsResetAnnouncesEveryParameterInIndexOrder)
{
    plugin.ParamsReset(ParamSource::Reset);
    ASSERT_EQ(plugin.log.size(), 20u);
    for (int i = 0; i < kNumTestParams; ++i)
    {
        EXPECT_EQ(plugin.log[std::size_t(2 * i)], "change " + std::to_string(i));
        EXPECT_EQ(plugin.log[std::size_t(2 * i + 1)], "editor " + std::to_string(i) + " 0");
    }
}

TEST_F(PluginBaseTest, OnParamChangeIgnoresUnknownIndices)
{
    plugin.OnParamChange(10, ParamSource::Host, 0);
    plugin.OnParamChange(3, ParamSource::Host, 17);
    ASSERT_EQ(plugin.log.size(), 1u);
    EXPECT_EQ(plugin.log[0], "change 3");
}

TEST_F(PluginBaseTest, AnEditorGestureStoresTellsTheHostAndAnnounces)
{
    plugin.SetParameterFromEditor(kGain, 0.75);
    EXPECT_DOUBLE_EQ(plugin.GetParam(kGain)->CurrentValue(), 12);
    ASSERT_EQ(plugin.log.size(), 3u);
    EXPECT_EQ(plugin.log[0], "host 7");
    EXPECT_EQ(plugin.log[1], "change 7");
    EXPECT_EQ(plugin.log[2], "editor 7 3");
    EXPECT_DOUBLE_EQ(plugin.hostEdits[0].value, 0.75);
}

TEST_F(PluginBaseTest, ANonFiniteEditorValueLeavesTheParameterAndTellsTheHostItsValue)
{
    plugin.GetParam(kGain)->StoreValue(12);
    plugin.SetParameterFromEditor(kGain, std::numeric_limits<double>::quiet_NaN());
    EXPECT_DOUBLE_EQ(plugin.GetParam(kGain)->CurrentValue(), 12);
    ASSERT_EQ(plugin.hostEdits.size(), 1u);
    EXPECT_DOUBLE_EQ(plugin.hostEdits[0].value, 0.75);
    plugin.SetParameterFromEditor(kGain, 7.0);
    EXPECT_DOUBLE_EQ(plugin.hostEdits[1].value, 1.0) << "positions beyond the range reach the host clamped";
}

TEST_F(PluginBaseTest, PushingAllParametersSendsEachNormalisedValueInOrder)
{
    plugin.PushAllParamsToHost();
    ASSERT_EQ(plugin.hostEdits.size(), 10u);
    for (int i = 0; i < kNumTestParams; ++i)
    {
        EXPECT_EQ(plugin.hostEdits[std::size_t(i)].index, i);
        EXPECT_DOUBLE_EQ(plugin.hostEdits[std::size_t(i)].value, Param(i).CurrentNormalised());
    }
}

// --- Host identification ---------------------------------------------------------

TEST(IdentifyHost, MatchesTheFirstFragmentInTableOrder)
{
    EXPECT_EQ(IdentifyHost("Cubase 12"), kHostCubase);
    EXPECT_EQ(IdentifyHost("Cubase 12"), 3);
    EXPECT_EQ(IdentifyHost("WaveLab Elements 11"), 32);
    EXPECT_EQ(IdentifyHost("WaveLab Pro 11"), 31);
    EXPECT_EQ(IdentifyHost("Mixbus32C"), 45);
    EXPECT_EQ(IdentifyHost("REAPER"), 1);
    EXPECT_EQ(IdentifyHost("Ardour"), 28);
    EXPECT_EQ(IdentifyHost("Bitwig Studio"), 34);
    EXPECT_EQ(IdentifyHost("VST3PluginTestHost"), 27);
    EXPECT_EQ(IdentifyHost("Blue Cat's VST Host"), 44);
    EXPECT_EQ(IdentifyHost("Ableton Live 11"), 9);
    EXPECT_EQ(IdentifyHost("Some Standalone"), 24);
    EXPECT_EQ(IdentifyHost("Reason with www"), 36) << "an earlier fragment wins";
}

TEST(IdentifyHost, UnknownEmptyAndOverlongNamesGiveZero)
{
    EXPECT_EQ(IdentifyHost("Unheard Of DAW"), kHostUnknown);
    EXPECT_EQ(IdentifyHost(""), 0);
    EXPECT_EQ(IdentifyHost(nullptr), 0);
    const std::string late = std::string(255, 'x') + "reaper";
    EXPECT_EQ(IdentifyHost(late.c_str()), 0) << "only the first 255 characters are looked at";
}

TEST_F(PluginBaseTest, OnlyTheFirstHostNameIdentifiesTheHost)
{
    plugin.SetHost("Cubase 12");
    EXPECT_EQ(plugin.GetHost(), kHostCubase);
    plugin.SetHost("REAPER");
    EXPECT_EQ(plugin.GetHost(), kHostCubase);
    EXPECT_STREQ(plugin.GetHostName(), "Cubase 12");
}

// --- Editor size -------------------------------------------------------------------

TEST_F(PluginBaseTest, EditorSizesOutsideTheLimitsAreClampedAndReported)
{
    int w = 100, h = 9000;
    EXPECT_FALSE(plugin.ConstrainEditorSize(w, h));
    EXPECT_EQ(w, 256);
    EXPECT_EQ(h, 8192);
    w = 740;
    h = 726;
    EXPECT_TRUE(plugin.ConstrainEditorSize(w, h));
    EXPECT_EQ(w, 740);
    EXPECT_EQ(h, 726);
    w = 500;
    h = 100;
    EXPECT_FALSE(plugin.ConstrainEditorSize(w, h));
    EXPECT_EQ(w, 500);
    EXPECT_EQ(h, 256);
}

TEST(EditorSize, LimitsGivenTheWrongWayRoundAreStoredInOrder)
{
    PluginConfig config = TestConfig();
    config.minWidth = 8192;
    config.maxWidth = 256;
    IPlugAPIBase plugin(config);
    EXPECT_EQ(plugin.MinEditorWidth(), 256);
    EXPECT_EQ(plugin.MaxEditorWidth(), 8192);
}

TEST_F(PluginBaseTest, ResizingTheEditorRemembersTheSize)
{
    EXPECT_TRUE(plugin.ResizeEditor(800, 700));
    EXPECT_EQ(plugin.EditorWidth(), 800);
    EXPECT_EQ(plugin.EditorHeight(), 700);
}

// --- The graphics context -----------------------------------------------------------

namespace {

// A real (renderer-less) context whose destruction is counted.
class CountedGraphics : public igraphics::IGraphics
{
public:
    CountedGraphics(IGEditorDelegate& delegate, int* destroyed)
        : IGraphics(delegate, 740, 726), destroyed(destroyed) {}
    ~CountedGraphics() override { ++*destroyed; }

private:
    int* destroyed;
};

IGEditorDelegate::GraphicsPtr MakeCounted(IGEditorDelegate& delegate, int* destroyed)
{
    return std::make_unique<CountedGraphics>(delegate, destroyed);
}

} // namespace

TEST_F(PluginBaseTest, WithoutAMakeFunctionNoEditorOpens)
{
    EXPECT_EQ(plugin.OpenEditor(), nullptr);
    EXPECT_FALSE(plugin.IsEditorOpen());
}

TEST_F(PluginBaseTest, OpeningMakesAndLaysOutTheContextOnceAndClosingDestroysIt)
{
    int destroyed = 0;
    int layouts = 0;
    plugin.SetMakeGraphicsFunc([&] { return MakeCounted(plugin, &destroyed); });
    plugin.SetLayoutFunc([&](igraphics::IGraphics&) { ++layouts; });

    igraphics::IGraphics* ui = plugin.OpenEditor();
    ASSERT_NE(ui, nullptr);
    EXPECT_TRUE(plugin.IsEditorOpen());
    EXPECT_EQ(plugin.GetUI(), ui);
    EXPECT_EQ(plugin.OpenEditor(), ui);
    EXPECT_EQ(layouts, 1);

    plugin.CloseEditor();
    EXPECT_EQ(destroyed, 1);
    EXPECT_FALSE(plugin.IsEditorOpen());
    EXPECT_EQ(plugin.GetUI(), nullptr);
    plugin.CloseEditor();
    EXPECT_EQ(destroyed, 1);
}

TEST(EditorContext, ThePluginDestroysAContextStillOpen)
{
    int destroyed = 0;
    {
        TestPlugin plugin;
        plugin.SetMakeGraphicsFunc([&] { return MakeCounted(plugin, &destroyed); });
        ASSERT_NE(plugin.OpenEditor(), nullptr);
    }
    EXPECT_EQ(destroyed, 1);
}

// --- Rings -------------------------------------------------------------------------

TEST(SpscQueue, HoldsOneLessThanItsSlotsAndDropsWhenFull)
{
    SpscQueue<int, 5> ring;
    EXPECT_EQ(ring.Capacity(), 4);
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(ring.Push(i));
    EXPECT_FALSE(ring.Push(99));
    EXPECT_EQ(ring.ElementsAvailable(), 4);
    int v = -1;
    for (int i = 0; i < 4; ++i)
    {
        ASSERT_TRUE(ring.Pop(v));
        EXPECT_EQ(v, i) << "first in, first out; the dropped element never appears";
    }
    EXPECT_FALSE(ring.Pop(v));
    EXPECT_TRUE(ring.Push(7)) << "wraps around";
    EXPECT_TRUE(ring.Pop(v));
    EXPECT_EQ(v, 7);
}

TEST(SpscQueue, PopAllTakesWhatWasWaitingAndLeavesWhatArrivesMeanwhile)
{
    SpscQueue<int, 8> ring;
    ring.Push(1);
    ring.Push(2);
    std::vector<int> taken;
    EXPECT_EQ(ring.PopAll([&](int v) {
        taken.push_back(v);
        ring.Push(10 * v); // as if the producer pushed while the consumer works
    }),
              2);
    EXPECT_EQ(taken, (std::vector<int>{1, 2}));
    std::vector<int> waiting;
    ring.ForEachWaiting([&](int v) { waiting.push_back(v); });
    EXPECT_EQ(waiting, (std::vector<int>{10, 20})) << "visiting takes nothing";
    EXPECT_EQ(ring.ElementsAvailable(), 2);
    ring.Clear();
    EXPECT_EQ(ring.ElementsAvailable(), 0);
    EXPECT_EQ(ring.PopAll([](int) {}), 0);
}

TEST(SpscQueue, ThePluginsMidiRingsStartEmpty)
{
    TestPlugin plugin;
    EXPECT_EQ(plugin.MidiFromEditor().ElementsAvailable(), 0);
    EXPECT_EQ(plugin.MidiFromEditor().Capacity(), 32);
    EXPECT_EQ(plugin.SysexFromProcessor().Capacity(), 4);
}

TEST(SpscQueueConcurrency, AProducerAndAConsumerThreadPassEveryElementInOrder)
{
    SpscQueue<int, 33> ring;
    constexpr int kCount = 200000;
    std::thread producer([&] {
        for (int i = 0; i < kCount;)
            if (ring.Push(i))
                ++i;
            else
                std::this_thread::yield();
    });
    int expected = 0;
    bool inOrder = true;
    while (expected < kCount)
    {
        int v;
        if (ring.Pop(v))
        {
            inOrder = inOrder && v == expected;
            ++expected;
        }
        else
            std::this_thread::yield();
    }
    producer.join();
    EXPECT_TRUE(inOrder);
    EXPECT_EQ(ring.ElementsAvailable(), 0);
}
