#include "ui/ActivityIndicatorView.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "core/Clock.h"
#include "gfx/Canvas.h"

namespace ui {

namespace {

double now() {
    return core::Clock::current()->monotonicSeconds();
}

double sideOf(ActivityIndicatorViewStyle style) {
    return style == ActivityIndicatorViewStyle::WhiteLarge ? ActivityIndicatorView::kLargeSize
                                                           : ActivityIndicatorView::kSize;
}

}  // namespace

ActivityIndicatorView::ActivityIndicatorView(ActivityIndicatorViewStyle style)
    : View(gfx::Rect(0, 0, sideOf(style), sideOf(style))), style_(style) {
    setUserInteractionEnabled(false);
    setHidden(true);
}

void ActivityIndicatorView::setStyle(ActivityIndicatorViewStyle style) {
    style_ = style;
    const double side = styleSize();
    setBounds({bounds().origin, {side, side}});
    setNeedsDisplay();
}

double ActivityIndicatorView::styleSize() const {
    return sideOf(style_);
}

gfx::Color ActivityIndicatorView::color() const {
    if (color_) return *color_;
    return style_ == ActivityIndicatorViewStyle::Gray ? gfx::Color{0.5, 0.5, 0.5, 1}
                                                      : gfx::Color::white();
}

void ActivityIndicatorView::setColor(std::optional<gfx::Color> color) {
    color_ = color;
    setNeedsDisplay();
}

void ActivityIndicatorView::startAnimating() {
    if (!animating_) startTime_ = now();
    animating_ = true;
    setHidden(false);
    setNeedsDisplay();
}

void ActivityIndicatorView::stopAnimating() {
    animating_ = false;
    if (hidesWhenStopped_) setHidden(true);
    setNeedsDisplay();
}

void ActivityIndicatorView::setHidesWhenStopped(bool hides) {
    hidesWhenStopped_ = hides;
    if (!animating_) setHidden(hides);
}

int ActivityIndicatorView::leadingSpoke() const {
    if (!animating_) return 0;
    const double turns = std::max(0.0, now() - startTime_);
    return static_cast<int>(std::floor(turns * kSpokes)) % kSpokes;
}

gfx::Size ActivityIndicatorView::sizeThatFits(gfx::Size) const {
    return {styleSize(), styleSize()};
}

gfx::Size ActivityIndicatorView::intrinsicContentSize() const {
    return sizeThatFits({});
}

void ActivityIndicatorView::draw(gfx::Canvas& canvas, const gfx::Rect&) const {
    const gfx::Rect b = bounds();
    const double radius = std::min(b.width(), b.height()) / 2;
    if (radius <= 0) return;
    const gfx::Point centre = b.center();
    const double inner = radius * 0.45;
    const double width = std::max(1.0, radius * 0.18);
    const int lead = leadingSpoke();
    const gfx::Color base = color();
    for (int spoke = 0; spoke < kSpokes; ++spoke) {
        // The lead is brightest; the spokes behind it fade out.
        const int behind = (lead - spoke + kSpokes) % kSpokes;
        const double fade = 1.0 - 0.7 * behind / (kSpokes - 1);
        const double angle = 2 * std::numbers::pi * spoke / kSpokes;
        const gfx::Point direction{std::sin(angle), -std::cos(angle)};
        const double outer = radius - width / 2;
        canvas.strokeLine({centre.x + direction.x * inner, centre.y + direction.y * inner},
                          {centre.x + direction.x * outer, centre.y + direction.y * outer},
                          base.withAlpha(base.alpha * fade), width);
    }
}

}  // namespace ui
