#include "ui/PopoverPresentationController.h"

#include <algorithm>

#include "ui/View.h"
#include "ui/Window.h"

namespace ui {

namespace {

double clampTo(double value, double low, double high) {
    return high < low ? (low + high) / 2 : std::clamp(value, low, high);
}

}  // namespace

std::optional<gfx::Rect> PopoverPresentationController::anchorInWindow() const {
    const auto view = sourceView();
    if (!view || !view->window()) return std::nullopt;
    return view->convertRectTo(sourceRect_, nullptr);
}

std::optional<gfx::Rect> PopoverPresentationController::anchorIn(const View& view) const {
    const auto anchor = anchorInWindow();
    if (!anchor || !view.window()) return std::nullopt;
    return view.convertRectFrom(*anchor, nullptr);
}

PopoverPlacement PopoverPresentationController::place(const gfx::Rect& anchor, gfx::Size size,
                                                      const gfx::Rect& area) {
    const double width = std::max(0.0, std::min(size.width, area.width() - 2 * kMargin));
    double height = std::max(0.0, size.height);
    const double below = area.maxY() - kMargin - (anchor.maxY() + kArrowLength);
    const double above = anchor.minY() - kArrowLength - (area.minY() + kMargin);
    const double right = area.maxX() - kMargin - (anchor.maxX() + kArrowLength);
    const double left = anchor.minX() - kArrowLength - (area.minX() + kMargin);

    PopoverPlacement placement;
    bool vertical = true;
    if (height <= below) {
        placement.direction = PopoverArrowDirection::Up;
    } else if (height <= above) {
        placement.direction = PopoverArrowDirection::Down;
    } else if (std::max(right, left) >= width &&
               height <= area.height() - 2 * kMargin) {
        vertical = false;
        placement.direction = right >= left ? PopoverArrowDirection::Left
                                            : PopoverArrowDirection::Right;
    } else {
        placement.direction = below >= above ? PopoverArrowDirection::Up
                                             : PopoverArrowDirection::Down;
        height = std::max(0.0, std::max(below, above));
    }

    if (vertical) {
        const double x = clampTo(anchor.midX() - width / 2, area.minX() + kMargin,
                                 area.maxX() - kMargin - width);
        const double y = placement.direction == PopoverArrowDirection::Up
                             ? anchor.maxY() + kArrowLength
                             : anchor.minY() - kArrowLength - height;
        placement.box = {x, y, width, height};
        const double tipX = clampTo(anchor.midX(), x + kArrowCornerInset + kArrowBase / 2,
                                    x + width - kArrowCornerInset - kArrowBase / 2);
        if (placement.direction == PopoverArrowDirection::Up) {
            placement.tip = {tipX, anchor.maxY()};
            placement.arrow = {tipX - kArrowBase / 2, anchor.maxY(), kArrowBase, kArrowLength};
        } else {
            placement.tip = {tipX, anchor.minY()};
            placement.arrow = {tipX - kArrowBase / 2, anchor.minY() - kArrowLength, kArrowBase,
                               kArrowLength};
        }
        return placement;
    }
    const double y = clampTo(anchor.midY() - height / 2, area.minY() + kMargin,
                             area.maxY() - kMargin - height);
    const double x = placement.direction == PopoverArrowDirection::Left
                         ? anchor.maxX() + kArrowLength
                         : anchor.minX() - kArrowLength - width;
    placement.box = {x, y, width, height};
    const double tipY = clampTo(anchor.midY(), y + kArrowCornerInset + kArrowBase / 2,
                                y + height - kArrowCornerInset - kArrowBase / 2);
    if (placement.direction == PopoverArrowDirection::Left) {
        placement.tip = {anchor.maxX(), tipY};
        placement.arrow = {anchor.maxX(), tipY - kArrowBase / 2, kArrowLength, kArrowBase};
    } else {
        placement.tip = {anchor.minX(), tipY};
        placement.arrow = {anchor.minX() - kArrowLength, tipY - kArrowBase / 2, kArrowLength,
                           kArrowBase};
    }
    return placement;
}

}  // namespace ui
