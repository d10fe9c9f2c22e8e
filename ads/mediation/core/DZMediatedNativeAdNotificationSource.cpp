#include "ads/mediation/core/DZMediatedNativeAdNotificationSource.h"

#include "core/NotificationCenter.h"

namespace ads {

namespace {

void post(const char* name, const DZMediatedNativeAdProtocol* ad) {
    core::NotificationCenter::defaultCenter().post(name, ad);
}

}  // namespace

void DZMediatedNativeAdNotificationSource::mediatedNativeAdDidRecordImpression(
    const DZMediatedNativeAdProtocol* ad) {
    post(kDidRecordImpressionNotification, ad);
}

void DZMediatedNativeAdNotificationSource::mediatedNativeAdDidRecordClick(
    const DZMediatedNativeAdProtocol* ad) {
    post(kDidRecordClickNotification, ad);
}

void DZMediatedNativeAdNotificationSource::mediatedNativeAdWillPresentScreen(
    const DZMediatedNativeAdProtocol* ad) {
    post(kWillPresentScreenNotification, ad);
}

void DZMediatedNativeAdNotificationSource::mediatedNativeAdWillDismissScreen(
    const DZMediatedNativeAdProtocol* ad) {
    post(kWillDismissScreenNotification, ad);
}

void DZMediatedNativeAdNotificationSource::mediatedNativeAdDidDismissScreen(
    const DZMediatedNativeAdProtocol* ad) {
    post(kDidDismissScreenNotification, ad);
}

void DZMediatedNativeAdNotificationSource::mediatedNativeAdWillLeaveApplication(
    const DZMediatedNativeAdProtocol* ad) {
    post(kWillLeaveApplicationNotification, ad);
}

void DZMediatedNativeAdNotificationSource::mediatedNativeAdDidPlayVideo(
    const DZMediatedNativeAdProtocol* ad) {
    post(kDidPlayVideoNotification, ad);
}

void DZMediatedNativeAdNotificationSource::mediatedNativeAdDidPauseVideo(
    const DZMediatedNativeAdProtocol* ad) {
    post(kDidPauseVideoNotification, ad);
}

void DZMediatedNativeAdNotificationSource::mediatedNativeAdDidEndVideoPlayback(
    const DZMediatedNativeAdProtocol* ad) {
    post(kDidEndVideoPlaybackNotification, ad);
}

}  // namespace ads
