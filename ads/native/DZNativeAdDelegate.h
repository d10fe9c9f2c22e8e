#pragma once
// What a native ad tells the publisher about the screens and the app it
// leads to, its impression and its click. Every method is optional (an
// empty default). Main thread.

namespace ads {

class DZNativeAd;

class DZNativeAdDelegate {
public:
    virtual ~DZNativeAdDelegate() = default;
    virtual void nativeAdWillPresentScreen(DZNativeAd& ad) { (void)ad; }
    virtual void nativeAdWillDismissScreen(DZNativeAd& ad) { (void)ad; }
    virtual void nativeAdDidDismissScreen(DZNativeAd& ad) { (void)ad; }
    virtual void nativeAdWillLeaveApplication(DZNativeAd& ad) { (void)ad; }
    virtual void nativeAdDidRecordImpression(DZNativeAd& ad) { (void)ad; }
    virtual void nativeAdDidRecordClick(DZNativeAd& ad) { (void)ad; }
};

}  // namespace ads
