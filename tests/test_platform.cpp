#include "framework/ProcessLock.h"
#include "framework/TextConversion.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

using namespace iplug;

TEST(TextConversion, WidensAndNarrowsAsciiUnchanged)
{
    char16_t wide[32];
    EXPECT_EQ(WidenText("Auto Cut", wide, 32), 8);
    EXPECT_EQ(std::u16string(wide), u"Auto Cut");
    char narrow[32];
    EXPECT_EQ(NarrowText(u"-40.0", narrow, 32), 5);
    EXPECT_STREQ(narrow, "-40.0");
}

TEST(TextConversion, RoundTripsUtf8ThroughUtf16)
{
    const char* text = "Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC \xF0\x9F\x8E\xB8"; // "Grüße € 🎸"
    char16_t wide[32];
    WidenText(text, wide, 32);
    EXPECT_EQ(std::u16string(wide), u"Gr\u00FC\u00DFe \u20AC \U0001F3B8");
    char back[32];
    NarrowText(wide, back, 32);
    EXPECT_STREQ(back, text);
}

TEST(TextConversion, CutsWithoutSplittingACharacter)
{
    char16_t wide[3];
    EXPECT_EQ(WidenText("a\xF0\x9F\x8E\xB8", wide, 3), 1) << "no room for both surrogates";
    EXPECT_EQ(std::u16string(wide), u"a");
    char narrow[3];
    EXPECT_EQ(NarrowText(u"a\u20AC", narrow, 3), 1) << "no room for three bytes";
    EXPECT_STREQ(narrow, "a");
}

TEST(TextConversion, MalformedInputBecomesReplacementCharacters)
{
    char16_t wide[8];
    WidenText("a\xFF" "b\xC3", wide, 8);
    EXPECT_EQ(std::u16string(wide), u"a\uFFFDb\uFFFD");
    const char16_t lone[] = {u'x', char16_t(0xD800), u'y', 0};
    char narrow[16];
    NarrowText(lone, narrow, 16);
    EXPECT_STREQ(narrow, "x\xEF\xBF\xBDy");
}

TEST(TextConversion, EmptyAndMissingTextsGiveEmptyResults)
{
    char16_t wide[4] = {u'z', u'z', u'z', u'z'};
    EXPECT_EQ(WidenText(nullptr, wide, 4), 0);
    EXPECT_EQ(wide[0], 0);
    char narrow[4] = "zz";
    EXPECT_EQ(NarrowText(u"", narrow, 4, TextEncoding::SystemAnsi), 0);
    EXPECT_EQ(narrow[0], '\0');
    EXPECT_EQ(WidenText("abc", wide, 0), 0);
}

TEST(ProcessLockConcurrency, SerialisesThreadsThatCreatePlugins)
{
    int counter = 0; // plain on purpose: only the lock protects it
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 10000; ++i)
            {
                ProcessLockGuard guard;
                ++counter;
            }
        });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(counter, 40000);
}
