#pragma once
// The delegate of a slot's ad view: the ad view delegate's routing and
// navigation policy, with the page's load events turned into the slot's
// states. A finished load while the slot renders makes the ad valid and
// shows it; a failed load before the ad is valid fails the slot with SDK
// error 2; content size changes go to the slot. Its opener acts for the
// slot. The banner's own message handlers (app events, ad-app properties,
// delayed page loads) join its handler list when they exist.
// Main thread.

#include <memory>

#include "ads/web/view/DZAdViewDelegate.h"

namespace ads {

class DZCSI;
class DZSlot;

class DZBannerAdViewDelegate : public DZAdViewDelegate {
public:
    explicit DZBannerAdViewDelegate(std::weak_ptr<DZSlot> slot);

    [[nodiscard]] std::shared_ptr<DZSlot> slot() const { return slot_.lock(); }

    void adViewDidFinishLoad(DZAdView& adView) override;
    void didFailLoadWithError(DZAdView& adView, const Error& error) override;
    void contentSizeDidChange(DZAdView& adView, gfx::Size size) override;
    void didLoadVideoWithSize(DZAdView& adView, gfx::Size size) override;
    void adViewDidRecordImpression(DZAdView& adView) override;
    void adViewDidRecordClick(DZAdView& adView) override;
    // The slot's timing hub.
    [[nodiscard]] std::shared_ptr<DZCSI> CSIForDMSGHandler() override;

private:
    const std::weak_ptr<DZSlot> slot_;
};

}  // namespace ads
