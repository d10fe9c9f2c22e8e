#include <gtest/gtest.h>

#include <algorithm>

#include "AnalyticsTesting.h"
#include "ads/core/app/DZApplication.h"
#include "ads/web/net/DZClickTracker.h"
#include "ads/web/net/DZClickTrackerCollection.h"
#include "ads/web/net/DZPinger.h"
#include "core/RunLoop.h"
#include "core/UserDefaults.h"
#include "fixtures/AdServer.h"
#include "ui/Application.h"

using namespace ads;
using fixtures::LoopbackResponse;

namespace {

constexpr double kLimit = 10;

struct FinishCounter : DZClickTrackerDelegate {
    int finished = 0;
    void trackerDidFinishTracking(DZClickTracker&) override { ++finished; }
};

// Pings take the direct road here; the web-view pinger has tests of its own.
class DZClickTrackerService : public testing::Test {
protected:
    void SetUp() override {
        core::UserDefaults::standard()->setBool(std::string(DZPinger::kEnableWebViewPingsKey),
                                                false);
        ui::Application::shared().resetForTesting();
    }
    void TearDown() override {
        const auto pinger = DZPinger::sharedInstance();
        EXPECT_TRUE(
            core::RunLoop::main().runUntil([&] { return pinger->pingsInFlight() == 0; }, kLimit));
        core::UserDefaults::standard()->removeObjectForKey(DZPinger::kEnableWebViewPingsKey);
        ui::Application::shared().resetForTesting();
    }
    static bool waitFor(const std::function<bool()>& predicate) {
        return core::RunLoop::main().runUntil(predicate, kLimit);
    }
    std::vector<std::string> queries(const char* path) const {
        std::vector<std::string> all;
        for (const auto& request : server_.requestsTo(path)) all.push_back(request.rawQuery);
        std::sort(all.begin(), all.end());
        return all;
    }

    fixtures::AdServer server_;
};

}  // namespace

TEST_F(DZClickTrackerService, TheDelegateHearsOnceWhetherExpiryOrCompletionComesFirst) {
    server_.serve("/clk", LoopbackResponse::empty(500).after(200));
    ui::Application& application = ui::Application::shared();
    const auto delegate = std::make_shared<FinishCounter>();

    // The background time runs out while the ping is out.
    const auto expired = std::make_shared<DZClickTracker>();
    expired->setDelegate(delegate);
    expired->trackURL(server_.url("/clk?n=1"));
    EXPECT_NE(expired->backgroundTaskID(), ui::InvalidBackgroundTask);
    EXPECT_EQ(application.backgroundTaskCount(), 1u);
    application.expireBackgroundTasks();
    EXPECT_EQ(expired->backgroundTaskID(), ui::InvalidBackgroundTask);
    EXPECT_FALSE(expired->hasTracked());
    ASSERT_TRUE(waitFor([&] { return expired->hasTracked(); })) << "a failed ping still ends";
    EXPECT_EQ(delegate->finished, 1);

    // The ping ends first; a later expiry finds no task to end.
    const auto completed = std::make_shared<DZClickTracker>();
    completed->setDelegate(delegate);
    completed->trackURL(server_.url("/clk?n=2"));
    ASSERT_TRUE(waitFor([&] { return completed->hasTracked(); }));
    EXPECT_EQ(application.backgroundTaskCount(), 0u);
    application.expireBackgroundTasks();
    EXPECT_TRUE(completed->hasTracked());
    EXPECT_EQ(delegate->finished, 2);

    // Without a URL nothing is pinged or held.
    const auto idle = std::make_shared<DZClickTracker>();
    idle->trackURL(std::nullopt);
    EXPECT_EQ(idle->backgroundTaskID(), ui::InvalidBackgroundTask);
    EXPECT_EQ(server_.requestsTo("/clk").size(), 2u);
}

TEST_F(DZClickTrackerService, AMixedListPingsOnlyURLsAndValidStrings) {
    const auto collection = std::make_shared<DZClickTrackerCollection>();
    collection->trackURLs(core::Array{server_.urlString("/clk?n=1"), 42, "not a url", core::Value(),
                                      server_.urlString("/clk?n=2"),
                                      core::Dictionary{{"url", server_.urlString("/clk?n=9")}}});
    collection->trackURLs(std::vector<core::URL>{server_.url("/imp?n=3")});
    EXPECT_EQ(collection->trackers().size(), 3u);
    EXPECT_EQ(ui::Application::shared().backgroundTaskCount(), 3u);

    ASSERT_TRUE(waitFor([&] { return collection->trackers().empty(); }))
        << "trackers leave once tracked";
    EXPECT_EQ(queries("/clk"), (std::vector<std::string>{"n=1", "n=2"}));
    EXPECT_EQ(queries("/imp"), std::vector<std::string>{"n=3"});
    EXPECT_EQ(ui::Application::shared().backgroundTaskCount(), 0u);
}

TEST_F(DZClickTrackerService, MediationURLsComeFromTheTemplates) {
    const auto collection = std::make_shared<DZClickTrackerCollection>();
    const std::string query =
        "seq=@gw_seqnum@&sess=@gw_sessid@&net=@gw_adnetid@&alloc=@gw_allocid@&loc=@gw_adlocid@"
        "&q=@gw_qdata@&refresh=@gw_adnetrefresh@&st=@gw_adnetstatus@&aec=@gw_aec@&adt=@gw_adt@";
    const std::string defaultTemplate = server_.urlString("/mdefault?" + query);

    // No list: the default template alone, a missing qdata counting as "".
    collection->trackMediationURLsFromTemplates(std::nullopt, defaultTemplate, "net-1", "alloc-1",
                                                std::nullopt, "app-key", true, "120", "3", "1",
                                                std::nullopt);
    ASSERT_TRUE(server_.waitForRequestsTo("/mdefault", 1, kLimit));
    const auto sent = server_.requestsTo("/mdefault")[0];
    const std::string seq = sent.queryValue("seq").value_or("");
    EXPECT_EQ(sent.rawQuery,
              "seq=" + seq + "&sess=" + DZApplication::sharedInstance()->sessionIdentifier() +
                  "&net=net-1&alloc=alloc-1&loc=app-key&q=&refresh=1&st=1&aec=3&adt=120");
    // The sequence number is the application's request count; each URL
    // still raises "seq_num".
    const auto statistics = DZApplication::sharedInstance()->statistics();
    EXPECT_EQ(seq, std::to_string(statistics->objectForKeyedSubscript("preqs").intValue()));
    const auto sequence = statistics->objectForKeyedSubscript("seq_num").intValue();

    // A list: the default is ignored, entries that are not text are skipped.
    collection->trackMediationURLsFromTemplates(
        core::Array{server_.urlString("/ma?" + query), 7, server_.urlString("/mb?" + query)},
        defaultTemplate, "net-2", "alloc-2", "qd", "app-key", false, "", "", std::nullopt,
        std::nullopt);
    ASSERT_TRUE(server_.waitForRequestsTo("/mb", 1, kLimit));
    ASSERT_TRUE(server_.waitForRequestsTo("/ma", 1, kLimit));
    EXPECT_EQ(server_.requestsTo("/ma")[0].queryValue("seq"), seq);
    EXPECT_EQ(server_.requestsTo("/mb")[0].queryValue("seq"), seq);
    EXPECT_EQ(statistics->objectForKeyedSubscript("seq_num").intValue(), sequence + 2);
    EXPECT_EQ(server_.requestsTo("/mb")[0].queryValue("q"), "qd");
    ASSERT_TRUE(waitFor([&] { return collection->trackers().empty(); }));
    EXPECT_EQ(server_.requestsTo("/mdefault").size(), 1u);
}

TEST_F(DZClickTrackerService, MediationImpressionsGoThroughTheAnalyticsBridge) {
    adstest::HostAnalyticsScope analytics;
    adstest::HostAnalyticsScope::setMacroMode(true);
    const auto collection = std::make_shared<DZClickTrackerCollection>();
    collection->trackMediationURLsFromTemplates(
        std::nullopt, server_.urlString("/mimp?hst_aeid=%5Bgw_hstaeid%5D"), "n", "a", "q", "k",
        false, "", "", std::nullopt, std::string("_ai"));
    ASSERT_TRUE(server_.waitForRequestsTo("/mimp", 1, kLimit));
    EXPECT_EQ(server_.requestsTo("/mimp")[0].queryValue("hst_aeid"), analytics.host->eventID);
}
