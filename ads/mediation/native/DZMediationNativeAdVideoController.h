#pragma once
// The video state of a mediated native ad, in the form the publisher's
// video controller reads (DZVideoControlling). The network plays its video
// itself: it announces play, pause and end through the notification
// source, and this controller turns them into playback states (2 playing,
// 3 paused, 4 ended; 1 counts as playing) and tells its delegate of each
// change. Commands do nothing: the controls are the network's.
//
// It listens only when the ad says it has video. Notifications are handled
// on the thread that posts them.

#include <cstdint>
#include <memory>

#include "ads/video/DZVideoControlling.h"
#include "core/NotificationCenter.h"

namespace ads {

class DZMediatedNativeAdProtocol;
class DZMediatedNativeAppInstallAd;
class DZMediatedNativeContentAd;
class DZMediationNativeAdVideoControllerDelegate;

class DZMediationNativeAdVideoController
    : public DZVideoControlling,
      public std::enable_shared_from_this<DZMediationNativeAdVideoController> {
public:
    enum PlaybackState : std::int64_t {
        kStateNone = 0,
        kStateStarting = 1,
        kStatePlaying = 2,
        kStatePaused = 3,
        kStateEnded = 4,
    };

    [[nodiscard]] static std::shared_ptr<DZMediationNativeAdVideoController>
    create(const std::shared_ptr<DZMediatedNativeAppInstallAd>& ad);
    [[nodiscard]] static std::shared_ptr<DZMediationNativeAdVideoController>
    create(const std::shared_ptr<DZMediatedNativeContentAd>& ad);
    // Removes its observers.
    ~DZMediationNativeAdVideoController() override;
    DZMediationNativeAdVideoController(const DZMediationNativeAdVideoController&) = delete;
    DZMediationNativeAdVideoController&
    operator=(const DZMediationNativeAdVideoController&) = delete;

    // Stores a changed state and tells the delegate: play for 1 and 2,
    // pause for 3, end for 4, nothing for others.
    void setVideoPlaybackState(std::int64_t state);
    void setHasVideoContent(bool hasVideo) { hasVideoContent_ = hasVideo; }
    // Held weakly: the delegate (the publisher's video controller) owns
    // this controller.
    [[nodiscard]] std::shared_ptr<DZMediationNativeAdVideoControllerDelegate> delegate() const {
        return delegate_.lock();
    }
    void setDelegate(std::weak_ptr<DZMediationNativeAdVideoControllerDelegate> delegate) {
        delegate_ = std::move(delegate);
    }

    // DZVideoControlling.
    void setMute(bool) override {}
    void play() override {}
    void pause() override {}
    void setInitialStateWithVideoOptions(const DZVideoOptions*) override {}
    [[nodiscard]] bool hasVideoContent() const override { return hasVideoContent_; }
    [[nodiscard]] double aspectRatio() const override { return 0.0; }
    [[nodiscard]] bool customControlsEnabled() const override { return false; }
    [[nodiscard]] std::int64_t videoPlaybackState() const override { return videoPlaybackState_; }

private:
    struct Token {};

public:
    explicit DZMediationNativeAdVideoController(Token) {}

private:
    [[nodiscard]] static std::shared_ptr<DZMediationNativeAdVideoController>
    make(const std::shared_ptr<DZMediatedNativeAdProtocol>& ad);

    core::NotificationCenter::Token playObserver_;
    core::NotificationCenter::Token pauseObserver_;
    core::NotificationCenter::Token endObserver_;
    bool hasVideoContent_ = false;
    std::weak_ptr<DZMediationNativeAdVideoControllerDelegate> delegate_;
    std::int64_t videoPlaybackState_ = kStateNone;
};

}  // namespace ads
