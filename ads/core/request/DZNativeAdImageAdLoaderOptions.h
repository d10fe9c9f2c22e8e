#pragma once
// Ad loader option for the images of native ads: whether to load them,
// whether several are wanted and which orientation is preferred.

#include <cstdint>
#include <memory>

#include "ads/core/request/DZAdLoaderOptions.h"

namespace ads {

class DZNativeAdImageAdLoaderOptions : public DZAdLoaderOptions {
public:
    static constexpr const char* kClassName = "DZNativeAdImageAdLoaderOptions";

    // Values of preferredImageOrientation.
    enum Orientation : std::int64_t { kAny = 1, kPortrait = 2, kLandscape = 3 };

    [[nodiscard]] std::string className() const override { return kClassName; }
    // "native_image_orientation" ("any", "portrait" or "landscape" for 1 to
    // 3, absent otherwise) and "multiple_images" = "1" when asked for; none
    // when neither applies.
    [[nodiscard]] std::optional<core::Dictionary> requestParameters() const override;
    [[nodiscard]] std::shared_ptr<DZAdLoaderOptions> copy() const override {
        return std::make_shared<DZNativeAdImageAdLoaderOptions>(*this);
    }

    [[nodiscard]] bool disableImageLoading() const { return disableImageLoading_; }
    void setDisableImageLoading(bool disable) { disableImageLoading_ = disable; }
    [[nodiscard]] bool shouldRequestMultipleImages() const { return shouldRequestMultipleImages_; }
    void setShouldRequestMultipleImages(bool multiple) { shouldRequestMultipleImages_ = multiple; }
    [[nodiscard]] std::int64_t preferredImageOrientation() const {
        return preferredImageOrientation_;
    }
    void setPreferredImageOrientation(std::int64_t orientation) {
        preferredImageOrientation_ = orientation;
    }

private:
    bool disableImageLoading_ = false;
    bool shouldRequestMultipleImages_ = false;
    std::int64_t preferredImageOrientation_ = 0;
};

}  // namespace ads
