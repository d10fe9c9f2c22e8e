// The foreground ping against the local ad server: its delay on the manual
// clock, its macros, and its retry entry in the pinger's "dozuza_fp" group.

#include <gtest/gtest.h>

#include "ads/core/app/DZApplication.h"
#include "ads/foundation/DZCallLog.h"
#include "ads/foundation/DZDevice.h"
#include "ads/web/net/DZPinger.h"
#include "core/PendingWork.h"
#include "core/RunLoop.h"
#include "core/UserDefaults.h"
#include "fixtures/AdServer.h"
#include "support/ManualClockScope.h"
#include "support/ValuePrinting.h"

using namespace ads;

namespace {

class DZForegroundPingService : public testing::Test {
protected:
    void SetUp() override {
        TearDown();
        // Plain http pings go out directly, not through a web view.
        set(DZPinger::kEnableWebViewPingsKey, "0");
        set(DZApplication::kForegroundPingEnabledKey, "1");
        set(DZApplication::kForegroundPingURLKey, server.urlString("/fp?ts=@ts@&id=@id@"));
    }
    void TearDown() override {
        settle();
        for (const std::string_view key :
             {DZApplication::kForegroundPingEnabledKey, DZApplication::kForegroundPingDelayKey,
              DZApplication::kForegroundPingURLKey, DZPinger::kEnableWebViewPingsKey,
              DZPinger::kRetryGroupKeysKey, std::string_view(DZApplication::kForegroundPingGroup)})
            core::UserDefaults::standard()->removeObjectForKey(key);
        DZPinger::resetSharedInstanceForTesting();
        DZApplication::resetForTesting();
    }
    static void set(std::string_view key, const std::string& value) {
        core::UserDefaults::standard()->setObject(std::string(key), value);
    }
    // Until the pings sent so far were answered and handled.
    static void settle() {
        ASSERT_TRUE(core::RunLoop::main().runUntil(
            [] {
                return !core::PendingWork::any() &&
                       DZPinger::sharedInstance()->pingsInFlight() == 0;
            },
            10));
    }
    [[nodiscard]] std::vector<fixtures::LoopbackRequest> pings() const {
        return server.requestsTo("/fp");
    }
    // The pings' queries and the sends the application traced, for failures.
    [[nodiscard]] std::string queries() const {
        std::string text;
        for (const auto& ping : pings()) text += ping.rawQuery + " ";
        for (const auto& entry : DZCallLog::entries())
            if (entry.find("Foreground") != std::string::npos) text += entry + " ";
        return text;
    }
    [[nodiscard]] bool waitForPings(size_t count) const {
        return core::RunLoop::main().runUntil([&] { return pings().size() >= count; }, 10);
    }

    testsupport::ManualClockScope clock;
    fixtures::AdServer server;
};

}  // namespace

TEST_F(DZForegroundPingService, TheStoredDelayDecidesWhenThePingGoes) {
    const struct {
        const char* delay;
        double seconds;
    } cases[] = {{nullptr, 10}, {"-1", 10}, {"1e400", 10}, {"2.5", 2.5}, {"0", 0}};
    for (const auto& c : cases) {
        if (c.delay) set(DZApplication::kForegroundPingDelayKey, c.delay);
        server.clearLog();
        DZCallLog::clear();
        const long start = static_cast<long>(clock->wallSeconds());
        DZApplication::sharedInstance()->sendForegroundPing();
        if (c.seconds > 0) {
            clock.advance(c.seconds - 0.5);
            settle();
            EXPECT_TRUE(pings().empty()) << c.seconds << ": " << queries();
            clock.advance(0.5);
        }
        ASSERT_TRUE(waitForPings(1)) << c.seconds;
        // The time of the request to ping, not of the ping.
        EXPECT_EQ(pings()[0].rawQuery, "ts=" + std::to_string(start) + "&id=wfocus")
            << c.seconds << ", all: " << queries();
        settle();
    }
    server.clearLog();
    set(DZApplication::kForegroundPingEnabledKey, "0");
    DZApplication::sharedInstance()->sendForegroundPing();
    clock.advance(10);
    settle();
    EXPECT_TRUE(pings().empty()) << "switched off";
}

TEST_F(DZForegroundPingService, MacrosAreFilledAndUnknownOnesRemoved) {
    set(DZApplication::kForegroundPingDelayKey, "0");
    set(DZApplication::kForegroundPingURLKey,
        server.urlString("/fp?app=@app@&pkg=@package_name@&lat=@lat@&rdid=@rdid@&gone=@nothing@"));
    DZApplication::sharedInstance()->sendForegroundPing();
    ASSERT_TRUE(waitForPings(1));
    const auto device = DZDevice::sharedInstance();
    EXPECT_EQ(pings()[0].rawQuery,
              "app=1&pkg=app.vantor.gallery&lat=" + device->limitAdTrackingString() +
                  "&rdid=" + device->rawDeviceIdentifier() + "&gone=");
}

TEST_F(DZForegroundPingService, AFailedPingIsRetriedByALaterPass) {
    set(DZApplication::kForegroundPingDelayKey, "0");
    server.setPingsFail(true);
    DZApplication::sharedInstance()->sendForegroundPing();
    ASSERT_TRUE(waitForPings(1));
    settle();
    const std::string retryURL = server.urlString("/fp?" + pings()[0].rawQuery + "&retry=1");
    const auto kept =
        core::UserDefaults::standard()->dictionaryForKey(DZApplication::kForegroundPingGroup);
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->size(), 1u);
    EXPECT_EQ((*kept)[retryURL][DZPinger::kRetryCountKey],
              core::Value(DZPinger::kDefaultURLRetryCount));

    server.setPingsFail(false);
    DZPinger::sharedInstance()->pingRetryURLs();
    ASSERT_TRUE(waitForPings(2));
    settle();
    EXPECT_EQ(pings()[1].queryValue("retry"), "1");
    EXPECT_TRUE(core::UserDefaults::standard()
                    ->dictionaryForKey(DZApplication::kForegroundPingGroup)
                    .value_or(core::Dictionary{})
                    .empty());
}
