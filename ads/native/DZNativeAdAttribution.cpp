#include "ads/native/DZNativeAdAttribution.h"

#include "ads/core/request/DZNativeAdImageAdLoaderOptions.h"
#include "core/Queue.h"

namespace ads {

namespace {

double duration(const core::Value& milliseconds, double fallback) {
    const double seconds = milliseconds.doubleValue() / 1000.0;
    return seconds < DZNativeAdAttribution::kMinimumDuration ? fallback : seconds;
}

}  // namespace

std::optional<gfx::Color> DZColorFromColorObject(const core::Value& object) {
    const core::Value& red = object["r"];
    const core::Value& green = object["g"];
    const core::Value& blue = object["b"];
    if (red.isNull() || green.isNull() || blue.isNull()) return std::nullopt;
    const core::Value& alpha = object["a"];
    return gfx::Color{red.doubleValue() / 255.0, green.doubleValue() / 255.0,
                      blue.doubleValue() / 255.0, alpha.isNull() ? 1.0 : alpha.doubleValue()};
}

std::shared_ptr<DZNativeAdAttribution> DZNativeAdAttribution::initWithDictionary(
    const core::Value& dictionary) {
    auto attribution = std::make_shared<DZNativeAdAttribution>();
    if (!dictionary.isDictionary()) return attribution;
    if (const std::string* text = dictionary["text"].string()) attribution->text_ = *text;
    attribution->iconAnimationDuration_ =
        duration(dictionary["animation_ms"], kDefaultAnimationDuration);
    attribution->iconPresentationDuration_ =
        duration(dictionary["presentation_ms"], kDefaultPresentationDuration);
    DZNativeAdImageAdLoaderOptions several;
    several.setShouldRequestMultipleImages(true);
    const core::Value& images = dictionary["images"];
    const core::Value single = core::Value(core::Array{dictionary["image"]});
    const auto icons = DZNativeAdImage::nativeAdImagesFromImageConfigurationArray(
        images.isNull() ? single : images, &several);
    attribution->loadingImages_ = icons.value_or(DZNativeAdImage::Images{});
    const core::Value& size = dictionary["text_size"];
    attribution->font_ = gfx::Font::system(size.isNull() ? kDefaultTextSize : size.doubleValue());
    if (const auto color = DZColorFromColorObject(dictionary["text_color"]))
        attribution->textColor_ = *color;
    if (const auto color = DZColorFromColorObject(dictionary["bg_color"]))
        attribution->backgroundColor_ = *color;
    return attribution;
}

void DZNativeAdAttribution::loadAssetsWithCompletionHandler(Completion handler) {
    if (loadingImages_.empty()) {
        core::Queue::main()->async([handler = std::move(handler)] {
            if (handler) handler(std::nullopt);
        });
        return;
    }
    availableImages_.clear();
    assetCompletionHandler_ = std::move(handler);
    for (const auto& image : loadingImages_) {
        image->loadImageWithCompletionHandler(
            [weak = weak_from_this(), image](const std::optional<Error>& error) {
                const auto self = weak.lock();
                if (!self) return;
                if (error) {
                    self->failedLoadingNativeAdImageWithError(*error);
                } else {
                    self->finishedLoadingNativeAdImage(image);
                }
            });
    }
}

void DZNativeAdAttribution::finishedLoadingNativeAdImage(
    const std::shared_ptr<DZNativeAdImage>& image) {
    availableImages_.push_back(image);
    if (availableImages_.size() != loadingImages_.size()) return;
    icons_ = availableImages_;
    Completion handler = std::move(assetCompletionHandler_);
    assetCompletionHandler_ = nullptr;
    if (handler) core::Queue::main()->async([handler] { handler(std::nullopt); });
}

void DZNativeAdAttribution::failedLoadingNativeAdImageWithError(const Error& error) {
    Completion handler = std::move(assetCompletionHandler_);
    assetCompletionHandler_ = nullptr;
    if (handler) core::Queue::main()->async([handler, error] { handler(error); });
}

}  // namespace ads
