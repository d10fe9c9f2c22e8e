#include <gtest/gtest.h>

#include "AnalyticsTesting.h"
#include "ads/foundation/DZQueryParameters.h"
#include "core/RunLoop.h"
#include "core/URLSession.h"
#include "fixtures/AdServer.h"

using namespace ads;
using adstest::HostAnalyticsScope;
using adstest::LoggedEvent;

namespace {

core::URL url(const std::string& text) {
    return *core::URL::create(text);
}

std::vector<std::string> texts(const std::vector<core::URL>& urls) {
    std::vector<std::string> result;
    for (const auto& each : urls) result.push_back(each.absoluteString());
    return result;
}

const LoggedEvent kClickEvent{"am", "_ac", core::Dictionary{{"_aeid", "E1"}, {"_r", 1}}};
const LoggedEvent kImpressionEvent{"am", "_ai", core::Dictionary{{"_aeid", "E1"}}};

// A host whose exposure reporter implements only the beginning.
class HalfExposureHost : public DZHostAnalyticsIdentifiers,
                         public DZHostAnalyticsEventLogger,
                         public DZHostAdExposureBeginning {
public:
    std::optional<std::string> dozuzaAppID() const override { return std::nullopt; }
    std::optional<std::string> appInstanceID() const override { return std::nullopt; }
    std::optional<std::string> adEventID() const override { return "E1"; }
    void logInternalEventWithOrigin(const std::string&, const std::string&,
                                    const core::Dictionary&) override {}
    void beginAdUnitExposure(const std::string&) override { ++begins; }
    int begins = 0;
};

}  // namespace

TEST(DZAnalytics, BridgeNeedsTheSwitchAndTheHostObjects) {
    HostAnalyticsScope scope(false);
    EXPECT_FALSE(DZAnalytics::sharedInstance());
    HostAnalyticsScope::setEnabled(true);
    const auto bridge = DZAnalytics::sharedInstance();
    ASSERT_TRUE(bridge);
    EXPECT_TRUE(bridge->hasAdExposureReporter());
    EXPECT_FALSE(bridge->hasScreenViewReporter());
    HostAnalyticsScope::setEnabled(false);
    EXPECT_FALSE(DZAnalytics::sharedInstance()) << "the switch is read at every call";
    HostAnalyticsScope::setEnabled(true);
    EXPECT_EQ(DZAnalytics::sharedInstance(), bridge);

    DZHostAnalyticsRegistry::shared().unregisterObject(DZHostAnalyticsRegistry::kAnalytics);
    DZAnalytics::resetSharedInstanceForTesting();
    EXPECT_FALSE(DZAnalytics::sharedInstance());
    DZHostAnalyticsRegistry::shared().registerObject(DZHostAnalyticsRegistry::kAnalytics,
                                                     scope.host);
    EXPECT_FALSE(DZAnalytics::sharedInstance()) << "the outcome is fixed for the process";

    const auto half = std::make_shared<HalfExposureHost>();
    for (auto name : {DZHostAnalyticsRegistry::kIdentifiers, DZHostAnalyticsRegistry::kAnalytics,
                      DZHostAnalyticsRegistry::kAdExposureReporter}) {
        DZHostAnalyticsRegistry::shared().registerObject(name, half);
    }
    DZAnalytics::resetSharedInstanceForTesting();
    const auto halfBridge = DZAnalytics::sharedInstance();
    ASSERT_TRUE(halfBridge);
    EXPECT_FALSE(halfBridge->hasAdExposureReporter());
    halfBridge->beginAdUnitExposure("unit");
    EXPECT_EQ(half->begins, 0);
}

TEST(DZAnalytics, EventsAndIdentifiers) {
    HostAnalyticsScope scope;
    const auto bridge = DZAnalytics::sharedInstance();
    ASSERT_TRUE(bridge);
    bridge->logEventWithName("_ac", "E1");
    bridge->logEventWithName("_ai", "E1");
    bridge->logEventWithName("_ai", std::nullopt);
    EXPECT_EQ(scope.host->events(), (std::vector{kClickEvent, kImpressionEvent}));

    scope.host->instanceID.reset();
    core::Dictionary parameters{{"keep", "1"}};
    DZAddAnalyticsIdentifiersToParameters(&parameters);
    DZAddAnalyticsIdentifiersToParameters(nullptr);
    EXPECT_EQ(parameters,
              (core::Dictionary{{"keep", "1"}, {"hst_app_id", "1:app"}, {"hst_aeid", "E1"}}));

    HostAnalyticsScope::setEnabled(false);
    core::Dictionary untouched;
    DZAddAnalyticsIdentifiersToParameters(&untouched);
    EXPECT_TRUE(untouched.empty());
}

TEST(DZAnalytics, MacroModeReplacesTheEscapedMacro) {
    HostAnalyticsScope scope;
    HostAnalyticsScope::setMacroMode(true);
    const auto result = DZApplyAnalyticsToTrackingURLs(
        {url("https://t.example/c?hst_aeid=%5Bgw_hstaeid%5D&x=1"),
         url("https://t.example/l?hst_aeid=%5bgw_hstaeid%5d"),
         url("https://t.example/other?hst_aeid=gw_hstaeid"), url("https://t.example/none")},
        "_ac");
    EXPECT_EQ(texts(result),
              (std::vector<std::string>{
                  "https://t.example/c?hst_aeid=E1&x=1", "https://t.example/l?hst_aeid=E1",
                  "https://t.example/other?hst_aeid=gw_hstaeid", "https://t.example/none"}));
    EXPECT_EQ(scope.host->events(), (std::vector{kClickEvent, kClickEvent}));
}

TEST(DZAnalytics, MacroModeEscapesTheEventID) {
    HostAnalyticsScope scope;
    HostAnalyticsScope::setMacroMode(true);
    scope.host->eventID = "a&b=c d/é";
    const auto result = DZApplyAnalyticsToTrackingURLStrings(
        {"https://t.example/c?hst_aeid=%5Bgw_hstaeid%5D&adurl=https://d.example/"}, "_ai");
    ASSERT_EQ(result.size(), 1U);
    const auto rewritten = core::URL::create(result[0]);
    ASSERT_TRUE(rewritten) << result[0];
    EXPECT_EQ(DZQueryValueForKey(rewritten, "hst_aeid"), "a&b=c d/é");
    EXPECT_EQ(DZQueryValueForKey(rewritten, "b"), std::nullopt) << "the id added no parameter";
    EXPECT_EQ(DZQueryValueForKey(rewritten, "adurl"), "https://d.example/");
}

TEST(DZAnalytics, SchemaModeAddsTheParameterToMatchingURLs) {
    HostAnalyticsScope scope;
    const auto defaults = core::UserDefaults::standard();
    defaults->setObject(std::string(DZAnalytics::kImpressionPingSchemaKey),
                        core::Array{"^https://imp\\.example/", "(unclosed"});
    defaults->setObject(std::string(DZAnalytics::kClickPingSchemaKey), core::Array{"CLICK"});

    const std::vector<core::URL> impressions{
        url("https://IMP.example/p?a=1"), url("https://imp.example/q?hst_aeid=OLD"),
        url("https://other.example/p"), url("https://imp.example/p?b=2")};
    EXPECT_EQ(texts(DZApplyAnalyticsToTrackingURLs(impressions, "_ai")),
              (std::vector<std::string>{
                  "https://IMP.example/p?a=1&hst_aeid=E1", "https://imp.example/q?hst_aeid=OLD",
                  "https://other.example/p", "https://imp.example/p?b=2&hst_aeid=E1"}));
    EXPECT_EQ(scope.host->events(), (std::vector{kImpressionEvent, kImpressionEvent}));

    const std::vector<core::URL> clicks{url("https://c.example/click"),
                                        url("https://c.example/click")};
    EXPECT_EQ(texts(DZApplyAnalyticsToTrackingURLs(clicks, "_ac")),
              (std::vector<std::string>{"https://c.example/click?hst_aeid=E1"}))
        << "duplicates come back once";
    EXPECT_EQ(texts(DZApplyAnalyticsToTrackingURLs(impressions, "_other")), texts(impressions));
    EXPECT_EQ(scope.host->events().size(), 4U) << "each rewritten URL logs once";
}

TEST(DZAnalytics, URLsPassUnchangedWithoutTheBridge) {
    HostAnalyticsScope scope(false);
    core::UserDefaults::standard()->setObject(std::string(DZAnalytics::kClickPingSchemaKey),
                                              core::Array{"click"});
    const std::vector<core::URL> urls{url("https://c.example/click"),
                                      url("https://c.example/m?hst_aeid=%5Bgw_hstaeid%5D")};
    EXPECT_EQ(texts(DZApplyAnalyticsToTrackingURLs(urls, "_ac")), texts(urls));
    HostAnalyticsScope::setMacroMode(true);
    EXPECT_EQ(texts(DZApplyAnalyticsToTrackingURLs(urls, "_ac")), texts(urls));
    EXPECT_TRUE(scope.host->events().empty());
}

class DZAnalyticsService : public ::testing::Test {
protected:
    static void send(const std::vector<core::URL>& urls) {
        for (const auto& each : urls) {
            core::URLSession::shared()
                ->dataTask(
                    core::URLRequest(each), [](core::Data, auto, auto) {}, core::Queue::global())
                ->resume();
        }
    }
    fixtures::AdServer server_;
};

TEST_F(DZAnalyticsService, TrackingServerReceivesTheEventID) {
    HostAnalyticsScope scope;
    scope.host->eventID = "E1+&x";
    const std::string macroURL = server_.urlString("/track/conversion?hst_aeid=%5bgw_hstaeid%5D");
    const std::string schemaURL = server_.urlString("/track/adview?ai=1");
    core::UserDefaults::standard()->setObject(std::string(DZAnalytics::kClickPingSchemaKey),
                                              core::Array{"/track/adview"});

    HostAnalyticsScope::setMacroMode(true);
    const auto macro = DZApplyAnalyticsToTrackingURLStrings({macroURL, schemaURL}, "_ac");
    HostAnalyticsScope::setMacroMode(false);
    const auto schema = DZApplyAnalyticsToTrackingURLStrings({macroURL, schemaURL}, "_ac");
    ASSERT_EQ(macro.size(), 2U);
    ASSERT_EQ(schema.size(), 2U);

    send({*core::URL::create(macro[0]), *core::URL::create(schema[1])});
    ASSERT_TRUE(server_.waitForRequestsTo("/track/conversion", 1, 5));
    ASSERT_TRUE(server_.waitForRequestsTo("/track/adview", 1, 5));
    EXPECT_EQ(server_.requestsTo("/track/conversion").front().queryValue("hst_aeid"), "E1+&x");
    const auto adview = server_.requestsTo("/track/adview").front();
    EXPECT_EQ(adview.queryValue("hst_aeid"), "E1+&x");
    EXPECT_EQ(adview.queryValue("ai"), "1");
    EXPECT_EQ(macro[1], schemaURL) << "macro mode leaves schema URLs alone";
    EXPECT_EQ(schema[0], macroURL) << "schema mode leaves the macro alone";

    const LoggedEvent click{"am", "_ac", core::Dictionary{{"_aeid", "E1+&x"}, {"_r", 1}}};
    EXPECT_EQ(scope.host->events(), (std::vector{click, click}));
}
