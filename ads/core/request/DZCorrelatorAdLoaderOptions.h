#pragma once
// Ad loader option that makes a loader's requests share a correlator with
// other ad loads; adds no request parameters.

#include <memory>

#include "ads/core/request/DZAdLoaderOptions.h"
#include "ads/core/request/DZCorrelator.h"

namespace ads {

class DZCorrelatorAdLoaderOptions : public DZAdLoaderOptions {
public:
    static constexpr const char* kClassName = "DZCorrelatorAdLoaderOptions";

    [[nodiscard]] std::string className() const override { return kClassName; }
    [[nodiscard]] std::shared_ptr<DZAdLoaderOptions> copy() const override {
        return std::make_shared<DZCorrelatorAdLoaderOptions>(*this);
    }

    [[nodiscard]] const std::shared_ptr<DZCorrelator>& correlator() const { return correlator_; }
    void setCorrelator(std::shared_ptr<DZCorrelator> correlator) {
        correlator_ = std::move(correlator);
    }

private:
    std::shared_ptr<DZCorrelator> correlator_;
};

}  // namespace ads
