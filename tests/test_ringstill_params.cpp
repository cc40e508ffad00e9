#include "editor/RingstillEditor.h"
#include "effect/Ringstill.h"
#include "framework/Timer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

using namespace ringstill;

namespace {

class RingstillParams : public ::testing::Test
{
protected:
    std::string Display(int index) const
    {
        char text[iplug::kParamTextSize];
        const iplug::IParam* param = fx.GetParam(index);
        param->FormatDisplay(param->CurrentValue(), false, text, sizeof text);
        return text;
    }

    // Every index used is valid; a missing parameter ends the run (and keeps
    // g++ 12 from warning about a null store it imagines at -O3).
    iplug::IParam& Param(int index)
    {
        iplug::IParam* p = fx.GetParam(index);
        if (p == nullptr)
            std::abort();
        return *p;
    }

    double Store(int index, double value)
    {
        Param(index).StoreValue(value);
        return Param(index).CurrentValue();
    }

    Ringstill fx;
};

struct Expected
{
    int index;
    const char* name;
    double min, max, defaultValue, step;
    const char* label;
    const char* display;
};

constexpr Expected kTable[] = {
    {kSensitivity, "Sensitivity", 0, 100, 50, 1, "%", "50"},
    {kAutoCut, "Auto Cut", -40, -3, -18, 0.1, "dB", "-18.0"},
    {kAutoWidth, "Auto Width", 2, 60, 25, 0.1, "Q", "25.0"},
    {kMasterTrim, "Master Trim", -12, 12, 0, 0.1, "dB", "0.0"},
    {kMasterWidth, "Master Width", 0.5, 2, 1, 0.01, "x", "1.00"},
    {kNoNoise, "No-Noise", 0, 100, 0, 0.1, "%", "0.0"},
    {kNoReverb, "No-Reverb", 0, 100, 0, 0.1, "%", "0.0"},
    {kGain, "Gain", -24, 24, 0, 0.1, "dB", "0.0"},
    {kHold, "Hold", 0, 1, 0, 1, "", "off"},
    {kBypass, "Bypass", 0, 1, 0, 1, "", "off"},
};

// ---- Parameters ------------------------------------------------------------

TEST_F(RingstillParams, TenParametersStartAtTheirDefaultsWithTheirTexts)
{
    ASSERT_EQ(fx.NParams(), 10);
    for (const Expected& e : kTable)
    {
        const iplug::IParam* p = fx.GetParam(e.index);
        ASSERT_NE(p, nullptr);
        EXPECT_STREQ(p->GetName(), e.name);
        EXPECT_EQ(p->GetMin(), e.min) << e.name;
        EXPECT_EQ(p->GetMax(), e.max) << e.name;
        EXPECT_EQ(p->GetDefault(), e.defaultValue) << e.name;
        EXPECT_EQ(p->CurrentValue(), e.defaultValue) << e.name;
        EXPECT_DOUBLE_EQ(p->GetStep(), e.step) << e.name;
        EXPECT_STREQ(p->GetLabel(), e.label);
        EXPECT_EQ(Display(e.index), e.display) << e.name;
    }
}

TEST_F(RingstillParams, ContinuousParametersAreLinearUnsteppedAndUngrouped)
{
    for (int i = kSensitivity; i <= kGain; ++i)
    {
        const iplug::IParam* p = fx.GetParam(i);
        EXPECT_EQ(p->Type(), iplug::ParamType::Double) << i;
        EXPECT_EQ(p->GetFlags(), iplug::ParamFlags::None) << i;
        EXPECT_STREQ(p->GetGroup(), "");
        EXPECT_DOUBLE_EQ(p->NormaliseValue((p->GetMin() + p->GetMax()) / 2.0), 0.5) << i;
    }
    for (int i : {kHold, kBypass})
    {
        const iplug::IParam* p = fx.GetParam(i);
        EXPECT_EQ(p->Type(), iplug::ParamType::Bool);
        EXPECT_TRUE(p->HasFlag(iplug::ParamFlags::Stepped));
        EXPECT_STREQ(p->DisplayTextFor(1.0), "on");
        EXPECT_EQ(p->ParseDisplayText("on"), 1.0);
    }
}

TEST_F(RingstillParams, StoredValuesAreClampedButNotStepped)
{
    EXPECT_EQ(Store(kAutoCut, -2.0), -3.0);
    EXPECT_EQ(Store(kGain, 30.0), 24.0);
    EXPECT_EQ(Store(kSensitivity, 49.6), 49.6);
    EXPECT_EQ(Display(kSensitivity), "50");
    EXPECT_EQ(Store(kMasterWidth, 1.234), 1.234);
    EXPECT_EQ(Display(kMasterWidth), "1.23");
    EXPECT_EQ(Store(kMasterWidth, 0.123), 0.5); // below the range
    EXPECT_EQ(Store(kHold, 0.7), 1.0);
    EXPECT_EQ(Display(kHold), "on");
    EXPECT_EQ(Store(kBypass, 0.3), 0.0);
}

// ---- State and presets -----------------------------------------------------

TEST_F(RingstillParams, StateIsTenLittleEndianDoublesInIndexOrder)
{
    Store(kAutoCut, -25.5);
    Store(kBypass, 1.0);
    iplug::ByteChunk chunk;
    ASSERT_TRUE(fx.WriteState(chunk));
    ASSERT_EQ(chunk.Size(), 80);

    double v = 0.0;
    EXPECT_EQ(chunk.GetDouble(v, 8), 16);
    EXPECT_EQ(v, -25.5);
    EXPECT_EQ(chunk.GetDouble(v, 72), 80);
    EXPECT_EQ(v, 1.0);

    Ringstill other;
    EXPECT_EQ(other.ReadState(chunk, 0), 80);
    for (int i = 0; i < kNumParams; ++i)
        EXPECT_EQ(other.GetParam(i)->CurrentValue(), fx.GetParam(i)->CurrentValue()) << i;
}

TEST_F(RingstillParams, TheOnePresetIsDefaultAndHoldsTheDefaults)
{
    ASSERT_EQ(fx.NPresets(), 1);
    EXPECT_STREQ(fx.GetPresetName(0), "Default");
    ASSERT_EQ(fx.GetPreset(0)->data.Size(), 80);

    for (const Expected& e : kTable)
        Store(e.index, e.max);
    EXPECT_TRUE(fx.LoadPreset(0));
    for (const Expected& e : kTable)
        EXPECT_EQ(fx.GetParam(e.index)->CurrentValue(), e.defaultValue) << e.name;
    EXPECT_FALSE(fx.LoadPreset(1));
    EXPECT_FALSE(fx.LoadPreset(-1));
}

// ---- Identity and editor ---------------------------------------------------

TEST_F(RingstillParams, IdentityAndChannelConfigurations)
{
    EXPECT_STREQ(fx.GetPluginName(), "Ringstill");
    EXPECT_STREQ(fx.GetProductName(), "Ringstill");
    EXPECT_STREQ(fx.GetMakerName(), "Tollent");
    EXPECT_EQ(fx.GetVendorVersion(), 65543);
    EXPECT_EQ(fx.GetUniqueId(), 0x5273746Cu); // 'R' 's' 't' 'l'
    EXPECT_EQ(fx.GetMakerId(), 0x546F6C6Eu);  // 'T' 'o' 'l' 'n'
    EXPECT_EQ(fx.GetLatency(), 0);
    EXPECT_EQ(fx.GetPluginType(), iplug::kPluginTypeEffect);
    EXPECT_FALSE(fx.DoesMidiIn() || fx.DoesMidiOut() || fx.DoesMpe());
    ASSERT_EQ(fx.GetChannelLayouts().size(), 2u);
    EXPECT_EQ(fx.NInChannels(), 2);
    EXPECT_EQ(fx.NOutChannels(), 2);
}

TEST_F(RingstillParams, EditorOpensAt740By726AndIsNotResizedByTheHost)
{
    EXPECT_TRUE(fx.HasEditor());
    EXPECT_EQ(fx.EditorWidth(), 740);
    EXPECT_EQ(fx.EditorHeight(), 726);
    EXPECT_FALSE(fx.IsHostResizable());
    int w = 100, h = 9000;
    EXPECT_FALSE(fx.ConstrainEditorSize(w, h));
    EXPECT_EQ(w, 256);
    EXPECT_EQ(h, 8192);
    // The effect knows no graphics: the binary that builds it installs the editor.
    EXPECT_FALSE(fx.HasMakeGraphicsFunc());
    InstallEditor(fx, fx.Feed(), {});
    EXPECT_TRUE(fx.HasMakeGraphicsFunc());
    EXPECT_TRUE(fx.HasLayoutFunc());
}

TEST(RingstillLifetime, OwnsATwentyMillisecondIdleTimerUntilDestroyed)
{
    const int before = iplug::LiveTimerCount();
    auto fx = std::make_unique<Ringstill>();
    ASSERT_NE(fx->GetTimer(), nullptr);
    EXPECT_EQ(fx->GetTimer()->PeriodMs(), 20);
    EXPECT_EQ(iplug::LiveTimerCount(), before + 1);

    // A tick with the editor closed changes nothing the editor would show.
    fx->Feed().activeNotchCount.store(3);
    fx->TimerTick();
    EXPECT_EQ(fx->Feed().shownSelection.load(), -2);
    EXPECT_EQ(fx->Feed().selectedNotch.load(), -1);

    fx.reset();
    EXPECT_EQ(iplug::LiveTimerCount(), before);
}

TEST(RingstillLifetime, ACompletePluginRightAfterConstructionAndAfterAReset)
{
    // Queried before any setup, as a host may do.
    Ringstill fx;
    EXPECT_EQ(fx.ReportedLatency(), 0);
    EXPECT_EQ(fx.EffectSampleRate(), 48000.0);
    double* none[2] = {nullptr, nullptr};
    fx.ProcessAudioBlock(none, none, 64); // before ResetDsp: nothing to run, nothing breaks
    fx.SetBlockCapacity(0);
    fx.ResetDsp(); // capacity below 1 prepares for 1024
    EXPECT_EQ(fx.MaxLatency(), 992 + 512);
}

} // namespace
