#pragma once
// The protocol of a custom event that loads banners, and what it tells its
// delegate (the custom event adapter) about the banner.

#include <memory>
#include <optional>
#include <string>

#include "ads/core/request/DZAdSize.h"
#include "ads/core/request/DZError.h"
#include "ads/mediation/adapters/DZCustomEvent.h"

namespace ui {
class View;
class ViewController;
}  // namespace ui

namespace ads {

class DZCustomEventBanner;
class DZCustomEventRequest;

class DZCustomEventBannerDelegate {
public:
    virtual ~DZCustomEventBannerDelegate() = default;
    virtual void customEventBannerDidReceiveAd(DZCustomEventBanner& banner,
                                               const std::shared_ptr<ui::View>& view) = 0;
    virtual void customEventBannerDidFailAd(DZCustomEventBanner& banner, const Error& error) = 0;
    virtual void customEventBannerWasClicked(DZCustomEventBanner& banner) = 0;
    virtual void customEventBannerClickDidOccurInAd(DZCustomEventBanner& banner,
                                                    const std::shared_ptr<ui::View>& view) = 0;
    virtual void customEventBannerWillPresentModal(DZCustomEventBanner& banner) = 0;
    virtual void customEventBannerWillDismissModal(DZCustomEventBanner& banner) = 0;
    virtual void customEventBannerDidDismissModal(DZCustomEventBanner& banner) = 0;
    virtual void customEventBannerWillLeaveApplication(DZCustomEventBanner& banner) = 0;
    [[nodiscard]] virtual std::shared_ptr<ui::ViewController>
    viewControllerForPresentingModalView() = 0;
};

class DZCustomEventBanner : public virtual DZCustomEvent {
public:
    virtual void requestBannerAd(const DZAdSize& adSize,
                                 const std::optional<std::string>& serverParameter,
                                 const std::optional<std::string>& serverLabel,
                                 const DZCustomEventRequest& request) = 0;
    [[nodiscard]] std::shared_ptr<DZCustomEventBannerDelegate> delegate() const {
        return delegate_.lock();
    }
    void setDelegate(std::weak_ptr<DZCustomEventBannerDelegate> delegate) {
        delegate_ = std::move(delegate);
    }

private:
    std::weak_ptr<DZCustomEventBannerDelegate> delegate_;
};

}  // namespace ads
