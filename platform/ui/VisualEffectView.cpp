#include "ui/VisualEffectView.h"

namespace ui {

VisualEffectView::VisualEffectView(BlurEffectStyle style) : style_(style) {}

const std::shared_ptr<View>& VisualEffectView::contentView() {
    if (!contentView_) {
        contentView_ = std::make_shared<View>(bounds());
        addSubview(contentView_);
    }
    return contentView_;
}

gfx::Color VisualEffectView::baseColor() const {
    return style_ == BlurEffectStyle::Dark ? gfx::Color::black() : gfx::Color::white();
}

gfx::Color VisualEffectView::tintColor() const {
    switch (style_) {
        case BlurEffectStyle::ExtraLight:
            return {0.97, 0.97, 0.97, 0.8};
        case BlurEffectStyle::Light:
            return {1, 1, 1, 0.3};
        case BlurEffectStyle::Dark:
            return {0.11, 0.11, 0.11, 0.73};
    }
    return gfx::Color::clear();
}

void VisualEffectView::layoutSubviews() {
    View::layoutSubviews();
    if (contentView_ && contentView_->superview().get() == this) contentView_->setFrame(bounds());
}

}  // namespace ui
