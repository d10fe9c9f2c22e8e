#include "ads/video/DZVideoController.h"

#include "ads/mediation/native/DZMediationNativeAdVideoController.h"
#include "core/Queue.h"

namespace ads {

DZVideoController::~DZVideoController() {
    attach(internalVideoController_, false);
}

void DZVideoController::setMute(bool mute) {
    if (internalVideoController_) internalVideoController_->setMute(mute);
}

void DZVideoController::play() {
    if (internalVideoController_) internalVideoController_->play();
}

void DZVideoController::pause() {
    if (internalVideoController_) internalVideoController_->pause();
}

void DZVideoController::setInitialStateWithVideoOptions(const DZVideoOptions* options) {
    if (internalVideoController_) internalVideoController_->setInitialStateWithVideoOptions(options);
}

bool DZVideoController::hasVideoContent() const {
    return internalVideoController_ && internalVideoController_->hasVideoContent();
}

double DZVideoController::aspectRatio() const {
    return internalVideoController_ ? internalVideoController_->aspectRatio() : 0.0;
}

bool DZVideoController::customControlsEnabled() const {
    return internalVideoController_ && internalVideoController_->customControlsEnabled();
}

std::int64_t DZVideoController::videoPlaybackState() const {
    return internalVideoController_ ? internalVideoController_->videoPlaybackState() : 0;
}

void DZVideoController::attach(const std::shared_ptr<DZVideoControlling>& controller,
                               bool attached) {
    if (auto* outer = dynamic_cast<DZVideoController*>(controller.get())) {
        outer->setDelegate(attached ? weak_from_this()
                                    : std::weak_ptr<DZVideoControllerDelegate>());
    } else if (auto* adView = dynamic_cast<DZAdViewVideoController*>(controller.get())) {
        adView->setDelegate(attached ? weak_from_this()
                                     : std::weak_ptr<DZAdViewVideoControllerDelegate>());
    } else if (auto* mediated =
                   dynamic_cast<DZMediationNativeAdVideoController*>(controller.get())) {
        mediated->setDelegate(attached
                                  ? weak_from_this()
                                  : std::weak_ptr<DZMediationNativeAdVideoControllerDelegate>());
    }
}

void DZVideoController::setInternalVideoController(std::shared_ptr<DZVideoControlling> controller) {
    attach(internalVideoController_, false);
    internalVideoController_ = std::move(controller);
    attach(internalVideoController_, true);
}

void DZVideoController::relay(void (DZVideoControllerDelegate::*method)(DZVideoController&)) {
    if (!delegate()) return;
    core::Queue::main()->async([self = shared_from_this(), method] {
        if (const auto delegate = self->delegate()) ((*delegate).*method)(*self);
    });
}

void DZVideoController::adViewVideoControllerDidPlayVideo(DZAdViewVideoController&) {
    videoControllerDidPlayVideo(*this);
}
void DZVideoController::adViewVideoControllerDidPauseVideo(DZAdViewVideoController&) {
    videoControllerDidPauseVideo(*this);
}
void DZVideoController::adViewVideoControllerDidEndVideoPlayback(DZAdViewVideoController&) {
    videoControllerDidEndVideoPlayback(*this);
}
void DZVideoController::adViewVideoControllerDidMuteVideo(DZAdViewVideoController&) {
    videoControllerDidMuteVideo(*this);
}
void DZVideoController::adViewVideoControllerDidUnmuteVideo(DZAdViewVideoController&) {
    videoControllerDidUnmuteVideo(*this);
}

void DZVideoController::mediationNativeAdVideoControllerDidPlayVideo(DZVideoControlling&) {
    videoControllerDidPlayVideo(*this);
}
void DZVideoController::mediationNativeAdVideoControllerDidPauseVideo(DZVideoControlling&) {
    videoControllerDidPauseVideo(*this);
}
void DZVideoController::mediationNativeAdVideoControllerDidEndVideoPlayback(DZVideoControlling&) {
    videoControllerDidEndVideoPlayback(*this);
}

void DZVideoController::videoControllerDidPlayVideo(DZVideoController&) {
    relay(&DZVideoControllerDelegate::videoControllerDidPlayVideo);
}
void DZVideoController::videoControllerDidPauseVideo(DZVideoController&) {
    relay(&DZVideoControllerDelegate::videoControllerDidPauseVideo);
}
void DZVideoController::videoControllerDidEndVideoPlayback(DZVideoController&) {
    relay(&DZVideoControllerDelegate::videoControllerDidEndVideoPlayback);
}
void DZVideoController::videoControllerDidMuteVideo(DZVideoController&) {
    relay(&DZVideoControllerDelegate::videoControllerDidMuteVideo);
}
void DZVideoController::videoControllerDidUnmuteVideo(DZVideoController&) {
    relay(&DZVideoControllerDelegate::videoControllerDidUnmuteVideo);
}

}  // namespace ads
