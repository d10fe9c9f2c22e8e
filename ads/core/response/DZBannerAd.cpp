#include "ads/core/response/DZBannerAd.h"

namespace ads {

std::shared_ptr<DZBannerAd> DZBannerAd::initWithDictionary(const core::Value& dictionary,
                                                           const DZAdNativeProperties* native) {
    return make<DZBannerAd>(dictionary, native);
}

void DZBannerAd::readDictionary(const core::Dictionary& dictionary) {
    DZAd::readDictionary(dictionary);
    if (const core::Value* rate = dictionary.find("refresh_rate"); rate && rate->isNumber())
        if (const auto seconds = checkedReloadInterval(rate->doubleValue()))
            setReloadInterval(*seconds);
}

}  // namespace ads
