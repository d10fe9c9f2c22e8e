#include "ads/video/DZAudioVideoManager.h"

#include "ads/foundation/DZDevice.h"
#include "core/UserDefaults.h"

namespace ads {

std::shared_ptr<DZAudioVideoManager> DZAudioVideoManager::create(DZAudioSession& session) {
    if (!DZDevice::sharedInstance()->isOSAtLeastMajor(7, 0, 0)) return nullptr;
    auto manager = std::make_shared<DZAudioVideoManager>(Token{}, session);
    manager->setAudioSessionIsApplicationManaged(false);
    return manager;
}

DZAudioVideoManager::DZAudioVideoManager(Token, DZAudioSession& session) : session_(session) {}

void DZAudioVideoManager::setAudioSessionIsApplicationManaged(bool managed) {
    audioSessionIsApplicationManaged_ = managed;
    if (managed) {
        session_.disable();
    } else {
        session_.enable();
    }
}

void DZAudioVideoManager::playerWillStartPlayingVideo(const std::shared_ptr<media::Player>& player) {
    if (!player || playingVideos_.contains(player)) return;
    if (player->volume() != 0 && !player->isMuted()) playerWillStartPlayingSound(player);
    playingVideos_.insert(player);
    if (playingVideos_.size() != 1) return;
    if (const auto delegate = this->delegate()) delegate->audioVideoManagerWillPlayVideo(*this);
    if (soundVideos_.empty()) session_.setMixable(true);
}

void DZAudioVideoManager::playerDidPauseVideo(const std::shared_ptr<media::Player>& player) {
    if (!player || !playingVideos_.contains(player)) return;
    playerDidStopPlayingSound(player);
    playingVideos_.erase(player);
    if (!playingVideos_.empty()) return;
    session_.restoreState();
    if (const auto delegate = this->delegate()) delegate->audioVideoManagerDidPauseAllVideo(*this);
}

void DZAudioVideoManager::playerWillStartPlayingSound(const std::shared_ptr<media::Player>& player) {
    if (!player || soundVideos_.contains(player)) return;
    soundVideos_.insert(player);
    if (soundVideos_.size() == 1) {
        if (const auto delegate = this->delegate()) delegate->audioVideoManagerWillPlayAudio(*this);
    }
    const bool leftToApp =
        core::UserDefaults::standard()->boolForKey(kUnmutedAudioCategoryControlKey) &&
        audioSessionIsApplicationManaged_;
    if (leftToApp) return;
    session_.enable();
    session_.setMixable(false);
}

void DZAudioVideoManager::playerDidStopPlayingSound(const std::shared_ptr<media::Player>& player) {
    if (!player || !soundVideos_.contains(player)) return;
    soundVideos_.erase(player);
    if (!soundVideos_.empty()) return;
    updateAudioSessionAfterSound();
    if (const auto delegate = this->delegate())
        delegate->audioVideoManagerDidStopPlayingAudio(*this);
}

void DZAudioVideoManager::updateAudioSessionAfterSound() {
    if (audioSessionIsApplicationManaged_) {
        session_.restoreState();
        session_.disable();
        return;
    }
    if (playingVideos_.empty()) return;
    session_.setMixable(true);
    if (playingVideos_.size() != 1) return;
    // Pausing lets the other app's audio come back before the ad plays on.
    const std::shared_ptr<media::Player> player = *playingVideos_.begin();
    const bool wasPlaying = player->rate() > 0;
    player->pause();
    session_.resumeBackgroundAppAudioIfInterrupted();
    if (wasPlaying) player->play();
}

}  // namespace ads
