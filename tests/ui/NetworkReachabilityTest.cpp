#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <vector>

#include "core/JSON.h"
#include "core/PendingWork.h"
#include "core/RunLoop.h"
#include "support/ManualClockScope.h"
#include "ui/NetworkReachability.h"

using ui::NetworkInterface;
using ui::NetworkReachability;

namespace {

core::Value section(const char* json) {
    return *core::JSON::parse(json);
}

// Collects the flags a target reports, from its queue.
struct Reports {
    std::mutex mutex;
    std::vector<std::uint32_t> flags;

    NetworkReachability::Callback callback() {
        return [this](std::uint32_t value) {
            std::lock_guard lock(mutex);
            flags.push_back(value);
        };
    }
    size_t count() {
        std::lock_guard lock(mutex);
        return flags.size();
    }
    std::uint32_t last() {
        std::lock_guard lock(mutex);
        return flags.back();
    }
    bool waitFor(size_t n) {
        return core::RunLoop::main().runUntil([&] { return count() >= n; }, 5);
    }
};

class SourceScope {
public:
    explicit SourceScope(NetworkReachability::FlagsSource source)
        : previous_(NetworkReachability::setFlagsSourceForTesting(std::move(source))) {}
    ~SourceScope() { NetworkReachability::setFlagsSourceForTesting(previous_); }

private:
    NetworkReachability::FlagsSource previous_;
};

}  // namespace

TEST(NetworkReachability, FlagsFollowTheInterfacesAndTheProfile) {
    const std::vector<NetworkInterface> loopbackOnly{{"lo", true, true, true}};
    const std::vector<NetworkInterface> downEthernet{{"lo", true, true, true},
                                                     {"eth0", false, false, true}};
    const std::vector<NetworkInterface> noAddress{{"eth0", true, false, false}};
    const std::vector<NetworkInterface> linked{{"lo", true, true, true},
                                               {"eth0", true, false, true}};
    const auto wifi = section(R"({"connection": "wifi"})");
    const auto cellular = section(R"({"connection": "cellular"})");
    const auto none = section(R"({"connection": "none"})");

    EXPECT_EQ(NetworkReachability::flagsFor(loopbackOnly, wifi), 0u);
    EXPECT_EQ(NetworkReachability::flagsFor(downEthernet, wifi), 0u);
    EXPECT_EQ(NetworkReachability::flagsFor(noAddress, wifi), 0u);
    EXPECT_EQ(NetworkReachability::flagsFor(linked, wifi), ui::kReachabilityFlagReachable);
    EXPECT_EQ(NetworkReachability::flagsFor(linked, core::Value()), ui::kReachabilityFlagReachable);
    const std::uint32_t overCellular = NetworkReachability::flagsFor(linked, cellular);
    EXPECT_TRUE(overCellular & ui::kReachabilityFlagReachable);
    EXPECT_TRUE(overCellular & ui::kReachabilityFlagIsWWAN);
    EXPECT_EQ(NetworkReachability::flagsFor(linked, none), 0u);
    EXPECT_EQ(NetworkReachability::flagsFor(loopbackOnly, cellular), 0u);
}

TEST(NetworkReachability, SystemInterfacesIncludeTheLoopbackOnce) {
    const auto interfaces = NetworkReachability::systemInterfaces();
    size_t loopbacks = 0;
    for (const auto& each : interfaces) {
        if (each.loopback) ++loopbacks;
        for (const auto& other : interfaces) {
            if (&other != &each) {
                EXPECT_NE(other.name, each.name);
            }
        }
    }
    EXPECT_GE(loopbacks, 1u);
}

TEST(NetworkReachability, CreateAndScheduleRejectBadArguments) {
    EXPECT_EQ(NetworkReachability::createWithName(""), nullptr);
    const auto target = NetworkReachability::createWithName("example.invalid");
    ASSERT_NE(target, nullptr);
    EXPECT_FALSE(target->setCallback({}));
    EXPECT_FALSE(target->scheduleOnQueue(nullptr));
    const auto queue = core::Queue::serial("reachability-test");
    EXPECT_TRUE(target->scheduleOnQueue(queue));
    EXPECT_FALSE(target->scheduleOnQueue(queue));
    target->unschedule();
}

TEST(NetworkReachability, ReportsOnScheduleThenOnlyChanges) {
    std::atomic<std::uint32_t> flags{ui::kReachabilityFlagReachable};
    std::atomic<int> asked{0};
    SourceScope source([&](const std::string& host) {
        EXPECT_EQ(host, "example.invalid");
        ++asked;
        return flags.load();
    });
    Reports reports;
    const auto target = NetworkReachability::createWithName("example.invalid");
    ASSERT_TRUE(target->setCallback(reports.callback()));
    ASSERT_TRUE(target->scheduleOnQueue(core::Queue::serial("reachability-test")));
    ASSERT_TRUE(reports.waitFor(1));
    EXPECT_EQ(reports.last(), ui::kReachabilityFlagReachable);

    // Same flags on a forced check: nothing new is reported.
    const int before = asked;
    NetworkReachability::setFlagsSourceForTesting(
        NetworkReachability::setFlagsSourceForTesting(nullptr));
    ASSERT_TRUE(core::RunLoop::main().runUntil([&] { return asked > before; }, 5));

    flags = ui::kReachabilityFlagReachable | ui::kReachabilityFlagIsWWAN;
    NetworkReachability::setFlagsSourceForTesting(
        NetworkReachability::setFlagsSourceForTesting(nullptr));
    ASSERT_TRUE(reports.waitFor(2));
    EXPECT_EQ(reports.count(), 2u);
    EXPECT_EQ(reports.last(), ui::kReachabilityFlagReachable | ui::kReachabilityFlagIsWWAN);
    target->unschedule();
}

TEST(NetworkReachability, PollsOnTheClockUntilUnscheduled) {
    testsupport::ManualClockScope clock;
    std::atomic<std::uint32_t> flags{0};
    SourceScope source([&](const std::string&) { return flags.load(); });
    Reports reports;
    const auto target = NetworkReachability::createWithName("example.invalid");
    ASSERT_TRUE(target->setCallback(reports.callback()));
    ASSERT_TRUE(target->scheduleOnQueue(core::Queue::serial("reachability-test")));
    ASSERT_TRUE(reports.waitFor(1));
    EXPECT_EQ(reports.last(), 0u);

    flags = ui::kReachabilityFlagReachable;
    // The next poll is scheduled on the reachability queue after the first
    // report: keep moving the clock a poll interval until it has run.
    ASSERT_TRUE(core::RunLoop::main().runUntil(
        [&] {
            if (reports.count() >= 2) return true;
            clock.advance(NetworkReachability::kPollSeconds);
            return false;
        },
        5));
    EXPECT_EQ(reports.last(), ui::kReachabilityFlagReachable);

    target->unschedule();
    flags = 0;
    clock.advance(NetworkReachability::kPollSeconds * 3);
    NetworkReachability::setFlagsSourceForTesting(
        NetworkReachability::setFlagsSourceForTesting(nullptr));
    // Whatever the polls started has run once no work is under way.
    ASSERT_TRUE(core::RunLoop::main().runUntil([] { return !core::PendingWork::any(); }, 10));
    EXPECT_EQ(reports.count(), 2u);
}
