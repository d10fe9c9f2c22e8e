// DZSlot: the size an ad takes: what the response asks for against the
// sizes the owner accepts (multi-size and fluid ads), and the content size
// of a fluid ad.

#include "ads/core/request/DZAdType.h"
#include "ads/core/response/DZAd.h"
#include "ads/core/slot/DZSlot.h"
#include "ads/core/slot/DZSlotDelegate.h"
#include "ads/web/view/DZAdView.h"

namespace ads {

namespace {

bool isZero(gfx::Size size) {
    return size.width == 0 && size.height == 0;
}

bool hasSizes(const std::optional<std::vector<DZBoxedValue>>& sizes) {
    return sizes && !sizes->empty();
}

}  // namespace

bool DZSlot::validateAdResponseWithAdSize(
    const DZAdSize& adSize, const std::optional<std::vector<DZBoxedValue>>& validAdSizes) {
    if (!validAdSizes) return false;
    for (const DZBoxedValue& value : *validAdSizes) {
        if (value.typeEncoding != kDZAdSizeTypeEncoding) continue;
        const DZAdSize size = DZAdSizeUnboxedValue(value);
        if (DZAdSizesEqual(size, kDZAdSizeInvalid)) continue;
        if (DZAdSizesEqual(size, adSize)) return true;
    }
    return false;
}

DZAdSize DZSlot::adSizeForMultiSizeAd() const {
    const auto delegate = slotDelegate();
    const auto validAdSizes = delegate ? delegate->validAdSizes() : std::nullopt;
    if (!validAdSizes) return kDZAdSizeInvalid;
    if (validateAdResponseWithAdSize(kDZAdSizeFluid, validAdSizes)) {
        const auto bounds = delegate->bounds();
        return DZAdSizeFluidWithCGSize(bounds ? bounds->standardized().size : gfx::Size());
    }
    const DZAdSize known = DZAdSizeMatchKnownSize(newAdSize_);
    const gfx::Size current = adType_ ? DZAdSizeResolvedCGSize(adType_->adSize()) : gfx::Size{};
    if (validateAdResponseWithAdSize(known, validAdSizes) && !isZero(newAdSize_) &&
        !(newAdSize_ == current))
        return known;
    return kDZAdSizeInvalid;
}

void DZSlot::setViewForAdUsingView(const std::shared_ptr<ui::View>& view) {
    const auto delegate = slotDelegate();
    if (delegate) delegate->didReceiveAdView(*this, view);
    if (!adView_) return;
    adView_->setAdResponseSize({});
    const auto validAdSizes = delegate ? delegate->validAdSizes() : std::nullopt;
    bool fluidRequested = validateAdResponseWithAdSize(kDZAdSizeFluid, validAdSizes);
    if (!fluidRequested && !hasSizes(validAdSizes) && delegate) {
        const auto adSize = delegate->adSize();
        fluidRequested = adSize && DZAdSizeIsFluid(*adSize);
    }
    if (fluidRequested && !(loadingAd_ && loadingAd_->isFluid()) && !isZero(newAdSize_))
        adView_->setAdResponseSize(newAdSize_);
    const DZAdSize multiSize = adSizeForMultiSizeAd();
    if (delegate && !DZAdSizesEqual(multiSize, kDZAdSizeInvalid)) {
        delegate->willResizeToAdSize(*this, multiSize);
        if (delegate->takesAdSizeChanges()) {
            adView_->setHidden(true);
            delegate->setAdSize(multiSize, false);
        }
    }
    if (delegate) delegate->layoutSubviewsIfNeeded();
    newAdSize_ = {};
}

void DZSlot::updateContentSize(gfx::Size size) {
    const auto delegate = slotDelegate();
    if (!delegate || !adView_) return;
    const auto& ad = ad_ ? ad_ : loadingAd_;
    const gfx::Size responseSize = adView_->adResponseSize();
    if (isZero(responseSize) && !(ad && ad->isFluid())) return;
    const auto bounds = delegate->bounds();
    const double width = bounds ? bounds->size.width : size.width;
    const double height = isZero(responseSize) ? size.height : responseSize.height;
    delegate->contentSizeDidChange(*this, {width, height});
}

}  // namespace ads
