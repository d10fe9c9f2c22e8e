#include "ads/mediation/native/DZMediationNativeAdMediaContent.h"

#include "ads/mediation/core/DZMediatedNativeAdProtocol.h"
#include "ads/mediation/native/DZMediationNativeAdVideoController.h"
#include "core/Queue.h"
#include "ui/View.h"

namespace ads {

DZMediationNativeAdMediaContent::DZMediationNativeAdMediaContent(
    const std::shared_ptr<DZMediatedNativeAppInstallAd>& ad)
    : mediaView_(ad ? ad->mediaView() : nullptr),
      videoController_(DZMediationNativeAdVideoController::create(ad)) {}

DZMediationNativeAdMediaContent::DZMediationNativeAdMediaContent(
    const std::shared_ptr<DZMediatedNativeContentAd>& ad)
    : mediaView_(ad ? ad->mediaView() : nullptr),
      videoController_(DZMediationNativeAdVideoController::create(ad)) {}

void DZMediationNativeAdMediaContent::loadVideoWithCompletionHandler(Completion handler) {
    if (!handler) return;
    core::Queue::main()->async([handler = std::move(handler)] { handler(std::nullopt); });
}

std::shared_ptr<DZVideoControlling> DZMediationNativeAdMediaContent::videoController() const {
    return videoController_;
}

}  // namespace ads
