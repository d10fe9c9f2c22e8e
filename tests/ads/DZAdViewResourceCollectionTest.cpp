#include <gtest/gtest.h>

#include <thread>

#include "ResourceCollectionTesting.h"
#include "ads/foundation/DZHashing.h"
#include "ads/foundation/DZSafeBrowsingReporter.h"
#include "ads/foundation/DZViewImaging.h"
#include "ads/web/intercept/DZAdViewResourceCollection.h"

using namespace ads;
using resourcetesting::classifiedReport;
using resourcetesting::request;
using resourcetesting::url;

namespace {

constexpr const char* kPage = "https://ad.example/page";

class DZAdViewResourceCollectionTest : public ::testing::Test {
protected:
    DZAdViewResourceCollectionTest() {
        adView_->ad_ = std::make_shared<DZAd>();
        collection_ = DZAdViewResourceCollection::create(DZResourceCollectionAdView::of(adView_));
    }
    ~DZAdViewResourceCollectionTest() override {
        DZAdViewResourceCollection::setGreedyCollectionEnabled(true);
    }

    // The key's value in every resource entry, -1 where it is missing.
    static std::vector<std::int64_t> column(const core::Dictionary& report, const char* key) {
        std::vector<std::int64_t> result;
        const core::Array* resources = report["resources"].array();
        if (!resources) {
            ADD_FAILURE() << "the report has no resources";
            return result;
        }
        for (const core::Value& entry : *resources) {
            const core::Dictionary* fields = entry.dictionary();
            result.push_back(fields && fields->contains(key) ? entry[key].intValue() : -1);
        }
        return result;
    }
    void setReporter(core::Dictionary settings) {
        settings.set("click_string", "CLK");
        settings.set("report_url", "https://sb.example/report");
        adView_->ad_->setSafeBrowsingReporter(DZSafeBrowsingReporter::create(settings));
    }

    resourcetesting::ResolverScope resolver_{{{"ad.example", "192.0.2.1"}}};
    std::shared_ptr<resourcetesting::FakeAdView> adView_ =
        std::make_shared<resourcetesting::FakeAdView>();
    std::shared_ptr<DZAdViewResourceCollection> collection_;
};

core::HTTPURLResponse redirect(const std::string& from, const std::string& location) {
    return core::HTTPURLResponse(url(from), 302, {{"Location", location}});
}

}  // namespace

TEST_F(DZAdViewResourceCollectionTest, AnEmptyCollectionReportsTheBareMinimum) {
    const auto bare = DZAdViewResourceCollection::create({});
    const core::Dictionary report = bare->dictionaryRepresentation();
    EXPECT_EQ(report.keys(), (std::vector<std::string>{"type", "page_url", "resources"}));
    EXPECT_EQ(report["type"], core::Value(11));
    EXPECT_EQ(report["page_url"].stringValue().rfind("mobileapp::", 0), 0U);
    EXPECT_EQ(report["resources"], core::Value(core::Array{}));
    EXPECT_FALSE(bare->isMalicious());
}

TEST_F(DZAdViewResourceCollectionTest, ARequestSeenAgainIsOneResourceWithMergedHeaders) {
    collection_->addURLRequest(request(kPage, kPage, {{"Accept", "*/*"}}));
    collection_->addURLRequest(request(kPage, kPage, {{"Accept", "*/*"}, {"DNT", "1"}}));
    collection_->addURLResponse(core::HTTPURLResponse(url(kPage), 200, {}),
                                request(kPage, kPage, {{"Accept", "*/*"}}));
    collection_->addResourceData(core::Data{'o', 'k'}, request(kPage, kPage));
    const core::Dictionary report = classifiedReport(*collection_);
    ASSERT_TRUE(report["resources"].array());
    ASSERT_EQ(report["resources"].array()->size(), 1U);
    const core::Value& entry = (*report["resources"].array())[0];
    ASSERT_TRUE(entry["request"]["headers"].array());
    EXPECT_EQ(entry["request"]["headers"].array()->size(), 2U);
    EXPECT_EQ(entry["response"]["firstline"]["code"], core::Value(200));
    EXPECT_EQ(entry["response"]["body"], core::Value(DZBase64String(std::string_view("ok"))));
    EXPECT_EQ(entry["response"]["remote_ip"],
              core::Value(DZBase64String(std::string_view("192.0.2.1"))));
    EXPECT_FALSE(report.contains("url")) << "no page URL was set";
}

TEST_F(DZAdViewResourceCollectionTest, RedirectsReferrersAndPagesGiveParents) {
    const std::string target = "https://ad.example/target";
    collection_->addURLRequest(request(kPage, kPage));                   // 0
    collection_->addURLRequest(request("https://ad.example/r", kPage));  // 1
    collection_->addURLResponse(redirect("https://ad.example/r", target + "/"),
                                request("https://ad.example/r", kPage));
    collection_->addURLRequest(request(target, kPage));  // 2
    core::URLRequest again = request(target, kPage);
    again.setCachePolicy(core::URLRequest::CachePolicy::reloadIgnoringLocalCacheData);
    collection_->addURLRequest(again);                                     // 3
    collection_->addURLRequest(request("https://ad.example/rel", kPage));  // 4
    collection_->addURLResponse(redirect("https://ad.example/rel", "/landing"),
                                request("https://ad.example/rel", kPage));
    collection_->addURLRequest(request("https://ad.example/landing"));  // 5
    collection_->addURLRequest(
        request("https://cdn.example/x.js", kPage, {{"Referer", target}}));  // 6
    collection_->addURLRequest(
        request("https://cdn.example/y.js", kPage, {{"Referer", "::nothing"}}));  // 7

    const core::Dictionary report = classifiedReport(*collection_);
    EXPECT_EQ(column(report, "parent_id"), (std::vector<std::int64_t>{-1, 0, 1, 0, 0, -1, 2, 0}));
    EXPECT_EQ(report["resources"][1]["child_ids"], core::Value(core::Array{2}));
    EXPECT_EQ(report["resources"][0]["child_ids"], core::Value(core::Array{1, 3, 4, 7}));
}

// Pages, loads and Referers as the engine wrote them index and link as any
// other; a Location is the server's own text, and one that forms no URL
// links nothing.
TEST_F(DZAdViewResourceCollectionTest, URLsAsTheEngineWroteThemGiveParents) {
    using resourcetesting::webRequest;
    const std::string page = "https://ad.example/ad|page?cb=[1]";
    const std::string frame = "https://ad.example/{frame}/%zz";
    collection_->addURLRequest(webRequest(page, page));   // 0
    collection_->addURLRequest(webRequest(frame, page));  // 1
    collection_->addURLRequest(
        webRequest("https://cdn.example/x.js", page, {{"Referer", frame}}));  // 2
    collection_->addURLRequest(webRequest("https://ad.example/r", page));     // 3
    collection_->addURLResponse(redirect("https://ad.example/r", "https://ad.example/a|b"),
                                webRequest("https://ad.example/r", page));
    collection_->addURLRequest(webRequest("https://ad.example/a|b", page,
                                          {{"Referer", "https://cdn.example/x.js"}}));  // 4

    const core::Dictionary report = classifiedReport(*collection_);
    EXPECT_EQ(column(report, "parent_id"), (std::vector<std::int64_t>{-1, 0, 1, 0, 2}));
    EXPECT_EQ(report["resources"][4]["url"], core::Value("https://ad.example/a|b"));
}

TEST_F(DZAdViewResourceCollectionTest, TouchesAndAutoClicksClassify) {
    collection_->addURLRequest(request(kPage, kPage));
    collection_->addURLRequest(request("https://ad.example/a.png", kPage));
    (void)classifiedReport(*collection_);
    EXPECT_FALSE(collection_->isMalicious());

    adView_->touched_ = true;
    collection_->addURLRequest(request("https://ad.example/b.png", kPage));
    collection_->addAutoClickRequest(request("https://ad.example/a.png", kPage));
    collection_->addAutoClickRequest(request("https://click.example/", kPage));
    const core::Dictionary report = classifiedReport(*collection_);
    EXPECT_EQ(column(report, "ad_resource_type"), (std::vector<std::int64_t>{1, 3, 2, 3}))
        << "an auto-click overrides an earlier class and is never reclassified";
    EXPECT_TRUE(collection_->isMalicious());

    // A gone ad view counts as untouched.
    const auto orphan = DZAdViewResourceCollection::create(
        DZResourceCollectionAdView::of(std::make_shared<resourcetesting::FakeAdView>()));
    orphan->addURLRequest(request(kPage, kPage));
    EXPECT_EQ(column(classifiedReport(*orphan), "ad_resource_type"),
              (std::vector<std::int64_t>{1}));
}

TEST_F(DZAdViewResourceCollectionTest, PageChangesKeepOrDropTheTreeByTheGreedySwitch) {
    for (const bool greedy : {true, false}) {
        SCOPED_TRACE(greedy);
        DZAdViewResourceCollection::setGreedyCollectionEnabled(greedy);
        const auto collection =
            DZAdViewResourceCollection::create(DZResourceCollectionAdView::of(adView_));
        collection->setMainDocumentURL(url(kPage));
        collection->addURLRequest(request(kPage, kPage));
        collection->addClickthroughURL(url("https://land.example/"));
        collection->setMainDocumentURL(url(kPage));  // the same page changes nothing
        collection->setMainDocumentURL(url("https://ad.example/next"));
        collection->addURLRequest(request("https://ad.example/next", "https://ad.example/next"));
        const core::Dictionary report = classifiedReport(*collection);
        EXPECT_EQ(report["url"], core::Value("https://ad.example/next"));
        ASSERT_TRUE(report["resources"].array());
        const core::Array& resources = *report["resources"].array();
        ASSERT_EQ(resources.size(), greedy ? 3U : 1U);
        EXPECT_EQ(resources[0]["url"], core::Value(greedy ? kPage : "https://ad.example/next"));
        EXPECT_EQ(resources.back()["id"], core::Value(greedy ? 2 : 0));
    }
}

TEST_F(DZAdViewResourceCollectionTest, ClickthroughsFollowTheResources) {
    for (int index = 0; index < 5; ++index) {
        collection_->addURLRequest(request("https://ad.example/" + std::to_string(index), kPage));
    }
    collection_->addClickthroughURL(url("https://land.example/1"));
    collection_->addClickthroughURL(url("https://land.example/2"));
    const core::Dictionary report = classifiedReport(*collection_);
    ASSERT_TRUE(report["resources"].array());
    const core::Array& resources = *report["resources"].array();
    ASSERT_EQ(resources.size(), 7U);
    EXPECT_EQ(resources[5],
              core::Value(core::Dictionary{
                  {"ad_resource_type", 2}, {"url", "https://land.example/1"}, {"id", 5}}));
    EXPECT_EQ(resources[6]["id"], core::Value(6));
    EXPECT_EQ(report["click_url"], core::Value("https://land.example/2"));
}

TEST_F(DZAdViewResourceCollectionTest, TheFirstReporterStaysAndScrubsHeadersUntilThePageChanges) {
    setReporter({{"header_to_scrub", core::Array{"cookie"}}});
    collection_->addURLRequest(request(kPage, kPage, {{"COOKIE", "c"}, {"Accept", "*/*"}}));
    setReporter({});  // a later ad's reporter does not replace the first
    collection_->addURLRequest(request("https://ad.example/x", kPage));
    core::Dictionary report = classifiedReport(*collection_);
    EXPECT_EQ(report["creative_properties"],
              core::Value(core::Dictionary{{"click_string", "CLK"}}));
    ASSERT_TRUE(report["resources"][0]["request"]["headers"].array());
    EXPECT_EQ(report["resources"][0]["request"]["headers"].array()->size(), 1U);

    collection_->setMainDocumentURL(url("https://ad.example/next"));
    report = collection_->dictionaryRepresentation();
    EXPECT_FALSE(report.contains("creative_properties"));
    ASSERT_TRUE(report["resources"][0]["request"]["headers"].array());
    EXPECT_EQ(report["resources"][0]["request"]["headers"].array()->size(), 2U);
}

TEST_F(DZAdViewResourceCollectionTest, SnapshotsAreKeptForTheCollectionsReporterOnly) {
    adView_->setBackgroundColor(gfx::Color::black());
    int rendered = 0;
    DZResourceCollectionAdView seam = DZResourceCollectionAdView::of(adView_);
    seam.renderImage = [inner = seam.renderImage, &rendered](auto completion) {
        inner([completion, &rendered](gfx::ImagePtr image) {
            completion(image);
            ++rendered;
        });
    };
    const auto collection = DZAdViewResourceCollection::create(seam);
    const auto finishLayout = [&] {
        const int before = rendered;
        collection->adViewDidFinishLayout();
        return core::RunLoop::main().runUntil([&] { return rendered > before; }, 5);
    };

    setReporter({});
    collection->addURLRequest(request(kPage, kPage));
    collection->adViewDidFinishLayout();  // the reporter wants no image
    // Once the collection's queue has passed the call, its main-thread part
    // is queued before this marker.
    (void)collection->mainDocumentURL();
    bool passed = false;
    core::Queue::main()->async([&] { passed = true; });
    ASSERT_TRUE(core::RunLoop::main().runUntil([&] { return passed; }, 5));
    EXPECT_EQ(rendered, 0) << "no image is made for a reporter that wants none";
    setReporter({{"rendered_ad_enabled", true}});
    ASSERT_TRUE(finishLayout());
    EXPECT_FALSE(collection->dictionaryRepresentation().contains("rendered_ad"))
        << "the image was of another ad than the collection's";

    collection->setMainDocumentURL(url(kPage));  // drops the first reporter
    collection->updateSafeBrowsingReporter();
    ASSERT_TRUE(finishLayout());
    const core::Dictionary report = collection->dictionaryRepresentation();
    ASSERT_TRUE(report.contains("rendered_ad"));
    EXPECT_EQ(report["rendered_ad"]["type"], core::Value(1));
    EXPECT_EQ(report["rendered_ad"]["mime_type"], core::Value("image/png"));
    const auto png = DZViewSnapshotImage(adView_.get())->encodePng();
    EXPECT_EQ(report["rendered_ad"]["image"], core::Value(DZBase64String(png)));
}

TEST_F(DZAdViewResourceCollectionTest, BodiesAreCappedPerCollectionAndCountedBeyond) {
    const core::Data chunk(DZCapturedBytes::kResourceLimit, 'b');
    const size_t fullResources = DZAdViewResourceCollection::kCollectionBodyLimit / chunk.size();
    for (size_t index = 0; index <= fullResources; ++index) {
        const auto made = request("https://ad.example/" + std::to_string(index), kPage);
        collection_->addResourceData(chunk, made);
    }
    const core::Dictionary report = classifiedReport(*collection_);
    ASSERT_TRUE(report["resources"].array());
    const core::Array& resources = *report["resources"].array();
    ASSERT_EQ(resources.size(), fullResources + 1);
    const core::Value& last = resources.back()["response"];
    EXPECT_EQ(last["bodylength"], core::Value(std::int64_t(chunk.size())));
    EXPECT_EQ(last["body"], core::Value("")) << "counted but not kept";
    EXPECT_EQ(resources[fullResources - 1]["response"]["body"].stringValue().size(),
              DZBase64String(chunk).size());
}

// A loader that copies only a body's start tells the rest as a count.
TEST_F(DZAdViewResourceCollectionTest, BytesCountedWithoutACopyAddToTheLengthAlone) {
    const auto copied = request("https://ad.example/copied", kPage);
    collection_->addResourceData(core::Data{'a', 'b', 'c'}, copied);
    collection_->addUncapturedResourceData(1000, copied);
    collection_->addUncapturedResourceData(7, request("https://ad.example/counted", kPage));
    const core::Dictionary report = classifiedReport(*collection_);
    ASSERT_TRUE(report["resources"].array());
    const core::Array& resources = *report["resources"].array();
    ASSERT_EQ(resources.size(), 2u);
    EXPECT_EQ(resources[0]["response"]["bodylength"], core::Value(1003));
    EXPECT_EQ(resources[0]["response"]["body"], core::Value(DZBase64String("abc")));
    EXPECT_EQ(resources[1]["response"]["bodylength"], core::Value(7));
    EXPECT_EQ(resources[1]["response"]["body"], core::Value(""));
}

TEST_F(DZAdViewResourceCollectionTest, RecordsFromManyThreadsMakeOneConsistentTree) {
    constexpr int kThreads = 4;
    constexpr int kEach = 10;
    collection_->addURLRequest(request(kPage, kPage));
    std::vector<std::thread> threads;
    for (int thread = 0; thread < kThreads; ++thread) {
        threads.emplace_back([this, thread] {
            for (int index = 0; index < kEach; ++index) {
                const auto made = request("https://ad.example/" + std::to_string(thread) + "/" +
                                              std::to_string(index),
                                          kPage);
                collection_->addURLRequest(made);
                collection_->addResourceData(core::Data{'x'}, made);
                (void)collection_->isMalicious();
            }
        });
    }
    for (auto& thread : threads) thread.join();
    const core::Dictionary report = classifiedReport(*collection_);
    ASSERT_TRUE(report["resources"].array());
    const core::Array& resources = *report["resources"].array();
    ASSERT_EQ(resources.size(), size_t(kThreads * kEach + 1));
    for (size_t index = 1; index < resources.size(); ++index) {
        EXPECT_EQ(resources[index]["id"], core::Value(std::int64_t(index)));
        EXPECT_EQ(resources[index]["parent_id"], core::Value(0));
        EXPECT_EQ(resources[index]["response"]["bodylength"], core::Value(1));
    }
}
