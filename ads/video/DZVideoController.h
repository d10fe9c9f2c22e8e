#pragma once
// The publisher's handle on the video of the ad an ad object currently
// shows. It forwards commands and state questions to the internal
// controller of that ad (replaced at each load, none while the ad has no
// video), and passes the internal controller's play, pause, end, mute and
// unmute on to its own delegate, one main-queue turn later. A controller
// that is the internal controller of another passes its events up.
//
// Main thread.

#include <memory>

#include "ads/video/DZAdViewVideoController.h"
#include "ads/video/DZVideoControlling.h"

namespace ads {

class DZVideoController;

// Every method is optional; the defaults do nothing.
class DZVideoControllerDelegate {
public:
    virtual ~DZVideoControllerDelegate() = default;
    virtual void videoControllerDidPlayVideo(DZVideoController&) {}
    virtual void videoControllerDidPauseVideo(DZVideoController&) {}
    virtual void videoControllerDidEndVideoPlayback(DZVideoController&) {}
    virtual void videoControllerDidMuteVideo(DZVideoController&) {}
    virtual void videoControllerDidUnmuteVideo(DZVideoController&) {}
};

// What the video controller of a mediated native ad reports.
class DZMediationNativeAdVideoControllerDelegate {
public:
    virtual ~DZMediationNativeAdVideoControllerDelegate() = default;
    virtual void mediationNativeAdVideoControllerDidPlayVideo(DZVideoControlling& controller) = 0;
    virtual void mediationNativeAdVideoControllerDidPauseVideo(DZVideoControlling& controller) = 0;
    virtual void
    mediationNativeAdVideoControllerDidEndVideoPlayback(DZVideoControlling& controller) = 0;
};

// Made with std::make_shared: its relays keep it alive until they run.
class DZVideoController : public DZVideoControlling,
                          public DZAdViewVideoControllerDelegate,
                          public DZMediationNativeAdVideoControllerDelegate,
                          public DZVideoControllerDelegate,
                          public std::enable_shared_from_this<DZVideoController> {
public:
    DZVideoController() = default;
    ~DZVideoController() override;
    DZVideoController(const DZVideoController&) = delete;
    DZVideoController& operator=(const DZVideoController&) = delete;

    // Without an internal controller commands do nothing and questions
    // answer no, 0 or 0.0.
    void setMute(bool mute) override;
    void play() override;
    void pause() override;
    void setInitialStateWithVideoOptions(const DZVideoOptions* options) override;
    [[nodiscard]] bool hasVideoContent() const override;
    [[nodiscard]] double aspectRatio() const override;
    [[nodiscard]] bool customControlsEnabled() const override;
    [[nodiscard]] std::int64_t videoPlaybackState() const override;

    [[nodiscard]] const std::shared_ptr<DZVideoControlling>& internalVideoController() const {
        return internalVideoController_;
    }
    // The old controller stops reporting here; the new one (when it is a
    // DZVideoController, a DZAdViewVideoController or a mediated native
    // ad's DZMediationNativeAdVideoController) reports here.
    void setInternalVideoController(std::shared_ptr<DZVideoControlling> controller);

    [[nodiscard]] std::shared_ptr<DZVideoControllerDelegate> delegate() const {
        return delegate_.lock();
    }
    void setDelegate(std::weak_ptr<DZVideoControllerDelegate> delegate) {
        delegate_ = std::move(delegate);
    }

    // DZAdViewVideoControllerDelegate.
    void adViewVideoControllerDidPlayVideo(DZAdViewVideoController&) override;
    void adViewVideoControllerDidPauseVideo(DZAdViewVideoController&) override;
    void adViewVideoControllerDidEndVideoPlayback(DZAdViewVideoController&) override;
    void adViewVideoControllerDidMuteVideo(DZAdViewVideoController&) override;
    void adViewVideoControllerDidUnmuteVideo(DZAdViewVideoController&) override;
    // DZMediationNativeAdVideoControllerDelegate.
    void mediationNativeAdVideoControllerDidPlayVideo(DZVideoControlling&) override;
    void mediationNativeAdVideoControllerDidPauseVideo(DZVideoControlling&) override;
    void mediationNativeAdVideoControllerDidEndVideoPlayback(DZVideoControlling&) override;
    // DZVideoControllerDelegate: relayed to the public delegate.
    void videoControllerDidPlayVideo(DZVideoController&) override;
    void videoControllerDidPauseVideo(DZVideoController&) override;
    void videoControllerDidEndVideoPlayback(DZVideoController&) override;
    void videoControllerDidMuteVideo(DZVideoController&) override;
    void videoControllerDidUnmuteVideo(DZVideoController&) override;

private:
    // Calls the public delegate's method one main-queue turn later.
    void relay(void (DZVideoControllerDelegate::*method)(DZVideoController&));
    void attach(const std::shared_ptr<DZVideoControlling>& controller, bool attached);

    std::weak_ptr<DZVideoControllerDelegate> delegate_;
    std::shared_ptr<DZVideoControlling> internalVideoController_;
};

}  // namespace ads
