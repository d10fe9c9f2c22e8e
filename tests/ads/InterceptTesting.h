#pragma once
// Shared by the tests of what ad pages load (the URL protocol, the URL
// stash): an ad view's slot of a banner, an ad view delegate that counts
// the page's loads that finished, and an ad page shown in an ad view of
// either kind with what the URL stash holds for it.

#include <memory>
#include <set>
#include <string>

#include "AdWebTesting.h"
#include "ads/core/request/DZAdSize.h"
#include "ads/core/request/DZAdType.h"
#include "ads/core/response/DZAd.h"
#include "ads/presentation/click/DZOpener.h"
#include "ads/web/intercept/DZAdURLStash.h"
#include "ads/web/intercept/DZAdViewResourceCollection.h"
#include "ads/web/view/DZAdView.h"
#include "ads/web/view/DZAdViewDelegate.h"
#include "ads/web/view/DZAdViewSlot.h"

namespace intercepttesting {

class BannerSlot : public ads::DZAdViewSlot {
public:
    explicit BannerSlot(const std::shared_ptr<ads::DZAdView>& adView) : adView_(adView) {}
    [[nodiscard]] std::shared_ptr<ads::DZAdType> adType() const override {
        return ads::DZAdType::bannerAdTypeForSize(ads::kDZAdSizeBanner);
    }
    [[nodiscard]] std::shared_ptr<ads::DZAdView> adView() const override { return adView_.lock(); }

private:
    std::weak_ptr<ads::DZAdView> adView_;
};

class FinishCountingDelegate : public ads::DZAdViewDelegate {
public:
    void adViewDidFinishLoad(ads::DZAdView& adView) override {
        ++finishes;
        DZAdViewDelegate::adViewDidFinishLoad(adView);
    }
    int finishes = 0;
};

// An ad page in a banner ad view, and what the URL stash holds for it.
struct ShownAd {
    // Shows html as the ad at base in a new ad view ("WK" kind when webKit,
    // else "UI") and waits until its first load finished; false when it
    // did not.
    [[nodiscard]] bool show(const std::string& html, const core::URL& base, bool webKit) {
        ads::DZWebViewConfiguration configuration;
        if (webKit) configuration.setWebViewClassKey("wk");
        adView = ads::DZAdView::create({0, 0, 320, 50}, configuration);
        if (!adView) return false;
        adView->setDelegate(delegate);
        slot = std::make_shared<BannerSlot>(adView);
        delegate->opener()->setAdViewSlot(slot);
        auto ad = std::make_shared<ads::DZAd>();
        ad->setAdHTML(html);
        ad->setAdBaseURL(base);
        ad->setAdURL(base);
        adView->setAd(ad);
        return adwebtesting::waitFor([&] { return delegate->finishes > 0; });
    }
    // Waits until script is true in the page; false when it never is.
    [[nodiscard]] bool waitUntil(const std::string& script, double limit) const {
        return adwebtesting::waitFor(
            [&] {
                const auto done = adwebtesting::answerTo(*adView->webView(), script);
                return done && done->ok() && done->value() == core::Value(true);
            },
            limit);
    }
    // The URLs of the resources the stash holds for the ad view, once what
    // is posted to it has been filed.
    [[nodiscard]] std::set<std::string> recorded() const {
        std::set<std::string> urls;
        const auto stash = ads::DZAdURLStash::sharedInstance();
        (void)stash->hasLoadingAd();  // after every update posted before
        const auto collection = stash->resourceCollectionForAdView(adView);
        if (!collection) return urls;
        const core::Dictionary report = collection->dictionaryRepresentation();
        for (const core::Value& entry : *report["resources"].array())
            urls.insert(entry["url"].stringValue());
        return urls;
    }

    std::shared_ptr<FinishCountingDelegate> delegate = std::make_shared<FinishCountingDelegate>();
    std::shared_ptr<BannerSlot> slot;
    std::shared_ptr<ads::DZAdView> adView;
};

}  // namespace intercepttesting
