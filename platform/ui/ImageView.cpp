#include "ui/ImageView.h"

#include <utility>

#include "gfx/Canvas.h"

namespace ui {

ImageView::ImageView(gfx::Rect frame) : View(frame) {
    setUserInteractionEnabled(false);
}

ImageView::ImageView(gfx::ImagePtr image)
    : ImageView(gfx::Rect({}, image ? image->size() : gfx::Size{})) {
    image_ = std::move(image);
}

void ImageView::setImage(gfx::ImagePtr image) {
    if (image_ == image) return;
    image_ = std::move(image);
    setNeedsDisplay();
}

void ImageView::setImageLoadState(std::shared_ptr<void> state) {
    imageLoadState_ = std::move(state);
}

void ImageView::setHighlightedImage(gfx::ImagePtr image) {
    if (highlightedImage_ == image) return;
    highlightedImage_ = std::move(image);
    if (highlighted_) setNeedsDisplay();
}

void ImageView::setHighlighted(bool highlighted) {
    if (highlighted_ == highlighted) return;
    highlighted_ = highlighted;
    if (highlightedImage_) setNeedsDisplay();
}

void ImageView::setContentMode(gfx::ContentMode mode) {
    if (contentMode_ == mode) return;
    contentMode_ = mode;
    setNeedsDisplay();
}

const gfx::ImagePtr& ImageView::displayedImage() const {
    return highlighted_ && highlightedImage_ ? highlightedImage_ : image_;
}

gfx::Size ImageView::sizeThatFits(gfx::Size) const {
    return intrinsicContentSize();
}

gfx::Size ImageView::intrinsicContentSize() const {
    const auto& image = displayedImage();
    return image ? image->size() : gfx::Size{};
}

void ImageView::draw(gfx::Canvas& canvas, const gfx::Rect&) const {
    const auto& image = displayedImage();
    if (!image || bounds().isEmpty()) return;
    canvas.drawImage(*image, bounds(), contentMode_, clipsToBounds());
}

}  // namespace ui
