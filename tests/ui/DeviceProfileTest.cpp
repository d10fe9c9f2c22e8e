#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "DeviceProfileScope.h"
#include "core/Bundle.h"
#include "core/FileManager.h"
#include "core/JSON.h"
#include "core/ScopedEnvironment.h"
#include "support/TestEnvironment.h"
#include "ui/DeviceProfile.h"

using ui::DeviceProfile;
using ui::UserInterfaceIdiom;

namespace {

std::optional<DeviceProfile> parse(std::string_view json) {
    const auto value = core::JSON::parse(json);
    EXPECT_TRUE(value) << json;
    return value ? DeviceProfile::fromValue(*value) : std::nullopt;
}

TEST(DeviceProfileTest, DefaultIsTheBundledPhone) {
    const DeviceProfile& profile = DeviceProfile::current();
    EXPECT_EQ(profile.name, "phone");
    EXPECT_EQ(profile.screenBounds(), gfx::Rect(0, 0, 375, 667));
    EXPECT_EQ(profile.scale, 2);
    EXPECT_EQ(profile.statusBarHeight, 20);
    EXPECT_EQ(profile.safeAreaInsets, gfx::EdgeInsets{});
    EXPECT_EQ(profile.systemVersion, "12.4");
    EXPECT_EQ(profile.idiom, UserInterfaceIdiom::Phone);
    EXPECT_EQ(profile.raw["machine"].stringValue(), "phone9,1");

    // The built-in default and the file agree, so selecting "phone" is a no-op.
    const auto path = core::Bundle::main()->pathForResource("phone", "json", "devices");
    ASSERT_TRUE(path);
    const auto text = core::FileManager::readFile(*path);
    ASSERT_TRUE(text);
    EXPECT_EQ(core::JSON::parse(text.value()), profile.raw);
}

TEST(DeviceProfileTest, SelectLoadsBundledProfiles) {
    {
        const testsupport::DeviceProfileScope scope("phone-x");
        ASSERT_TRUE(scope.selected());
        const DeviceProfile& x = DeviceProfile::current();
        EXPECT_EQ(x.name, "phone-x");
        EXPECT_EQ(x.screenSize, (gfx::Size{375, 812}));
        EXPECT_EQ(x.scale, 3);
        EXPECT_EQ(x.safeAreaInsets, (gfx::EdgeInsets{44, 0, 34, 0}));
        EXPECT_EQ(x.statusBarHeight, 44);
    }
    EXPECT_EQ(DeviceProfile::current().name, "phone");
    const testsupport::DeviceProfileScope scope("pad");
    ASSERT_TRUE(scope.selected());
    EXPECT_EQ(DeviceProfile::current().idiom, UserInterfaceIdiom::Pad);
    EXPECT_EQ(DeviceProfile::current().screenSize, (gfx::Size{768, 1024}));
}

TEST(DeviceProfileTest, MissingOrMalformedFilesAreRefused) {
    const std::string resources = testsupport::testHome() + "/profile-resources";
    ASSERT_TRUE(core::FileManager::createDirectory(resources + "/devices", true));
    ASSERT_TRUE(core::FileManager::writeAtomically(resources + "/devices/broken.json",
                                                   std::string_view("{\"screen\": ")));
    ASSERT_TRUE(core::FileManager::writeAtomically(
        resources + "/devices/tiny.json",
        std::string_view(R"({"screen": {"width": 0, "height": 480}})")));
    ASSERT_TRUE(core::FileManager::writeAtomically(
        resources + "/devices/fine.json",
        std::string_view(R"({"screen": {"width": 320, "height": 480}})")));
    // Destroyed after the environment is restored: selects the bundled phone.
    const testsupport::DeviceProfileScope restore("phone");
    testsupport::ScopedEnvironment environment;
    environment.set("VANTOR_RESOURCES", resources);

    EXPECT_FALSE(DeviceProfile::select("missing"));
    EXPECT_FALSE(DeviceProfile::select("broken"));
    EXPECT_FALSE(DeviceProfile::select("tiny"));
    EXPECT_FALSE(DeviceProfile::select("../devices/fine"));
    EXPECT_EQ(DeviceProfile::current().name, "phone");

    ASSERT_TRUE(DeviceProfile::select("fine"));
    EXPECT_EQ(DeviceProfile::current().name, "fine");
    EXPECT_EQ(DeviceProfile::current().screenSize, (gfx::Size{320, 480}));
}

TEST(DeviceProfileTest, FromValueChecksEveryField) {
    const auto minimal = parse(R"({"screen": {"width": 320, "height": 480}})");
    ASSERT_TRUE(minimal);
    EXPECT_EQ(minimal->scale, 2);
    EXPECT_EQ(minimal->statusBarHeight, 20);
    EXPECT_EQ(minimal->idiom, UserInterfaceIdiom::Phone);

    const char* const refused[] = {
        R"([1, 2])",
        R"({"name": "no screen"})",
        R"({"screen": {"width": "320", "height": 480}})",
        R"({"screen": {"width": 320}})",
        R"({"screen": {"width": 320, "height": 480, "scale": 0}})",
        R"({"screen": {"width": 320, "height": 480}, "idiom": "watch"})",
        R"({"screen": {"width": 320, "height": 480}, "safeArea": {"top": -1}})",
        R"({"screen": {"width": 320, "height": 480}, "safeArea": [0, 0]})",
        R"({"screen": {"width": 320, "height": 480}, "safeArea": {"top": 300, "bottom": 200}})",
        R"({"screen": {"width": 320, "height": 480}, "system": {"version": 12.4}})",
        R"({"screen": {"width": 320, "height": 480}, "statusBarHeight": true})",
    };
    for (const char* json : refused) EXPECT_FALSE(parse(json)) << json;
}

TEST(DeviceProfileTest, SystemVersionComparison) {
    DeviceProfile profile;
    profile.systemVersion = "12.4";
    EXPECT_TRUE(profile.isSystemVersionAtLeast(12));
    EXPECT_TRUE(profile.isSystemVersionAtLeast(12, 4));
    EXPECT_TRUE(profile.isSystemVersionAtLeast(11, 9, 9));
    EXPECT_FALSE(profile.isSystemVersionAtLeast(12, 4, 1));
    EXPECT_FALSE(profile.isSystemVersionAtLeast(13));
    profile.systemVersion = "13.0.2";
    EXPECT_TRUE(profile.isSystemVersionAtLeast(13, 0, 2));
    EXPECT_FALSE(profile.isSystemVersionAtLeast(13, 1));
}

}  // namespace
