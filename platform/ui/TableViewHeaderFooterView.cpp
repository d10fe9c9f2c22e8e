#include "ui/TableViewHeaderFooterView.h"

#include <algorithm>

#include "ui/Label.h"
#include "ui/TableViewCell.h"

namespace ui {

TableViewHeaderFooterView::TableViewHeaderFooterView(gfx::Rect frame) : View(frame) {
    setBackgroundColor(gfx::Color{0.97, 0.97, 0.97, 1});
}

std::shared_ptr<Label> TableViewHeaderFooterView::textLabel() {
    if (!textLabel_) {
        textLabel_ = std::make_shared<Label>();
        textLabel_->setFont(gfx::Font::system(15, gfx::FontWeight::Semibold));
        textLabel_->setTextColor(gfx::Color{0.2, 0.2, 0.2, 1});
        addSubview(textLabel_);
        setNeedsLayout();
    }
    return textLabel_;
}

void TableViewHeaderFooterView::layoutSubviews() {
    if (!textLabel_) return;
    const gfx::Size size = bounds().size;
    const double margin = TableViewCell::kMargin;
    textLabel_->setFrame({margin, 0, std::max(0.0, size.width - 2 * margin), size.height});
}

}  // namespace ui
