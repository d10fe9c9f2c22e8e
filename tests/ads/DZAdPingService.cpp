#include <gtest/gtest.h>

#include <algorithm>

#include "ads/core/app/DZApplication.h"
#include "ads/core/response/DZAd.h"
#include "ads/foundation/DZCallLog.h"
#include "ads/web/net/DZPinger.h"
#include "core/RunLoop.h"
#include "core/UserDefaults.h"
#include "fixtures/AdServer.h"

using namespace ads;

namespace {

constexpr const char* kDebugURLKey = "/dozuza/ads/debug_signal_data_url";

class DZAdPingService : public testing::Test {
protected:
    void SetUp() override {
        for (const char* path : {"/click", "/imp", "/manual", "/debug"})
            server_.serve(path, fixtures::LoopbackResponse::empty(200));
        DZCallLog::clear();
    }
    void TearDown() override {
        core::UserDefaults::standard()->removeObjectForKey(kDebugURLKey);
        DZApplication::sharedInstance()->setDebugModeEnabled(false);
        const auto pinger = DZPinger::sharedInstance();
        ASSERT_TRUE(
            core::RunLoop::main().runUntil([&] { return pinger->pingsInFlight() == 0; }, 5));
    }
    std::shared_ptr<DZAd> ad() const {
        return DZAd::initWithDictionary(core::Value(core::Dictionary{
            {"click_urls", core::Array{server_.urlString("/click")}},
            {"impression_urls", core::Array{server_.urlString("/imp")}},
            {"manual_impression_urls", core::Array{server_.urlString("/manual")}},
        }));
    }
    static long tracked(const std::string& url) {
        const auto entries = DZCallLog::entries();
        return std::count(entries.begin(), entries.end(),
                          "DZClickTrackerCollection.trackURL " + url);
    }
    bool arrive(const char* path, size_t count) const {
        return core::RunLoop::main().runUntil(
            [&] { return server_.requestsTo(path).size() >= count; }, 10);
    }

    fixtures::AdServer server_;
};

}  // namespace

TEST_F(DZAdPingService, ClicksRepeatImpressionsGoOutOnce) {
    const auto subject = ad();
    for (int i = 0; i < 2; ++i) {
        subject->pingClickURLs();
        subject->pingImpressionURLs();
        subject->pingManualImpressionURLs();
    }
    EXPECT_EQ(tracked(server_.urlString("/click")), 2);
    EXPECT_EQ(tracked(server_.urlString("/imp")), 1);
    EXPECT_EQ(tracked(server_.urlString("/manual")), 1);
    EXPECT_TRUE(subject->impressionURLs().empty());
    EXPECT_TRUE(subject->manualImpressionURLs().empty());
    EXPECT_EQ(subject->clickURLs().size(), 1u);
    ASSERT_TRUE(arrive("/click", 2));
    ASSERT_TRUE(arrive("/imp", 1));
    ASSERT_TRUE(arrive("/manual", 1));
}

TEST_F(DZAdPingService, TheDebugSignalGoesOutOnceAndOnlyInDebugMode) {
    const auto subject = ad();
    subject->setDebugSignalInformation("state=7");
    subject->setAdUnitID("/1234/banner");
    core::UserDefaults::standard()->setString(kDebugURLKey, server_.urlString("/debug?v=1"));
    subject->pingDebugSignal();
    EXPECT_FALSE(subject->hasSentDebugSignal());

    DZApplication::sharedInstance()->setDebugModeEnabled(true);
    subject->pingDebugSignal();
    subject->pingDebugSignal();
    EXPECT_TRUE(subject->hasSentDebugSignal());
    ASSERT_TRUE(arrive("/debug", 1));
    const auto sent = server_.requestsTo("/debug");
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].queryValue("v"), "1");
    EXPECT_EQ(sent[0].queryValue("adSlotPath"), "/1234/banner");
    EXPECT_EQ(sent[0].queryValue("debugData"), "state=7");
    EXPECT_FALSE(sent[0].queryValue("linkedDeviceId"));

    // Without the server's URL nothing is sent.
    const auto other = ad();
    other->setDebugSignalInformation("x");
    core::UserDefaults::standard()->removeObjectForKey(kDebugURLKey);
    other->pingDebugSignal();
    EXPECT_FALSE(other->hasSentDebugSignal());
}
