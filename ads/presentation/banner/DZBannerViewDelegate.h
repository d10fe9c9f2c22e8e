#pragma once
// What a banner view tells its publisher: an ad received or not, the full
// screens an ad opens and closes, leaving the app, and the question whether
// an ad may change the audio session. Every method is optional: the
// defaults do nothing, and the audio question's nullopt counts as yes.
// Main thread.

#include <optional>
#include <string>

#include "ads/core/request/DZError.h"

namespace ads {

class DZBannerView;

class DZBannerViewDelegate {
public:
    virtual ~DZBannerViewDelegate() = default;

    virtual void adViewDidReceiveAd(DZBannerView& view) { (void)view; }
    virtual void didFailToReceiveAdWithError(DZBannerView& view, const DZRequestError& error) {
        (void)view, (void)error;
    }
    virtual void adViewWillPresentScreen(DZBannerView& view) { (void)view; }
    virtual void adViewWillDismissScreen(DZBannerView& view) { (void)view; }
    virtual void adViewDidDismissScreen(DZBannerView& view) { (void)view; }
    virtual void adViewWillLeaveApplication(DZBannerView& view) { (void)view; }
    [[nodiscard]] virtual std::optional<bool>
    shouldChangeAudioSessionToCategory(DZBannerView& view, const std::string& category) {
        (void)view, (void)category;
        return std::nullopt;
    }
};

}  // namespace ads
