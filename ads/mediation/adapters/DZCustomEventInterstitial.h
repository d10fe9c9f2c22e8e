#pragma once
// The protocol of a custom event that loads interstitials, and what it
// tells its delegate (the custom event adapter) about the interstitial.

#include <memory>
#include <optional>
#include <string>

#include "ads/core/request/DZError.h"
#include "ads/mediation/adapters/DZCustomEvent.h"

namespace ui {
class ViewController;
}

namespace ads {

class DZCustomEventInterstitial;
class DZCustomEventRequest;

class DZCustomEventInterstitialDelegate {
public:
    virtual ~DZCustomEventInterstitialDelegate() = default;
    virtual void customEventInterstitialDidReceiveAd(DZCustomEventInterstitial& interstitial) = 0;
    virtual void customEventInterstitialDidFailAd(DZCustomEventInterstitial& interstitial,
                                                  const Error& error) = 0;
    virtual void customEventInterstitialWasClicked(DZCustomEventInterstitial& interstitial) = 0;
    virtual void customEventInterstitialWillPresent(DZCustomEventInterstitial& interstitial) = 0;
    virtual void customEventInterstitialWillDismiss(DZCustomEventInterstitial& interstitial) = 0;
    virtual void customEventInterstitialDidDismiss(DZCustomEventInterstitial& interstitial) = 0;
    virtual void
    customEventInterstitialWillLeaveApplication(DZCustomEventInterstitial& interstitial) = 0;
    // The same as customEventInterstitialDidReceiveAd with the network's
    // object.
    virtual void customEventInterstitialDidReceiveAd(DZCustomEventInterstitial& interstitial,
                                                     const std::shared_ptr<const void>& ad) = 0;
};

class DZCustomEventInterstitial : public virtual DZCustomEvent {
public:
    virtual void requestInterstitialAd(const std::optional<std::string>& serverParameter,
                                       const std::optional<std::string>& serverLabel,
                                       const DZCustomEventRequest& request) = 0;
    virtual void presentFromRootViewController(const std::shared_ptr<ui::ViewController>& root) = 0;
    [[nodiscard]] std::shared_ptr<DZCustomEventInterstitialDelegate> delegate() const {
        return delegate_.lock();
    }
    void setDelegate(std::weak_ptr<DZCustomEventInterstitialDelegate> delegate) {
        delegate_ = std::move(delegate);
    }

private:
    std::weak_ptr<DZCustomEventInterstitialDelegate> delegate_;
};

}  // namespace ads
