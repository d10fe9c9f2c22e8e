#pragma once
// Lets a native ad's page (the support page in the ad's slot) put an HTML
// overlay over the app's ad view. The page asks through its messages:
// "loadHtml" ({"overlayHtml", "baseUrl" (default "about:blank"), "id"})
// loads the overlay's own page into a second ad web view inside this view,
// "showOverlay" and "hideOverlay" show and hide this view, and
// "sendMessageToNativeJs" is passed to the overlay page as
// "sendMessageToSdk". The overlay page's "sendMessageToSdk" goes back to
// the ad's page as "sendMessageToNativeJs", stamped with the "id" of the
// overlay that finished loading when it carries none; its "hideOverlay"
// hides this view. A finished load tells the ad's page {"messageType":
// "htmlLoaded", "id"}.
//
// Threading: main thread.

#include <memory>
#include <optional>
#include <string>

#include "ads/web/view/DZAdViewDelegateProtocol.h"
#include "core/NotificationCenter.h"
#include "core/Value.h"
#include "ui/View.h"

namespace ads {

class DZAdView;
class DZAdViewDelegate;

class DZOverlayView : public ui::View, public DZAdViewDelegateProtocol {
public:
    [[nodiscard]] static std::shared_ptr<DZOverlayView> create(const gfx::Rect& frame = {});
    ~DZOverlayView() override;

    void setAdView(const std::shared_ptr<DZAdView>& adView);
    [[nodiscard]] const std::shared_ptr<DZAdView>& adView() const { return adView_; }
    [[nodiscard]] const std::shared_ptr<DZAdView>& overlayView() const { return overlayView_; }
    [[nodiscard]] const std::optional<std::string>& overlayIdentifier() const {
        return overlayIdentifier_;
    }
    [[nodiscard]] const std::optional<core::Dictionary>& loadOverlayUserInfo() const {
        return loadOverlayUserInfo_;
    }

    void loadOverlayWithUserInfo(const core::Value& userInfo);
    void sendMessageToOverlayWithUserInfo(const core::Value& userInfo);

    // The overlay web view's callbacks, passed on to its standard delegate.
    bool shouldStartLoadWithRequest(DZAdView& adView, const core::URLRequest& request,
                                    long navigationType) override;
    void adViewDidStartLoad(DZAdView& adView) override;
    void didFailLoadWithError(DZAdView& adView, const Error& error) override;
    void adViewDidFinishLoad(DZAdView& adView) override;

    explicit DZOverlayView(const gfx::Rect& frame) : ui::View(frame) {}

private:
    void addOverlaySubview();
    void removeOverlaySubview();
    void handleSendMessageToAdViewNotification(const core::Notification& notification);

    std::shared_ptr<DZAdView> adView_;
    std::shared_ptr<DZAdView> overlayView_;
    std::shared_ptr<DZAdViewDelegate> adViewDelegate_;
    std::optional<core::Dictionary> loadOverlayUserInfo_;
    std::optional<std::string> overlayIdentifier_;
    std::vector<core::NotificationCenter::Token> adViewTokens_;
    std::vector<core::NotificationCenter::Token> overlayTokens_;
};

}  // namespace ads
