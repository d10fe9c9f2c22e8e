// Ads as the core page sends them ("fetched_ad", JSON): any text is read
// into each kind of ad without failing; a banner's refresh rate and an ad's
// size are only taken within their bounds.

#include <cmath>
#include <cstdint>

#include "FuzzCheck.h"
#include "ads/core/request/DZAdSize.h"
#include "ads/core/response/DZAd.h"
#include "ads/core/response/DZBannerAd.h"
#include "ads/core/response/DZInterstitialAd.h"
#include "ads/foundation/DZJSONAdditions.h"

namespace {

void checkAd(const std::shared_ptr<ads::DZAd>& ad) {
    if (!ad) return;
    const double interval = ad->reloadInterval();
    FUZZ_CHECK(interval >= 0 && interval <= ads::DZAd::kMaximumReloadInterval);
    for (const double side : {ad->size().width, ad->size().height})
        FUZZ_CHECK(side >= 0 && side <= ads::kDZAdSizeMaximumRequestDimension &&
                   std::trunc(side) == side);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::useTemporaryHome();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    ads::Error error;
    const auto decoded = ads::dz_decodedJSONObjectError(fuzz::text(data, size), &error);
    if (!decoded) return 0;
    checkAd(ads::DZAd::initWithDictionary(*decoded));
    checkAd(ads::DZBannerAd::initWithDictionary(*decoded));
    checkAd(ads::DZInterstitialAd::initWithDictionary(*decoded));
    return 0;
}
