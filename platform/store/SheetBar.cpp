#include "store/SheetBar.h"

#include <algorithm>

#include "gfx/Font.h"
#include "ui/Button.h"
#include "ui/Label.h"

namespace store {

SheetBar::SheetBar() {
    setBackgroundColor(gfx::Color::fromRGB(0xF7F7F7));
    setBorderWidth(0.5);
    setBorderColor(gfx::Color::fromRGB(0xC8C8C8));
    title_ = std::make_shared<ui::Label>();
    title_->setFont(gfx::Font::system(15, gfx::FontWeight::Semibold));
    title_->setTextAlignment(gfx::TextAlignment::Center);
    addSubview(title_);
}

void SheetBar::setTitle(std::string title) {
    title_->setText(std::move(title));
}

std::shared_ptr<ui::Button> SheetBar::setButton(Side side, std::string title,
                                                std::function<void()> action) {
    auto& slot = side == Side::Leading ? leading_ : trailing_;
    if (slot) slot->removeFromSuperview();
    slot = ui::Button::create(ui::ButtonType::System);
    slot->setTitle(std::move(title));
    slot->addAction(ui::ControlEvent::TouchUpInside, [action = std::move(action)](ui::Control&) {
        if (action) action();
    });
    addSubview(slot);
    setNeedsLayout();
    return slot;
}

double SheetBar::placeAtTopOf(const ui::View& screen) {
    const double bottom = screen.safeAreaInsets().top + kHeight;
    setFrame({0, 0, screen.bounds().width(), bottom});
    return bottom;
}

void SheetBar::layoutSubviews() {
    ui::View::layoutSubviews();
    const gfx::Rect b = bounds();
    const double top = std::max(0.0, b.height() - kHeight);
    const double side = kMargin + kButtonWidth + 2;
    title_->setFrame({side, top, std::max(0.0, b.width() - 2 * side), kHeight});
    if (leading_) leading_->setFrame({kMargin, top, kButtonWidth, kHeight});
    if (trailing_)
        trailing_->setFrame({b.width() - kMargin - kButtonWidth, top, kButtonWidth, kHeight});
}

}  // namespace store
