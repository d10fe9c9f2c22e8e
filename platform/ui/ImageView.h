#pragma once
// A view that shows an image placed by its content mode (stretched to the
// bounds by default), or its highlighted image while highlighted and one is
// set. Its natural size is the image's size in points. Image views take no
// touches by default. An image drawn smaller than its pixels is drawn from a
// copy shrunk to the device pixels it covers, made once and kept while the
// image and that size stay, and placed on whole pixels, so a frame does not
// filter the full image again. Main thread only.

#include <memory>

#include "gfx/ContentMode.h"
#include "gfx/Image.h"
#include "ui/View.h"

namespace ui {

class ImageView : public View {
public:
    explicit ImageView(gfx::Rect frame = {});
    // Sized to the image.
    explicit ImageView(gfx::ImagePtr image);

    [[nodiscard]] const gfx::ImagePtr& image() const { return image_; }
    void setImage(gfx::ImagePtr image);
    [[nodiscard]] const gfx::ImagePtr& highlightedImage() const { return highlightedImage_; }
    void setHighlightedImage(gfx::ImagePtr image);
    [[nodiscard]] bool isHighlighted() const { return highlighted_; }
    void setHighlighted(bool highlighted);
    [[nodiscard]] gfx::ContentMode contentMode() const { return contentMode_; }
    void setContentMode(gfx::ContentMode mode);

    // The image drawn now: the highlighted one when highlighted and set.
    [[nodiscard]] const gfx::ImagePtr& displayedImage() const;

    [[nodiscard]] gfx::Size sizeThatFits(gfx::Size size) const override;
    [[nodiscard]] gfx::Size intrinsicContentSize() const override;
    void draw(gfx::Canvas& canvas, const gfx::Rect& rect) const override;

    // The state of the remote image load of ui::setImage (ImageLoading.h),
    // opaque here; replacing or dropping it ends that load.
    [[nodiscard]] const std::shared_ptr<void>& imageLoadState() const { return imageLoadState_; }
    void setImageLoadState(std::shared_ptr<void> state);

private:
    // The copy of `image` for drawing it over `deviceRect`, or null when it
    // is drawn as it is.
    [[nodiscard]] const gfx::Image* shrunkCopy(const gfx::ImagePtr& image,
                                               const gfx::Rect& deviceRect) const;

    gfx::ImagePtr image_;
    gfx::ImagePtr highlightedImage_;
    bool highlighted_ = false;
    gfx::ContentMode contentMode_ = gfx::ContentMode::ScaleToFill;
    std::shared_ptr<void> imageLoadState_;
    mutable std::weak_ptr<const gfx::Image> copySource_;
    mutable gfx::ImagePtr copy_;
};

}  // namespace ui
