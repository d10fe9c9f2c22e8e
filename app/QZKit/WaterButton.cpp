#include "app/QZKit/WaterButton.h"

#include "ui/ImageView.h"

namespace app {

std::shared_ptr<WaterButton> WaterButton::create(gfx::Rect frame) {
    auto button = std::make_shared<WaterButton>(frame);
    button->wImageView_ = std::make_shared<ui::ImageView>(button->bounds());
    button->addSubview(button->wImageView_);
    return button;
}

void WaterButton::layoutSubviews() {
    ui::Button::layoutSubviews();
    if (wImageView_) wImageView_->setFrame(bounds());
}

}  // namespace app
