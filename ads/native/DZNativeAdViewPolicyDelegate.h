#pragma once
// What a native ad view policy tells the ad it binds: that it began to
// track the ad view (the impression is checked or being monitored), and that
// an ad was replaced on (or unloaded from) the ad view. Both optional.
// Main thread.

#include <memory>

namespace ui {
class View;
}

namespace ads {

class DZNativeAd;
class DZNativeAdViewPolicy;

class DZNativeAdViewPolicyDelegate {
public:
    virtual ~DZNativeAdViewPolicyDelegate() = default;
    virtual void nativeAdViewPolicyDidBeginTrackingView(DZNativeAdViewPolicy& policy,
                                                        const std::shared_ptr<ui::View>& view) {
        (void)policy, (void)view;
    }
    virtual void nativeAdViewPolicyDidUnloadNativeAd(DZNativeAdViewPolicy& policy,
                                                     const std::shared_ptr<DZNativeAd>& ad,
                                                     const std::shared_ptr<ui::View>& view) {
        (void)policy, (void)ad, (void)view;
    }
};

}  // namespace ads
