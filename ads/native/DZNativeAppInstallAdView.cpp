#include "ads/native/DZNativeAppInstallAdView.h"

#include "ads/native/DZAdChoicesView.h"
#include "ads/native/DZMediaContentDisplaying.h"
#include "ads/native/DZMediaView.h"
#include "ads/native/DZNativeAdAssetNames.h"
#include "ads/native/DZNativeAdViewPolicy.h"
#include "ads/native/DZNativeAppInstallAd.h"

namespace ads {

std::shared_ptr<DZNativeAppInstallAdView> DZNativeAppInstallAdView::create(const gfx::Rect& frame) {
    auto view = std::make_shared<DZNativeAppInstallAdView>(frame);
    if (!view->commonInit()) return nullptr;
    return view;
}

bool DZNativeAppInstallAdView::commonInit() {
    nativeAdViewPolicy_ = DZNativeAdViewPolicy::create(
        shared_from_this(), std::string(DZNativeAppInstallAssetID::kAttributionIcon),
        std::string(DZNativeAppInstallAssetID::kAttributionText),
        std::string(DZNativeAppInstallAssetID::kBackground), false);
    return nativeAdViewPolicy_ != nullptr;
}

void DZNativeAppInstallAdView::setNativeAppInstallAd(
    const std::shared_ptr<DZNativeAppInstallAd>& ad) {
    nativeAdViewPolicy_->setNativeAd(ad);
    nativeAdViewPolicy_->setDelegate(std::static_pointer_cast<DZNativeAdViewPolicyDelegate>(ad));
    updateMediaView();
}

std::shared_ptr<DZNativeAppInstallAd> DZNativeAppInstallAdView::nativeAppInstallAd() const {
    return std::dynamic_pointer_cast<DZNativeAppInstallAd>(nativeAdViewPolicy_->nativeAd());
}

void DZNativeAppInstallAdView::setHeadlineView(const std::shared_ptr<ui::View>& view) {
    nativeAdViewPolicy_->replaceAssetWithName(DZNativeAppInstallAssetID::kHeadline, view,
                                              &headlineView_);
}

void DZNativeAppInstallAdView::setCallToActionView(const std::shared_ptr<ui::View>& view) {
    nativeAdViewPolicy_->replaceAssetWithName(DZNativeAppInstallAssetID::kCallToAction, view,
                                              &callToActionView_);
}

void DZNativeAppInstallAdView::setIconView(const std::shared_ptr<ui::View>& view) {
    nativeAdViewPolicy_->replaceAssetWithName(DZNativeAppInstallAssetID::kIcon, view, &iconView_);
}

void DZNativeAppInstallAdView::setBodyView(const std::shared_ptr<ui::View>& view) {
    nativeAdViewPolicy_->replaceAssetWithName(DZNativeAppInstallAssetID::kBody, view, &bodyView_);
}

void DZNativeAppInstallAdView::setStoreView(const std::shared_ptr<ui::View>& view) {
    nativeAdViewPolicy_->replaceAssetWithName(DZNativeAppInstallAssetID::kStore, view, &storeView_);
}

void DZNativeAppInstallAdView::setPriceView(const std::shared_ptr<ui::View>& view) {
    nativeAdViewPolicy_->replaceAssetWithName(DZNativeAppInstallAssetID::kPrice, view, &priceView_);
}

void DZNativeAppInstallAdView::setImageView(const std::shared_ptr<ui::View>& view) {
    nativeAdViewPolicy_->replaceAssetWithName(DZNativeAppInstallAssetID::kImage, view, &imageView_);
}

void DZNativeAppInstallAdView::setStarRatingView(const std::shared_ptr<ui::View>& view) {
    nativeAdViewPolicy_->replaceAssetWithName(DZNativeAppInstallAssetID::kStarRating, view,
                                              &starRatingView_);
}

void DZNativeAppInstallAdView::setMediaView(const std::shared_ptr<DZMediaView>& view) {
    nativeAdViewPolicy_->replaceAssetWithName(DZNativeAppInstallAssetID::kMediaView, view,
                                              &mediaView_);
    updateMediaView();
}

void DZNativeAppInstallAdView::setAdChoicesView(const std::shared_ptr<DZAdChoicesView>& view) {
    nativeAdViewPolicy_->replaceAssetWithName(DZNativeAppInstallAssetID::kAdChoicesView, view,
                                              &adChoicesView_);
}

std::shared_ptr<DZMediaView> DZNativeAppInstallAdView::mediaView() const {
    return std::static_pointer_cast<DZMediaView>(mediaView_.lock());
}

std::shared_ptr<DZAdChoicesView> DZNativeAppInstallAdView::adChoicesView() const {
    return std::static_pointer_cast<DZAdChoicesView>(adChoicesView_.lock());
}

void DZNativeAppInstallAdView::updateMediaView() {
    DZNativeAdViewPolicy::showMediaContent(nativeAdViewPolicy_, [weak = weak_from_this()] {
        const auto view = std::static_pointer_cast<DZNativeAppInstallAdView>(weak.lock());
        return view ? view->mediaView() : nullptr;
    });
}

void DZNativeAppInstallAdView::layoutSubviews() {
    ui::View::layoutSubviews();
    if (nativeAdViewPolicy_) nativeAdViewPolicy_->adViewDidLayoutSubviews();
}

void DZNativeAppInstallAdView::didMoveToSuperview() {
    ui::View::didMoveToSuperview();
    if (nativeAdViewPolicy_) nativeAdViewPolicy_->adViewDidMoveToSuperview();
}

}  // namespace ads
