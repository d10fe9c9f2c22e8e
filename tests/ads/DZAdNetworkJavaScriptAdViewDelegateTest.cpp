// Ads that carry an ad network's script tag, loaded inline into a banner
// slot: passbacks, and the check on the ad view's real snapshot that the
// tag drew something, tick by tick on the manual clock, which the slot's
// render limit does not cut short.

#include "ads/core/response/DZAdNetworkJavaScriptAdViewDelegate.h"

#include "SlotTesting.h"
#include "ads/foundation/DZViewImaging.h"
#include "ads/web/view/DZAdView.h"
#include "support/ManualClockScope.h"

namespace {

using namespace slottesting;
using ads::DZAdNetworkJavaScriptAdViewDelegate;
using ads::DZSlot;

constexpr const char* kBlankTag =
    "<html><body style='margin:0; background:transparent'><script>var tag = 1;</script>"
    "</body></html>";

core::URLRequest requestFor(const std::string& url) {
    return core::URLRequest(*core::URL::create(url));
}

class DZAdNetworkJavaScriptTest : public testing::Test {
protected:
    void SetUp() override {
        owner->sizes = std::vector<ads::DZAdSize>{ads::kDZAdSizeBanner};
        slot = bannerSlot(*owner);
        ASSERT_TRUE(slot);
    }
    // Loads a script ad inline; answers its delegate at once (before the
    // page has loaded).
    std::shared_ptr<DZAdNetworkJavaScriptAdViewDelegate> load(const std::string& html) {
        core::Dictionary ad = inlineAd(html);
        ad.set("ad_is_javascript", true);
        ad.set("ad_passback_url", "https://pb.test/back/");
        slot->loadRequest(requestWithExtras({{"_ad", ad}}));
        delegate = std::dynamic_pointer_cast<DZAdNetworkJavaScriptAdViewDelegate>(
            slot->adViewDelegate());
        return delegate;
    }
    [[nodiscard]] bool loadAndStartChecking(const std::string& html = kBlankTag) {
        return load(html) && waitFor([&] { return delegate->renderingCheckHasStarted(); });
    }
    // One tick of the check timer, and the check it starts.
    [[nodiscard]] bool tick() {
        const auto before = delegate->checkRenderingCount();
        clock.advance(DZAdNetworkJavaScriptAdViewDelegate::kCheckInterval);
        return waitFor(
            [&] { return delegate->checkRenderingCount() > before || !delegate->isChecking(); });
    }

    // The tag draws; true once the page has shown it.
    [[nodiscard]] bool draw() {
        const auto& webView = slot->adView()->webView();
        (void)adwebtesting::evaluate(*webView,
                                     "document.body.style.background = 'rgb(200, 30, 30)'");
        return waitFor([&] {
            bool drawn = false;
            bool done = false;
            ads::DZRenderViewWithFreshWebContent(webView, [&](gfx::ImagePtr snapshot) {
                drawn = ads::DZIsImageContentRendered(snapshot.get(), webView->backgroundColor());
                done = true;
            });
            return waitFor([&] { return done; }) && drawn;
        });
    }

    testsupport::ManualClockScope clock;
    std::shared_ptr<RecordingOwner> owner = std::make_shared<RecordingOwner>();
    std::shared_ptr<DZSlot> slot;
    std::shared_ptr<DZAdNetworkJavaScriptAdViewDelegate> delegate;
};

TEST(DZAdNetworkJavaScriptAdViewDelegate, PassbacksByTheSchemeOrTheAdsPassbackURL) {
    const DZAdNetworkJavaScriptAdViewDelegate withURL({}, core::URL::create("https://pb.test/back/"));
    for (const char* url : {"PASSBACK://now", "passback:x", "https://PB.TEST/back",
                            "https://pb.test/back/", "http://pb.test/back"}) {
        EXPECT_TRUE(withURL.isPassbackRequest(requestFor(url))) << url;
    }
    for (const char* url : {"https://other.test/back/", "https://pb.test/back/more",
                            "https://pb.test/", "https://pb.test/BACK"}) {
        EXPECT_FALSE(withURL.isPassbackRequest(requestFor(url))) << url;
    }
    const DZAdNetworkJavaScriptAdViewDelegate withoutURL({});
    EXPECT_TRUE(withoutURL.isPassbackRequest(requestFor("Passback://x")));
    EXPECT_FALSE(withoutURL.isPassbackRequest(requestFor("https://pb.test/back/")));
}

TEST_F(DZAdNetworkJavaScriptTest, APassbackFailsTheLoadAndEndsTheCheck) {
    ASSERT_TRUE(loadAndStartChecking());
    EXPECT_EQ(slot->adView()->delegate(), delegate);
    EXPECT_EQ(slot->state(), DZSlot::kRendering);
    ASSERT_TRUE(tick());
    EXPECT_TRUE(delegate->isChecking());

    EXPECT_FALSE(delegate->shouldStartLoadWithRequest(*slot->adView(),
                                                      requestFor("https://pb.test/back"), 0));
    EXPECT_TRUE(delegate->wasPassbackReceived());
    EXPECT_FALSE(delegate->isChecking());
    ASSERT_EQ(owner->failures.size(), 1u);
    EXPECT_EQ(owner->failures[0].code, ads::kDZErrorNoFill);
    EXPECT_EQ(owner->failures[0].message, "Passback URL received.");
    EXPECT_EQ(slot->state(), DZSlot::kFailed);

    // Other navigations are the banner's to decide.
    EXPECT_TRUE(delegate->shouldStartLoadWithRequest(*slot->adView(),
                                                     requestFor("https://cdn.test/tag.js"), 5));
}

TEST_F(DZAdNetworkJavaScriptTest, APassbackBeforeTheLoadEndsMeansNoCheck) {
    ASSERT_TRUE(load(kBlankTag));
    EXPECT_FALSE(
        delegate->shouldStartLoadWithRequest(*slot->adView(), requestFor("passback://early"), 0));
    delegate->adViewDidFinishLoad(*slot->adView());
    EXPECT_FALSE(delegate->renderingCheckHasStarted());
    EXPECT_FALSE(delegate->isChecking());
    ASSERT_EQ(owner->failures.size(), 1u);
    EXPECT_EQ(owner->failures[0].message, "Passback URL received.");
}

TEST_F(DZAdNetworkJavaScriptTest, ContentDrawnAtTheThirdTickCompletesTheLoadOnce) {
    ASSERT_TRUE(loadAndStartChecking());
    ASSERT_TRUE(tick());
    ASSERT_TRUE(tick());
    EXPECT_EQ(delegate->checkRenderingCount(), 2u);
    EXPECT_EQ(owner->finished, 0);

    // The tag draws, and the page has shown it, before the third tick.
    ASSERT_TRUE(draw());
    ASSERT_TRUE(tick());
    EXPECT_FALSE(delegate->isChecking());
    EXPECT_EQ(delegate->checkRenderingCount(), 2u);
    EXPECT_EQ(owner->finished, 1);
    EXPECT_EQ(slot->state(), DZSlot::kValidAd);
    EXPECT_FALSE(slot->adView()->isHidden());

    clock.advance(1.0);
    ASSERT_TRUE(adwebtesting::drainMainQueue());
    EXPECT_EQ(owner->finished, 1);
    EXPECT_TRUE(owner->failures.empty());
}

// The slot's render limit is for pages that never finish loading: once
// the tag's page has loaded, its own check decides, however long past the
// limit the tag takes to draw.
TEST_F(DZAdNetworkJavaScriptTest, ATagDrawingAfterTheRenderLimitWithinItsCheckIsReceived) {
    EXPECT_EQ(DZSlot::kDefaultRenderTimeout, 10.0);
    EXPECT_EQ(slot->renderTimeout(), DZSlot::kDefaultRenderTimeout);
    slot->setRenderTimeout(2);
    ASSERT_TRUE(loadAndStartChecking());
    // Three seconds of checks without content.
    for (int i = 0; i < 15; ++i) ASSERT_TRUE(tick()) << i;
    EXPECT_TRUE(owner->failures.empty());
    EXPECT_EQ(slot->state(), DZSlot::kRendering);
    EXPECT_TRUE(delegate->isChecking());

    ASSERT_TRUE(draw());
    ASSERT_TRUE(tick());
    EXPECT_FALSE(delegate->isChecking());
    EXPECT_EQ(owner->finished, 1);
    EXPECT_EQ(slot->state(), DZSlot::kValidAd);
    clock.advance(10);
    ASSERT_TRUE(adwebtesting::drainMainQueue());
    EXPECT_TRUE(owner->failures.empty());
}

// A tag whose page spins in its head never finishes loading: the render
// limit fails it, and nothing is checked.
TEST_F(DZAdNetworkJavaScriptTest, ATagSpinningBeforeItsPageLoadsFailsAtTheRenderLimit) {
    slot->setRenderTimeout(2);
    ASSERT_TRUE(load("<html><head><script>for (;;) {}</script></head><body></body></html>"));
    clock.advance(1.9);
    ASSERT_TRUE(adwebtesting::drainMainQueue());
    EXPECT_TRUE(owner->failures.empty());
    clock.advance(0.2);
    ASSERT_TRUE(waitFor([&] { return !owner->failures.empty(); }));
    EXPECT_EQ(owner->failures[0].code, ads::kDZErrorTimeout);
    EXPECT_EQ(slot->state(), DZSlot::kFailed);
    EXPECT_FALSE(delegate->renderingCheckHasStarted());
    EXPECT_EQ(owner->finished, 0);
}

TEST_F(DZAdNetworkJavaScriptTest, ABlankTagFailsAtTheHundredAndFirstCheck) {
    ASSERT_TRUE(loadAndStartChecking());
    for (int i = 0; i < 100; ++i) ASSERT_TRUE(tick()) << i;
    EXPECT_EQ(delegate->checkRenderingCount(), 100u);
    EXPECT_TRUE(owner->failures.empty());
    EXPECT_TRUE(delegate->isChecking());

    ASSERT_TRUE(tick());
    EXPECT_FALSE(delegate->isChecking());
    ASSERT_EQ(owner->failures.size(), 1u);
    // Through the banner's failed-load path, which reports a network error.
    EXPECT_EQ(owner->failures[0].code, ads::kDZErrorNetworkError);
    EXPECT_EQ(slot->state(), DZSlot::kFailed);
    EXPECT_EQ(owner->finished, 0);
}

}  // namespace
