#include "ui/AlertView.h"

#include <cmath>

#include "ui/AlertBoxView.h"

namespace ui {

namespace {

constexpr double kSheetMargin = 8;

}  // namespace

AlertView::AlertView(gfx::Rect frame, AlertControllerStyle style)
    : View(frame), style_(style), box_(std::make_shared<AlertBoxView>(style)) {
    setBackgroundColor(gfx::Color::black().withAlpha(0.4));
}

void AlertView::setContent(std::string title, std::string message,
                           const std::vector<AlertAction>& actions) {
    if (!box_->superview()) addSubview(box_);
    box_->setContent(std::move(title), std::move(message), actions);
    setNeedsLayout();
}

void AlertView::setSelectionHandler(std::function<void(size_t)> handler) {
    box_->setSelectionHandler(std::move(handler));
}

void AlertView::layoutSubviews() {
    View::layoutSubviews();
    const gfx::Rect area = bounds();
    if (style_ == AlertControllerStyle::Alert) {
        const double width = box_->preferredWidth(area.width());
        const double height = box_->heightForWidth(width);
        box_->setFrame({std::round(area.midX() - width / 2), std::round(area.midY() - height / 2),
                        width, height});
    } else {
        const double width = box_->preferredWidth(area.width() - 2 * kSheetMargin);
        const double height = box_->heightForWidth(width);
        const double bottom = area.maxY() - safeAreaInsets().bottom - kSheetMargin;
        box_->setFrame({area.minX() + kSheetMargin, bottom - height, width, height});
    }
    box_->layoutIfNeeded();
}

}  // namespace ui
