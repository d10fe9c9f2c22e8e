#pragma once
// One picture of a native ad: its URL, scale and "required" flag from the
// ad's image object ({"url", "require" (default true), "scale" (default
// 1)}), and the picture once loaded. A load is one HTTP request, never
// retried; a loaded picture is never fetched again. Only a 2xx body is
// decoded (PNG or JPEG, at the image's scale), and a picture of more than
// 4096 x 4096 pixels is refused from its header, before decoding.
//
// Threading: main thread; completions run on the main queue.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ads/core/request/DZError.h"
#include "core/URL.h"
#include "core/Value.h"
#include "gfx/Image.h"

namespace ads {

class DZNativeAdImageAdLoaderOptions;

class DZNativeAdImage : public std::enable_shared_from_this<DZNativeAdImage> {
public:
    using Completion = std::function<void(const std::optional<Error>& error)>;
    using Images = std::vector<std::shared_ptr<DZNativeAdImage>>;

    static constexpr std::int64_t kMaximumPixels = std::int64_t(4096) * 4096;
    static constexpr double kTimeout = 60;

    // nullptr when "url" does not form a URL.
    [[nodiscard]] static std::shared_ptr<DZNativeAdImage> initWithDictionary(
        const core::Value& dictionary);
    // For network adapters: a picture they already have (at its own scale),
    // or a URL and a scale. Each sets only those fields: an image made from
    // a picture has no URL (hasImageURL() false, imageURL() "about:blank").
    [[nodiscard]] static std::shared_ptr<DZNativeAdImage> initWithImage(gfx::ImagePtr image);
    [[nodiscard]] static std::shared_ptr<DZNativeAdImage> initWithURL(core::URL url, double scale);
    // One image per element with options asking for several images, else
    // from the first element only; elements without a URL are skipped.
    // nullopt instead of an empty list.
    [[nodiscard]] static std::optional<Images> nativeAdImagesFromImageConfigurationArray(
        const core::Value& array, const DZNativeAdImageAdLoaderOptions* options);

    void loadImageWithCompletionHandler(Completion handler);
    // "<DZNativeAdImage: 0x... scale: 1.000000 URL: https://...>".
    [[nodiscard]] std::string description() const;

    [[nodiscard]] bool required() const { return required_; }
    void setRequired(bool required) { required_ = required; }
    [[nodiscard]] const gfx::ImagePtr& image() const { return image_; }
    void setImage(gfx::ImagePtr image) { image_ = std::move(image); }
    [[nodiscard]] const core::URL& imageURL() const { return imageURL_; }
    void setImageURL(core::URL url) {
        imageURL_ = std::move(url);
        hasImageURL_ = true;
    }
    [[nodiscard]] bool hasImageURL() const { return hasImageURL_; }
    [[nodiscard]] double scale() const { return scale_; }
    void setScale(double scale) { scale_ = scale; }

    explicit DZNativeAdImage(core::URL url) : imageURL_(std::move(url)) {}

private:
    bool required_ = true;
    gfx::ImagePtr image_;
    core::URL imageURL_;
    bool hasImageURL_ = true;
    double scale_ = 1.0;
};

}  // namespace ads
