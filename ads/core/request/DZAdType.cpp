#include "ads/core/request/DZAdType.h"

#include <functional>

#include "core/StringFormat.h"
#include "gfx/GeometryText.h"

namespace ads {

std::shared_ptr<DZAdType> DZAdType::bannerAdTypeForSize(const DZAdSize& adSize) {
    return std::make_shared<DZAdType>(adSize);
}

std::shared_ptr<DZAdType> DZAdType::interstitialAdType() {
    auto type = std::make_shared<DZAdType>(kDZAdSizeInvalid);
    type->isInterstitial_ = true;
    return type;
}

std::shared_ptr<DZAdType> DZAdType::rewardBasedVideoAdType() {
    auto type = std::make_shared<DZAdType>(kDZAdSizeInvalid);
    type->isRewardBasedVideoAd_ = true;
    return type;
}

bool DZAdType::isEqual(const DZAdType& other) const {
    if (this == &other) return true;
    if (isInterstitial_ || other.isInterstitial_) return isInterstitial_ && other.isInterstitial_;
    return DZAdSizesEqual(adSize_, other.adSize_);
}

std::size_t DZAdType::hash() const {
    if (isInterstitial_) return 1;
    return std::hash<std::string>()(
        core::format("%@ %lu", gfx::stringFromSize(adSize_.size), adSize_.flags));
}

bool DZAdType::isValid() const {
    return isInterstitial_ || DZAdSizeValidate(adSize_, nullptr);
}

std::string DZAdType::description() const {
    if (isInterstitial_) return core::format("%@ interstitial type", kClassName);
    return core::format("%@ banner with size: %@", kClassName, DZAdSizeDescription(adSize_));
}

}  // namespace ads
