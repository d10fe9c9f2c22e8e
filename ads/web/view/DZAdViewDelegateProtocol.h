#pragma once
// What an ad view tells and asks its delegate (normally a DZAdViewDelegate,
// which routes the page's messages and clicks), on the main thread. Every
// method's default does what the ad view does when its delegate lacks it.
// Navigation types are the numbers of DZWebViewDelegate.

#include <memory>

#include "ads/core/request/DZError.h"
#include "core/URLRequest.h"
#include "gfx/Geometry.h"

namespace ads {

class DZAdView;
class DZAdViewSlot;
class DZOpener;

class DZAdViewDelegateProtocol {
public:
    virtual ~DZAdViewDelegateProtocol() = default;

    // False: nothing loads for the navigation. Default: allow.
    virtual bool shouldStartLoadWithRequest(DZAdView& adView, const core::URLRequest& request,
                                            long navigationType);
    virtual void adViewDidStartLoad(DZAdView& adView);
    virtual void adViewDidFinishLoad(DZAdView& adView);
    virtual void didFailLoadWithError(DZAdView& adView, const Error& error);
    // The page's web process ended (see DZWebViewDelegate); the ad shows
    // nothing until its next load.
    virtual void adViewWebProcessDidTerminate(DZAdView& adView);
    // The page's history changed where no load tells of it (see
    // DZWebViewDelegate::webViewDidChangeHistory).
    virtual void adViewDidChangeHistory(DZAdView& adView);
    virtual void didMoveToPlacement(DZAdView& adView, const std::shared_ptr<const void>& placement);
    virtual void contentSizeDidChange(DZAdView& adView, gfx::Size size);
    // Sent by the video and message-handler parts.
    virtual void didLoadVideoWithSize(DZAdView& adView, gfx::Size size);
    virtual void adViewDidRecordImpression(DZAdView& adView);
    virtual void adViewDidRecordClick(DZAdView& adView);

    // The opener acting for the ad: a DZAdViewDelegate's own; none here.
    [[nodiscard]] virtual std::shared_ptr<DZOpener> opener();
    // The slot that shows the ad: a banner's delegate gives its own, a
    // DZAdViewDelegate its opener's; none here.
    [[nodiscard]] virtual std::shared_ptr<DZAdViewSlot> adViewSlot();
};

}  // namespace ads
