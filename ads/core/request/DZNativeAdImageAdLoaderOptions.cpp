#include "ads/core/request/DZNativeAdImageAdLoaderOptions.h"

namespace ads {

std::optional<core::Dictionary> DZNativeAdImageAdLoaderOptions::requestParameters() const {
    core::Dictionary parameters;
    switch (preferredImageOrientation_) {
    case kAny:
        parameters.set("native_image_orientation", "any");
        break;
    case kPortrait:
        parameters.set("native_image_orientation", "portrait");
        break;
    case kLandscape:
        parameters.set("native_image_orientation", "landscape");
        break;
    default:
        break;
    }
    if (shouldRequestMultipleImages_) parameters.set("multiple_images", "1");
    if (parameters.empty()) return std::nullopt;
    return parameters;
}

}  // namespace ads
