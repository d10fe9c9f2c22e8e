#include <gtest/gtest.h>

#include <new>
#include <string>

#include "SawmillTesting.h"
#include "ads/foundation/DZLoggingHierarchy.h"
#include "core/NotificationCenter.h"

using namespace ads;

namespace {

class DZLoggingHierarchyTest : public ::testing::Test {
protected:
    DZLoggingHierarchy hierarchy_;
    testsupport::SawmillSettingsScope settings_;
};

}  // namespace

TEST_F(DZLoggingHierarchyTest, ChildrenFindTheirRootsLoggerAndFollowItsChanges) {
    const auto slot = std::make_shared<int>(1);
    const auto banner = std::make_shared<int>(2);
    const auto adView = std::make_shared<int>(3);
    const auto first = DZSawmillLogger::create();
    const auto second = DZSawmillLogger::create();

    std::vector<const void*> notified;
    const auto token = core::NotificationCenter::defaultCenter().addObserver(
        std::string(DZLoggingHierarchyRootObjectLoggerDidChangeNotification), nullptr, nullptr,
        [&](const core::Notification& note) { notified.push_back(note.object); });

    hierarchy_.linkObject(slot, {banner});
    EXPECT_FALSE(hierarchy_.rootObjectForObject(banner)) << "a parent without a root links nothing";

    hierarchy_.setLogger(first, slot);
    hierarchy_.linkObject(slot, {banner});
    hierarchy_.linkObject(banner, {adView});
    EXPECT_EQ(hierarchy_.loggerForObject(adView), first);
    EXPECT_EQ(hierarchy_.rootObjectForObject(adView), slot);
    EXPECT_EQ(hierarchy_.rootObjectForObject(slot), slot);

    hierarchy_.setLogger(second, slot);
    EXPECT_EQ(hierarchy_.loggerForObject(adView), second);

    hierarchy_.setLogger(nullptr, slot);
    EXPECT_FALSE(hierarchy_.loggerForObject(adView));
    EXPECT_EQ(hierarchy_.rootObjectForObject(slot), slot);
    EXPECT_EQ(notified, (std::vector<const void*>{slot.get(), slot.get(), slot.get()}));
    core::NotificationCenter::defaultCenter().removeObserver(token);

    hierarchy_.setLogger(first, slot);
    hierarchy_.removeObject(banner);
    EXPECT_FALSE(hierarchy_.loggerForObject(banner));
    EXPECT_EQ(hierarchy_.loggerForObject(adView), first);
    hierarchy_.removeLogger(first->sawmillID());
    EXPECT_FALSE(hierarchy_.loggerForObject(adView));
    EXPECT_FALSE(hierarchy_.loggerForObject(nullptr));
}

TEST_F(DZLoggingHierarchyTest, ObjectsEqualByValueKeepEntriesOfTheirOwn) {
    const auto one = std::make_shared<std::string>("same");
    const auto other = std::make_shared<std::string>("same");
    const auto logger = DZSawmillLogger::create();
    hierarchy_.setLogger(logger, one);
    EXPECT_EQ(hierarchy_.loggerForObject(one), logger);
    EXPECT_FALSE(hierarchy_.loggerForObject(other));
}

TEST_F(DZLoggingHierarchyTest, AnObjectAtTheAddressOfOneThatWentAwayIsNotItsHeir) {
    alignas(int) unsigned char storage[sizeof(int)];
    const auto placed = [&storage](int value) {
        return std::shared_ptr<int>(new (storage) int(value), [](int*) {});
    };
    const auto logger = DZSawmillLogger::create();
    const auto root = std::make_shared<int>(0);
    hierarchy_.setLogger(logger, root);

    auto gone = placed(1);
    hierarchy_.linkObject(root, {gone});
    hierarchy_.setLogger(logger, gone);
    EXPECT_EQ(hierarchy_.loggerForObject(gone), logger);
    gone.reset();

    const auto heir = placed(2);
    EXPECT_FALSE(hierarchy_.rootObjectForObject(heir));
    EXPECT_FALSE(hierarchy_.loggerForObject(heir));

    hierarchy_.linkObject(root, {heir});
    EXPECT_EQ(hierarchy_.loggerForObject(heir), logger);
    hierarchy_.removeObject(static_cast<const void*>(heir.get()));
    EXPECT_EQ(hierarchy_.loggerForObject(heir), logger) << "a live object's entry stays";
}

TEST_F(DZLoggingHierarchyTest, LoggersAreHeldWeakly) {
    const auto root = std::make_shared<int>(0);
    auto logger = DZSawmillLogger::create();
    hierarchy_.setLogger(logger, root);
    logger.reset();
    EXPECT_FALSE(hierarchy_.loggerForObject(root));
}
