#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/ScopedEnvironment.h"
#include "gfx/Fonts.h"
#include "support/TestEnvironment.h"

using gfx::Fonts;

namespace {

TEST(FontsTest, AppFamilyNamesResolveToNotoCjk) {
    EXPECT_EQ(Fonts::resolvedFamily("Source Han Serif CN"), "Noto Serif CJK SC");
    EXPECT_EQ(Fonts::resolvedFamily("serif"), "Noto Serif CJK SC");
    for (const char* family : {"system", "PingFang SC", "Helvetica", "sans-serif"}) {
        EXPECT_EQ(Fonts::resolvedFamily(family), "Noto Sans CJK SC") << family;
    }
}

TEST(FontsTest, MissingFamiliesFallBackToTheDefaultSans) {
    EXPECT_EQ(Fonts::resolvedFamily("sucaijishikangkangti"), "Noto Sans CJK SC");
    EXPECT_EQ(Fonts::resolvedFamily(""), "Noto Sans CJK SC");
}

TEST(FontsTest, InstalledFamiliesAreUsedAsAsked) {
    EXPECT_EQ(Fonts::resolvedFamily("DejaVu Serif"), "DejaVu Serif");
}

TEST(FontsTest, EveryWeightTheAppAsksForHasAFaceOfItsOwn) {
    const std::vector<std::pair<gfx::FontWeight, double>> weights{{gfx::FontWeight::Light, 300},
                                                                  {gfx::FontWeight::Regular, 400},
                                                                  {gfx::FontWeight::Medium, 500},
                                                                  {gfx::FontWeight::Bold, 700}};
    for (const auto& [weight, expected] : weights) {
        const Fonts::Face face = Fonts::resolvedFace(gfx::Font::system(10, weight));
        EXPECT_EQ(face.family, "Noto Sans CJK SC");
        EXPECT_EQ(face.weight, expected) << face.style;
        EXPECT_FALSE(face.synthetic) << face.style;
    }
    EXPECT_EQ(Fonts::resolvedFace(gfx::Font::system(10, gfx::FontWeight::Light)).style, "Light");
}

TEST(FontsTest, ConfigureRefusesAFolderWithoutFontsConf) {
    std::string error;
    EXPECT_FALSE(Fonts::configure(testsupport::testHome(), &error));
    EXPECT_NE(error.find("fonts.conf"), std::string::npos) << error;
    // The fonts in use stay.
    EXPECT_EQ(Fonts::resolvedFamily("Source Han Serif CN"), "Noto Serif CJK SC");
}

TEST(FontsTest, ConfigureLoadsTheResourcesFolder) {
    std::string error;
    EXPECT_TRUE(Fonts::configure(Fonts::defaultResourcesDir(), &error)) << error;
    EXPECT_EQ(Fonts::resolvedFamily("Source Han Serif CN"), "Noto Serif CJK SC");
}

// Threads read the environment at any time, and setenv under a reader can
// hand it freed memory: fonts pin their language as the process starts and
// never write the environment after.
TEST(FontsTest, TheLanguageIsPinnedAtStartAndConfiguringWritesNoEnvironment) {
    ASSERT_NE(std::getenv("PANGO_LANGUAGE"), nullptr);
    EXPECT_STREQ(std::getenv("PANGO_LANGUAGE"), "zh-cn");
    testsupport::ScopedEnvironment environment;
    environment.set("PANGO_LANGUAGE", std::nullopt);
    std::string error;
    EXPECT_TRUE(Fonts::configure(Fonts::defaultResourcesDir(), &error)) << error;
    EXPECT_EQ(std::getenv("PANGO_LANGUAGE"), nullptr);
}

}  // namespace

TEST(FontsAvailability, NamedAndAliasedFamiliesExistMissingOnesDoNot) {
    EXPECT_TRUE(gfx::Fonts::isAvailable("Noto Sans CJK SC"));
    EXPECT_TRUE(gfx::Fonts::isAvailable("Source Han Serif CN"));
    EXPECT_FALSE(gfx::Fonts::isAvailable("sucaijishikangkangti"));
}
