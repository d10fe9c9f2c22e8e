#include "ads/native/DZAdClass.h"

namespace ads {

std::optional<DZAdClass> DZNativeAdClassForAdLoaderAdType(std::string_view adType) {
    if (adType == "1") return DZAdClass("DZNativeContentAd");
    if (adType == "2") return DZAdClass("DZNativeAppInstallAd");
    if (adType == "3") return DZAdClass("DZNativeCustomTemplateAd");
    if (adType == "-1") return DZAdClass("ZODBannerView");
    return std::nullopt;
}

}  // namespace ads
