// The search banner: the fluid one's page messages, failures, refusals and
// tapped links with their click signal; the click-signal module itself.

#include "ads/presentation/banner/DZSearchBannerView.h"

#include "AdWebTesting.h"
#include "ads/core/click/DZClickSignal.h"
#include "ads/core/request/DZDynamicHeightSearchRequest.h"
#include "ads/foundation/DZQueryParameters.h"
#include "ads/presentation/DZAdSizeDelegate.h"
#include "ads/presentation/banner/DZBannerViewDelegate.h"
#include "ads/web/view/DZWebView.h"
#include "core/URLRequest.h"
#include "core/UserDefaults.h"
#include "store/URLOpener.h"
#include "support/ManualClockScope.h"
#include "ui/TouchInjector.h"
#include "ui/Window.h"

namespace {

using ads::DZDynamicHeightSearchBannerView;
using ads::DZSearchBannerView;
using adwebtesting::waitFor;

constexpr long kLinkClicked = 0;
constexpr long kOtherNavigation = 5;

class RecordingSearchDelegate : public ads::DZBannerViewDelegate, public ads::DZAdSizeDelegate {
public:
    int received = 0;
    int left = 0;
    std::vector<ads::DZRequestError> failures;
    std::vector<ads::DZAdSize> sizes;

    void adViewDidReceiveAd(ads::DZBannerView&) override { ++received; }
    void didFailToReceiveAdWithError(ads::DZBannerView&,
                                     const ads::DZRequestError& error) override {
        failures.push_back(error);
    }
    void adViewWillLeaveApplication(ads::DZBannerView&) override { ++left; }
    void willChangeAdSizeTo(ads::DZBannerView&, const ads::DZAdSize& size) override {
        sizes.push_back(size);
    }
};

class DZSearchBannerViewTest : public testing::Test {
protected:
    void SetUp() override {
        ads::DZForgetLatestTouchForTesting();
        store::URLOpener::shared().clearForTesting();
        store::URLOpener::shared().setLaunchesSystemOpener(false);
        banner = DZSearchBannerView::create({0, 0, 320, 0}, ads::kDZAdSizeFluid);
        ASSERT_TRUE(banner);
        banner->setDelegate(delegate);
        banner->setAdSizeDelegate(delegate);
        banner->setAdUnitID("search-unit");
    }
    void TearDown() override {
        core::UserDefaults::standard()->removeObjectForKey(
            DZDynamicHeightSearchBannerView::kUseCancelledURLErrorKey);
        store::URLOpener::shared().clearForTesting();
        ads::DZForgetLatestTouchForTesting();
        banner.reset();
        EXPECT_TRUE(adwebtesting::drainMainQueue());
    }
    DZDynamicHeightSearchBannerView& page() { return *banner->dynamicHeightAdView(); }
    // What the page's navigation to url answers: whether it loads.
    bool navigate(const std::string& url, long type = kOtherNavigation) {
        const auto parsed = core::URL::create(url);
        EXPECT_TRUE(parsed) << url;
        if (!parsed) return true;
        return page().shouldStartLoadWithRequest(*page().adWebView(), core::URLRequest(*parsed),
                                                 type);
    }
    [[nodiscard]] std::vector<store::URLOpener::Request> opened() const {
        return store::URLOpener::shared().requests();
    }

    testsupport::ManualClockScope clock;
    std::shared_ptr<RecordingSearchDelegate> delegate = std::make_shared<RecordingSearchDelegate>();
    std::shared_ptr<DZSearchBannerView> banner;
};

TEST_F(DZSearchBannerViewTest, AFluidSearchBannerHasAPageAndNoSlot) {
    EXPECT_FALSE(banner->slot());
    EXPECT_EQ(page().adState(), DZDynamicHeightSearchBannerView::kNothingLoaded);
    EXPECT_EQ(page().adUnitID(), std::optional<std::string>("search-unit"));
    // With a known size it is an ordinary banner.
    const auto ordinary = DZSearchBannerView::createWithAdSize(ads::kDZAdSizeBanner);
    ASSERT_TRUE(ordinary);
    EXPECT_TRUE(ordinary->slot());
    EXPECT_FALSE(ordinary->dynamicHeightAdView());
}

TEST_F(DZSearchBannerViewTest, ResizesAnnounceTheAdOnceAndFollowTheHeight) {
    EXPECT_FALSE(navigate("dmsg://adResized?height=90"));
    EXPECT_EQ(delegate->received, 1);
    EXPECT_EQ(page().adState(), DZDynamicHeightSearchBannerView::kShown);
    EXPECT_EQ(page().currentAdSize(), (gfx::Size{320, 90}));
    EXPECT_EQ(page().frame().size, (gfx::Size{320, 90}));
    EXPECT_FALSE(navigate("dmsg://adResized?height=150"));
    EXPECT_EQ(delegate->received, 1);
    EXPECT_EQ(page().currentAdSize(), (gfx::Size{320, 150}));
    ASSERT_EQ(delegate->sizes.size(), 2u);
    EXPECT_EQ(delegate->sizes[1].size, (gfx::Size{320, 150}));
    // Other page messages are swallowed; plain navigations load.
    EXPECT_FALSE(navigate("dmsg://somethingElse"));
    EXPECT_TRUE(navigate("https://search.test/more"));
    EXPECT_EQ(page().adState(), DZDynamicHeightSearchBannerView::kShown);
}

TEST_F(DZSearchBannerViewTest, HeightsNoFrameCanTakeAreRefused) {
    // Before any ad: nothing is announced and nothing is shown.
    for (const char* height : {"-1", "nan", "inf", "-inf", "1e999"}) {
        EXPECT_FALSE(navigate(std::string("dmsg://adResized?height=") + height)) << height;
        EXPECT_EQ(page().adState(), DZDynamicHeightSearchBannerView::kNothingLoaded) << height;
    }
    EXPECT_EQ(delegate->received, 0);
    EXPECT_TRUE(delegate->sizes.empty());

    // A shown ad keeps its height.
    EXPECT_FALSE(navigate("dmsg://adResized?height=90"));
    for (const char* height : {"-90", "NAN", "infinity", "-1e999"}) {
        EXPECT_FALSE(navigate(std::string("dmsg://adResized?height=") + height)) << height;
        EXPECT_EQ(page().currentAdSize(), (gfx::Size{320, 90})) << height;
        EXPECT_EQ(page().adWebView()->frame().size, (gfx::Size{320, 90})) << height;
    }
    EXPECT_EQ(delegate->received, 1);
    EXPECT_EQ(delegate->sizes.size(), 1u);
}

TEST_F(DZSearchBannerViewTest, TheVideoCallsOfAFluidBannerWithoutVideoDoNothing) {
    EXPECT_FALSE(banner->videoController());
    banner->resetVideoController();
    banner->processAdOptions();
    EXPECT_FALSE(banner->videoController());
    // A search banner of a known size has one, and they reach it.
    const auto ordinary = DZSearchBannerView::createWithAdSize(ads::kDZAdSizeBanner);
    ASSERT_TRUE(ordinary && ordinary->videoController());
    ordinary->resetVideoController();
    ordinary->processAdOptions();
    EXPECT_TRUE(ordinary->videoController());
}

TEST_F(DZSearchBannerViewTest, AZeroHeightShowsNoAd) {
    EXPECT_FALSE(navigate("dmsg://adResized?height=0"));
    EXPECT_EQ(delegate->received, 0);
    EXPECT_EQ(page().adState(), DZDynamicHeightSearchBannerView::kShown);
    EXPECT_EQ(page().currentAdSize().height, 0);
}

TEST_F(DZSearchBannerViewTest, PageFailuresReachTheDelegateWithTheirCodes) {
    EXPECT_FALSE(navigate("dmsg://adResized?height=90"));
    EXPECT_FALSE(navigate("dmsg://noAdLoaded"));
    ASSERT_EQ(delegate->failures.size(), 1u);
    EXPECT_EQ(delegate->failures[0].code, ads::kDZErrorNoFill);
    EXPECT_EQ(delegate->failures[0].message, "No ads are available");
    EXPECT_EQ(page().adState(), DZDynamicHeightSearchBannerView::kFailed);
    EXPECT_EQ(page().currentAdSize().height, 0);
    EXPECT_FALSE(navigate("dmsg://scriptLoadFailed"));
    ASSERT_EQ(delegate->failures.size(), 2u);
    EXPECT_EQ(delegate->failures[1].code, ads::kDZErrorNetworkError);
    EXPECT_EQ(delegate->failures[1].message, "Failed to load resources over the network");
    // A later resize shows the ad again, announced again.
    EXPECT_FALSE(navigate("dmsg://adResized?height=60"));
    EXPECT_EQ(delegate->received, 2);
}

TEST_F(DZSearchBannerViewTest, CancelledLoadsFailOnlyWhenTheFlagSaysSo) {
    page().adWebView()->setFrame({0, 0, 320, 80});
    const ads::Error cancelled =
        ads::DZErrorWithDomainCodeDescription("core.network", -999, std::nullopt);
    page().didFailLoadWithError(*page().adWebView(), cancelled);
    EXPECT_TRUE(delegate->failures.empty());
    EXPECT_EQ(page().adState(), DZDynamicHeightSearchBannerView::kNothingLoaded);
    EXPECT_EQ(page().currentAdSize().height, 80);

    core::UserDefaults::standard()->setObject(
        std::string(DZDynamicHeightSearchBannerView::kUseCancelledURLErrorKey), true);
    page().didFailLoadWithError(*page().adWebView(), cancelled);
    ASSERT_EQ(delegate->failures.size(), 1u);
    EXPECT_EQ(delegate->failures[0].code, -999);
    EXPECT_EQ(page().adState(), DZDynamicHeightSearchBannerView::kFailed);
}

TEST_F(DZSearchBannerViewTest, OnlySearchRequestsThatAreNotChildDirectedLoad) {
    banner->loadRequest(std::make_shared<ads::DZRequest>());
    EXPECT_TRUE(delegate->failures.empty());  // told on a later turn
    ASSERT_TRUE(waitFor([&] { return delegate->failures.size() == 1; }));
    EXPECT_EQ(delegate->failures[0].code, ads::kDZErrorInvalidArgument);
    EXPECT_EQ(delegate->failures[0].message,
              "Unexpected request type while expecting a request of type: "
              "DZDynamicHeightSearchRequest");

    auto childDirected = std::make_shared<ads::DZDynamicHeightSearchRequest>();
    childDirected->tagForChildDirectedTreatment(true);
    banner->loadRequest(childDirected);
    ASSERT_TRUE(waitFor([&] { return delegate->failures.size() == 2; }));
    EXPECT_EQ(delegate->failures[1].code, ads::kDZErrorInvalidArgument);
    EXPECT_EQ(delegate->failures[1].message,
              "Child directed treatment is not supported for request type: "
              "DZDynamicHeightSearchRequest");
    EXPECT_EQ(page().adState(), DZDynamicHeightSearchBannerView::kNothingLoaded);

    // A host that makes no URL cannot start either.
    auto badHost = std::make_shared<ads::DZDynamicHeightSearchRequest>();
    badHost->setAdvancedOptionValue("no host here", "customDomain");
    banner->loadRequest(badHost);
    ASSERT_TRUE(waitFor([&] { return delegate->failures.size() == 3; }));
    EXPECT_EQ(delegate->failures[2].code, ads::kDZErrorInvalidArgument);
    EXPECT_EQ(delegate->failures[2].message,
              "Unable to build the search request URL: its host is not valid.");
    EXPECT_EQ(page().adState(), DZDynamicHeightSearchBannerView::kNothingLoaded);

    auto search = std::make_shared<ads::DZDynamicHeightSearchRequest>();
    search->setQuery("flowers");
    banner->loadRequest(search);
    EXPECT_EQ(page().adState(), DZDynamicHeightSearchBannerView::kLoading);
}

TEST_F(DZSearchBannerViewTest, AZeroWidthOrHeightHidesThePage) {
    banner->setFrame({0, 0, 320, 100});
    EXPECT_FALSE(page().isHidden());
    banner->setFrame({0, 0, 0, 100});
    EXPECT_TRUE(page().isHidden());
    banner->setFrame({0, 0, 320, 0});
    EXPECT_TRUE(page().isHidden());
    banner->setFrame({0, 0, 300, 50});
    EXPECT_FALSE(page().isHidden());
    EXPECT_EQ(page().frame().size.width, 300);
}

TEST_F(DZSearchBannerViewTest, TappedLinksOpenWithTheClickSignalOfTheirTouch) {
    const std::string link = "https://ads.test/aclk?ai=XYZ&sig=1&adurl=https://shop.test/?a=b";
    // No touch yet: the link goes out as it came.
    EXPECT_FALSE(navigate(link, kLinkClicked));
    ASSERT_EQ(opened().size(), 1u);
    EXPECT_EQ(opened()[0].url.absoluteString(), link);
    EXPECT_EQ(delegate->left, 1);

    // A tap on the page, then the link: the signal goes in before "adurl=".
    banner->setFrame({0, 0, 320, 100});
    EXPECT_FALSE(navigate("dmsg://adResized?height=100"));
    const auto window = std::make_shared<ui::Window>(gfx::Rect{0, 0, 320, 480});
    window->addSubview(banner);
    window->makeKeyAndVisible();
    ui::TouchInjector(*window).tap({40, 30});
    clock.advance(2);
    ASSERT_TRUE(ads::DZLatestTouch());
    EXPECT_FALSE(navigate(link, kLinkClicked));
    ASSERT_EQ(opened().size(), 2u);
    const core::URL sent = opened()[1].url;
    const auto signal = ads::DZQueryValueForKey(sent, "nb");
    ASSERT_TRUE(signal) << sent.absoluteString();
    EXPECT_EQ(signal->rfind("40.30.", 0), 0u) << *signal;
    EXPECT_NE(sent.absoluteString().find("&nb="), std::string::npos);
    EXPECT_LT(sent.absoluteString().find("nb="), sent.absoluteString().find("adurl="));

    // A link without "ai" gets no signal.
    EXPECT_FALSE(navigate("https://ads.test/plain?x=1", kLinkClicked));
    EXPECT_EQ(opened()[2].url.absoluteString(), "https://ads.test/plain?x=1");
    banner->removeFromSuperview();
}

TEST_F(DZSearchBannerViewTest, LandingPagesOfLocalOrScriptSchemesNeverOpen) {
    for (const char* url :
         {"javascript:alert(1)", "file:///etc/passwd", "data:text/html,hello", "about:blank"}) {
        EXPECT_FALSE(navigate(url, kLinkClicked)) << url;
    }
    EXPECT_TRUE(opened().empty());
    EXPECT_EQ(delegate->left, 0);
}

TEST(DZClickSignalTest, SignalsNeedATouchAndAnAiValueAndAreBoundToIt) {
    testsupport::ManualClockScope clock;
    ads::DZForgetLatestTouchForTesting();
    std::string signal = "untouched";
    EXPECT_FALSE(ads::DZGestureClickSignal("abc", signal));
    EXPECT_EQ(signal, "untouched");

    auto view = std::make_shared<ui::View>(gfx::Rect{0, 0, 200, 200});
    view->addGestureRecognizer(std::make_shared<ads::DZGestureRecognizer>());
    const auto window = std::make_shared<ui::Window>(gfx::Rect{0, 0, 320, 480});
    window->addSubview(view);
    window->makeKeyAndVisible();
    ui::TouchInjector(*window).tap({12.4, 99.6});
    ASSERT_TRUE(ads::DZLatestTouch());
    EXPECT_FALSE(ads::DZGestureClickSignal("", signal));

    ASSERT_TRUE(ads::DZGestureClickSignal("abc", signal));
    EXPECT_EQ(signal.rfind("nb=12.100.", 0), 0u) << signal;
    EXPECT_EQ(std::count(signal.begin(), signal.end(), '='), 1);
    std::string other;
    ASSERT_TRUE(ads::DZGestureClickSignal("abd", other));
    EXPECT_NE(signal, other);
    // An hour later the touch says nothing about a click.
    clock.advance(3601);
    EXPECT_FALSE(ads::DZGestureClickSignal("abc", signal));

    std::string touch;
    ASSERT_TRUE(ads::DZGestureTouchSignal(3, 4, 0.25, touch));
    EXPECT_EQ(touch.rfind("nt=3.4.250.", 0), 0u) << touch;
    EXPECT_FALSE(ads::DZGestureTouchSignal(3, 4, -1, touch));
    ads::DZForgetLatestTouchForTesting();
}

}  // namespace
