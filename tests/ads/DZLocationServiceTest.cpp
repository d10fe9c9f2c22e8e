#include <gtest/gtest.h>

#include "ads/foundation/DZLocationService.h"
#include "core/Queue.h"
#include "core/RunLoop.h"
#include "ui/LocationManager.h"

using namespace ads;

namespace {

class DZLocationServiceTest : public testing::Test {
protected:
    void SetUp() override {
        environment_.authorizationStatus = ui::kLocationAuthorizationWhenInUse;
        environment_.fixes = {{10, 20, 100, 0}, {31.5, 121.25, 65, 0}};
        ui::LocationManager::overrideEnvironmentForTesting(environment_);
        service_ = DZLocationService::create();
        ASSERT_NE(service_, nullptr);
    }
    void TearDown() override { ui::LocationManager::overrideEnvironmentForTesting(std::nullopt); }

    void setEnvironment() { ui::LocationManager::overrideEnvironmentForTesting(environment_); }

    static void drainMain() {
        bool done = false;
        core::Queue::main()->async([&] { done = true; });
        ASSERT_TRUE(core::RunLoop::main().runUntil([&] { return done; }, 5));
    }

    // Switches on, one update, and the fix it brings.
    void takeFix() {
        service_->setFeatureEnabled(true);
        service_->setPublisherAuthorized(true);
        service_->updateLocation();
        ASSERT_TRUE(
            core::RunLoop::main().runUntil([&] { return service_->location().has_value(); }, 5));
    }

    ui::LocationEnvironment environment_;
    std::shared_ptr<DZLocationService> service_;
};

}  // namespace

TEST_F(DZLocationServiceTest, OnlyStatusesThreeAndFourAreAuthorized) {
    for (int status : {-1, 0, 1, 2, 5, 99}) {
        EXPECT_FALSE(DZLocationService::isAuthorizedStatus(status)) << status;
    }
    EXPECT_TRUE(DZLocationService::isAuthorizedStatus(3));
    EXPECT_TRUE(DZLocationService::isAuthorizedStatus(4));
}

TEST_F(DZLocationServiceTest, TakesTheLastFixOncePerUpdate) {
    takeFix();
    const auto location = service_->location();
    EXPECT_DOUBLE_EQ(location->latitude(), 31.5);
    EXPECT_DOUBLE_EQ(location->longitude(), 121.25);
    EXPECT_EQ((*location->dictionaryRepresentation())["radius"].doubleValue(), 65000);
    const auto manager = service_->locationManager();
    ASSERT_TRUE(core::RunLoop::main().runUntil([&] { return !manager->isUpdatingLocation(); }, 5));
    EXPECT_EQ(manager->startCount(), 1);

    service_->updateLocation();
    drainMain();
    EXPECT_EQ(manager->startCount(), 2);
    EXPECT_EQ(service_->locationManager(), manager);
}

TEST_F(DZLocationServiceTest, NothingStartsWithoutEverySwitch) {
    service_->updateLocation();  // both switches off
    drainMain();
    ASSERT_NE(service_->locationManager(), nullptr);
    EXPECT_EQ(service_->locationManager()->startCount(), 0);

    service_->setFeatureEnabled(true);
    service_->setPublisherAuthorized(true);
    environment_.servicesEnabled = false;
    setEnvironment();
    service_->updateLocation();
    environment_.servicesEnabled = true;
    environment_.authorizationStatus = 5;
    setEnvironment();
    service_->updateLocation();
    drainMain();
    EXPECT_EQ(service_->locationManager()->startCount(), 0);
    EXPECT_FALSE(service_->location());
}

TEST_F(DZLocationServiceTest, PublisherSwitchOffStopsAndForgets) {
    takeFix();
    service_->setPublisherAuthorized(false);
    service_->updateLocation();
    EXPECT_FALSE(service_->location());
    EXPECT_FALSE(service_->locationManager()->isUpdatingLocation());
}

TEST_F(DZLocationServiceTest, ServerSwitchOffForgetsTheFix) {
    takeFix();
    service_->setFeatureEnabled(false);
    EXPECT_FALSE(service_->location());
}

TEST_F(DZLocationServiceTest, WithdrawnAuthorizationForgetsTheFix) {
    takeFix();
    environment_.authorizationStatus = ui::kLocationAuthorizationAlways;
    setEnvironment();
    drainMain();
    EXPECT_TRUE(service_->location());

    environment_.authorizationStatus = ui::kLocationAuthorizationDenied;
    setEnvironment();
    ASSERT_TRUE(core::RunLoop::main().runUntil([&] { return !service_->location(); }, 5));
}

TEST_F(DZLocationServiceTest, FailureKeepsThePreviousFix) {
    takeFix();
    const auto before = service_->location();
    environment_.failure = "no signal";
    setEnvironment();
    service_->updateLocation();
    drainMain();
    drainMain();
    EXPECT_FALSE(service_->locationManager()->isUpdatingLocation());
    ASSERT_TRUE(service_->location());
    EXPECT_EQ(*service_->location(), *before);
}

TEST_F(DZLocationServiceTest, NoServiceWithoutTheLocationManager) {
    const auto previous =
        ui::LocationManager::registerFactory(DZLocationService::kLocationManagerClassName, {});
    EXPECT_EQ(DZLocationService::create(), nullptr);
    ui::LocationManager::registerFactory(DZLocationService::kLocationManagerClassName, previous);
    EXPECT_NE(DZLocationService::create(), nullptr);
    EXPECT_EQ(DZLocationService::sharedInstance(), DZLocationService::sharedInstance());
}
