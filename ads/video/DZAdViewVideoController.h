#pragma once
// The video state of one HTML ad as its page reports it ("videoMeta"
// messages), read by the publisher's video controller, and the publisher's
// commands sent to the page as "pubVideoCmd" messages. Each command is
// posted one main-queue turn later, to the ad view as it is then (nothing
// when it is gone). Changes of the playback and mute state reach the
// delegate at once, on the setter's thread.
//
// Main thread; the ad view is held weakly.

#include <cstdint>
#include <memory>

#include "ads/video/DZVideoControlling.h"
#include "core/Value.h"

namespace ads {

class DZAdView;
class DZAdViewVideoController;

class DZAdViewVideoControllerDelegate {
public:
    virtual ~DZAdViewVideoControllerDelegate() = default;
    virtual void adViewVideoControllerDidPlayVideo(DZAdViewVideoController& controller) = 0;
    virtual void adViewVideoControllerDidPauseVideo(DZAdViewVideoController& controller) = 0;
    virtual void adViewVideoControllerDidEndVideoPlayback(DZAdViewVideoController& controller) = 0;
    virtual void adViewVideoControllerDidMuteVideo(DZAdViewVideoController& controller) = 0;
    virtual void adViewVideoControllerDidUnmuteVideo(DZAdViewVideoController& controller) = 0;
};

class DZAdViewVideoController : public DZVideoControlling {
public:
    static constexpr const char* kPageMessage = "pubVideoCmd";

    explicit DZAdViewVideoController(std::weak_ptr<DZAdView> adView) : adView_(std::move(adView)) {}

    // DZVideoControlling.
    void setMute(bool mute) override;
    void play() override;
    void pause() override;
    void setInitialStateWithVideoOptions(const DZVideoOptions* options) override;
    [[nodiscard]] bool hasVideoContent() const override { return hasVideoContent_; }
    [[nodiscard]] double aspectRatio() const override { return aspectRatio_; }
    // The page allows custom controls and the publisher asked for them.
    [[nodiscard]] bool customControlsEnabled() const override {
        return customControlsEnabled_ && videoOptionsCustomControlsRequested_;
    }
    [[nodiscard]] std::int64_t videoPlaybackState() const override { return videoPlaybackState_; }

    // The page's reports.
    void setHasVideoContent(bool hasVideoContent) { hasVideoContent_ = hasVideoContent; }
    void setVideoDuration(double seconds) { videoDuration_ = seconds; }
    void setCurrentPlaybackTime(double seconds) { currentPlaybackTime_ = seconds; }
    // A change of 1 or 2 is a play, 3 a pause, 4 the end; other values are
    // only stored.
    void setVideoPlaybackState(std::int64_t state);
    void setVideoMuted(bool muted);
    void setAspectRatio(double ratio) { aspectRatio_ = ratio; }
    void setCustomControlsEnabled(bool enabled) { customControlsEnabled_ = enabled; }
    void setVideoOptionsCustomControlsRequested(bool requested) {
        videoOptionsCustomControlsRequested_ = requested;
    }

    [[nodiscard]] double videoDuration() const { return videoDuration_; }
    [[nodiscard]] double currentPlaybackTime() const { return currentPlaybackTime_; }
    [[nodiscard]] bool videoMuted() const { return videoMuted_; }
    [[nodiscard]] bool videoOptionsCustomControlsRequested() const {
        return videoOptionsCustomControlsRequested_;
    }
    // The page's own flag, whatever the publisher asked.
    [[nodiscard]] bool pageAllowsCustomControls() const { return customControlsEnabled_; }
    [[nodiscard]] std::shared_ptr<DZAdView> adView() const { return adView_.lock(); }
    [[nodiscard]] std::shared_ptr<DZAdViewVideoControllerDelegate> delegate() const {
        return delegate_.lock();
    }
    void setDelegate(std::weak_ptr<DZAdViewVideoControllerDelegate> delegate) {
        delegate_ = std::move(delegate);
    }

private:
    void postCommand(core::Dictionary userInfo) const;

    std::weak_ptr<DZAdView> adView_;
    bool videoOptionsCustomControlsRequested_ = false;
    bool videoMuted_ = false;
    bool hasVideoContent_ = false;
    bool customControlsEnabled_ = false;
    std::weak_ptr<DZAdViewVideoControllerDelegate> delegate_;
    std::int64_t videoPlaybackState_ = 0;
    double videoDuration_ = 0;
    double currentPlaybackTime_ = 0;
    double aspectRatio_ = 0;
};

}  // namespace ads
