#include "ui/ReusableCell.h"

namespace ui {

ReusableCell::ReusableCell(gfx::Rect frame) : View(frame) {}

std::shared_ptr<View> ReusableCell::contentView() {
    if (!contentView_) {
        contentView_ = std::make_shared<View>(gfx::Rect({0, 0}, bounds().size));
        insertSubview(contentView_, ownLayerCount());
    }
    return contentView_;
}

size_t ReusableCell::ownLayerCount() const {
    size_t count = 0;
    for (const auto* view : {&backgroundView_, &selectedBackgroundView_}) {
        if (*view && (*view)->superview().get() == this) ++count;
    }
    return count;
}

void ReusableCell::setBackgroundView(std::shared_ptr<View> view) {
    if (backgroundView_ == view) return;
    if (backgroundView_ && backgroundView_->superview().get() == this) {
        backgroundView_->removeFromSuperview();
    }
    backgroundView_ = std::move(view);
    if (!backgroundView_) return;
    backgroundView_->setFrame({{0, 0}, bounds().size});
    insertSubview(backgroundView_, 0);
}

void ReusableCell::setSelectedBackgroundView(std::shared_ptr<View> view) {
    if (selectedBackgroundView_ == view) return;
    if (selectedBackgroundView_ && selectedBackgroundView_->superview().get() == this) {
        selectedBackgroundView_->removeFromSuperview();
    }
    selectedBackgroundView_ = std::move(view);
    if (!selectedBackgroundView_) return;
    selectedBackgroundView_->setFrame({{0, 0}, bounds().size});
    const bool hasBackground = backgroundView_ && backgroundView_->superview().get() == this;
    insertSubview(selectedBackgroundView_, hasBackground ? 1 : 0);
    updateSelectedBackground();
}

void ReusableCell::setSelected(bool selected) {
    selected_ = selected;
    updateSelectedBackground();
}

void ReusableCell::setHighlighted(bool highlighted) {
    highlighted_ = highlighted;
    updateSelectedBackground();
}

void ReusableCell::updateSelectedBackground() {
    if (selectedBackgroundView_) selectedBackgroundView_->setHidden(!showsSelectedBackground());
}

void ReusableCell::prepareForReuse() {
    setSelected(false);
    setHighlighted(false);
}

void ReusableCell::layoutSubviews() {
    const gfx::Rect fill({0, 0}, bounds().size);
    for (const auto* view : {&backgroundView_, &selectedBackgroundView_, &contentView_}) {
        if (*view && (*view)->superview().get() == this) (*view)->setFrame(fill);
    }
}

}  // namespace ui
