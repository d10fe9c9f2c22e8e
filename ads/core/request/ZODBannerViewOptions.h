#pragma once
// Ad loader options for publisher banner views: manual impressions and the
// banners' app-event and size delegates (held weakly).

#include <memory>

#include "ads/core/request/DZAdLoaderOptions.h"
#include "ads/presentation/DZAdSizeDelegate.h"
#include "ads/presentation/DZAppEventDelegate.h"

namespace ads {

class ZODBannerViewOptions : public DZAdLoaderOptions {
public:
    static constexpr const char* kClassName = "ZODBannerViewOptions";

    [[nodiscard]] std::string className() const override { return kClassName; }
    // {"d_imp_hdr": "1"} with manual impressions; none otherwise.
    [[nodiscard]] std::optional<core::Dictionary> requestParameters() const override;
    [[nodiscard]] std::shared_ptr<DZAdLoaderOptions> copy() const override {
        return std::make_shared<ZODBannerViewOptions>(*this);
    }

    [[nodiscard]] bool enableManualImpressions() const { return enableManualImpressions_; }
    void setEnableManualImpressions(bool enable) { enableManualImpressions_ = enable; }
    [[nodiscard]] std::shared_ptr<DZAppEventDelegate> appEventDelegate() const {
        return appEventDelegate_.lock();
    }
    void setAppEventDelegate(std::weak_ptr<DZAppEventDelegate> delegate) {
        appEventDelegate_ = std::move(delegate);
    }
    [[nodiscard]] std::shared_ptr<DZAdSizeDelegate> adSizeDelegate() const {
        return adSizeDelegate_.lock();
    }
    void setAdSizeDelegate(std::weak_ptr<DZAdSizeDelegate> delegate) {
        adSizeDelegate_ = std::move(delegate);
    }

private:
    bool enableManualImpressions_ = false;
    std::weak_ptr<DZAppEventDelegate> appEventDelegate_;
    std::weak_ptr<DZAdSizeDelegate> adSizeDelegate_;
};

}  // namespace ads
