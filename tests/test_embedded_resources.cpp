// The module's embedded resources, the font and the logo both renderers draw with: compiled-in
// byte arrays on Linux, module resources on Windows (under wine in CI).

#include "framework/IResourceLookup.h"
#include "graphics/EmbeddedResources.h"
#include "tests/support/Pixels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

using namespace igraphics;
using ringstill::test::PathIn;

TEST(EmbeddedResources, HoldTheResourceFilesByteForByte)
{
    for (const char* name : {"Roboto-Regular.ttf", "Ringstill.png"})
    {
        const ResourceBytes embedded = FindEmbeddedResource(name);
        ASSERT_TRUE(embedded.Found()) << name;
        std::vector<std::uint8_t> file;
        const std::string path = PathIn(RINGSTILL_RESOURCES_DIR, name);
        const ResourceBytes fromFile = LoadResourceBytes(nullptr, path.c_str(), file);
        ASSERT_TRUE(fromFile.Found()) << path;
        ASSERT_EQ(embedded.size, fromFile.size) << name;
        EXPECT_TRUE(std::equal(embedded.data, embedded.data + embedded.size, fromFile.data)) << name;
    }
}

TEST(EmbeddedResources, AreFoundByNameIgnoringCaseAndNothingElse)
{
    EXPECT_TRUE(FindEmbeddedResource("ringstill.PNG").Found());
    EXPECT_FALSE(FindEmbeddedResource("Ringstill").Found());
    EXPECT_FALSE(FindEmbeddedResource("Ringstill.png.bak").Found());
    EXPECT_FALSE(FindEmbeddedResource("").Found());
    EXPECT_FALSE(FindEmbeddedResource(nullptr).Found());
    EXPECT_TRUE(ModuleResources().Find("Roboto-Regular.ttf").Found());
}

TEST(EmbeddedResources, LookupPrefersTheEmbeddedCopyThenTriesTheFilePath)
{
    std::vector<std::uint8_t> storage;
    const ResourceBytes embedded = LoadResourceBytes(&ModuleResources(), "Ringstill.png", storage);
    EXPECT_EQ(embedded.data, FindEmbeddedResource("Ringstill.png").data);
    EXPECT_TRUE(storage.empty());

    const std::string path = PathIn(RINGSTILL_RESOURCES_DIR, "Roboto-LICENSE.txt");
    const ResourceBytes file = LoadResourceBytes(&ModuleResources(), path.c_str(), storage);
    ASSERT_TRUE(file.Found());
    EXPECT_EQ(file.data, storage.data());

    EXPECT_FALSE(LoadResourceBytes(&ModuleResources(), "No-Such-Font.ttf", storage).Found());
    EXPECT_FALSE(LoadResourceBytes(&ModuleResources(), RINGSTILL_RESOURCES_DIR, storage).Found()); // a folder
}
