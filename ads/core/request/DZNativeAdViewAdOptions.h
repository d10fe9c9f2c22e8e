#pragma once
// Ad loader option placing the ad-information badge of native ad views; adds
// no request parameters.

#include <cstdint>
#include <memory>

#include "ads/core/request/DZAdLoaderOptions.h"

namespace ads {

class DZNativeAdViewAdOptions : public DZAdLoaderOptions {
public:
    static constexpr const char* kClassName = "DZNativeAdViewAdOptions";

    [[nodiscard]] std::string className() const override { return kClassName; }
    [[nodiscard]] std::shared_ptr<DZAdLoaderOptions> copy() const override {
        return std::make_shared<DZNativeAdViewAdOptions>(*this);
    }

    [[nodiscard]] std::int64_t preferredAdChoicesPosition() const {
        return preferredAdChoicesPosition_;
    }
    void setPreferredAdChoicesPosition(std::int64_t position) {
        preferredAdChoicesPosition_ = position;
    }

private:
    std::int64_t preferredAdChoicesPosition_ = 0;
};

}  // namespace ads
