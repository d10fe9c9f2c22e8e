#pragma once
// The standard delegate of an ad view and the router of the script bridge
// for ad pages. It owns the ordered list of dmsg handlers and the opener
// that performs what the page asks, and decides every navigation the page
// starts: loaded, refused, routed as a dmsg message, or handed to the
// opener (composers, app schemes, "deeplink+", and clicks: http(s)
// navigations of a touched ad of the opener's slot, once the ad view has
// loaded and at least kMinimumClickDelay seconds after the slot's ad
// loaded, that are neither back/forward nor reloads).
//
// A dmsg message is built off the main thread on one serial queue and then
// offered on the main queue to a snapshot of the handler list taken when it
// arrived, so messages reach the handlers in the order they were sent. A
// message no handler claims is posted on the default notification center
// (main queue, the ad view as object, its parameters as user info) when its
// name is one of kRepostedMessageNames; others are dropped.
//
// Main thread, except handleDMSGURL(), which any thread may call.

#include <array>
#include <memory>
#include <string_view>
#include <vector>

#include "ads/web/dmsg/DZCSIDMSGHandlerDelegate.h"
#include "ads/web/view/DZAdViewDelegateProtocol.h"
#include "core/URL.h"

namespace ads {

class DZCSI;
class DZDMSGHandler;
class DZSlot;

class DZAdViewDelegate : public DZAdViewDelegateProtocol,
                         public DZCSIDMSGHandlerDelegate,
                         public std::enable_shared_from_this<DZAdViewDelegate> {
public:
    static constexpr std::string_view kDeeplinkPlusEnabledKey = "/dozuza/ads/deeplinkplus_enabled";
    static constexpr std::string_view kHandleIframeNavigationKey =
        "/dozuza/ads/handle_iframe_navigation";
    static constexpr double kMinimumClickDelay = 0.15;
    // What the native ad's views, the preprocessor and the media content
    // observe on their ad view.
    static constexpr std::array<std::string_view, 8> kRepostedMessageNames = {
        "jsLoaded",    "nativeAdPreProcess", "nativeAdCustomClick",   "loadHtml",
        "showOverlay", "hideOverlay",        "sendMessageToNativeJs", "sendMessageToSdk"};

    DZAdViewDelegate();
    ~DZAdViewDelegate() override;

    void addDMSGHandler(std::shared_ptr<DZDMSGHandler> handler);
    [[nodiscard]] const std::vector<std::shared_ptr<DZDMSGHandler>>& DMSGHandlers() const {
        return handlers_;
    }
    void handleDMSGURL(const core::URL& url, const std::shared_ptr<DZAdView>& adView);

    // The navigation policy; when it allows the load the URL stash hears of
    // the request.
    bool shouldStartLoadWithRequest(DZAdView& adView, const core::URLRequest& request,
                                    long navigationType) override;
    [[nodiscard]] virtual bool
    adViewDelegateShouldStartLoadWithRequest(DZAdView& adView, const core::URLRequest& request,
                                             long navigationType);
    void handleDeeplinkPlusURL(const core::URL& url);
    // Whether a navigation of this type, now, is a click on the opener's
    // slot's ad.
    [[nodiscard]] bool shouldTreatNavigationTypeAsClick(long navigationType) const;
    // The ad view whose touch makes a navigation a click: the slot's own;
    // a delegate of another ad view that shows the slot's ad names it.
    [[nodiscard]] virtual std::shared_ptr<DZAdView> clickableAdView(const DZSlot& slot) const;
    [[nodiscard]] virtual bool handlesClicks() const { return true; }

    void adViewDidFinishLoad(DZAdView& adView) override;
    void didMoveToPlacement(DZAdView& adView,
                            const std::shared_ptr<const void>& placement) override;
    std::shared_ptr<DZOpener> opener() override { return opener_; }
    // The timing hub that timing messages of the page record into; none for
    // a plain ad view delegate.
    [[nodiscard]] std::shared_ptr<DZCSI> CSIForDMSGHandler() override { return nullptr; }
    // The opener's slot.
    std::shared_ptr<DZAdViewSlot> adViewSlot() override;
    [[nodiscard]] bool hasLoadedAtLeastOnce() const { return hasLoadedAtLeastOnce_; }

protected:
    // A pointer to this delegate that handlers made in a constructor may
    // keep weakly: it expires when the delegate goes, though it does not
    // keep the delegate alive (weak_from_this() is empty until the
    // constructor has returned).
    template <typename Interface>
    [[nodiscard]] std::weak_ptr<Interface> weakSelfAs(Interface* self) const {
        return std::shared_ptr<Interface>(lifetime_, self);
    }

private:
    void routeOnMainQueue(const std::shared_ptr<const class DZNotification>& notification,
                          const std::shared_ptr<DZAdView>& adView,
                          const std::vector<std::shared_ptr<DZDMSGHandler>>& handlers);

    const std::shared_ptr<char> lifetime_ = std::make_shared<char>();
    std::vector<std::shared_ptr<DZDMSGHandler>> handlers_;
    const std::shared_ptr<DZOpener> opener_;
    bool hasLoadedAtLeastOnce_ = false;
};

}  // namespace ads
