#include <gtest/gtest.h>

#include "ResourceCollectionTesting.h"
#include "ads/core/response/DZAutoClickProtection.h"
#include "ads/foundation/DZBadAdReport.h"
#include "ads/foundation/DZSafeBrowsingReporter.h"
#include "ads/foundation/DZUserAgent.h"
#include "ads/web/intercept/DZAdViewResourceCollection.h"
#include "core/JSON.h"
#include "core/UserDefaults.h"
#include "fixtures/AdServer.h"

using namespace ads;

namespace {

core::Dictionary settings(const std::string& reportURL) {
    return {{"click_string", "CLK"}, {"report_url", reportURL}};
}

std::shared_ptr<DZAdViewResourceCollection> collection(bool malicious) {
    using resourcetesting::request;
    auto result = DZAdViewResourceCollection::create({});
    result->setMainDocumentURL(core::URL::create("https://ad.example/page"));
    result->addURLRequest(request("https://ad.example/page", "https://ad.example/page"));
    if (malicious) result->addAutoClickRequest(request("https://ad.example/click"));
    (void)resourcetesting::classifiedReport(*result);  // what is posted no longer changes
    return result;
}

core::Value parsedBody(const fixtures::LoopbackRequest& request) {
    return core::JSON::parse(request.body).value_or(core::Value());
}

}  // namespace

TEST(DZSafeBrowsingReporter, SettingsAndTheirDefaults) {
    const auto plain = DZSafeBrowsingReporter::create(settings("https://r.example/sb"));
    ASSERT_TRUE(plain);
    EXPECT_TRUE(plain->shouldReportMaliciousAds());
    EXPECT_FALSE(plain->shouldReportBenignAds());
    EXPECT_FALSE(plain->shouldSendRenderedAd());
    EXPECT_FALSE(plain->autoClickProtection());
    EXPECT_TRUE(plain->excludedHeaders().empty());
    EXPECT_EQ(plain->clickString(), "CLK");

    core::Dictionary all = settings("https://r.example/sb");
    all.set("malicious_reporting_enabled", false);
    all.set("non_malicious_reporting_enabled", "1");
    all.set("rendered_ad_enabled", true);
    all.set("protection_enabled", false);
    all.set("header_to_scrub", core::Array{"Cookie", "X-Forwarded-FOR", 7});
    const auto full = DZSafeBrowsingReporter::create(all);
    ASSERT_TRUE(full);
    EXPECT_FALSE(full->shouldReportMaliciousAds());
    EXPECT_TRUE(full->shouldReportBenignAds());
    EXPECT_TRUE(full->shouldSendRenderedAd());
    ASSERT_TRUE(full->autoClickProtection()) << "present even when switched off";
    EXPECT_FALSE(full->autoClickProtection()->enabled());
    EXPECT_EQ(full->excludedHeaders(), (std::set<std::string>{"cookie", "x-forwarded-for"}));
}

TEST(DZSafeBrowsingReporter, RequiredSettingsAndUnsafeReportURLs) {
    EXPECT_FALSE(DZSafeBrowsingReporter::create(core::Value()));
    EXPECT_FALSE(
        DZSafeBrowsingReporter::create(core::Dictionary{{"report_url", "https://r.example/sb"}}));
    EXPECT_FALSE(DZSafeBrowsingReporter::create(core::Dictionary{{"click_string", "CLK"}}));
    for (const char* url : {"not a url", "javascript:alert(1)", "file:///tmp/x", "ftp://r.example/",
                            "/relative/path"}) {
        EXPECT_FALSE(DZSafeBrowsingReporter::create(settings(url))) << url;
    }
    EXPECT_TRUE(DZSafeBrowsingReporter::create(settings("HTTP://r.example/sb")));
}

TEST(DZBadAdReport, Endpoint) {
    const auto defaults = core::UserDefaults::standard();
    defaults->setString("/dozuza/ads/bad_ad_report_path", "");
    ASSERT_TRUE(DZBadAdReportURL());
    EXPECT_EQ(DZBadAdReportURL()->absoluteString(), kDZDefaultBadAdReportURLString);
    defaults->setString("/dozuza/ads/bad_ad_report_path", "https://r.example/bad");
    ASSERT_TRUE(DZBadAdReportURL());
    EXPECT_EQ(DZBadAdReportURL()->absoluteString(), "https://r.example/bad");
    defaults->setString("/dozuza/ads/bad_ad_report_path", "javascript:alert(1)");
    EXPECT_FALSE(DZBadAdReportURL());
    defaults->removeObjectForKey("/dozuza/ads/bad_ad_report_path");
    ASSERT_TRUE(DZBadAdReportURL());
    EXPECT_EQ(DZBadAdReportURL()->absoluteString(), kDZDefaultBadAdReportURLString);
}

class DZSafeBrowsingReporterService : public ::testing::Test {
protected:
    resourcetesting::ResolverScope resolver_{{}};
    fixtures::AdServer server_;
};

TEST_F(DZSafeBrowsingReporterService, PostsReportsOfTheKindsAsked) {
    core::Dictionary benignSettings = settings(server_.urlString("/sb/benign"));
    benignSettings.set("non_malicious_reporting_enabled", true);
    const auto silent = DZSafeBrowsingReporter::create(settings(server_.urlString("/sb/silent")));
    const auto benign = DZSafeBrowsingReporter::create(benignSettings);
    const auto malicious = DZSafeBrowsingReporter::create(settings(server_.urlString("/sb/bad")));

    const auto benignAd = collection(false);
    const auto maliciousAd = collection(true);
    silent->reportResourceCollection(benignAd);
    benign->reportResourceCollection(benignAd);
    malicious->reportResourceCollection(maliciousAd);

    ASSERT_TRUE(server_.waitForRequestsTo("/sb/bad", 1, 5));
    ASSERT_TRUE(server_.waitForRequestsTo("/sb/benign", 1, 5));
    const auto request = server_.requestsTo("/sb/bad").front();
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.header("Content-Type"), "application/json");
    EXPECT_EQ(parsedBody(request), core::Value(maliciousAd->dictionaryRepresentation()));
    EXPECT_EQ(parsedBody(server_.requestsTo("/sb/benign").front())["url"],
              core::Value("https://ad.example/page"));
    EXPECT_TRUE(server_.requestsTo("/sb/silent").empty());
}

class DZBadAdReportService : public ::testing::Test {
protected:
    void TearDown() override {
        core::UserDefaults::standard()->removeObjectForKey("/dozuza/ads/bad_ad_report_path");
        DZSetDefaultBadAdReportURLStringForTesting(std::nullopt);
    }
    fixtures::AdServer server_;
};

TEST_F(DZBadAdReportService, PostsTheDebugHeader) {
    core::UserDefaults::standard()->setString("/dozuza/ads/bad_ad_report_path",
                                              server_.urlString("/s/reportAd"));
    DZSendBadAdReport("hdr \"1\"");
    DZSendBadAdReport(std::nullopt);
    ASSERT_TRUE(server_.waitForRequestsTo("/s/reportAd", 2, 5));

    std::vector<core::Value> bodies;
    for (const auto& request : server_.requestsTo("/s/reportAd")) {
        EXPECT_EQ(request.method, "POST");
        EXPECT_EQ(request.header("Content-Type"), "application/json");
        EXPECT_EQ(request.header("User-Agent"), DZUserAgent());
        bodies.push_back(parsedBody(request));
    }
    const core::Value withHeader(core::Dictionary{{"debugHeader", "hdr \"1\""}});
    const core::Value withNull(core::Dictionary{{"debugHeader", core::Value()}});
    EXPECT_TRUE((bodies == std::vector{withHeader, withNull}) ||
                (bodies == std::vector{withNull, withHeader}));
}

TEST_F(DZBadAdReportService, EmptyPathUsesTheDefaultEndpoint) {
    core::UserDefaults::standard()->setString("/dozuza/ads/bad_ad_report_path", "");
    DZSetDefaultBadAdReportURLStringForTesting(server_.urlString("/default/s/reportAd"));
    DZSendBadAdReport("x");
    ASSERT_TRUE(server_.waitForRequestsTo("/default/s/reportAd", 1, 5));
    EXPECT_EQ(parsedBody(server_.requestsTo("/default/s/reportAd").front()),
              core::Value(core::Dictionary{{"debugHeader", "x"}}));
}
