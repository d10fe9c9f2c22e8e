#include "ads/video/DZAdViewVideoController.h"

#include "ads/foundation/DZValueHelpers.h"
#include "ads/video/DZVideoOptions.h"
#include "ads/web/view/DZAdView.h"
#include "core/Queue.h"

namespace ads {

void DZAdViewVideoController::postCommand(core::Dictionary userInfo) const {
    core::Queue::main()->async([adView = adView_, userInfo = std::move(userInfo)] {
        if (const auto view = adView.lock()) view->postJSNotification(kPageMessage, userInfo);
    });
}

void DZAdViewVideoController::setMute(bool mute) {
    postCommand({{"action", mute ? "mute" : "unmute"}});
}

void DZAdViewVideoController::play() {
    postCommand({{"action", "play"}});
}

void DZAdViewVideoController::pause() {
    postCommand({{"action", "pause"}});
}

void DZAdViewVideoController::setInitialStateWithVideoOptions(const DZVideoOptions* options) {
    const DZVideoOptions fresh;
    if (!options) options = &fresh;
    videoOptionsCustomControlsRequested_ = options->customControlsRequested();
    postCommand({{"action", "initialState"},
                 {"muteStart", DZStringFromBool(options->startMuted())},
                 {"customControlsRequested", DZNumberFromBool(options->customControlsRequested())}});
}

void DZAdViewVideoController::setVideoPlaybackState(std::int64_t state) {
    if (state == videoPlaybackState_) return;
    videoPlaybackState_ = state;
    const auto delegate = this->delegate();
    if (!delegate) return;
    if (state == 1 || state == 2) {
        delegate->adViewVideoControllerDidPlayVideo(*this);
    } else if (state == 3) {
        delegate->adViewVideoControllerDidPauseVideo(*this);
    } else if (state == 4) {
        delegate->adViewVideoControllerDidEndVideoPlayback(*this);
    }
}

void DZAdViewVideoController::setVideoMuted(bool muted) {
    if (muted == videoMuted_) return;
    videoMuted_ = muted;
    const auto delegate = this->delegate();
    if (!delegate) return;
    if (muted) {
        delegate->adViewVideoControllerDidMuteVideo(*this);
    } else {
        delegate->adViewVideoControllerDidUnmuteVideo(*this);
    }
}

}  // namespace ads
