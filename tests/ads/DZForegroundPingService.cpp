// The foreground ping against the local ad server: its delay on the manual
// clock, its macros, and its retry entry in the pinger's "dozuza_fp" group.

#include <gtest/gtest.h>

#include "ads/core/app/DZApplication.h"
#include "ads/foundation/DZDevice.h"
#include "ads/web/net/DZPinger.h"
#include "core/Clock.h"
#include "core/PendingWork.h"
#include "core/RunLoop.h"
#include "core/UserDefaults.h"
#include "fixtures/AdServer.h"
#include "support/ManualClockScope.h"
#include "support/ValuePrinting.h"

using namespace ads;

namespace {

constexpr double kLimit = 10;

class DZForegroundPingService : public testing::Test {
protected:
    void SetUp() override {
        clearDefaults();
        const auto defaults = core::UserDefaults::standard();
        // Plain http pings go out directly, not through a web view.
        defaults->setBool(std::string(DZPinger::kEnableWebViewPingsKey), false);
        defaults->setObject(std::string(DZApplication::kForegroundPingEnabledKey), "1");
        setTemplate("/fp?ts=@ts@&id=@id@");
        DZPinger::resetSharedInstanceForTesting();
        DZApplication::resetForTesting();
    }
    void TearDown() override {
        settle();
        DZApplication::resetForTesting();
        clearDefaults();
        DZPinger::resetSharedInstanceForTesting();
    }
    static void clearDefaults() {
        const auto defaults = core::UserDefaults::standard();
        for (const std::string_view key :
             {DZApplication::kForegroundPingEnabledKey, DZApplication::kForegroundPingDelayKey,
              DZApplication::kForegroundPingURLKey, DZPinger::kEnableWebViewPingsKey,
              DZPinger::kRetryGroupKeysKey,
              std::string_view(DZApplication::kForegroundPingGroup)}) {
            defaults->removeObjectForKey(key);
        }
    }
    void setTemplate(const std::string& pathAndQuery) const {
        core::UserDefaults::standard()->setObject(std::string(DZApplication::kForegroundPingURLKey),
                                                  server.urlString(pathAndQuery));
    }
    static void setDelay(const char* delay) {
        const auto defaults = core::UserDefaults::standard();
        if (delay) {
            defaults->setObject(std::string(DZApplication::kForegroundPingDelayKey), delay);
        } else {
            defaults->removeObjectForKey(DZApplication::kForegroundPingDelayKey);
        }
    }
    // Until nothing more is under way: pings sent, answered and handled.
    static void settle() {
        ASSERT_TRUE(core::RunLoop::main().runUntil(
            [] {
                return !core::PendingWork::any() &&
                       DZPinger::sharedInstance()->pingsInFlight() == 0;
            },
            kLimit));
    }
    void advance(double seconds) {
        clock.advance(seconds);
        settle();
    }
    [[nodiscard]] size_t pings() const { return server.requestsTo("/fp").size(); }
    // Runs the main loop until count pings reached the server.
    [[nodiscard]] bool waitForPings(size_t count) const {
        return core::RunLoop::main().runUntil([&] { return pings() >= count; }, kLimit);
    }
    static core::Dictionary retryGroup() {
        return core::UserDefaults::standard()
            ->dictionaryForKey(DZApplication::kForegroundPingGroup)
            .value_or(core::Dictionary{});
    }

    testsupport::ManualClockScope clock;
    fixtures::AdServer server;
};

}  // namespace

TEST_F(DZForegroundPingService, TheStoredDelayDecidesWhenThePingGoes) {
    const struct {
        const char* delay;
        double seconds;
    } cases[] = {{nullptr, 10}, {"-1", 10}, {"1e400", 10}, {"-1e400", 10}, {"2.5", 2.5}, {"0", 0}};
    for (const auto& c : cases) {
        setDelay(c.delay);
        server.clearLog();
        const long start = static_cast<long>(core::Clock::current()->wallSeconds());
        DZApplication::sharedInstance()->sendForegroundPing();
        if (c.seconds > 0) {
            advance(c.seconds - 0.5);
            EXPECT_EQ(pings(), 0u) << (c.delay ? c.delay : "absent");
            clock.advance(0.5);
        }
        ASSERT_TRUE(waitForPings(1)) << (c.delay ? c.delay : "absent");
        // The time is the one of the request to ping, not of the ping.
        EXPECT_EQ(server.requestsTo("/fp")[0].rawQuery,
                  "ts=" + std::to_string(start) + "&id=wfocus");
        settle();
    }

    // Switched off, or without a URL: nothing.
    setDelay("0");
    server.clearLog();
    core::UserDefaults::standard()->setObject(std::string(DZApplication::kForegroundPingEnabledKey),
                                              "0");
    DZApplication::sharedInstance()->sendForegroundPing();
    core::UserDefaults::standard()->setObject(std::string(DZApplication::kForegroundPingEnabledKey),
                                              "1");
    core::UserDefaults::standard()->removeObjectForKey(DZApplication::kForegroundPingURLKey);
    DZApplication::sharedInstance()->sendForegroundPing();
    advance(10);
    EXPECT_EQ(pings(), 0u);
}

TEST_F(DZForegroundPingService, MacrosAreFilledAndUnknownOnesRemoved) {
    setDelay("0");
    setTemplate("/fp?app=@app@&pkg=@package_name@&lat=@lat@&rdid=@rdid@&gone=@nothing@&at=@@");
    DZApplication::sharedInstance()->sendForegroundPing();
    ASSERT_TRUE(waitForPings(1));
    const auto device = DZDevice::sharedInstance();
    EXPECT_EQ(server.requestsTo("/fp")[0].rawQuery,
              "app=1&pkg=app.vantor.gallery&lat=" + device->limitAdTrackingString() +
                  "&rdid=" + device->rawDeviceIdentifier() + "&gone=&at=@");
}

TEST_F(DZForegroundPingService, AFailedPingIsRetriedByALaterPass) {
    setDelay("0");
    server.setPingsFail(true);
    DZApplication::sharedInstance()->sendForegroundPing();
    ASSERT_TRUE(waitForPings(1));
    settle();
    const std::string retryURL = server.urlString("/fp?ts=") +
                                 *server.requestsTo("/fp")[0].queryValue("ts") +
                                 "&id=wfocus&retry=1";
    const core::Dictionary kept = retryGroup();
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(kept[retryURL][DZPinger::kRetryCountKey],
              core::Value(DZPinger::kDefaultURLRetryCount));

    server.setPingsFail(false);
    DZPinger::sharedInstance()->pingRetryURLs();
    ASSERT_TRUE(waitForPings(2));
    settle();
    EXPECT_EQ(server.requestsTo("/fp")[1].queryValue("retry"), "1");
    EXPECT_TRUE(retryGroup().empty());
}
