#include "ui/Button.h"

#include <algorithm>

#include "gfx/Canvas.h"
#include "ui/ImageView.h"
#include "ui/Label.h"

namespace ui {

Button::Button(gfx::Rect frame, ButtonType type) : Control(frame), type_(type) {}

std::shared_ptr<Button> Button::create(ButtonType type) {
    return std::make_shared<Button>(gfx::Rect{}, type);
}

void Button::setTitle(std::optional<std::string> title, ControlState state) {
    content_[static_cast<unsigned>(state)].title = std::move(title);
    updateContent();
}

void Button::setTitleColor(std::optional<gfx::Color> color, ControlState state) {
    content_[static_cast<unsigned>(state)].titleColor = color;
    updateContent();
}

void Button::setImage(gfx::ImagePtr image, ControlState state) {
    content_[static_cast<unsigned>(state)].image = std::move(image);
    updateContent();
}

void Button::setBackgroundImage(gfx::ImagePtr image, ControlState state) {
    content_[static_cast<unsigned>(state)].backgroundImage = std::move(image);
    updateContent();
}

template <typename Has>
const Button::Content* Button::lookup(unsigned state, Has&& has) const {
    for (const unsigned key : {state, static_cast<unsigned>(ControlState::Normal)}) {
        const auto found = content_.find(key);
        if (found != content_.end() && has(found->second)) return &found->second;
    }
    return nullptr;
}

std::optional<std::string> Button::titleForState(ControlState state) const {
    const auto* c =
        lookup(static_cast<unsigned>(state), [](const Content& c) { return c.title.has_value(); });
    return c ? c->title : std::nullopt;
}

gfx::Color Button::titleColorForState(ControlState state) const {
    const auto* c = lookup(static_cast<unsigned>(state),
                           [](const Content& c) { return c.titleColor.has_value(); });
    if (c) return *c->titleColor;
    return type_ == ButtonType::System ? kSystemTintColor : gfx::Color::white();
}

gfx::ImagePtr Button::imageForState(ControlState state) const {
    const auto* c =
        lookup(static_cast<unsigned>(state), [](const Content& c) { return c.image != nullptr; });
    return c ? c->image : nullptr;
}

gfx::ImagePtr Button::backgroundImageForState(ControlState state) const {
    const auto* c = lookup(static_cast<unsigned>(state),
                           [](const Content& c) { return c.backgroundImage != nullptr; });
    return c ? c->backgroundImage : nullptr;
}

std::optional<std::string> Button::currentTitle() const {
    return titleForState(static_cast<ControlState>(state()));
}

gfx::Color Button::currentTitleColor() const {
    return titleColorForState(static_cast<ControlState>(state()));
}

gfx::ImagePtr Button::currentImage() const {
    return imageForState(static_cast<ControlState>(state()));
}

gfx::ImagePtr Button::currentBackgroundImage() const {
    return backgroundImageForState(static_cast<ControlState>(state()));
}

DisplayedText Button::displayedText() const {
    return {currentTitle(), titleLabel_ ? titleLabel_->font() : gfx::Font::system(kTitleFontSize),
            currentTitleColor()};
}

std::shared_ptr<Label> Button::titleLabel() {
    if (!titleLabel_) {
        titleLabel_ = std::make_shared<Label>();
        titleLabel_->setFont(gfx::Font::system(kTitleFontSize));
        titleLabel_->setTextAlignment(gfx::TextAlignment::Center);
        titleLabel_->setHidden(true);
        addSubview(titleLabel_);
    }
    return titleLabel_;
}

std::shared_ptr<ImageView> Button::imageView() {
    if (!imageView_) {
        imageView_ = std::make_shared<ImageView>();
        imageView_->setHidden(true);
        addSubview(imageView_);
    }
    return imageView_;
}

void Button::setContentEdgeInsets(const gfx::EdgeInsets& insets) {
    contentInsets_ = insets;
    setNeedsLayout();
}

void Button::setTitleEdgeInsets(const gfx::EdgeInsets& insets) {
    titleInsets_ = insets;
    setNeedsLayout();
}

void Button::setImageEdgeInsets(const gfx::EdgeInsets& insets) {
    imageInsets_ = insets;
    setNeedsLayout();
}

void Button::setEnabled(bool enabled) {
    Control::setEnabled(enabled);
    updateContent();
}

void Button::setSelected(bool selected) {
    Control::setSelected(selected);
    updateContent();
}

void Button::setHighlighted(bool highlighted) {
    Control::setHighlighted(highlighted);
    updateContent();
}

void Button::updateContent() {
    const auto title = currentTitle();
    if (title || titleLabel_) {
        const auto label = titleLabel();
        label->setText(title.value_or(""));
        label->setTextColor(currentTitleColor());
        label->setHidden(!title || title->empty());
    }
    const auto image = currentImage();
    if (image || imageView_) {
        const auto view = imageView();
        view->setImage(image);
        view->setHidden(!image);
    }
    setNeedsLayout();
    setNeedsDisplay();
}

gfx::Size Button::titleSize() const {
    if (!titleLabel_ || titleLabel_->isHidden()) return {};
    return titleLabel_->sizeThatFits({});
}

void Button::layoutSubviews() {
    Control::layoutSubviews();
    const gfx::Rect content = bounds().inset(contentInsets_);
    const auto image = currentImage();
    const gfx::Size imageSize = image ? image->size() : gfx::Size{};
    gfx::Size title = titleSize();
    title.width = std::min(title.width, std::max(0.0, content.width() - imageSize.width));
    const double left = content.midX() - (imageSize.width + title.width) / 2;
    const auto shift = [](const gfx::EdgeInsets& insets) {
        return gfx::Point{(insets.left - insets.right) / 2, (insets.top - insets.bottom) / 2};
    };
    if (imageView_) {
        const gfx::Point d = shift(imageInsets_);
        imageView_->setFrame(
            {{left + d.x, content.midY() - imageSize.height / 2 + d.y}, imageSize});
    }
    if (titleLabel_) {
        const gfx::Point d = shift(titleInsets_);
        titleLabel_->setFrame(
            {{left + imageSize.width + d.x, content.midY() - title.height / 2 + d.y}, title});
    }
}

gfx::Size Button::sizeThatFits(gfx::Size) const {
    const auto image = currentImage();
    const gfx::Size imageSize = image ? image->size() : gfx::Size{};
    const gfx::Size title = titleSize();
    return {imageSize.width + title.width + contentInsets_.left + contentInsets_.right,
            std::max(imageSize.height, title.height) + contentInsets_.top + contentInsets_.bottom};
}

gfx::Size Button::intrinsicContentSize() const {
    return sizeThatFits({});
}

void Button::draw(gfx::Canvas& canvas, const gfx::Rect&) const {
    const auto background = currentBackgroundImage();
    if (background && !bounds().isEmpty()) canvas.drawImage(*background, bounds());
}

}  // namespace ui
