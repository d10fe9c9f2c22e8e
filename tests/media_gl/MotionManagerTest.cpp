#include "media/MotionManager.h"

#include <gtest/gtest.h>

#include "core/JSON.h"

namespace {

using media::MotionEnvironment;
using media::MotionManager;
using media::RotationMatrix;

class MotionManagerTest : public testing::Test {
protected:
    void TearDown() override { MotionManager::overrideEnvironmentForTesting(std::nullopt); }
};

TEST_F(MotionManagerTest, LinuxDevicesReportNoMotionSoUpdatesNeverStart) {
    MotionManager manager;
    EXPECT_FALSE(manager.isDeviceMotionAvailable());
    manager.startDeviceMotionUpdates();
    EXPECT_FALSE(manager.isDeviceMotionActive());
    EXPECT_EQ(manager.attitude(), std::nullopt);
}

TEST_F(MotionManagerTest, ReadsTheProfilesMotionSection) {
    const RotationMatrix turned{0, 0, 1, 0, 1, 0, -1, 0, 0};
    struct Case {
        const char* json;
        bool available;
        RotationMatrix attitude;
    };
    const Case cases[] = {
        {R"({})", false, {}},
        {R"({"deviceMotionAvailable": true})", true, {}},
        {R"({"deviceMotionAvailable": true, "attitude": [0,0,1, 0,1,0, -1,0,0]})", true, turned},
        {R"({"deviceMotionAvailable": true, "attitude": [0,0,1, 0,1,0, -1,0]})", true, {}},
        {R"({"deviceMotionAvailable": true, "attitude": [0,0,1, 0,"1",0, -1,0,0]})", true, {}},
    };
    for (const Case& c : cases) {
        const auto environment =
            MotionEnvironment::fromValue(core::JSON::parse(c.json).value_or(core::Value()));
        EXPECT_EQ(environment.deviceMotionAvailable, c.available) << c.json;
        EXPECT_EQ(environment.attitude, c.attitude) << c.json;
    }
}

TEST_F(MotionManagerTest, WhileUpdatingReportsTheAttitudeTheTestSets) {
    MotionManager::overrideEnvironmentForTesting(MotionEnvironment{true, {}});
    MotionManager manager;
    EXPECT_EQ(manager.attitude(), std::nullopt) << "not started";
    manager.startDeviceMotionUpdates();
    ASSERT_TRUE(manager.isDeviceMotionActive());
    EXPECT_EQ(manager.attitude(), RotationMatrix{});

    const RotationMatrix aboutX{1, 0, 0, 0, 0, 1, 0, -1, 0};
    MotionManager::overrideEnvironmentForTesting(MotionEnvironment{true, aboutX});
    EXPECT_EQ(manager.attitude(), aboutX);

    MotionManager::overrideEnvironmentForTesting(MotionEnvironment{false, aboutX});
    EXPECT_EQ(manager.attitude(), std::nullopt) << "motion went away";

    MotionManager::overrideEnvironmentForTesting(MotionEnvironment{true, aboutX});
    manager.stopDeviceMotionUpdates();
    EXPECT_FALSE(manager.isDeviceMotionActive());
    EXPECT_EQ(manager.attitude(), std::nullopt);
}

}  // namespace
