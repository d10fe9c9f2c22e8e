#pragma once
// The ad of an interstitial slot: a DZAd of its own kind, read the same
// way. Main thread, as DZAd.

#include <memory>

#include "ads/core/response/DZAd.h"

namespace ads {

class DZInterstitialAd : public DZAd {
public:
    [[nodiscard]] static std::shared_ptr<DZInterstitialAd>
    initWithDictionary(const core::Value& dictionary,
                       const DZAdNativeProperties* native = nullptr) {
        return make<DZInterstitialAd>(dictionary, native);
    }
};

}  // namespace ads
