#include "framework/IParam.h"
#include "tests/support/AllocCounter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

using iplug::IParam;
using iplug::ParamFlags;
using iplug::ParamType;

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

std::string Display(const IParam& p, double value, bool normalised = false, bool useTexts = true)
{
    char text[32];
    p.FormatDisplay(value, normalised, text, sizeof text, useTexts);
    return text;
}

// The effect's parameters that exercise every kind of definition.
class ParamTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        sensitivity.DefineDouble("Sensitivity", 50, 0, 100, 1, "%");
        autoCut.DefineDouble("Auto Cut", -18, -40, -3, 0.1, "dB");
        masterWidth.DefineDouble("Master Width", 1, 0.5, 2, 0.01, "x");
        hold.DefineBool("Hold");
        stepped.DefineDouble("Stepped", 0, 0, 100, 1, "", ParamFlags::Stepped);
        steppedTenth.DefineDouble("Stepped tenth", 0, 0, 100, 0.1, "", ParamFlags::Stepped);
    }

    IParam sensitivity, autoCut, masterWidth, hold, stepped, steppedTenth;
};

} // namespace

// --- Definition -------------------------------------------------------------

TEST_F(ParamTest, DefineDoubleStoresTheDefinitionAndStartsAtTheDefault)
{
    EXPECT_EQ(autoCut.Type(), ParamType::Double);
    EXPECT_STREQ(autoCut.GetName(), "Auto Cut");
    EXPECT_STREQ(autoCut.GetLabel(), "dB");
    EXPECT_STREQ(autoCut.GetGroup(), "");
    EXPECT_DOUBLE_EQ(autoCut.GetMin(), -40.0);
    EXPECT_DOUBLE_EQ(autoCut.GetMax(), -3.0);
    EXPECT_DOUBLE_EQ(autoCut.GetStep(), 0.1);
    EXPECT_DOUBLE_EQ(autoCut.GetDefault(), -18.0);
    EXPECT_DOUBLE_EQ(autoCut.CurrentValue(), -18.0);
    EXPECT_EQ(autoCut.GetFlags(), ParamFlags::None);
}

TEST(Param, AFreshRecordIsAnUntypedZeroToOneParameter)
{
    IParam p;
    EXPECT_EQ(p.Type(), ParamType::None);
    EXPECT_DOUBLE_EQ(p.CurrentValue(), 0.0);
    EXPECT_DOUBLE_EQ(p.GetMin(), 0.0);
    EXPECT_DOUBLE_EQ(p.GetMax(), 1.0);
    EXPECT_DOUBLE_EQ(p.GetStep(), 1.0);
    EXPECT_EQ(p.GetShape().DisplayKind(), 0);
}

TEST_F(ParamTest, DisplayPrecisionFollowsTheStep)
{
    EXPECT_EQ(sensitivity.GetDisplayPrecision(), 0);
    EXPECT_EQ(autoCut.GetDisplayPrecision(), 1);
    EXPECT_EQ(masterWidth.GetDisplayPrecision(), 2);
    IParam fine;
    fine.DefineDouble("Fine", 0, 0, 1, 1e-9);
    EXPECT_EQ(fine.GetDisplayPrecision(), 6) << "at most six decimals";
}

TEST(Param, ARangeNarrowerThanOneStepIsWidenedToOneStep)
{
    IParam p;
    p.DefineDouble("Narrow", 0, 10, 10.5, 2);
    EXPECT_DOUBLE_EQ(p.GetMax(), 12.0);
}

TEST_F(ParamTest, DefineBoolGivesASteppedOffOnSwitch)
{
    EXPECT_EQ(hold.Type(), ParamType::Bool);
    EXPECT_TRUE(hold.HasFlag(ParamFlags::Stepped));
    EXPECT_DOUBLE_EQ(hold.GetMin(), 0.0);
    EXPECT_DOUBLE_EQ(hold.GetMax(), 1.0);
    EXPECT_DOUBLE_EQ(hold.CurrentValue(), 0.0);
    EXPECT_STREQ(hold.GetLabel(), "");
    ASSERT_EQ(hold.DisplayTexts().size(), 2u);
    EXPECT_STREQ(hold.DisplayTexts()[0].text, "off");
    EXPECT_STREQ(hold.DisplayTexts()[1].text, "on");
}

TEST(Param, DefineEnumAppendsItsTextsInValueOrder)
{
    IParam mode;
    mode.DefineEnum("Mode", 1, 3, "", ParamFlags::None, "", {"low", "mid", "high"});
    EXPECT_EQ(mode.Type(), ParamType::Enum);
    EXPECT_TRUE(mode.HasFlag(ParamFlags::Stepped));
    EXPECT_DOUBLE_EQ(mode.GetMax(), 2.0);
    EXPECT_DOUBLE_EQ(mode.CurrentValue(), 1.0);
    ASSERT_EQ(mode.DisplayTexts().size(), 3u);
    EXPECT_DOUBLE_EQ(mode.DisplayTexts()[2].value, 2.0);
    EXPECT_EQ(Display(mode, 2), "high");
}

TEST(Param, LongTextsAreCutToThirtyOneBytesWithoutSplittingACharacter)
{
    IParam p;
    const std::string longName(40, 'n');
    // 30 ASCII bytes then a two-byte character that would straddle the limit.
    const std::string straddling = std::string(30, 'g') + "\xC3\xA9";
    p.DefineDouble(longName.c_str(), 0, 0, 1, 0.1, straddling.c_str());
    EXPECT_EQ(std::strlen(p.GetName()), 31u);
    EXPECT_EQ(std::string(p.GetLabel()), std::string(30, 'g'));
    p.AddDisplayText(0.5, longName.c_str());
    EXPECT_EQ(std::strlen(p.DisplayTexts().back().text), 31u);
}

TEST(Param, TheShapeIsClonedAndInitialisedOnDefinition)
{
    struct CountingShape : IParam::Shape
    {
        int* inits;
        explicit CountingShape(int* inits) : inits(inits) {}
        std::unique_ptr<Shape> Clone() const override { return std::make_unique<CountingShape>(inits); }
        void Init(const IParam&) override { ++*inits; }
        int DisplayKind() const override { return 7; }
        double ValueFromNormalised(double n, const IParam& p) const override { return p.GetMin() + n * n * (p.GetMax() - p.GetMin()); }
        double NormalisedFromValue(double v, const IParam& p) const override { return std::sqrt((v - p.GetMin()) / (p.GetMax() - p.GetMin())); }
    };
    int inits = 0;
    IParam p;
    p.DefineDouble("Curved", 0, 0, 100, 0.1, "", ParamFlags::None, "", CountingShape(&inits));
    EXPECT_EQ(inits, 1);
    EXPECT_EQ(p.GetShape().DisplayKind(), 7);
    EXPECT_DOUBLE_EQ(p.DenormaliseValue(0.5), 25.0);
}

// --- Constraining and storing ------------------------------------------------

TEST_F(ParamTest, SteppedValuesAreRoundedToTheStepThenClamped)
{
    stepped.StoreValue(49.6);
    EXPECT_DOUBLE_EQ(stepped.CurrentValue(), 50.0);
    stepped.StoreValue(150);
    EXPECT_DOUBLE_EQ(stepped.CurrentValue(), 100.0);
    steppedTenth.StoreValue(12.34);
    EXPECT_DOUBLE_EQ(steppedTenth.CurrentValue(), 12.3);
    EXPECT_DOUBLE_EQ(stepped.ConstrainValue(2.5), 3.0) << "halves round away from zero";
}

TEST_F(ParamTest, ContinuousParametersAreOnlyClampedNotStepped)
{
    sensitivity.StoreValue(49.6);
    EXPECT_DOUBLE_EQ(sensitivity.CurrentValue(), 49.6);
    masterWidth.StoreValue(0.123);
    EXPECT_DOUBLE_EQ(masterWidth.CurrentValue(), 0.5) << "0.123 lies below the range";
    masterWidth.StoreValue(1.234);
    EXPECT_DOUBLE_EQ(masterWidth.CurrentValue(), 1.234);
    autoCut.StoreValue(-2);
    EXPECT_DOUBLE_EQ(autoCut.CurrentValue(), -3.0);
    autoCut.StoreValue(-100);
    EXPECT_DOUBLE_EQ(autoCut.CurrentValue(), -40.0);
}

TEST_F(ParamTest, ASwitchStoresOnlyOffOrOn)
{
    hold.StoreValue(0.7);
    EXPECT_DOUBLE_EQ(hold.CurrentValue(), 1.0);
    hold.StoreValue(0.3);
    EXPECT_DOUBLE_EQ(hold.CurrentValue(), 0.0);
}

TEST_F(ParamTest, NaNStoresTheDefaultAndInfinitiesClampToTheRange)
{
    autoCut.StoreValue(-30);
    autoCut.StoreValue(kNaN);
    EXPECT_DOUBLE_EQ(autoCut.CurrentValue(), -18.0);
    autoCut.StoreValue(kInf);
    EXPECT_DOUBLE_EQ(autoCut.CurrentValue(), -3.0);
    autoCut.StoreValue(-kInf);
    EXPECT_DOUBLE_EQ(autoCut.CurrentValue(), -40.0);
    stepped.StoreValue(kInf);
    EXPECT_DOUBLE_EQ(stepped.CurrentValue(), 100.0);
    autoCut.StoreNormalised(kNaN);
    EXPECT_DOUBLE_EQ(autoCut.CurrentValue(), -18.0);
    EXPECT_TRUE(std::isfinite(autoCut.NormaliseValue(kNaN)));
}

TEST_F(ParamTest, NormalisingMapsTheRangeLinearlyAndNeverLeavesZeroToOne)
{
    EXPECT_DOUBLE_EQ(autoCut.NormaliseValue(-40), 0.0);
    EXPECT_DOUBLE_EQ(autoCut.NormaliseValue(-3), 1.0);
    EXPECT_NEAR(autoCut.NormaliseValue(-21.5), 0.5, 1e-12);
    EXPECT_DOUBLE_EQ(autoCut.NormaliseValue(1000), 1.0);
    EXPECT_DOUBLE_EQ(autoCut.NormaliseValue(-1000), 0.0);
    EXPECT_DOUBLE_EQ(autoCut.DenormaliseValue(0.0), -40.0);
    EXPECT_DOUBLE_EQ(autoCut.DenormaliseValue(2.0), -3.0);
    EXPECT_DOUBLE_EQ(stepped.DenormaliseValue(0.496), 50.0);
}

TEST_F(ParamTest, NormalisedStoreAndReadRoundTrip)
{
    sensitivity.StoreNormalised(0.25);
    EXPECT_DOUBLE_EQ(sensitivity.CurrentValue(), 25.0);
    EXPECT_DOUBLE_EQ(sensitivity.CurrentNormalised(), 0.25);
    EXPECT_DOUBLE_EQ(sensitivity.GetDefaultNormalised(), 0.5);
}

TEST_F(ParamTest, ValueAccessAllocatesNothing)
{
    ringstill::test::AllocationScope scope;
    double sum = 0;
    for (int i = 0; i < 100; ++i)
    {
        autoCut.StoreNormalised(i / 100.0);
        sum += autoCut.CurrentValue() + autoCut.NormaliseValue(i) + autoCut.ConstrainValue(i);
    }
    EXPECT_EQ(scope.Count(), 0u);
    EXPECT_TRUE(std::isfinite(sum));
}

// --- Display -----------------------------------------------------------------

TEST_F(ParamTest, DisplayShowsTheStepsDecimals)
{
    EXPECT_EQ(Display(autoCut, -18), "-18.0");
    EXPECT_EQ(Display(masterWidth, 1), "1.00");
    EXPECT_EQ(Display(sensitivity, 50), "50");
    EXPECT_EQ(Display(sensitivity, 49.6), "50") << "only the display is rounded";
    EXPECT_EQ(Display(autoCut, -12.34), "-12.3");
}

TEST_F(ParamTest, NegativeZeroDisplaysLikeZero)
{
    EXPECT_EQ(Display(autoCut, -0.0), "0.0");
    EXPECT_EQ(Display(sensitivity, -0.0), "0");
    EXPECT_EQ(Display(sensitivity, -0.4), "0");
}

TEST_F(ParamTest, NormalisedDisplayDenormalisesFirst)
{
    EXPECT_EQ(Display(autoCut, 0.0, true), "-40.0");
    EXPECT_EQ(Display(autoCut, 1.0, true), "-3.0");
}

TEST_F(ParamTest, SwitchesDisplayTheirTextsUnlessTextsAreNotWanted)
{
    EXPECT_EQ(Display(hold, 0), "off");
    EXPECT_EQ(Display(hold, 1), "on");
    EXPECT_EQ(Display(hold, 1, false, false), "1");
}

TEST(ParamDisplay, SignDisplayShowsAnExplicitSignExceptAtZero)
{
    IParam trim;
    trim.DefineDouble("Trim", 0, -12, 12, 0.1, "dB", ParamFlags::SignDisplay);
    EXPECT_EQ(Display(trim, 3), "+3.0");
    EXPECT_EQ(Display(trim, -3), "-3.0");
    EXPECT_EQ(Display(trim, 0), "0.0");
}

TEST(ParamDisplay, NegateDisplayInvertsTheShownAndParsedNumber)
{
    IParam reduction;
    reduction.DefineDouble("Reduction", 0, 0, 40, 0.1, "dB", ParamFlags::NegateDisplay);
    EXPECT_EQ(Display(reduction, 5), "-5.0");
    EXPECT_EQ(Display(reduction, 0), "0.0");
    EXPECT_DOUBLE_EQ(reduction.ParseDisplayText("-5"), 5.0);
}

TEST(ParamDisplay, ADisplayFunctionReplacesAllOtherFormatting)
{
    IParam p;
    p.DefineDouble("Freq", 1000, 20, 20000, 1, "Hz", ParamFlags::None, "", IParam::ShapeLinear(),
                   [](double v, char* text, std::size_t size) { std::snprintf(text, size, "%.2f kHz", v / 1000); });
    p.AddDisplayText(1000, "one k");
    EXPECT_EQ(Display(p, 1000), "1.00 kHz");
}

TEST_F(ParamTest, DisplayIsCutToTheGivenBuffer)
{
    char small[4];
    autoCut.FormatDisplay(-18, false, small, sizeof small);
    EXPECT_STREQ(small, "-18");
    IParam huge;
    huge.DefineDouble("Huge", 0, -1e300, 1e300, 0.5);
    EXPECT_EQ(Display(huge, 1e300).size(), 31u);
}

// --- Parsing -----------------------------------------------------------------

TEST_F(ParamTest, ParsingReadsTheLeadingNumberAndConstrainsIt)
{
    IParam gain;
    gain.DefineDouble("Gain", 0, -24, 24, 0.1, "dB");
    EXPECT_DOUBLE_EQ(gain.ParseDisplayText("12.34"), 12.34);
    EXPECT_DOUBLE_EQ(steppedTenth.ParseDisplayText("12.34"), 12.3);
    EXPECT_DOUBLE_EQ(gain.ParseDisplayText("100"), 24.0);
    EXPECT_DOUBLE_EQ(gain.ParseDisplayText(" +7.5 dB"), 7.5);
    EXPECT_DOUBLE_EQ(gain.ParseDisplayText("-6"), -6.0);
    EXPECT_DOUBLE_EQ(gain.ParseDisplayText("loud"), 0.0) << "no number reads as 0";
    EXPECT_DOUBLE_EQ(autoCut.ParseDisplayText("loud"), -3.0) << "and 0 is then clamped";
    EXPECT_DOUBLE_EQ(gain.ParseDisplayText("1e400"), 24.0);
    EXPECT_DOUBLE_EQ(gain.ParseDisplayText("-1e400"), -24.0);
    EXPECT_DOUBLE_EQ(gain.ParseDisplayText("1e-400"), 0.0);
    EXPECT_DOUBLE_EQ(gain.ParseDisplayText("nan"), 0.0) << "a non-number text gives the default";
    EXPECT_DOUBLE_EQ(gain.ParseDisplayText(nullptr), 0.0);
}

TEST_F(ParamTest, ASwitchParsesOnlyItsOwnTexts)
{
    EXPECT_DOUBLE_EQ(hold.ParseDisplayText("on"), 1.0);
    EXPECT_DOUBLE_EQ(hold.ParseDisplayText("off"), 0.0);
    EXPECT_DOUBLE_EQ(hold.ParseDisplayText("1"), 0.0);
    EXPECT_DOUBLE_EQ(hold.ParseDisplayText("On"), 0.0) << "texts match case-sensitively";
    EXPECT_DOUBLE_EQ(hold.ParseDisplayText("yes"), 0.0);
}

TEST_F(ParamTest, DisplayedTextsParseBackToTheirValue)
{
    for (double v : {-40.0, -18.0, -12.3, -3.0})
    {
        char text[32];
        autoCut.FormatDisplay(v, false, text, sizeof text);
        EXPECT_DOUBLE_EQ(autoCut.ParseDisplayText(text), v) << text;
    }
}
