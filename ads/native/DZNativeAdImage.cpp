#include "ads/native/DZNativeAdImage.h"

#include <cstdio>

#include "ads/core/request/DZNativeAdImageAdLoaderOptions.h"
#include "ads/foundation/DZNetworkErrors.h"
#include "ads/foundation/DZURLSessionLimits.h"
#include "core/Queue.h"
#include "core/URLSession.h"

namespace ads {

std::shared_ptr<DZNativeAdImage> DZNativeAdImage::initWithDictionary(const core::Value& dictionary) {
    const std::string* text = dictionary["url"].string();
    auto url = text ? core::URL::create(*text) : std::nullopt;
    if (!url) return nullptr;
    auto image = std::make_shared<DZNativeAdImage>(std::move(*url));
    const core::Value& required = dictionary["require"];
    image->required_ = required.isNull() ? true : required.boolValue();
    const core::Value& scale = dictionary["scale"];
    if (scale.isNumber() || scale.isString()) image->scale_ = scale.doubleValue();
    if (!(image->scale_ > 0)) image->scale_ = 1.0;
    return image;
}

std::shared_ptr<DZNativeAdImage> DZNativeAdImage::initWithImage(gfx::ImagePtr image) {
    const double scale = image ? image->scale() : 1.0;
    auto made = std::make_shared<DZNativeAdImage>(*core::URL::create("about:blank"));
    made->hasImageURL_ = false;
    made->image_ = std::move(image);
    made->scale_ = scale;
    return made;
}

std::shared_ptr<DZNativeAdImage> DZNativeAdImage::initWithURL(core::URL url, double scale) {
    auto made = std::make_shared<DZNativeAdImage>(std::move(url));
    made->scale_ = scale;
    return made;
}

std::optional<DZNativeAdImage::Images> DZNativeAdImage::nativeAdImagesFromImageConfigurationArray(
    const core::Value& array, const DZNativeAdImageAdLoaderOptions* options) {
    const core::Array* elements = array.array();
    if (!elements || elements->empty()) return std::nullopt;
    Images images;
    const bool multiple = options && options->shouldRequestMultipleImages();
    for (const core::Value& element : *elements) {
        if (auto image = initWithDictionary(element)) images.push_back(std::move(image));
        if (!multiple) break;
    }
    if (images.empty()) return std::nullopt;
    return images;
}

std::string DZNativeAdImage::description() const {
    char head[96];
    std::snprintf(head, sizeof head, "<DZNativeAdImage: %p scale: %f URL: ",
                  static_cast<const void*>(this), scale_);
    return head + imageURL_.absoluteString() + ">";
}

void DZNativeAdImage::loadImageWithCompletionHandler(Completion handler) {
    const auto main = core::Queue::main();
    if (image_) {
        main->async([handler = std::move(handler)] { handler(std::nullopt); });
        return;
    }
    if (!imageURL_.hasScheme("http") && !imageURL_.hasScheme("https")) {
        const Error error = DZErrorWithCodeDescription(
            kDZErrorInternalError,
            "Couldn't create URL request for " + imageURL_.absoluteString() + ".");
        main->async([handler = std::move(handler), error] { handler(error); });
        return;
    }
    core::URLRequest request(imageURL_);
    request.setTimeoutInterval(kTimeout);
    auto task = DZURLSession()->dataTask(
        std::move(request),
        [self = shared_from_this(), handler = std::move(handler)](
            core::Data body, std::optional<core::HTTPURLResponse> response,
            std::optional<core::NetworkError> networkError) {
            if (networkError) {
                handler(DZErrorFromNetworkError(*networkError));
                return;
            }
            const int status = response ? response->statusCode() : 0;
            if (status < 200 || status > 299) {
                handler(DZErrorWithCodeDescription(
                    kDZErrorInternalError, "Failed to load " + self->description() +
                                               ". Received HTTP status " +
                                               std::to_string(status) + "."));
                return;
            }
            if (!body.empty()) {
                gfx::ImageDecodeOptions options;
                options.scale = self->scale_;
                options.maxPixels = kMaximumPixels;
                self->image_ = gfx::Image::decode(body, nullptr, options);
            }
            if (!self->image_) {
                handler(DZErrorWithCodeDescription(
                    kDZErrorInternalError, "Failed to load " + self->description() +
                                               ". Received " + std::to_string(body.size()) +
                                               " bytes."));
                return;
            }
            handler(std::nullopt);
        },
        main);
    task->resume();
}

}  // namespace ads
