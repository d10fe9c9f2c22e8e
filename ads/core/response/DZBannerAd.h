#pragma once
// The ad of a banner slot: a DZAd that also takes the server's refresh
// interval ("refresh_rate", a number of seconds) from its dictionary. Main
// thread, as DZAd.

#include <memory>

#include "ads/core/response/DZAd.h"

namespace ads {

class DZBannerAd : public DZAd {
public:
    [[nodiscard]] static std::shared_ptr<DZBannerAd>
    initWithDictionary(const core::Value& dictionary, const DZAdNativeProperties* native = nullptr);

protected:
    void readDictionary(const core::Dictionary& dictionary) override;
};

}  // namespace ads
