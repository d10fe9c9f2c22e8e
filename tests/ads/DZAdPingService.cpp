#include <gtest/gtest.h>

#include <algorithm>

#include "ads/core/app/DZApplication.h"
#include "ads/core/response/DZAd.h"
#include "ads/web/net/DZClickTrackerCollection.h"
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
        // The direct road: the web-view pinger has tests of its own.
        core::UserDefaults::standard()->setBool(std::string(DZPinger::kEnableWebViewPingsKey),
                                                false);
    }
    void TearDown() override {
        core::UserDefaults::standard()->removeObjectForKey(kDebugURLKey);
        core::UserDefaults::standard()->removeObjectForKey(DZPinger::kEnableWebViewPingsKey);
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
    static size_t running() {
        return DZClickTrackerCollection::sharedInstance()->trackers().size();
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
    const size_t before = running();
    for (int i = 0; i < 2; ++i) {
        subject->pingClickURLs();
        subject->pingImpressionURLs();
        subject->pingManualImpressionURLs();
    }
    EXPECT_EQ(running() - before, 4u) << "two clicks, one impression, one manual impression";
    EXPECT_TRUE(subject->impressionURLs().empty());
    EXPECT_TRUE(subject->manualImpressionURLs().empty());
    EXPECT_EQ(subject->clickURLs().size(), 1u);
    // Once every tracker has tracked, the server has seen every ping.
    ASSERT_TRUE(core::RunLoop::main().runUntil([] { return running() == 0; }, 10));
    EXPECT_EQ(server_.requestsTo("/click").size(), 2u);
    EXPECT_EQ(server_.requestsTo("/imp").size(), 1u);
    EXPECT_EQ(server_.requestsTo("/manual").size(), 1u);
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
