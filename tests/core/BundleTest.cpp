#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ScopedEnvironment.h"
#include "core/BuildLocations.h"
#include "core/Bundle.h"
#include "core/Console.h"
#include "core/FileManager.h"
#include "support/TestEnvironment.h"

using core::Bundle;
using core::FileManager;

namespace {

void write(const std::string& path, std::string_view contents) {
    const auto parent = path.substr(0, path.find_last_of('/'));
    ASSERT_TRUE(FileManager::createDirectory(parent, true));
    ASSERT_TRUE(FileManager::writeAtomically(path, contents));
}

// A resources folder with English and Simplified Chinese strings.
class BundleTest : public testing::Test {
protected:
    void SetUp() override {
        const auto* test = testing::UnitTest::GetInstance()->current_test_info();
        root_ = testsupport::testHome() + "/bundles/" + test->name();
        (void)FileManager::removeItem(root_);
        write(root_ + "/Info.json",
              R"({"CFBundleDevelopmentRegion": "en", "AppVersion": "2.1", "Build": 40})");
        write(root_ + "/en.lproj/Localizable.strings",
              "\"save\" = \"Save\";\n\"only.en\" = \"English only\";");
        write(root_ + "/en.lproj/Ads.strings", "\"close\" = \"Close ad\";");
        write(root_ + "/zh-Hans.lproj/Localizable.strings", "\"save\" = \"保存\";");
        write(root_ + "/Localizable.strings", "\"shared\" = \"Everywhere\";");
        write(root_ + "/logo.png", "png");
        write(root_ + "/en.lproj/banner.png", "en banner");
        write(root_ + "/zh-Hans.lproj/banner.png", "zh banner");
        write(root_ + "/Fonts/serif.ttf", "font");
        environment_.set("LANGUAGE", "en_US").set("LC_ALL", std::nullopt);
        bundle_ = Bundle::create(root_);
        ASSERT_TRUE(bundle_);
    }

    testsupport::ScopedEnvironment environment_;
    std::string root_;
    std::shared_ptr<Bundle> bundle_;
};

}  // namespace

TEST_F(BundleTest, CreateNeedsAFolder) {
    EXPECT_FALSE(Bundle::create(root_ + "/missing"));
    EXPECT_FALSE(Bundle::create(root_ + "/logo.png"));
    EXPECT_EQ(bundle_->resourcePath(), root_);
}

TEST_F(BundleTest, ListsLocalizationsAndMatchesTheUsersLanguage) {
    EXPECT_EQ(bundle_->localizations(), (std::vector<std::string>{"en", "zh-Hans"}));
    EXPECT_EQ(bundle_->preferredLocalization(), "en");
    environment_.set("LANGUAGE", "zh_CN.UTF-8:en");
    EXPECT_EQ(bundle_->preferredLocalization(), "zh-Hans");
    environment_.set("LANGUAGE", "fr:de");
    EXPECT_EQ(bundle_->preferredLocalization(), "en") << "the development region";
}

TEST_F(BundleTest, LocalizedStringsFollowTheLanguageAndFallBack) {
    EXPECT_EQ(bundle_->localizedString("save"), "Save");
    EXPECT_EQ(bundle_->localizedString("save", "", "", "zh-Hans"), "保存");
    EXPECT_EQ(bundle_->localizedString("close", "", "Ads"), "Close ad");
    EXPECT_EQ(bundle_->localizedString("shared"), "Everywhere");

    environment_.set("LANGUAGE", "zh-CN");
    EXPECT_EQ(bundle_->localizedString("save"), "保存");
    EXPECT_EQ(bundle_->localizedString("only.en", "Fallback"), "Fallback");
    EXPECT_EQ(bundle_->localizedString("only.en"), "only.en");
    EXPECT_EQ(bundle_->localizedString("close", "", "Ads"), "close");
}

TEST_F(BundleTest, ALanguageFolderIsABundleOfItsOwn) {
    const auto chinese = Bundle::create(root_ + "/zh-Hans.lproj");
    ASSERT_TRUE(chinese);
    EXPECT_TRUE(chinese->localizations().empty());
    EXPECT_EQ(chinese->localizedString("save"), "保存");
    EXPECT_EQ(chinese->localizedString("only.en"), "only.en");
    EXPECT_EQ(chinese->pathForResource("banner", "png"), root_ + "/zh-Hans.lproj/banner.png");
}

TEST_F(BundleTest, FindsResourcesAtTheTopThenInTheLanguageFolder) {
    EXPECT_EQ(bundle_->pathForResource("logo", "png"), root_ + "/logo.png");
    EXPECT_EQ(bundle_->pathForResource("logo.png", ""), root_ + "/logo.png");
    EXPECT_EQ(bundle_->pathForResource("logo", ".png"), root_ + "/logo.png");
    EXPECT_EQ(bundle_->pathForResource("banner", "png"), root_ + "/en.lproj/banner.png");
    EXPECT_EQ(bundle_->pathForResource("banner", "png", "", "zh-Hans"),
              root_ + "/zh-Hans.lproj/banner.png");
    EXPECT_EQ(bundle_->pathForResource("serif", "ttf", "Fonts"), root_ + "/Fonts/serif.ttf");
    EXPECT_EQ(bundle_->pathForResource("serif", "ttf"), std::nullopt);
    EXPECT_EQ(bundle_->pathForResource("absent", "png"), std::nullopt);
    EXPECT_EQ(bundle_->pathForResource("", "png"), std::nullopt);
}

TEST_F(BundleTest, ReadsTheInfoDictionary) {
    EXPECT_EQ(bundle_->objectForInfoDictionaryKey("AppVersion"), core::Value("2.1"));
    EXPECT_EQ(bundle_->objectForInfoDictionaryKey("Build").intValue(), 40);
    EXPECT_TRUE(bundle_->objectForInfoDictionaryKey("Missing").isNull());
    EXPECT_EQ(bundle_->infoDictionary().size(), 3u);
}

TEST_F(BundleTest, BrokenFilesAreReportedAndIgnored) {
    write(root_ + "/Info.json", "[1, 2]");
    write(root_ + "/en.lproj/Localizable.strings", "\"save\" = \"Save\"\n\"x\" = \"y\";");
    core::Console::Capture console;
    const auto bundle = Bundle::create(root_);
    ASSERT_TRUE(bundle);
    EXPECT_TRUE(bundle->infoDictionary().isDictionary());
    EXPECT_EQ(bundle->infoDictionary().size(), 0u);
    EXPECT_TRUE(console.contains("Info.json"));

    EXPECT_EQ(bundle->localizedString("save", "Default"), "Default");
    EXPECT_TRUE(console.contains("Localizable.strings:2"));
    EXPECT_EQ(bundle->localizedString("shared"), "Everywhere");
}

TEST(BundleMain, LooksBesideTheExecutableAndAFewFoldersUp) {
    const std::string repo = testsupport::testHome() + "/repo";
    ASSERT_TRUE(FileManager::createDirectory(repo + "/resources", true));
    ASSERT_TRUE(FileManager::createDirectory(repo + "/build/tools/resources-not", true));
    EXPECT_EQ(Bundle::locateResources(repo + "/build/tools/vantor"), repo + "/resources");
    EXPECT_EQ(Bundle::locateResources(repo + "/vantor"), repo + "/resources");

    ASSERT_TRUE(FileManager::createDirectory(repo + "/build/tools/resources", true));
    EXPECT_EQ(Bundle::locateResources(repo + "/build/tools/vantor"),
              repo + "/build/tools/resources");
    const std::string deep = repo + "/a/b/c/d/vantor";
    EXPECT_EQ(Bundle::locateResources(deep), repo + "/a/b/c/d/resources") << "not found";
}

TEST(BundleMain, AnInstalledTreeAndTheBuildFolderFindTheirResources) {
    const std::string prefix = testsupport::testHome() + "/prefix";
    ASSERT_TRUE(FileManager::createDirectory(prefix + "/share/vantor/resources", true));
    EXPECT_EQ(Bundle::locateResources(prefix + "/bin/vantor"), prefix + "/share/vantor/resources");

    // Anything run from the build folder, wherever it lives, uses the
    // resources of the source tree it was built from.
    const std::string build = core::BuildLocations::kBuildPath;
    EXPECT_EQ(Bundle::locateResources(build + "/tools/vantor"),
              core::BuildLocations::kResourcesPath);
    EXPECT_EQ(Bundle::locateResources(build + "/tests/deep/er/core_tests"),
              core::BuildLocations::kResourcesPath);
    EXPECT_TRUE(FileManager::isDirectory(Bundle::mainResourcesPath()));
}

TEST(BundleMain, TheEnvironmentOverridesTheSearch) {
    const std::string resources = testsupport::testHome() + "/configured-resources";
    ASSERT_TRUE(FileManager::createDirectory(resources + "/en.lproj", true));
    testsupport::ScopedEnvironment environment;
    environment.set("VANTOR_RESOURCES", resources);
    const auto main = Bundle::main();
    ASSERT_TRUE(main);
    EXPECT_EQ(main->resourcePath(), resources);
    EXPECT_EQ(main->localizations(), std::vector<std::string>{"en"});
    EXPECT_EQ(Bundle::main(), main);
}
