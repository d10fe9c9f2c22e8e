#include "ads/mediation/native/DZMediationNativeAdVideoController.h"

#include "ads/mediation/core/DZMediatedNativeAdNotificationSource.h"
#include "ads/mediation/core/DZMediatedNativeAdProtocol.h"
#include "ads/video/DZVideoController.h"

namespace ads {

std::shared_ptr<DZMediationNativeAdVideoController>
DZMediationNativeAdVideoController::create(const std::shared_ptr<DZMediatedNativeAppInstallAd>& ad) {
    return make(ad);
}

std::shared_ptr<DZMediationNativeAdVideoController>
DZMediationNativeAdVideoController::create(const std::shared_ptr<DZMediatedNativeContentAd>& ad) {
    return make(ad);
}

std::shared_ptr<DZMediationNativeAdVideoController>
DZMediationNativeAdVideoController::make(const std::shared_ptr<DZMediatedNativeAdProtocol>& ad) {
    auto controller = std::make_shared<DZMediationNativeAdVideoController>(Token{});
    controller->hasVideoContent_ = ad && ad->hasVideoContent().value_or(false);
    if (!controller->hasVideoContent_) return controller;
    auto& center = core::NotificationCenter::defaultCenter();
    const void* object = ad.get();
    const std::weak_ptr<DZMediationNativeAdVideoController> weak = controller;
    const auto observe = [&](const char* name, std::int64_t state) {
        return center.addObserver(name, object, nullptr, [weak, state](const core::Notification&) {
            if (const auto self = weak.lock()) self->setVideoPlaybackState(state);
        });
    };
    controller->playObserver_ =
        observe(DZMediatedNativeAdNotificationSource::kDidPlayVideoNotification, kStatePlaying);
    controller->pauseObserver_ =
        observe(DZMediatedNativeAdNotificationSource::kDidPauseVideoNotification, kStatePaused);
    controller->endObserver_ =
        observe(DZMediatedNativeAdNotificationSource::kDidEndVideoPlaybackNotification, kStateEnded);
    return controller;
}

DZMediationNativeAdVideoController::~DZMediationNativeAdVideoController() {
    auto& center = core::NotificationCenter::defaultCenter();
    for (const auto& token : {playObserver_, pauseObserver_, endObserver_})
        if (token) center.removeObserver(token);
}

void DZMediationNativeAdVideoController::setVideoPlaybackState(std::int64_t state) {
    if (state == videoPlaybackState_) return;
    videoPlaybackState_ = state;
    const auto delegate = delegate_.lock();
    if (!delegate) return;
    switch (state) {
    case kStateStarting:
    case kStatePlaying:
        delegate->mediationNativeAdVideoControllerDidPlayVideo(*this);
        break;
    case kStatePaused:
        delegate->mediationNativeAdVideoControllerDidPauseVideo(*this);
        break;
    case kStateEnded:
        delegate->mediationNativeAdVideoControllerDidEndVideoPlayback(*this);
        break;
    default:
        break;
    }
}

}  // namespace ads
