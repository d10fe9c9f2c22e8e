#pragma once
// The delegate of a slot's ad view: the ad view delegate's routing and
// navigation policy, with the page's load events turned into the slot's
// states. A finished load while the slot renders makes the ad valid and
// shows it; a failed load before the ad is valid fails the slot with SDK
// error 2; content size changes go to the slot. Its opener acts for the
// slot, and its own message handlers follow the ad view delegate's: app
// events (held until the slot has a placement), full-screen ad settings and
// delayed page loads.
//
// While the page holds its load back ("delayPageLoaded" "start"), a finished
// load waits: it counts once the last delay is stopped. A cancelled delay
// is a failed load with the cancelled error. Main thread.

#include <cstdint>
#include <memory>

#include "ads/web/dmsg/DZDelayLoadDelegate.h"
#include "ads/web/view/DZAdViewDelegate.h"

namespace ads {

class DZCSI;
class DZSlot;

class DZBannerAdViewDelegate : public DZAdViewDelegate, public DZDelayLoadDelegate {
public:
    explicit DZBannerAdViewDelegate(std::weak_ptr<DZSlot> slot);

    [[nodiscard]] std::shared_ptr<DZSlot> slot() const { return slot_.lock(); }
    [[nodiscard]] bool isLoadDelayed() const { return loadDelayed_; }
    [[nodiscard]] bool isLoadFinished() const { return loadFinished_; }

    void adViewDidFinishLoad(DZAdView& adView) override;
    void didFailLoadWithError(DZAdView& adView, const Error& error) override;
    // The ad's page is gone: an ad still rendering fails; a shown one is
    // taken down (a full-screen ad closes, a banner's ad is hidden and
    // fails, which schedules the banner's next one).
    void adViewWebProcessDidTerminate(DZAdView& adView) override;
    void contentSizeDidChange(DZAdView& adView, gfx::Size size) override;
    void didLoadVideoWithSize(DZAdView& adView, gfx::Size size) override;
    void adViewDidRecordImpression(DZAdView& adView) override;
    void adViewDidRecordClick(DZAdView& adView) override;
    // The slot's timing hub.
    [[nodiscard]] std::shared_ptr<DZCSI> CSIForDMSGHandler() override;

    // DZDelayLoadDelegate.
    void loadHandlerDidCancel(DZDelayPageLoadDMSGHandler& handler) override;
    void loadHandlerDidChangeDelay(DZDelayPageLoadDMSGHandler& handler, std::int64_t from,
                                   std::int64_t to) override;

private:
    const std::weak_ptr<DZSlot> slot_;
    bool loadDelayed_ = false;
    bool loadFinished_ = false;
};

}  // namespace ads
