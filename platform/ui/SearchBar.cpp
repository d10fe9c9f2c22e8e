#include "ui/SearchBar.h"

#include <algorithm>

#include "ui/Button.h"
#include "ui/Label.h"
#include "ui/SearchTextField.h"
#include "ui/Touch.h"

namespace ui {

namespace {

bool isDark(BarStyle style) {
    return style != BarStyle::Default;
}

}  // namespace

SearchBar::SearchBar(gfx::Rect frame) : View(frame) {}

void SearchBar::setText(std::string text) {
    text_ = std::move(text);
    updateSubviews();
}

void SearchBar::setPlaceholder(std::string placeholder) {
    placeholder_ = std::move(placeholder);
    updateSubviews();
}

void SearchBar::setShowsCancelButton(bool shows, bool) {
    showsCancelButton_ = shows;
    setNeedsLayout();
}

void SearchBar::setBarStyle(BarStyle style) {
    barStyle_ = style;
    updateSubviews();
}

void SearchBar::setBarTintColor(std::optional<gfx::Color> color) {
    barTintColor_ = color;
    updateSubviews();
}

gfx::Color SearchBar::tintColor() const {
    if (tintColor_) return *tintColor_;
    return isDark(barStyle_) ? gfx::Color::white() : Button::kSystemTintColor;
}

void SearchBar::setTintColor(std::optional<gfx::Color> color) {
    tintColor_ = color;
    updateSubviews();
}

std::shared_ptr<View> SearchBar::backgroundView() {
    ensureSubviews();
    return background_;
}

std::shared_ptr<SearchTextField> SearchBar::searchField() {
    ensureSubviews();
    return field_;
}

std::shared_ptr<Button> SearchBar::cancelButton() {
    ensureSubviews();
    return cancel_;
}

void SearchBar::ensureSubviews() {
    if (container_ || weak_from_this().expired()) return;
    container_ = std::make_shared<View>(gfx::Rect({0, 0}, bounds().size));
    addSubview(container_);
    background_ = std::make_shared<View>(gfx::Rect({0, 0}, bounds().size));
    container_->addSubview(background_);
    field_ = std::make_shared<SearchTextField>();
    container_->addSubview(field_);
    cancel_ = Button::create();
    cancel_->setTitle("Cancel");
    cancel_->titleLabel()->setFont(gfx::Font::system(17));
    cancel_->addAction(ControlEvent::TouchUpInside, [weak = weak_from_this()](Control&) {
        const auto bar = std::static_pointer_cast<SearchBar>(weak.lock());
        if (!bar) return;
        if (const auto d = bar->delegate()) d->searchBarCancelButtonClicked(*bar);
    });
    container_->addSubview(cancel_);
    updateSubviews();
    setNeedsLayout();
}

void SearchBar::updateSubviews() {
    if (!container_) return;
    const bool dark = isDark(barStyle_);
    const gfx::Color styled = barStyle_ == BarStyle::BlackTranslucent ? gfx::Color{0, 0, 0, 0.75}
                              : dark                                  ? gfx::Color{0.1, 0.1, 0.1, 1}
                                     : gfx::Color{0.79, 0.79, 0.81, 1};
    background_->setBackgroundColor(barTintColor_.value_or(styled));
    field_->setText(text_);
    field_->setPlaceholder(placeholder_);
    field_->setEditing(isFirstResponder());
    field_->setFieldColor(dark ? gfx::Color{0.35, 0.35, 0.37, 1} : gfx::Color::white());
    field_->setTextColor(dark ? gfx::Color::white() : gfx::Color::black());
    field_->setCaretColor(tintColor());
    cancel_->setTitleColor(tintColor());
}

void SearchBar::didMoveToSuperview() {
    ensureSubviews();
}

void SearchBar::layoutSubviews() {
    ensureSubviews();
    if (!container_) return;
    const gfx::Size size = bounds().size;
    container_->setFrame({{0, 0}, size});
    background_->setFrame({{0, 0}, size});
    const double height = std::min(kFieldHeight, std::max(0.0, size.height - 2 * kMargin));
    const double y = (size.height - height) / 2;
    double right = size.width - kMargin;
    cancel_->setHidden(!showsCancelButton_);
    if (showsCancelButton_) {
        const double width = cancel_->sizeThatFits({}).width + kMargin;
        cancel_->setFrame({right - width, y, width, height});
        right -= width + kMargin;
    }
    field_->setFrame({kMargin, y, std::max(0.0, right - kMargin), height});
}

gfx::Size SearchBar::sizeThatFits(gfx::Size size) const {
    return {size.width, kDefaultHeight};
}

// MARK: keyboard

bool SearchBar::becomeFirstResponder() {
    if (isFirstResponder()) return true;
    if (const auto d = delegate(); d && !d->searchBarShouldBeginEditing(*this)) return false;
    if (!View::becomeFirstResponder()) return false;
    updateSubviews();
    if (const auto d = delegate()) d->searchBarTextDidBeginEditing(*this);
    return true;
}

bool SearchBar::resignFirstResponder() {
    if (!isFirstResponder()) return true;
    if (const auto d = delegate(); d && !d->searchBarShouldEndEditing(*this)) return false;
    if (!View::resignFirstResponder()) return false;
    updateSubviews();
    if (const auto d = delegate()) d->searchBarTextDidEndEditing(*this);
    return true;
}

void SearchBar::insertText(const std::string& text) {
    if (!isFirstResponder()) return;
    size_t start = 0;
    while (start <= text.size()) {
        const size_t newline = std::min(text.find('\n', start), text.size());
        if (newline > start) {
            text_.append(text, start, newline - start);
            textChangedByTyping();
        }
        if (newline == text.size()) break;
        returnKeyPressed();
        if (!isFirstResponder()) break;
        start = newline + 1;
    }
}

void SearchBar::deleteBackward() {
    if (!isFirstResponder() || text_.empty()) return;
    // Back over UTF-8 continuation bytes to the start of the last character.
    size_t end = text_.size() - 1;
    while (end > 0 && (static_cast<unsigned char>(text_[end]) & 0xC0) == 0x80) --end;
    text_.erase(end);
    textChangedByTyping();
}

void SearchBar::returnKeyPressed() {
    if (!isFirstResponder()) return;
    if (const auto d = delegate()) d->searchBarSearchButtonClicked(*this);
}

void SearchBar::textChangedByTyping() {
    updateSubviews();
    if (const auto d = delegate()) d->searchBarTextDidChange(*this, text_);
}

// MARK: touches

void SearchBar::touchesBegan(const TouchSet&, const Event&) {
    tracking_ = true;
}

void SearchBar::touchesMoved(const TouchSet&, const Event&) {}

void SearchBar::touchesEnded(const TouchSet& touches, const Event&) {
    if (!tracking_) return;
    tracking_ = false;
    if (!touches.empty() && pointInside(touches.front()->locationInView(this))) {
        (void)becomeFirstResponder();
    }
}

void SearchBar::touchesCancelled(const TouchSet&, const Event&) {
    tracking_ = false;
}

}  // namespace ui
