#pragma once
// Shared by the tests of what ad pages load (the URL protocol, the URL
// stash): an ad view's slot of a banner, and an ad view delegate that
// counts the page's loads that finished.

#include <memory>

#include "ads/core/request/DZAdSize.h"
#include "ads/core/request/DZAdType.h"
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

}  // namespace intercepttesting
