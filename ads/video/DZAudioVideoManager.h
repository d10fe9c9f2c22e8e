#pragma once
// The process-wide audio policy of ad video: it counts the ad players that
// play video and those that play sound, and switches the shared audio
// session between mixing with other apps' audio (video without sound) and
// silencing it (sound), or leaves the session to the app when the app
// manages it. DZMobileAds makes the one instance and offers it.
//
// Main thread: players report here from the main thread; no lock.

#include <memory>
#include <set>
#include <string_view>

#include "ads/foundation/DZAudioSession.h"
#include "media/Player.h"

namespace ads {

class DZAudioVideoManager;

// Every method is optional; the defaults do nothing.
class DZAudioVideoManagerDelegate {
public:
    virtual ~DZAudioVideoManagerDelegate() = default;
    virtual void audioVideoManagerWillPlayVideo(DZAudioVideoManager&) {}
    virtual void audioVideoManagerDidPauseAllVideo(DZAudioVideoManager&) {}
    virtual void audioVideoManagerWillPlayAudio(DZAudioVideoManager&) {}
    virtual void audioVideoManagerDidStopPlayingAudio(DZAudioVideoManager&) {}
};

class DZAudioVideoManager {
    struct Token {};

public:
    static constexpr std::string_view kUnmutedAudioCategoryControlKey =
        "/dozuza/ads/dzads:pub_unmuted_video_audio_category_control_enabled";

    // nullptr below OS 7.0.0. The shared audio session unless another is
    // given (tests).
    [[nodiscard]] static std::shared_ptr<DZAudioVideoManager>
    create(DZAudioSession& session = DZAudioSession::sharedInstance());

    DZAudioVideoManager(Token, DZAudioSession& session);
    DZAudioVideoManager(const DZAudioVideoManager&) = delete;
    DZAudioVideoManager& operator=(const DZAudioVideoManager&) = delete;

    [[nodiscard]] bool audioSessionIsApplicationManaged() const {
        return audioSessionIsApplicationManaged_;
    }
    // True disables the SDK's changes to the audio session, false enables them.
    void setAudioSessionIsApplicationManaged(bool managed);
    [[nodiscard]] std::shared_ptr<DZAudioVideoManagerDelegate> delegate() const {
        return delegate_.lock();
    }
    void setDelegate(std::weak_ptr<DZAudioVideoManagerDelegate> delegate) {
        delegate_ = std::move(delegate);
    }

    // A player reports; repeated reports of the same state change nothing.
    void playerWillStartPlayingVideo(const std::shared_ptr<media::Player>& player);
    void playerDidPauseVideo(const std::shared_ptr<media::Player>& player);
    void playerWillStartPlayingSound(const std::shared_ptr<media::Player>& player);
    void playerDidStopPlayingSound(const std::shared_ptr<media::Player>& player);

    [[nodiscard]] bool isPlayingVideo(const std::shared_ptr<media::Player>& player) const {
        return playingVideos_.contains(player);
    }
    [[nodiscard]] bool isPlayingSound(const std::shared_ptr<media::Player>& player) const {
        return soundVideos_.contains(player);
    }
    [[nodiscard]] size_t playingVideoCount() const { return playingVideos_.size(); }
    [[nodiscard]] size_t soundVideoCount() const { return soundVideos_.size(); }

private:
    // After the last sound stopped.
    void updateAudioSessionAfterSound();

    DZAudioSession& session_;
    std::set<std::shared_ptr<media::Player>> playingVideos_;
    std::set<std::shared_ptr<media::Player>> soundVideos_;
    bool audioSessionIsApplicationManaged_ = false;
    std::weak_ptr<DZAudioVideoManagerDelegate> delegate_;
};

}  // namespace ads
