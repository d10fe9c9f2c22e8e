#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "core/JSON.h"
#include "core/Queue.h"
#include "core/RunLoop.h"
#include "support/ManualClockScope.h"
#include "ui/LocationManager.h"

using ui::LocationEnvironment;
using ui::LocationManager;

namespace {

struct RecordingDelegate : ui::LocationManagerDelegate {
    std::vector<int> statuses;
    std::vector<std::vector<ui::Location>> updates;
    std::vector<std::string> failures;

    void locationManagerDidChangeAuthorization(LocationManager&, int status) override {
        statuses.push_back(status);
    }
    void locationManagerDidUpdateLocations(LocationManager&,
                                           const std::vector<ui::Location>& locations) override {
        updates.push_back(locations);
    }
    void locationManagerDidFail(LocationManager&, const std::string& message) override {
        failures.push_back(message);
    }
};

class LocationManagerTest : public testing::Test {
protected:
    void TearDown() override { LocationManager::overrideEnvironmentForTesting(std::nullopt); }

    static void drainMain() {
        bool done = false;
        core::Queue::main()->async([&] { done = true; });
        ASSERT_TRUE(core::RunLoop::main().runUntil([&] { return done; }, 5));
    }
};

}  // namespace

TEST_F(LocationManagerTest, EnvironmentReadsTheProfileSection) {
    const auto value = *core::JSON::parse(R"({
        "servicesEnabled": false, "authorization": "whenInUse",
        "fixes": [{"latitude": 31.5, "longitude": -121.25, "accuracy": 65}, 7],
        "failure": "no signal"})");
    const auto environment = LocationEnvironment::fromValue(value);
    EXPECT_FALSE(environment.servicesEnabled);
    EXPECT_EQ(environment.authorizationStatus, ui::kLocationAuthorizationWhenInUse);
    ASSERT_EQ(environment.fixes.size(), 1u);
    EXPECT_DOUBLE_EQ(environment.fixes[0].longitude, -121.25);
    EXPECT_DOUBLE_EQ(environment.fixes[0].horizontalAccuracy, 65);
    EXPECT_EQ(environment.failure, "no signal");

    EXPECT_EQ(LocationEnvironment::fromValue(*core::JSON::parse(R"({"authorization": 7})"))
                  .authorizationStatus,
              7);
    const auto empty = LocationEnvironment::fromValue(core::Value());
    EXPECT_TRUE(empty.servicesEnabled);
    EXPECT_EQ(empty.authorizationStatus, ui::kLocationAuthorizationNotDetermined);
    EXPECT_TRUE(empty.fixes.empty());
}

TEST_F(LocationManagerTest, IsFoundByItsRegisteredName) {
    EXPECT_TRUE(LocationManager::factoryNamed("LocationManager"));
    EXPECT_FALSE(LocationManager::factoryNamed("NoSuchManager"));
    const auto previous = LocationManager::registerFactory("LocationManager", {});
    EXPECT_FALSE(LocationManager::factoryNamed("LocationManager"));
    LocationManager::registerFactory("LocationManager", previous);
    EXPECT_NE(LocationManager::factoryNamed("LocationManager")(), nullptr);
}

TEST_F(LocationManagerTest, StartDeliversTheFixesOnceStampedWithTheWallClock) {
    testsupport::ManualClockScope clock;
    LocationEnvironment environment;
    environment.authorizationStatus = ui::kLocationAuthorizationAlways;
    environment.fixes = {{1, 2, 3, 0}, {4, 5, 6, 0}};
    LocationManager::overrideEnvironmentForTesting(environment);

    const auto delegate = std::make_shared<RecordingDelegate>();
    const auto manager = LocationManager::create();
    manager->setDelegate(delegate);
    manager->startUpdatingLocation();
    manager->startUpdatingLocation();  // already updating
    EXPECT_TRUE(delegate->updates.empty());
    drainMain();
    ASSERT_EQ(delegate->updates.size(), 1u);
    ASSERT_EQ(delegate->updates[0].size(), 2u);
    EXPECT_DOUBLE_EQ(delegate->updates[0][1].latitude, 4);
    EXPECT_DOUBLE_EQ(delegate->updates[0][1].timestamp, clock->wallSeconds());
    EXPECT_EQ(manager->startCount(), 1);
    drainMain();
    EXPECT_EQ(delegate->updates.size(), 1u);
}

TEST_F(LocationManagerTest, StopBeforeDeliveryCancelsItAndFailuresAreReported) {
    LocationEnvironment environment;
    environment.fixes = {{1, 2, 3, 0}};
    LocationManager::overrideEnvironmentForTesting(environment);
    const auto delegate = std::make_shared<RecordingDelegate>();
    const auto manager = LocationManager::create();
    manager->setDelegate(delegate);
    manager->startUpdatingLocation();
    manager->stopUpdatingLocation();
    drainMain();
    EXPECT_TRUE(delegate->updates.empty());

    environment.failure = "denied by the sky";
    LocationManager::overrideEnvironmentForTesting(environment);
    manager->startUpdatingLocation();
    drainMain();
    EXPECT_TRUE(delegate->updates.empty());
    EXPECT_EQ(delegate->failures, std::vector<std::string>{"denied by the sky"});
}

TEST_F(LocationManagerTest, AuthorizationChangesReachEveryLiveManager) {
    const auto first = std::make_shared<RecordingDelegate>();
    const auto second = std::make_shared<RecordingDelegate>();
    const auto a = LocationManager::create();
    const auto b = LocationManager::create();
    a->setDelegate(first);
    b->setDelegate(second);

    LocationEnvironment environment;
    environment.authorizationStatus = ui::kLocationAuthorizationDenied;
    LocationManager::overrideEnvironmentForTesting(environment);
    LocationManager::overrideEnvironmentForTesting(environment);  // no change, no report
    drainMain();
    EXPECT_EQ(first->statuses, std::vector<int>{ui::kLocationAuthorizationDenied});
    EXPECT_EQ(second->statuses, std::vector<int>{ui::kLocationAuthorizationDenied});
    EXPECT_EQ(LocationManager::authorizationStatus(), ui::kLocationAuthorizationDenied);
}
