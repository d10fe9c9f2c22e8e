#pragma once
// The standard delegate of an ad view and the router of the script bridge
// for ad pages. It owns the ordered list of dmsg handlers and the opener
// that performs what the page asks, and decides every navigation the page
// starts: loaded, refused, routed as a dmsg message, or handed to the
// opener (composers, app schemes, "deeplink+").
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

#include "ads/web/view/DZAdViewDelegateProtocol.h"
#include "core/URL.h"

namespace ads {

class DZDMSGHandler;

class DZAdViewDelegate : public DZAdViewDelegateProtocol,
                         public std::enable_shared_from_this<DZAdViewDelegate> {
public:
    static constexpr std::string_view kDeeplinkPlusEnabledKey = "/dozuza/ads/deeplinkplus_enabled";
    static constexpr std::string_view kHandleIframeNavigationKey =
        "/dozuza/ads/handle_iframe_navigation";
    // What the native ad's views observe on their ad view.
    static constexpr std::array<std::string_view, 6> kRepostedMessageNames = {
        "nativeAdCustomClick",   "loadHtml",        "showOverlay", "hideOverlay",
        "sendMessageToNativeJs", "sendMessageToSdk"};

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
    [[nodiscard]] virtual bool handlesClicks() const { return true; }

    void adViewDidFinishLoad(DZAdView& adView) override;
    void didMoveToPlacement(DZAdView& adView,
                            const std::shared_ptr<const void>& placement) override;
    std::shared_ptr<DZOpener> opener() override { return opener_; }
    // The opener's slot.
    std::shared_ptr<DZAdViewSlot> adViewSlot() override;
    [[nodiscard]] bool hasLoadedAtLeastOnce() const { return hasLoadedAtLeastOnce_; }

private:
    void routeOnMainQueue(const std::shared_ptr<const class DZNotification>& notification,
                          const std::shared_ptr<DZAdView>& adView,
                          const std::vector<std::shared_ptr<DZDMSGHandler>>& handlers);

    std::vector<std::shared_ptr<DZDMSGHandler>> handlers_;
    const std::shared_ptr<DZOpener> opener_;
    bool hasLoadedAtLeastOnce_ = false;
};

}  // namespace ads
