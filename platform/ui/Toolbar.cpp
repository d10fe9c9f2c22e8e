#include "ui/Toolbar.h"

#include <algorithm>

#include "gfx/Canvas.h"

namespace ui {

Toolbar::Toolbar(gfx::Rect frame) : View(frame) {
    setBackgroundColor(gfx::Color::fromRGB(0xF7F7F7));
}

void Toolbar::setItems(std::vector<std::shared_ptr<BarButtonItem>> items) {
    for (const auto& view : itemViews_)
        if (view->superview().get() == this) view->removeFromSuperview();
    items_ = std::move(items);
    itemViews_.clear();
    for (const auto& item : items_) {
        if (!item) continue;
        if (auto view = item->view()) {
            addSubview(view);
            itemViews_.push_back(std::move(view));
        }
    }
    setNeedsLayout();
    setNeedsDisplay();
}

void Toolbar::setTintColor(gfx::Color color) {
    tint_ = color;
    for (const auto& view : itemViews_) view->setNeedsDisplay();
}

void Toolbar::layoutSubviews() {
    View::layoutSubviews();
    const gfx::Rect b = bounds();
    std::vector<double> widths;
    double used = 2 * kEdgeMargin;
    size_t flexible = 0;
    bool previousIsItem = false;
    for (const auto& item : items_) {
        const bool space = !item || item->isFlexibleSpace();
        const double width = space ? 0 : (item->width() > 0 ? item->width() : item->naturalWidth());
        widths.push_back(width);
        flexible += space ? 1 : 0;
        used += width + (!space && previousIsItem ? kItemSpacing : 0);
        previousIsItem = !space;
    }
    const double share = flexible ? std::max(0.0, b.width() - used) / double(flexible) : 0;
    const double height = std::min(b.height(), kHeight);

    frames_.clear();
    double x = kEdgeMargin;
    previousIsItem = false;
    for (size_t i = 0; i < items_.size(); ++i) {
        const auto& item = items_[i];
        const bool space = !item || item->isFlexibleSpace();
        if (!space && previousIsItem) x += kItemSpacing;
        const gfx::Rect slot{x, 0, space ? share : widths[i], height};
        frames_.push_back(slot);
        x += slot.width();
        previousIsItem = !space;
        if (space) continue;
        const auto view = item->view();
        if (item->customView()) {
            const gfx::Size size = view->frame().size;
            view->setFrame({slot.minX() + (slot.width() - size.width) / 2,
                            (height - size.height) / 2, size.width, size.height});
        } else {
            view->setFrame(slot);
        }
    }
}

void Toolbar::draw(gfx::Canvas& canvas, const gfx::Rect&) const {
    canvas.fillRect({0, 0, bounds().width(), 0.5}, gfx::Color::fromRGB(0xB2B2B2));
}

}  // namespace ui
