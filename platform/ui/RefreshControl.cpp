#include "ui/RefreshControl.h"

#include <algorithm>

#include "ui/ActivityIndicatorView.h"
#include "ui/Label.h"
#include "ui/ScrollView.h"

namespace ui {

namespace {

constexpr double kTitleHeight = 18;
constexpr double kTitleFontSize = 13;

}  // namespace

RefreshControl::RefreshControl() : Control(gfx::Rect(0, -kHeight, 0, kHeight)) {}

std::shared_ptr<ScrollView> RefreshControl::scrollView() const {
    return std::dynamic_pointer_cast<ScrollView>(superview());
}

void RefreshControl::beginRefreshing() {
    if (refreshing_) return;
    refreshing_ = true;
    if (const auto scroll = scrollView()) {
        gfx::EdgeInsets inset = scroll->contentInset();
        inset.top += kHeight;
        scroll->setContentInset(inset);
        addedInset_ = kHeight;
    }
    setNeedsLayout();
}

void RefreshControl::endRefreshing() {
    if (!refreshing_) return;
    refreshing_ = false;
    const auto scroll = scrollView();
    if (scroll && addedInset_ > 0) {
        gfx::EdgeInsets inset = scroll->contentInset();
        inset.top -= addedInset_;
        scroll->setContentInset(inset);
        const gfx::Point offset = scroll->contentOffset();
        if (offset.y < -inset.top && !scroll->isTracking()) {
            scroll->setContentOffset({offset.x, -inset.top}, true);
        }
    }
    addedInset_ = 0;
    setNeedsLayout();
}

void RefreshControl::setTintColor(const gfx::Color& color) {
    tintColor_ = color;
    if (indicator_) indicator_->setColor(color);
    if (titleLabel_) titleLabel_->setTextColor(color);
}

void RefreshControl::setAttributedTitle(std::optional<std::string> title) {
    title_ = std::move(title);
    setNeedsLayout();
}

double RefreshControl::pullProgress() const {
    if (refreshing_) return 1;
    const auto scroll = scrollView();
    if (!scroll) return 0;
    const double pulled = -scroll->contentOffset().y - scroll->contentInset().top;
    return std::clamp(pulled / kHeight, 0.0, 1.0);
}

const std::shared_ptr<ActivityIndicatorView>& RefreshControl::indicator() {
    ensureSubviews();
    return indicator_;
}

void RefreshControl::ensureSubviews() {
    if (indicator_) return;
    indicator_ = std::make_shared<ActivityIndicatorView>(ActivityIndicatorViewStyle::Gray);
    indicator_->setHidesWhenStopped(false);
    indicator_->setColor(tintColor_);
    addSubview(indicator_);
    titleLabel_ = std::make_shared<Label>();
    titleLabel_->setFont(gfx::Font::system(kTitleFontSize));
    titleLabel_->setTextColor(tintColor_);
    titleLabel_->setTextAlignment(gfx::TextAlignment::Center);
    addSubview(titleLabel_);
}

void RefreshControl::layoutSubviews() {
    ensureSubviews();
    const gfx::Rect b = bounds();
    const bool titled = title_ && !title_->empty();
    const double spinnerY = titled ? b.midY() - kTitleHeight / 2 : b.midY();
    indicator_->setCenter({b.midX(), spinnerY});
    titleLabel_->setText(title_.value_or(""));
    titleLabel_->setHidden(!titled);
    titleLabel_->setFrame(
        {0, spinnerY + ActivityIndicatorView::kSize / 2 + 2, b.width(), kTitleHeight});

    if (refreshing_ && !indicator_->isAnimating()) indicator_->startAnimating();
    if (!refreshing_ && indicator_->isAnimating()) indicator_->stopAnimating();
    const double progress = pullProgress();
    indicator_->setHidden(progress <= 0);
    indicator_->setAlpha(progress);
    titleLabel_->setAlpha(progress);
}

}  // namespace ui
