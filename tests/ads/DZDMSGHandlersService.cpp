// Handlers whose effects leave the process or reach the page: click and
// tracking pings on the local ad server (and none for file URLs), the
// "openableURLs" answer, MRAID errors as the page's "onError", and the
// "volume" the page hears after its load and at each audio setting change.

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "HandlerTesting.h"
#include "ads/core/app/DZMobileAds.h"
#include "ads/core/response/DZAd.h"
#include "ads/web/dmsg/DZDefaultDMSGHandler.h"
#include "ads/web/dmsg/DZMRAIDDMSGHandler.h"
#include "ads/web/dmsg/DZOpenerDMSGHandler.h"
#include "ads/web/net/DZClickTrackerCollection.h"
#include "ads/web/net/DZPinger.h"
#include "fixtures/AdServer.h"
#include "store/URLOpener.h"
#include "support/TestEnvironment.h"
#include "ui/Application.h"

namespace {

using namespace handlertesting;

class DZDMSGHandlersService : public testing::Test {
protected:
    void SetUp() override {
        core::UserDefaults::standard()->setBool(std::string(ads::DZPinger::kEnableWebViewPingsKey),
                                                false);
        ASSERT_TRUE(page.slot);
        store::URLOpener::shared().clearForTesting();
    }
    void TearDown() override {
        const auto pinger = ads::DZPinger::sharedInstance();
        EXPECT_TRUE(waitFor([&] { return pinger->pingsInFlight() == 0; }));
        core::UserDefaults::standard()->removeObjectForKey(ads::DZPinger::kEnableWebViewPingsKey);
        ui::Application::shared().resetForTesting();
        store::URLOpener::shared().clearForTesting();
    }
    template <typename Handler>
    [[nodiscard]] std::shared_ptr<Handler> handler() const {
        return handlerOf<Handler>(*page.slot->adViewDelegate());
    }

    fixtures::AdServer server;
    SlotPage page;
};

TEST_F(DZDMSGHandlersService, ClicksAndTrackingPingTheServerAndOpenNothing) {
    const auto opener = handler<ads::DZOpenerDMSGHandler>();
    const auto defaults = handler<ads::DZDefaultDMSGHandler>();
    ASSERT_TRUE(opener && defaults);
    EXPECT_TRUE(page.send(*opener, "click", {{"u", server.urlString("/clk?id=7")}}));
    EXPECT_TRUE(page.send(*defaults, "httpTrack", {{"u", server.urlString("/track?id=8")}}));
    ASSERT_TRUE(waitFor([&] {
        return server.requestsTo("/clk").size() == 1 && server.requestsTo("/track").size() == 1;
    }));
    EXPECT_EQ(server.requestsTo("/clk")[0].rawQuery, "id=7");
    EXPECT_EQ(server.requestsTo("/track")[0].rawQuery, "id=8");
    EXPECT_TRUE(openerCalls().empty());
    EXPECT_TRUE(store::URLOpener::shared().requests().empty());
}

TEST_F(DZDMSGHandlersService, FileURLsAreNeitherSentNorRead) {
    // A pipe: anyone opening it to read would be seen by a writer's open.
    const std::string path = testsupport::testHome() + "/handlers-pipe";
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    const std::string url = "file://" + path;
    EXPECT_TRUE(page.send(*handler<ads::DZOpenerDMSGHandler>(), "click", {{"u", url}}));
    EXPECT_TRUE(page.send(*handler<ads::DZDefaultDMSGHandler>(), "httpTrack", {{"u", url}}));
    // A web ping after them arrives: the file ones went nowhere before it.
    EXPECT_TRUE(page.send(*handler<ads::DZDefaultDMSGHandler>(), "httpTrack",
                          {{"u", server.urlString("/after")}}));
    ASSERT_TRUE(waitFor([&] { return server.requestsTo("/after").size() == 1; }));
    ASSERT_TRUE(waitFor(
        [] { return ads::DZClickTrackerCollection::sharedInstance()->trackers().empty(); }));
    EXPECT_EQ(server.requests().size(), 1u);
    EXPECT_TRUE(store::URLOpener::shared().requests().empty());
    const int writer = open(path.c_str(), O_WRONLY | O_NONBLOCK);
    EXPECT_EQ(writer, -1) << "the pipe was opened for reading";
    EXPECT_EQ(errno, ENXIO);
    if (writer >= 0) close(writer);
    unlink(path.c_str());
}

TEST_F(DZDMSGHandlersService, ThePageHearsWhichURLsCanOpen) {
    ASSERT_TRUE(page.load());
    const auto defaults = handler<ads::DZDefaultDMSGHandler>();
    EXPECT_TRUE(page.send(*defaults, "canOpenURLs",
                          {{"urls", "http://land.test/a,undeclared://x,not a url,tel:123"}}));
    EXPECT_TRUE(page.send(*defaults, "canOpenURLs"));
    std::vector<core::Value> answers;
    ASSERT_TRUE(waitFor([&] {
        answers = received(*page.adView(), "openableURLs");
        return answers.size() == 2;
    }));
    EXPECT_EQ(answers[0], core::Value(core::Dictionary{{"http://land.test/a", true},
                                                       {"undeclared://x", false},
                                                       {"not a url", false},
                                                       {"tel:123", false}}));
    EXPECT_EQ(answers[1], core::Value(core::Dictionary{}));
}

TEST_F(DZDMSGHandlersService, RefusedMRAIDOperationsReachThePageAsErrors) {
    ASSERT_TRUE(page.load());
    // What the MRAID script's readiness sets up.
    page.slot->ad()->setMRAIDEventHandler(page.slot);
    const auto mraid = handler<ads::DZMRAIDDMSGHandler>();
    EXPECT_TRUE(page.send(*mraid, "mraid", {{"a", "storePicture"}, {"uri", "https://img.test/a"}}));
    EXPECT_TRUE(page.send(*mraid, "mraid", {{"a", "createCalendarEvent"}}));
    std::vector<core::Value> errors;
    ASSERT_TRUE(waitFor([&] {
        errors = received(*page.adView(), "onError");
        return errors.size() == 2;
    }));
    EXPECT_EQ(errors[0]["message"],
              core::Value("Saving pictures is not permitted in this application."));
    EXPECT_EQ(errors[0]["action"], core::Value("storePicture"));
    EXPECT_EQ(errors[1]["message"], core::Value("Creating calendar events is not supported."));
    EXPECT_EQ(errors[1]["action"], core::Value("createCalendarEvent"));
}

TEST_F(DZDMSGHandlersService, ThePageHearsTheVolumeAfterItsLoadAndAtEachChange) {
    ads::DZMobileAds::resetForTesting();
    ASSERT_TRUE(page.load());
    std::vector<core::Value> volumes;
    const auto hears = [&](size_t count) {
        return waitFor([&] {
            volumes = received(*page.adView(), "volume");
            return volumes.size() >= count;
        });
    };
    ASSERT_TRUE(hears(1));
    EXPECT_EQ(volumes[0]["app_volume"], core::Value(1));
    EXPECT_EQ(volumes[0]["app_muted"], core::Value("0"));
    EXPECT_TRUE(volumes[0]["port_names"].isArray());

    auto& mobileAds = ads::DZMobileAds::sharedInstance();
    mobileAds.setApplicationVolume(0.25f);
    ASSERT_TRUE(hears(2));
    EXPECT_EQ(volumes[1]["app_volume"], core::Value(0.25));
    mobileAds.setApplicationMuted(true);
    ASSERT_TRUE(hears(3));
    EXPECT_EQ(volumes[2]["app_muted"], core::Value("1"));
    // An unchanged setting is no change.
    mobileAds.setApplicationMuted(true);
    ASSERT_TRUE(drainMainQueue());
    EXPECT_EQ(received(*page.adView(), "volume").size(), 3u);
    ads::DZMobileAds::resetForTesting();
}

}  // namespace
