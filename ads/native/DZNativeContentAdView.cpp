#include "ads/native/DZNativeContentAdView.h"

#include "ads/native/DZAdChoicesView.h"
#include "ads/native/DZMediaContentDisplaying.h"
#include "ads/native/DZMediaView.h"
#include "ads/native/DZNativeAdAssetNames.h"
#include "ads/native/DZNativeAdViewPolicy.h"
#include "ads/native/DZNativeContentAd.h"

namespace ads {

std::shared_ptr<DZNativeContentAdView> DZNativeContentAdView::create(const gfx::Rect& frame) {
    auto view = std::make_shared<DZNativeContentAdView>(frame);
    if (!view->commonInit()) return nullptr;
    return view;
}

bool DZNativeContentAdView::commonInit() {
    nativeAdViewPolicy_ = DZNativeAdViewPolicy::create(
        shared_from_this(), std::string(DZNativeContentAssetID::kAttributionIcon),
        std::string(DZNativeContentAssetID::kAttributionText),
        std::string(DZNativeContentAssetID::kBackground), false);
    return nativeAdViewPolicy_ != nullptr;
}

void DZNativeContentAdView::setNativeContentAd(const std::shared_ptr<DZNativeContentAd>& ad) {
    nativeAdViewPolicy_->setNativeAd(ad);
    nativeAdViewPolicy_->setDelegate(std::static_pointer_cast<DZNativeAdViewPolicyDelegate>(ad));
    updateMediaView();
}

std::shared_ptr<DZNativeContentAd> DZNativeContentAdView::nativeContentAd() const {
    return std::dynamic_pointer_cast<DZNativeContentAd>(nativeAdViewPolicy_->nativeAd());
}

void DZNativeContentAdView::setHeadlineView(const std::shared_ptr<ui::View>& view) {
    nativeAdViewPolicy_->replaceAssetWithName(DZNativeContentAssetID::kHeadline, view,
                                              &headlineView_);
}

void DZNativeContentAdView::setBodyView(const std::shared_ptr<ui::View>& view) {
    nativeAdViewPolicy_->replaceAssetWithName(DZNativeContentAssetID::kBody, view, &bodyView_);
}

void DZNativeContentAdView::setCallToActionView(const std::shared_ptr<ui::View>& view) {
    nativeAdViewPolicy_->replaceAssetWithName(DZNativeContentAssetID::kCallToAction, view,
                                              &callToActionView_);
}

void DZNativeContentAdView::setAdvertiserView(const std::shared_ptr<ui::View>& view) {
    nativeAdViewPolicy_->replaceAssetWithName(DZNativeContentAssetID::kAdvertiser, view,
                                              &advertiserView_);
}

void DZNativeContentAdView::setImageView(const std::shared_ptr<ui::View>& view) {
    nativeAdViewPolicy_->replaceAssetWithName(DZNativeContentAssetID::kImage, view, &imageView_);
}

void DZNativeContentAdView::setLogoView(const std::shared_ptr<ui::View>& view) {
    nativeAdViewPolicy_->replaceAssetWithName(DZNativeContentAssetID::kLogo, view, &logoView_);
}

void DZNativeContentAdView::setMediaView(const std::shared_ptr<DZMediaView>& view) {
    nativeAdViewPolicy_->replaceAssetWithName(DZNativeContentAssetID::kMediaView, view,
                                              &mediaView_);
    updateMediaView();
}

void DZNativeContentAdView::setAdChoicesView(const std::shared_ptr<DZAdChoicesView>& view) {
    nativeAdViewPolicy_->replaceAssetWithName(DZNativeContentAssetID::kAdChoicesView, view,
                                              &adChoicesView_);
}

std::shared_ptr<DZMediaView> DZNativeContentAdView::mediaView() const {
    return std::static_pointer_cast<DZMediaView>(mediaView_.lock());
}

std::shared_ptr<DZAdChoicesView> DZNativeContentAdView::adChoicesView() const {
    return std::static_pointer_cast<DZAdChoicesView>(adChoicesView_.lock());
}

void DZNativeContentAdView::updateMediaView() {
    DZNativeAdViewPolicy::showMediaContent(nativeAdViewPolicy_, [weak = weak_from_this()] {
        const auto view = std::static_pointer_cast<DZNativeContentAdView>(weak.lock());
        return view ? view->mediaView() : nullptr;
    });
}

void DZNativeContentAdView::layoutSubviews() {
    ui::View::layoutSubviews();
    if (nativeAdViewPolicy_) nativeAdViewPolicy_->adViewDidLayoutSubviews();
}

void DZNativeContentAdView::didMoveToSuperview() {
    ui::View::didMoveToSuperview();
    if (nativeAdViewPolicy_) nativeAdViewPolicy_->adViewDidMoveToSuperview();
}

}  // namespace ads
