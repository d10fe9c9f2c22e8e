#include "ui/AlertView.h"

#include <cmath>

#include "ui/AlertBoxView.h"
#include "ui/PopoverArrowView.h"
#include "ui/PopoverPresentationController.h"

namespace ui {

namespace {

constexpr double kSheetMargin = 8;
const gfx::Color kDimming = gfx::Color::black().withAlpha(0.4);

}  // namespace

AlertView::AlertView(gfx::Rect frame, AlertControllerStyle style)
    : View(frame), style_(style), box_(std::make_shared<AlertBoxView>(style)) {
    setBackgroundColor(kDimming);
}

void AlertView::setPopover(std::shared_ptr<PopoverPresentationController> popover) {
    popover_ = std::move(popover);
    setNeedsLayout();
}

std::shared_ptr<PopoverArrowView> AlertView::arrow() const {
    return arrow_ && arrow_->superview() ? arrow_ : nullptr;
}

bool AlertView::layoutAsPopover() {
    const auto anchor = style_ == AlertControllerStyle::ActionSheet && popover_
                            ? popover_->anchorIn(*this)
                            : std::nullopt;
    if (!anchor) {
        if (arrow_) arrow_->removeFromSuperview();
        setBackgroundColor(kDimming);
        return false;
    }
    const double width = box_->preferredWidth(kPopoverWidth);
    const PopoverPlacement placement = PopoverPresentationController::place(
        *anchor, {width, box_->heightForWidth(width)}, bounds().inset(safeAreaInsets()));
    box_->setFrame(placement.box);
    if (!arrow_) arrow_ = std::make_shared<PopoverArrowView>();
    if (!arrow_->superview()) addSubview(arrow_);
    arrow_->apply(placement, box_->backgroundColor().value_or(gfx::Color::white()));
    setBackgroundColor(gfx::Color::clear());
    return true;
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
    if (layoutAsPopover()) {
        box_->layoutIfNeeded();
        return;
    }
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
