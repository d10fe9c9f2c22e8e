#pragma once
// Ad loader option asking for several native ads in one request.

#include <cstdint>
#include <memory>

#include "ads/core/request/DZAdLoaderOptions.h"

namespace ads {

class DZMultipleAdsAdLoaderOptions : public DZAdLoaderOptions {
public:
    static constexpr const char* kClassName = "DZMultipleAdsAdLoaderOptions";

    [[nodiscard]] std::string className() const override { return kClassName; }
    // {"max_num_ads": numberOfAds} as a number.
    [[nodiscard]] std::optional<core::Dictionary> requestParameters() const override {
        return core::Dictionary{{"max_num_ads", numberOfAds_}};
    }
    [[nodiscard]] std::shared_ptr<DZAdLoaderOptions> copy() const override {
        return std::make_shared<DZMultipleAdsAdLoaderOptions>(*this);
    }

    [[nodiscard]] std::int64_t numberOfAds() const { return numberOfAds_; }
    void setNumberOfAds(std::int64_t count) { numberOfAds_ = count; }

private:
    std::int64_t numberOfAds_ = 1;
};

}  // namespace ads
