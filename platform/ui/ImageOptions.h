#pragma once
// What ui::setImage and ImageManager::retrieveImage take besides the URL:
// the options of one load and the callbacks it reports to. Value types.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "core/URL.h"
#include "gfx/Image.h"
#include "ui/ImageError.h"

namespace ui {

class ImageManager;

// Where a delivered image came from: none means downloaded.
enum class CacheType { none, memory, disk };

// How an image view shows an image that was downloaded; images from the
// caches appear without one.
struct ImageTransition {
    enum class Kind { none, fade, flipFromLeft };

    Kind kind = Kind::none;
    double duration = 0;

    [[nodiscard]] static ImageTransition none() { return {}; }
    [[nodiscard]] static ImageTransition fade(double seconds) { return {Kind::fade, seconds}; }
    [[nodiscard]] static ImageTransition flipFromLeft(double seconds) {
        return {Kind::flipFromLeft, seconds};
    }

    friend bool operator==(const ImageTransition&, const ImageTransition&) = default;
};

struct ImageOptions {
    ImageTransition transition;
    // Skips both caches and downloads; the result is cached as usual.
    bool forceRefresh = false;
    // When not empty, the image is decoded at about the smallest size that
    // covers this many pixels (see gfx::ImageDecodeOptions::coverPixelSize)
    // and cached under that size: a later request at a larger size decodes
    // its own sharp copy from the bytes, one at any size is served by a
    // full-size image in memory. Empty: the full size.
    gfx::Size targetPixelSize;
    // Null: ImageManager::shared().
    std::shared_ptr<ImageManager> manager;
};

// Bytes received so far and expected in all (-1 when unknown).
using ImageProgressBlock = std::function<void(std::int64_t received, std::int64_t expected)>;
// Exactly one of image and error is set.
using ImageCompletionHandler =
    std::function<void(gfx::ImagePtr image, std::optional<ImageError> error, CacheType cacheType,
                       std::optional<core::URL> url)>;

}  // namespace ui
