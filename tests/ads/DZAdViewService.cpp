// Ad views showing pages of the local ad server: SDK events held until the
// page has loaded, the ad's history told to the URL stash, cancelled loads,
// the page's window orientation, dmsg navigations, and the ad on screen.

#include <gtest/gtest.h>

#include <fstream>

#include "AdWebTesting.h"
#include "ads/core/request/DZRequest.h"
#include "ads/core/response/DZAd.h"
#include "ads/foundation/DZDevice.h"
#include "ads/foundation/DZHashing.h"
#include "ads/web/intercept/DZAdURLStash.h"
#include "ads/web/intercept/DZAdViewResourceCollection.h"
#include "ads/web/net/DZURLConnectionRedirect.h"
#include "core/JSON.h"
#include "fixtures/AdServer.h"
#include "fixtures/ResponseGate.h"
#include "support/TestEnvironment.h"
#include "ui/DeviceProfile.h"
#include "ui/Renderer.h"
#include "ui/Window.h"
#include "web/WebView.h"

namespace {

using namespace adwebtesting;
using ads::DZAdView;

// Records every message the native side sends the page.
constexpr const char* kReceiver =
    "<script>window.received = [];"
    "window.DUZO_ReceiveMessage = function (name, argument) {"
    "  window.received.push({name: name, argument: argument}); };</script>";

class DZAdViewService : public testing::Test {
protected:
    void SetUp() override {
        adView = DZAdView::create({0, 0, 320, 50});
        ASSERT_TRUE(adView);
        adView->setDelegate(delegate);
    }

    std::shared_ptr<ads::DZAd> makeAd(const std::string& html, const std::string& path) {
        auto ad = std::make_shared<ads::DZAd>();
        ad->setAdHTML(html);
        ad->setAdBaseURL(server.url(path));
        return ad;
    }
    [[nodiscard]] bool waitForFinishes(size_t count) {
        return waitFor([&] { return delegate->count("finish") >= count; });
    }
    // The names of the messages the page has received, once it holds count.
    std::vector<std::string> receivedNames(size_t count) {
        core::Value names;
        (void)waitFor([&] {
            names = evaluate(*adView->webView(),
                             "window.received.map(function (r) { return r.name; })");
            return names.size() >= count;
        });
        std::vector<std::string> result;
        if (names.array())
            for (const auto& name : *names.array()) result.push_back(name.stringValue());
        return result;
    }

    fixtures::AdServer server;
    std::shared_ptr<RecordingAdViewDelegate> delegate = std::make_shared<RecordingAdViewDelegate>();
    std::shared_ptr<DZAdView> adView;
};

TEST_F(DZAdViewService, EventsWaitForThePageAndArriveInTheOrderTheyWereDispatched) {
    adView->setAd(makeAd(kReceiver, "/test/adview/events"));
    std::vector<std::string> expected;
    for (int i = 0; i < 21; ++i) {
        adView->dispatchSDKEvent("e" + std::to_string(i), core::Dictionary{{"n", i}});
        if (i < 20) expected.push_back("e" + std::to_string(i));
    }
    ASSERT_TRUE(waitForFinishes(1));
    EXPECT_EQ(receivedNames(20), expected);  // the 21st was dropped

    // Once the page is there, events go at once, and a caller's entries win.
    adView->dispatchSDKEvent("late", core::Dictionary{{"version", "mine"}});
    expected.push_back("late");
    EXPECT_EQ(receivedNames(21), expected);
    const core::Value first = evaluate(*adView->webView(), "window.received[0].argument");
    EXPECT_EQ(first["version"], core::Value(ads::DZRequest::sdkVersion()));
    EXPECT_EQ(first["device"], core::Value(ads::DZDevice::sharedInstance()->deviceSubmodel()));
    EXPECT_EQ(first["n"], core::Value(0));
    EXPECT_EQ(evaluate(*adView->webView(), "window.received[20].argument.version"),
              core::Value("mine"));
}

TEST_F(DZAdViewService, ANewPageStartsWithoutTheEventsOfThePreviousOne) {
    adView->setAd(makeAd(kReceiver, "/test/adview/first"));
    adView->dispatchSDKEvent("old1", std::nullopt);
    adView->dispatchSDKEvent("old2", std::nullopt);
    adView->setAd(makeAd(kReceiver, "/test/adview/second"));
    adView->dispatchSDKEvent("new", std::nullopt);
    ASSERT_TRUE(waitForFinishes(1));
    EXPECT_EQ(adView->URL(), server.url("/test/adview/second"));
    EXPECT_EQ(receivedNames(1), std::vector<std::string>{"new"});
    EXPECT_EQ(delegate->count("start"), 1u);  // the replaced page never began
    EXPECT_EQ(delegate->errors.size(), 0u);
}

TEST_F(DZAdViewService, TheURLStashHearsTheHistoryBehindTheAd) {
    const auto stash = ads::DZAdURLStash::sharedInstance();
    const std::string request = server.urlString("/test/adview/request?x=1");
    const std::string landing = server.urlString("/test/adview/landing");
    auto ad = makeAd("<p>ad</p>", "/test/adview/landing");
    ad->setOriginalRequest(core::URLRequest(*core::URL::create(request)));
    ad->redirects().push_back(std::make_shared<ads::DZURLConnectionRedirect>(
        core::HTTPURLResponse(*core::URL::create(request), 302, {{"Location", landing}}),
        core::URLRequest(*core::URL::create(landing))));
    ad->setResponseHeaders(core::Dictionary{{"X-Duzo-Type", "html"}});
    adView->setAd(ad);
    EXPECT_TRUE(stash->hasLoadingAd());
    ASSERT_TRUE(waitForFinishes(1));
    EXPECT_FALSE(stash->hasLoadingAd());

    // The request, its redirect to the landing page, and the page itself.
    auto collection = stash->resourceCollectionForAdView(adView);
    ASSERT_TRUE(collection);
    core::Dictionary report = collection->dictionaryRepresentation();
    EXPECT_EQ(report["url"], core::Value(landing));
    const core::Value& resources = report["resources"];
    ASSERT_EQ(resources.size(), 2u);
    EXPECT_EQ(resources[0]["url"], core::Value(request));
    EXPECT_EQ(resources[0]["response"]["firstline"]["code"], core::Value(302));
    EXPECT_EQ(resources[0]["child_ids"], core::Value(core::Array{1}));
    EXPECT_EQ(resources[1]["url"], core::Value(landing));
    EXPECT_EQ(resources[1]["response"]["firstline"]["code"], core::Value(200));
    EXPECT_EQ(resources[1]["response"]["bodylength"], core::Value(9));
    EXPECT_EQ(resources[1]["response"]["headers"],
              core::Value(core::Array{core::Dictionary{{"name", ads::DZBase64String("X-Duzo-Type")},
                                                       {"value", ads::DZBase64String("html")}}}));

    // A new ad starts a new collection; without the original request, the
    // ad's URL stands in, annotated.
    auto fetched = makeAd("<p>fetched</p>", "/test/adview/fetched");
    fetched->setAdURL(server.url("/test/adview/ad-url"));
    adView->setAd(fetched);
    ASSERT_TRUE(waitForFinishes(2));
    const auto second = stash->resourceCollectionForAdView(adView);
    ASSERT_TRUE(second);
    EXPECT_NE(second, collection);
    report = second->dictionaryRepresentation();
    ASSERT_EQ(report["resources"].size(), 1u);
    const core::Value& annotated = report["resources"][0];
    EXPECT_EQ(annotated["url"], core::Value(server.urlString("/test/adview/ad-url")));
    const core::Value& headers = annotated["request"]["headers"];
    EXPECT_TRUE(std::any_of(headers.array()->begin(), headers.array()->end(), [](const auto& h) {
        return h["name"] == core::Value(ads::DZBase64String("x-duzo-annotation-missing-request"));
    }));

    // HTML loaded directly records nothing and leaves no load behind.
    adView->loadHTMLString("<p>direct</p>", server.url("/test/adview/direct"));
    ASSERT_TRUE(waitForFinishes(3));
    EXPECT_FALSE(stash->resourceCollectionForAdView(adView));
    EXPECT_FALSE(stash->hasLoadingAd());
}

TEST_F(DZAdViewService, ACancelledLoadIsReportedOnlyWhenTheServerAsks) {
    const auto stash = ads::DZAdURLStash::sharedInstance();
    const auto gate = fixtures::ResponseGate::make();
    server.serve("/test/adview/held",
                 fixtures::LoopbackResponse::text("<p>late</p>", 200, "text/html").heldBy(gate));
    ConstantsScope constants;
    for (const bool reported : {false, true}) {
        SCOPED_TRACE(reported);
        if (reported) constants.set(DZAdView::kUseCancelledURLErrorKey, "YES");
        server.clearLog();
        adView->loadRequest(core::URLRequest(server.url("/test/adview/held")));
        ASSERT_TRUE(waitFor([&] { return !server.requestsTo("/test/adview/held").empty(); }));
        EXPECT_TRUE(stash->hasLoadingAd());
        adView->stopLoading();
        EXPECT_FALSE(stash->hasLoadingAd());
        EXPECT_EQ(delegate->errors.size(), reported ? 1u : 0u);
    }
    ASSERT_FALSE(delegate->errors.empty());
    EXPECT_EQ(delegate->errors.back().code, -999);
    gate->release();
}

TEST_F(DZAdViewService, TheWindowOrientationReachesThePage) {
    adView->setAd(
        makeAd("<script>window.changes = 0;"
               "addEventListener('orientationchange', function () { changes++; });</script>",
               "/test/adview/orientation"));
    ASSERT_TRUE(waitForFinishes(1));
    ads::DZWebView& page = *adView->webView();
    const auto reads = [&](int angle, int changes) {
        return waitFor([&] {
            return evaluate(page, "[window.orientation, window.changes]") ==
                   core::Value(core::Array{angle, changes});
        });
    };

    adView->forceRotateHTMLToOrientation(3);  // landscape right
    EXPECT_TRUE(reads(90, 1));
    // The current orientation and one outside 1 to 4 send no script: had
    // they, the page would have heard a change before the next one.
    adView->forceRotateHTMLToOrientation(3);
    adView->forceRotateHTMLToOrientation(5);
    adView->didRotateToOrientation(4);
    EXPECT_TRUE(reads(-90, 1));
    EXPECT_EQ(adView->orientation(), 4);

    ConstantsScope constants;
    constants.set(DZAdView::kScriptDelayKey, "0.25");
    adView->forceRotateHTMLToOrientation(2);
    EXPECT_TRUE(reads(180, 2));
}

TEST_F(DZAdViewService, DmsgNavigationsReachTheDelegateInOrderAndNeverLoad) {
    delegate->decide = [](const core::URLRequest& request) {
        return !request.url().hasScheme("dmsg");
    };
    adView->setAd(makeAd("<body><script>window.marker = 1;</script></body>", "/test/adview/dmsg"));
    ASSERT_TRUE(waitForFinishes(1));
    ads::DZWebView& page = *adView->webView();
    const auto dmsgDecisions = [&] {
        std::vector<std::string> found;
        for (const auto& decision : delegate->decisions)
            if (decision.find("dmsg:") != std::string::npos) found.push_back(decision);
        return found;
    };
    const char* scripts[] = {
        "location.href = 'dmsg://host/first?a=1'; 0",
        "var f = document.createElement('iframe'); f.src = 'dmsg://host/second';"
        "document.body.appendChild(f); 0",
        "var a = document.createElement('a'); a.href = 'dmsg://host/third';"
        "document.body.appendChild(a); a.click(); 0",
    };
    for (size_t i = 0; i < std::size(scripts); ++i) {
        (void)evaluate(page, scripts[i]);
        ASSERT_TRUE(waitFor([&] { return dmsgDecisions().size() == i + 1; }));
    }
    EXPECT_EQ(dmsgDecisions(),
              (std::vector<std::string>{"5 dmsg://host/first?a=1", "5 dmsg://host/second",
                                        "0 dmsg://host/third"}));
    EXPECT_EQ(evaluate(page, "window.marker"), core::Value(1));
    EXPECT_EQ(adView->URL(), server.url("/test/adview/dmsg"));
    EXPECT_EQ(delegate->events, (std::vector<std::string>{"start", "finish"}));
}

TEST_F(DZAdViewService, ABannerInAWindowRendersToAPNGThatShowsTheAd) {
    const auto window = std::make_shared<ui::Window>(gfx::Rect(0, 0, 320, 480));
    window->setBackgroundColor(gfx::Color::white());
    adView->setFrame({0, 100, 320, 50});
    window->addSubview(adView);
    adView->setAd(
        makeAd("<body style='margin:0; background:rgb(0,128,255)'>"
               "<div style='width:40px; height:50px; background:rgb(255,0,0)'></div></body>",
               "/test/adview/banner"));
    ASSERT_TRUE(waitForFinishes(1));
    ASSERT_TRUE(web::WebView::awaitSnapshots(kLoadLimit));

    const std::string path = testsupport::testHome() + "/banner.png";
    ASSERT_TRUE(ui::Renderer::writePNG(*window, path));
    std::ifstream file(path, std::ios::binary);
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(file)),
                                          std::istreambuf_iterator<char>());
    const auto image = gfx::Image::decode(bytes);
    ASSERT_TRUE(image);
    const double scale = double(image->pixelWidth()) / 320;
    const auto at = [&](double x, double y) {
        return image->pixelAt(int(x * scale), int(y * scale));
    };
    const auto near = [](gfx::Color color, gfx::Color expected) {
        return std::abs(color.red - expected.red) + std::abs(color.green - expected.green) +
                   std::abs(color.blue - expected.blue) <
               0.1;
    };
    EXPECT_TRUE(near(at(20, 125), {1, 0, 0, 1}));             // the ad's block
    EXPECT_TRUE(near(at(200, 125), {0, 128.0 / 255, 1, 1}));  // the ad's background
    EXPECT_TRUE(near(at(200, 60), {1, 1, 1, 1}));             // the window above it
    EXPECT_TRUE(near(at(200, 170), {1, 1, 1, 1}));            // and below
}

}  // namespace
