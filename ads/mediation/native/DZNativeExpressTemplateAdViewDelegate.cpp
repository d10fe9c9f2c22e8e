#include "ads/mediation/native/DZNativeExpressTemplateAdViewDelegate.h"

#include "ads/presentation/click/DZOpener.h"
#include "ads/web/view/DZAdView.h"

namespace ads {

DZNativeExpressTemplateAdViewDelegate::DZNativeExpressTemplateAdViewDelegate(
    std::weak_ptr<DZSlot> slot, std::weak_ptr<DZAdView> templateAdView,
    std::weak_ptr<DZAdViewDelegateProtocol> loadListener)
    : templateAdView_(std::move(templateAdView)), loadListener_(std::move(loadListener)) {
    opener()->setSlot(std::move(slot));
}

void DZNativeExpressTemplateAdViewDelegate::adViewDidFinishLoad(DZAdView& adView) {
    DZAdViewDelegate::adViewDidFinishLoad(adView);
    if (const auto listener = loadListener_.lock()) listener->adViewDidFinishLoad(adView);
}

void DZNativeExpressTemplateAdViewDelegate::didFailLoadWithError(DZAdView& adView,
                                                                 const Error& error) {
    DZAdViewDelegate::didFailLoadWithError(adView, error);
    if (const auto listener = loadListener_.lock()) listener->didFailLoadWithError(adView, error);
}

std::shared_ptr<DZAdView> DZNativeExpressTemplateAdViewDelegate::clickableAdView(
    const DZSlot&) const {
    return templateAdView_.lock();
}

}  // namespace ads
