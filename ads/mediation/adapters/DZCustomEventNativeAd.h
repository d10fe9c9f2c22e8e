#pragma once
// The protocol of a custom event that loads native ads, and what it tells
// its delegate (the custom event adapter) about the native ad.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ads/core/request/DZError.h"
#include "ads/mediation/adapters/DZCustomEvent.h"

namespace ui {
class ViewController;
}

namespace ads {

class DZAdLoaderOptions;
class DZCustomEventNativeAd;
class DZCustomEventRequest;
class DZMediatedNativeAdProtocol;

class DZCustomEventNativeAdDelegate {
public:
    virtual ~DZCustomEventNativeAdDelegate() = default;
    virtual void customEventNativeAdDidReceiveMediatedNativeAd(
        DZCustomEventNativeAd& nativeAd, const std::shared_ptr<DZMediatedNativeAdProtocol>& ad) = 0;
    virtual void customEventNativeAdDidFailToLoadWithError(DZCustomEventNativeAd& nativeAd,
                                                           const Error& error) = 0;
};

class DZCustomEventNativeAd : public virtual DZCustomEvent {
public:
    virtual void requestNativeAd(const std::optional<std::string>& serverParameter,
                                 const DZCustomEventRequest& request,
                                 const std::vector<std::string>& adTypes,
                                 const std::vector<std::shared_ptr<DZAdLoaderOptions>>& options,
                                 const std::shared_ptr<ui::ViewController>& rootViewController) = 0;
    [[nodiscard]] virtual bool handlesUserClicks() const = 0;
    [[nodiscard]] virtual bool handlesUserImpressions() const = 0;
    [[nodiscard]] std::shared_ptr<DZCustomEventNativeAdDelegate> delegate() const {
        return delegate_.lock();
    }
    void setDelegate(std::weak_ptr<DZCustomEventNativeAdDelegate> delegate) {
        delegate_ = std::move(delegate);
    }

private:
    std::weak_ptr<DZCustomEventNativeAdDelegate> delegate_;
};

}  // namespace ads
