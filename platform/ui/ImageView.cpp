#include "ui/ImageView.h"

#include <cmath>
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
    const gfx::Rect target = gfx::contentRect(contentMode_, image->size(), bounds());
    const gfx::AffineTransform device = canvas.transform();
    const bool upright = device.b == 0 && device.c == 0 && device.a > 0 && device.d > 0;
    const gfx::Image* copy = upright ? shrunkCopy(image, device.apply(target)) : nullptr;
    const auto toUser = device.inverted();
    if (!copy || !toUser) {
        canvas.drawImage(*image, bounds(), contentMode_, clipsToBounds());
        return;
    }
    // On whole device pixels, one copy pixel to one device pixel.
    const gfx::Rect deviceRect = device.apply(target);
    const gfx::Rect placed(std::round(deviceRect.minX()), std::round(deviceRect.minY()),
                           copy->pixelWidth(), copy->pixelHeight());
    const bool clip = clipsToBounds() && !bounds().contains(target);
    if (clip) {
        canvas.save();
        canvas.clipToRect(bounds());
    }
    canvas.drawImage(*copy, toUser->apply(placed));
    if (clip) canvas.restore();
}

const gfx::Image* ImageView::shrunkCopy(const gfx::ImagePtr& image,
                                        const gfx::Rect& deviceRect) const {
    const double width = std::round(deviceRect.width());
    const double height = std::round(deviceRect.height());
    const bool shrinks = width >= 1 && height >= 1 && width <= image->pixelWidth() &&
                         height <= image->pixelHeight() &&
                         (width < image->pixelWidth() || height < image->pixelHeight());
    if (!shrinks) return nullptr;
    if (!copy_ || copySource_.lock() != image || copy_->pixelWidth() != width ||
        copy_->pixelHeight() != height) {
        copy_ = image->scaled({width, height});
        copySource_ = image;
    }
    return copy_.get();
}

}  // namespace ui
