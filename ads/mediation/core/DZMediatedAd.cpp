#include "ads/mediation/core/DZMediatedAd.h"

#include "ads/mediation/core/DZMAdNetworkConfig.h"
#include "ads/mediation/core/DZMAdNetworkConnectorBanner.h"
#include "ui/View.h"

namespace ads {

void DZMediatedAd::addClickHandler(Handler handler) {
    if (handler) clickHandlers_.push_back(std::move(handler));
}

void DZMediatedAd::addImpressionHandler(Handler handler) {
    if (handler) impressionHandlers_.push_back(std::move(handler));
}

// A handler may add handlers; those run from the next report on.
void DZMediatedAd::reportClick() const {
    const auto handlers = clickHandlers_;
    for (const auto& handler : handlers) handler();
}

void DZMediatedAd::reportImpression() const {
    const auto handlers = impressionHandlers_;
    for (const auto& handler : handlers) handler();
}

DZMediatedBannerAd::DZMediatedBannerAd(std::shared_ptr<ui::View> view,
                                       std::shared_ptr<DZMAdNetworkConnectorBanner> connector)
    : view_(std::move(view)), connector_(std::move(connector)) {
    if (connector_) setAdNetworkClassName(connector_->networkConfig()->adapterClass());
}

}  // namespace ads
