#pragma once
// The asset ids of the publisher views: each asset view is known to the
// view policy by one of these texts, and clicks name the asset by it.

#include <string_view>

namespace ads {

namespace DZNativeAppInstallAssetID {
inline constexpr const char* kHeadline = "2001";
inline constexpr const char* kCallToAction = "2002";
inline constexpr const char* kIcon = "2003";
inline constexpr const char* kBody = "2004";
inline constexpr const char* kStore = "2005";
inline constexpr const char* kPrice = "2006";
inline constexpr const char* kImage = "2007";
inline constexpr const char* kStarRating = "2008";
inline constexpr const char* kAttributionIcon = "2009";
inline constexpr const char* kAttributionText = "2010";
inline constexpr const char* kMediaView = "2011";
inline constexpr const char* kAdChoicesView = "2012";
inline constexpr const char* kBackground = "2099";
}  // namespace DZNativeAppInstallAssetID

namespace DZNativeContentAssetID {
inline constexpr const char* kHeadline = "1001";
inline constexpr const char* kBody = "1002";
inline constexpr const char* kCallToAction = "1003";
inline constexpr const char* kAdvertiser = "1004";
inline constexpr const char* kImage = "1005";
inline constexpr const char* kLogo = "1006";
inline constexpr const char* kAttributionIcon = "1007";
inline constexpr const char* kAttributionText = "1008";
inline constexpr const char* kMediaView = "1009";
inline constexpr const char* kAdChoicesView = "1010";
inline constexpr const char* kBackground = "1099";
}  // namespace DZNativeContentAssetID

// The media view's ids ("2011", "1009") and the AdChoices view's ("2012",
// "1010"), which the view policy treats apart from the other assets.
[[nodiscard]] inline bool DZIsMediaViewAssetName(std::string_view assetName) {
    return assetName == DZNativeAppInstallAssetID::kMediaView ||
           assetName == DZNativeContentAssetID::kMediaView;
}
[[nodiscard]] inline bool DZIsAdChoicesViewAssetName(std::string_view assetName) {
    return assetName == DZNativeAppInstallAssetID::kAdChoicesView ||
           assetName == DZNativeContentAssetID::kAdChoicesView;
}

}  // namespace ads
