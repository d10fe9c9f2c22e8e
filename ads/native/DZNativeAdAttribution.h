#pragma once
// The data of a native ad's attribution badge: its text with font and
// colours, its icon images and how the badge cycles through them, from the
// ad's "attribution" object. Loading the icons reports once: success when
// every icon has loaded (icons then holds them in the order they finished),
// or the first failure.
//
// Threading: main thread; completions run on the main queue.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ads/native/DZNativeAdImage.h"
#include "core/Value.h"
#include "gfx/Color.h"
#include "gfx/Font.h"

namespace ads {

class DZNativeAdAttribution : public std::enable_shared_from_this<DZNativeAdAttribution> {
public:
    using Completion = DZNativeAdImage::Completion;

    static constexpr double kMinimumDuration = 0.05;
    static constexpr double kDefaultAnimationDuration = 1.0;
    static constexpr double kDefaultPresentationDuration = 4.0;
    static constexpr double kDefaultTextSize = 12.0;

    // Any value gives an attribution; one that is no dictionary gives the
    // defaults and no icons.
    [[nodiscard]] static std::shared_ptr<DZNativeAdAttribution> initWithDictionary(
        const core::Value& dictionary);

    void loadAssetsWithCompletionHandler(Completion handler);
    void finishedLoadingNativeAdImage(const std::shared_ptr<DZNativeAdImage>& image);
    void failedLoadingNativeAdImageWithError(const Error& error);

    [[nodiscard]] const DZNativeAdImage::Images& loadingImages() const { return loadingImages_; }
    [[nodiscard]] const std::optional<DZNativeAdImage::Images>& icons() const { return icons_; }
    [[nodiscard]] double iconPresentationDuration() const { return iconPresentationDuration_; }
    [[nodiscard]] double iconAnimationDuration() const { return iconAnimationDuration_; }
    [[nodiscard]] const std::optional<std::string>& text() const { return text_; }
    [[nodiscard]] const gfx::Font& font() const { return font_; }
    [[nodiscard]] const gfx::Color& textColor() const { return textColor_; }
    [[nodiscard]] const gfx::Color& backgroundColor() const { return backgroundColor_; }

    DZNativeAdAttribution() = default;

private:
    DZNativeAdImage::Images loadingImages_;
    DZNativeAdImage::Images availableImages_;
    Completion assetCompletionHandler_;
    std::optional<DZNativeAdImage::Images> icons_;
    double iconPresentationDuration_ = kDefaultPresentationDuration;
    double iconAnimationDuration_ = kDefaultAnimationDuration;
    std::optional<std::string> text_;
    gfx::Font font_ = gfx::Font::system(kDefaultTextSize);
    gfx::Color textColor_{12 / 255.0, 174 / 255.0, 206 / 255.0, 1};
    gfx::Color backgroundColor_{0.8, 0.8, 0.8, 1};
};

// The colour of a colour object: "r", "g", "b" (0 to 255, all three
// needed) and "a" (0 to 1, default 1); nullopt without one of the three.
[[nodiscard]] std::optional<gfx::Color> DZColorFromColorObject(const core::Value& object);

}  // namespace ads
