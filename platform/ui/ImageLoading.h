#pragma once
// Remote images in image views. ui::setImage shows the placeholder at once,
// then the image of the URL as ImageManager::retrieveImage delivers it; a
// load that fails leaves the placeholder. A view has one load at a time: a
// new setImage, cancelDownloadTask, or the view going away cancels the one
// before (its completion gets a cancelled error and the view never shows
// what it loaded).
//
// Without a URL nothing is loaded and the completion gets a noURL error
// before setImage returns, as it gets a memory hit; everything else arrives
// later on the main queue. Main thread only.

#include <optional>

#include "core/URL.h"
#include "gfx/Image.h"
#include "ui/ImageOptions.h"

namespace ui {

class ImageView;

void setImage(ImageView& view, std::optional<core::URL> url, gfx::ImagePtr placeholder = nullptr,
              ImageOptions options = {}, ImageProgressBlock progress = {},
              ImageCompletionHandler completion = {});
void cancelDownloadTask(ImageView& view);

// The pixels `points` cover on the device's screen: what an image view of
// that size asks for as ImageOptions::targetPixelSize.
[[nodiscard]] gfx::Size screenPixelSize(gfx::Size points);

// The URL of the view's latest setImage; nullopt when it had none or its
// load was cancelled.
[[nodiscard]] std::optional<core::URL> imageURL(const ImageView& view);
// The transition the view showed its image with; nullopt while loading, for
// cached images and when there was none.
[[nodiscard]] std::optional<ImageTransition> imageTransition(const ImageView& view);

}  // namespace ui
