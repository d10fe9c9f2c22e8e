#pragma once
// The delegate an ad app controller gives its ad view: the standard ad view
// delegate plus the full-screen page messages ("customClose",
// "setInterstitialProperties"; app events for interstitial slots), the
// click pings of link navigations and the landing-page load times in the
// slot's ad's statistics. Main thread.

#include <memory>

#include "ads/web/view/DZAdViewDelegate.h"

namespace ads {

class DZAdAppViewController;
class DZSlot;

class DZAdAppAdViewDelegate : public DZAdViewDelegate {
public:
    static constexpr const char* kDisableClickPingOnClickNavigationKey =
        "/dozuza/ads/disable_interstitial_click_ping_on_click_navigation";

    [[nodiscard]] static std::shared_ptr<DZAdAppAdViewDelegate>
    create(const std::shared_ptr<DZAdAppViewController>& controller);
    explicit DZAdAppAdViewDelegate(const std::shared_ptr<DZAdAppViewController>& controller);

    [[nodiscard]] std::shared_ptr<DZAdAppViewController> adAppViewController() const {
        return controller_.lock();
    }

    bool shouldStartLoadWithRequest(DZAdView& adView, const core::URLRequest& request,
                                    long navigationType) override;
    void adViewDidStartLoad(DZAdView& adView) override;
    void adViewDidFinishLoad(DZAdView& adView) override;
    [[nodiscard]] std::shared_ptr<DZCSI> CSIForDMSGHandler() override;

private:
    [[nodiscard]] std::shared_ptr<DZSlot> slot() const;

    std::weak_ptr<DZAdAppViewController> controller_;
};

}  // namespace ads
