#include "ads/core/response/ZODCustomRenderedAd.h"

namespace ads {

void ZODCustomRenderedAd::recordClick() {
    if (isRendered_ && eventHandler_) eventHandler_->recordClick();
}

void ZODCustomRenderedAd::recordImpression() {
    if (isRendered_ && eventHandler_) eventHandler_->recordCustomAdImpression();
}

void ZODCustomRenderedAd::finishedRenderingAdView(const std::shared_ptr<ui::View>& view) {
    if (eventHandler_) eventHandler_->finishedRenderingAdView(view);
    isRendered_ = true;
}

}  // namespace ads
