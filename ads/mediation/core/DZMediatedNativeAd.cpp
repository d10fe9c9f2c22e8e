#include "ads/mediation/core/DZMediatedNativeAd.h"

#include "ads/core/request/DZAdLoaderConfiguration.h"
#include "ads/core/slot/DZSlot.h"
#include "ads/mediation/core/DZMediatedNativeAdProtocol.h"
#include "ads/native/DZAdLoader.h"
#include "ads/native/DZNativeAd.h"
#include "ads/native/DZNativeAppInstallAd.h"
#include "ads/native/DZNativeContentAd.h"
#include "ads/native/DZNativeCustomTemplateAd.h"
#include "ads/web/view/DZAdView.h"
#include "ui/View.h"
#include "ui/ViewController.h"

namespace ads {

const DZLoadableClass* DZMediatedNativeAd::nativeAdClass() const {
    const DZMediatedNativeAdProtocol* ad = ad_.get();
    if (!ad) return nullptr;
    if (dynamic_cast<const DZMediatedNativeAppInstallAd*>(ad))
        return &DZNativeAppInstallAd::adClass();
    if (dynamic_cast<const DZMediatedNativeContentAd*>(ad)) return &DZNativeContentAd::adClass();
    if (dynamic_cast<const DZMediatedNativeCustomTemplateAd*>(ad))
        return &DZNativeCustomTemplateAd::adClass();
    return nullptr;
}

std::shared_ptr<DZLoadable> DZMediatedNativeAd::loadableAdForAdLoader(DZAdLoader& loader) {
    const DZLoadableClass* adClass = nativeAdClass();
    if (!adClass) return nullptr;
    std::shared_ptr<DZNativeAd> nativeAd;
    if (auto finished = std::dynamic_pointer_cast<DZNativeAd>(ad_);
        finished && &finished->loadableClass() == adClass) {
        // The SDK's own network hands over finished native ads.
        nativeAd = std::move(finished);
        ad_.reset();
        nativeAd->setMediatedNativeAd(shared_from_this());
        if (const auto& name = adNetworkClassName()) nativeAd->setAdNetworkClassName(*name);
    } else {
        DZLoadableClass::Options options;
        if (const auto& configuration = loader.adLoaderConfiguration())
            options = configuration->adConfiguration().optionsByClass();
        nativeAd = adClass->initWithMediatedNativeAd(shared_from_this(), options);
    }
    if (!nativeAd) return nullptr;
    nativeAd->setAdUnitID(loader.adUnitID());
    if (const auto& slot = nativeAd->slot()) slot->setAdUnitID(loader.adUnitID());
    const std::weak_ptr<ui::ViewController> root = loader.rootViewController();
    nativeAd->setRootViewController(root);
    if (const auto& slot = nativeAd->slot(); slot && slot->adView())
        slot->adView()->setViewController(root);
    nativeAd->setPublisherRenderAdChoicesAllowed(allowPublisherRenderedAttribution_);
    return nativeAd;
}

namespace {

std::shared_ptr<DZMediatedNativeAdDelegate>
networkDelegate(const std::shared_ptr<DZMediatedNativeAdProtocol>& ad) {
    return ad ? ad->mediatedNativeAdDelegate() : nullptr;
}

}  // namespace

void DZMediatedNativeAd::reportImpression() const {
    if (adapterHandlesUserImpressions_) return;
    DZMediatedAd::reportImpression();
    if (const auto delegate = networkDelegate(ad_))
        delegate->mediatedNativeAdDidRecordImpression(*ad_);
}

void DZMediatedNativeAd::reportClickOnAssetWithWithName(
    const std::optional<std::string>& assetName, const std::shared_ptr<ui::View>& view,
    const std::shared_ptr<ui::ViewController>& viewController) {
    if (adapterHandlesUserClicks_) return;
    DZMediatedAd::reportClick();
    if (const auto delegate = networkDelegate(ad_))
        delegate->mediatedNativeAdDidRecordClickOnAssetWithName(*ad_, assetName, view,
                                                                viewController);
}

void DZMediatedNativeAd::reportAdNetworkImpression() const {
    if (adapterHandlesUserImpressions_) DZMediatedAd::reportImpression();
}

void DZMediatedNativeAd::reportAdNetworkClick() const {
    if (adapterHandlesUserClicks_) DZMediatedAd::reportClick();
}

void DZMediatedNativeAd::reportMediatedAdRenderedInView(
    const std::shared_ptr<ui::View>& view,
    const std::shared_ptr<ui::ViewController>& viewController) {
    const auto current = renderedView_.lock();
    if (view == current) return;
    if (current) reportMediatedAdShouldUntrackView(current);
    renderedView_ = view;
    if (const auto delegate = networkDelegate(ad_))
        delegate->mediatedNativeAdDidRenderInView(*ad_, view, viewController);
}

void DZMediatedNativeAd::reportMediatedAdShouldUntrackView(const std::shared_ptr<ui::View>& view) {
    const auto current = renderedView_.lock();
    if (!view || view != current) return;
    renderedView_.reset();
    if (const auto delegate = networkDelegate(ad_))
        delegate->mediatedNativeAdDidUntrackView(*ad_, view);
}

}  // namespace ads
