#pragma once
// A view that shows an image placed by its content mode (stretched to the
// bounds by default), or its highlighted image while highlighted and one is
// set. Its natural size is the image's size in points. Image views take no
// touches by default. Main thread only.

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
    gfx::ImagePtr image_;
    gfx::ImagePtr highlightedImage_;
    bool highlighted_ = false;
    gfx::ContentMode contentMode_ = gfx::ContentMode::ScaleToFill;
    std::shared_ptr<void> imageLoadState_;
};

}  // namespace ui
