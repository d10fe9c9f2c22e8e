#pragma once
// How another network's adapter announces what happened to its native ad:
// each call posts one notification on the default centre with the
// network's ad as the object (its address as a
// DZMediatedNativeAdProtocol, which observers must use too). The native ad object that shows the ad
// listens for the first six, the mediated video controller for the last
// three. Any thread (observers run on the posting thread).

namespace ads {

class DZMediatedNativeAdProtocol;

class DZMediatedNativeAdNotificationSource {
public:
    static constexpr const char* kDidRecordImpressionNotification =
        "DZMediatedNativeAdDidRecordImpressionNotification";
    static constexpr const char* kDidRecordClickNotification =
        "DZMediatedNativeAdDidRecordClickNotification";
    static constexpr const char* kWillPresentScreenNotification =
        "DZMediatedNativeAdWillPresentScreenNotification";
    static constexpr const char* kWillDismissScreenNotification =
        "DZMediatedNativeAdWillDismissScreenNotification";
    static constexpr const char* kDidDismissScreenNotification =
        "DZMediatedNativeAdDidDismissScreenNotification";
    static constexpr const char* kWillLeaveApplicationNotification =
        "DZMediatedNativeAdWillLeaveApplicationNotification";
    static constexpr const char* kDidPlayVideoNotification =
        "DZMediatedNativeAdDidPlayVideoNotification";
    static constexpr const char* kDidPauseVideoNotification =
        "DZMediatedNativeAdDidPauseVideoNotification";
    static constexpr const char* kDidEndVideoPlaybackNotification =
        "DZMediatedNativeAdDidEndVideoPlaybackNotification";

    static void mediatedNativeAdDidRecordImpression(const DZMediatedNativeAdProtocol* ad);
    static void mediatedNativeAdDidRecordClick(const DZMediatedNativeAdProtocol* ad);
    static void mediatedNativeAdWillPresentScreen(const DZMediatedNativeAdProtocol* ad);
    static void mediatedNativeAdWillDismissScreen(const DZMediatedNativeAdProtocol* ad);
    static void mediatedNativeAdDidDismissScreen(const DZMediatedNativeAdProtocol* ad);
    static void mediatedNativeAdWillLeaveApplication(const DZMediatedNativeAdProtocol* ad);
    static void mediatedNativeAdDidPlayVideo(const DZMediatedNativeAdProtocol* ad);
    static void mediatedNativeAdDidPauseVideo(const DZMediatedNativeAdProtocol* ad);
    static void mediatedNativeAdDidEndVideoPlayback(const DZMediatedNativeAdProtocol* ad);
};

}  // namespace ads
