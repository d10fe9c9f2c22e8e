// The MRAID interceptor: which requests are a page's MRAID script, the
// script URLs and the substitution switch, and the variant each ad view
// gets through its delegate's slot.

#include <gtest/gtest.h>

#include "ads/foundation/DZServerHosts.h"
#include "ads/presentation/click/DZOpener.h"
#include "ads/web/intercept/DZMRAIDInterceptor.h"
#include "ads/web/view/DZAdView.h"
#include "ads/web/view/DZAdViewDelegate.h"
#include "ads/web/view/DZAdViewSlot.h"

namespace {

using ads::DZMRAIDInterceptor;

class FakeSlot : public ads::DZAdViewSlot {
public:
    FakeSlot(std::shared_ptr<ads::DZAdType> type, const std::shared_ptr<ads::DZAdView>& adView)
        : type_(std::move(type)), adView_(adView) {}
    [[nodiscard]] std::shared_ptr<ads::DZAdType> adType() const override { return type_; }
    [[nodiscard]] std::shared_ptr<ads::DZAdView> adView() const override { return adView_.lock(); }

private:
    std::shared_ptr<ads::DZAdType> type_;
    std::weak_ptr<ads::DZAdView> adView_;
};

// A banner's own delegate, which leads to its slot directly.
class SlotDelegate : public ads::DZAdViewDelegateProtocol {
public:
    explicit SlotDelegate(std::shared_ptr<ads::DZAdViewSlot> slot) : slot_(std::move(slot)) {}
    std::shared_ptr<ads::DZAdViewSlot> adViewSlot() override { return slot_; }

private:
    std::shared_ptr<ads::DZAdViewSlot> slot_;
};

core::URLRequest request(const std::string& text) {
    return core::URLRequest(*core::URL::create(text));
}

TEST(DZMRAIDInterceptor, ScriptRequestsAreNamedExactlyAndNeverTheSDKsOwn) {
    DZMRAIDInterceptor interceptor;
    EXPECT_TRUE(interceptor.shouldRedirectRequest(request("https://a.test/x/mraid.js?v=1")));
    EXPECT_TRUE(interceptor.shouldRedirectRequest(request("http://b.test/mraid.js")));
    EXPECT_TRUE(interceptor.shouldRedirectRequest(request("https://a.test/mraid.js#top")));
    EXPECT_FALSE(interceptor.shouldRedirectRequest(request("https://a.test/MRAID.js")));
    EXPECT_FALSE(interceptor.shouldRedirectRequest(request("https://a.test/mraid.js/more")));
    EXPECT_FALSE(interceptor.shouldRedirectRequest(request("https://a.test/my-mraid.js")));
    EXPECT_FALSE(interceptor.shouldRedirectRequest(request("https://a.test/?f=mraid.js")));

    // A configured script named "mraid.js" loads as it is.
    interceptor.setBannerImplementationURLString("https://s.test/sdk/mraid.js");
    EXPECT_TRUE(interceptor.URLisImplementationURL(*core::URL::create("https://s.test/sdk/mraid.js")));
    EXPECT_FALSE(interceptor.shouldRedirectRequest(request("https://s.test/sdk/mraid.js")));
    EXPECT_TRUE(interceptor.shouldRedirectRequest(request("https://s.test/sdk/mraid.js?v=2")));
}

TEST(DZMRAIDInterceptor, ScriptURLsAndTheSwitch) {
    DZMRAIDInterceptor interceptor;
    const std::string host = "https://" + ads::DZServerHosts::staticHost();
    EXPECT_EQ(interceptor.bannerImplementationURLString(),
              host + "/mads/static/mad/sdk/native/mraid/v2/mraid_app_banner.js");
    EXPECT_EQ(interceptor.expandedBannerImplementationURLString(),
              host + "/mads/static/mad/sdk/native/mraid/v2/mraid_app_expanded_banner.js");
    EXPECT_EQ(interceptor.interstitialImplementationURLString(),
              host + "/mads/static/mad/sdk/native/mraid/v2/mraid_app_interstitial.js");
    for (const auto& url : {interceptor.bannerImplementationURLString(),
                            interceptor.expandedBannerImplementationURLString(),
                            interceptor.interstitialImplementationURLString()}) {
        ASSERT_TRUE(url);
        EXPECT_TRUE(interceptor.URLisImplementationURL(*core::URL::create(*url))) << *url;
    }
    EXPECT_FALSE(interceptor.URLisImplementationURL(*core::URL::create(host + "/other.js")));

    interceptor.setInterstitialImplementationURLString("https://s.test/i.js");
    EXPECT_EQ(interceptor.interstitialImplementationURLString(), "https://s.test/i.js");
    // None, or an empty text, leaves the variant without a script; the
    // others keep theirs.
    interceptor.setInterstitialImplementationURLString(std::nullopt);
    EXPECT_FALSE(interceptor.interstitialImplementationURLString());
    interceptor.setBannerImplementationURLString("");
    EXPECT_FALSE(interceptor.bannerImplementationURLString());
    EXPECT_EQ(interceptor.expandedBannerImplementationURLString(),
              host + std::string(DZMRAIDInterceptor::kDefaultExpandedBannerPath));
    EXPECT_FALSE(interceptor.URLisImplementationURL(
        *core::URL::create(host + std::string(DZMRAIDInterceptor::kDefaultInterstitialPath))));
    interceptor.restoreDefaultImplementationURLStrings();
    EXPECT_EQ(interceptor.interstitialImplementationURLString(),
              host + std::string(DZMRAIDInterceptor::kDefaultInterstitialPath));
    EXPECT_EQ(interceptor.bannerImplementationURLString(),
              host + std::string(DZMRAIDInterceptor::kDefaultBannerPath));

    EXPECT_TRUE(interceptor.canRedirect());
    interceptor.setEnabled(false);
    EXPECT_FALSE(interceptor.canRedirect());
}

TEST(DZMRAIDInterceptor, TheVariantFollowsTheSlot) {
    DZMRAIDInterceptor interceptor;
    interceptor.setBannerImplementationURLString("https://s.test/b.js");
    interceptor.setExpandedBannerImplementationURLString("https://s.test/e.js");
    interceptor.setInterstitialImplementationURLString("https://s.test/i.js");
    const auto own = ads::DZAdView::create({0, 0, 320, 50});
    const auto other = ads::DZAdView::create({0, 0, 320, 50});
    ASSERT_TRUE(own && other);
    const auto variant = [&](const std::shared_ptr<ads::DZAdView>& adView) {
        return interceptor.MRAIDURLStringForAdView(*adView).value_or("none");
    };
    EXPECT_EQ(variant(own), "https://s.test/e.js") << "no delegate, no slot";

    // Through a DZAdViewDelegate's opener.
    const auto delegate = std::make_shared<ads::DZAdViewDelegate>();
    own->setDelegate(delegate);
    other->setDelegate(delegate);
    const auto banner =
        std::make_shared<FakeSlot>(ads::DZAdType::bannerAdTypeForSize(ads::kDZAdSizeBanner), own);
    delegate->opener()->setAdViewSlot(banner);
    EXPECT_EQ(variant(own), "https://s.test/b.js");
    EXPECT_EQ(variant(other), "https://s.test/e.js") << "not the slot's own ad view";
    const auto interstitial =
        std::make_shared<FakeSlot>(ads::DZAdType::interstitialAdType(), own);
    delegate->opener()->setAdViewSlot(interstitial);
    EXPECT_EQ(variant(own), "https://s.test/i.js");
    EXPECT_EQ(variant(other), "https://s.test/i.js");

    // A delegate that leads to its slot itself, and one that leads nowhere.
    const auto slotDelegate = std::make_shared<SlotDelegate>(banner);
    own->setDelegate(slotDelegate);
    EXPECT_EQ(variant(own), "https://s.test/b.js");
    const auto plain = std::make_shared<ads::DZAdViewDelegateProtocol>();
    own->setDelegate(plain);
    EXPECT_EQ(variant(own), "https://s.test/e.js");

    // A variant without a script gives none; the others are unchanged.
    interceptor.setExpandedBannerImplementationURLString(std::nullopt);
    EXPECT_EQ(variant(own), "none");
    own->setDelegate(slotDelegate);
    EXPECT_EQ(variant(own), "https://s.test/b.js");
}

TEST(DZMRAIDInterceptor, TheWebKitViewIsGivenAScriptOnlyWhileSubstitutionIsOn) {
    const auto shared = DZMRAIDInterceptor::sharedInstance();
    const auto adView = ads::DZAdView::create({0, 0, 320, 50});
    ASSERT_TRUE(adView);
    EXPECT_EQ(adView->MRAIDJavaScriptURLStringForWebView(*adView->webView()),
              shared->expandedBannerImplementationURLString());
    shared->setEnabled(false);
    EXPECT_FALSE(adView->MRAIDJavaScriptURLStringForWebView(*adView->webView()));
    shared->setEnabled(true);
}

}  // namespace
