#pragma once
// The publisher's ad loader option for video: whether videos start muted
// (sent with the request) and whether the publisher wants to show its own
// controls (kept for the ad's video controller only). A value once handed
// over; any thread.

#include "ads/core/request/DZAdLoaderOptions.h"

namespace ads {

class DZVideoOptions : public DZAdLoaderOptions {
public:
    static constexpr const char* kClassName = "DZVideoOptions";

    [[nodiscard]] std::string className() const override { return kClassName; }
    // {"video": {"startMuted": "1" or "0"}}.
    [[nodiscard]] std::optional<core::Dictionary> requestParameters() const override;
    [[nodiscard]] std::shared_ptr<DZAdLoaderOptions> copy() const override {
        return std::make_shared<DZVideoOptions>(*this);
    }

    [[nodiscard]] bool startMuted() const { return startMuted_; }
    void setStartMuted(bool muted) { startMuted_ = muted; }
    [[nodiscard]] bool customControlsRequested() const { return customControlsRequested_; }
    void setCustomControlsRequested(bool requested) { customControlsRequested_ = requested; }

private:
    bool startMuted_ = true;
    bool customControlsRequested_ = false;
};

}  // namespace ads
