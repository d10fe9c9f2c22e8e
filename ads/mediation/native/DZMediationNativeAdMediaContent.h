#pragma once
// The media of a mediated native ad as a media view shows it: the
// network's own media view (when its ad offers one) and a video controller
// that follows the network's video announcements. Nothing is loaded: the
// network has its media ready when it delivers the ad. Main thread.

#include <memory>

#include "ads/native/DZMediaContentDisplaying.h"

namespace ads {

class DZMediatedNativeAppInstallAd;
class DZMediatedNativeContentAd;
class DZMediationNativeAdVideoController;

class DZMediationNativeAdMediaContent : public DZMediaContentDisplaying {
public:
    explicit DZMediationNativeAdMediaContent(const std::shared_ptr<DZMediatedNativeAppInstallAd>& ad);
    explicit DZMediationNativeAdMediaContent(const std::shared_ptr<DZMediatedNativeContentAd>& ad);

    // Calls the handler with no error on a later turn of the main queue.
    void loadVideoWithCompletionHandler(Completion handler) override;
    [[nodiscard]] std::shared_ptr<ui::View> mediaView() override { return mediaView_; }
    [[nodiscard]] std::shared_ptr<DZVideoControlling> videoController() const override;
    [[nodiscard]] const std::shared_ptr<DZMediationNativeAdVideoController>&
    mediationVideoController() const {
        return videoController_;
    }

private:
    std::shared_ptr<ui::View> mediaView_;
    std::shared_ptr<DZMediationNativeAdVideoController> videoController_;
};

}  // namespace ads
