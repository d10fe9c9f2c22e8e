#include "ui/TableViewCell.h"

#include <algorithm>

#include "ui/ImageView.h"
#include "ui/Label.h"

namespace ui {

TableViewCell::TableViewCell(TableViewCellStyle style, std::string reuseIdentifier)
    : style_(style) {
    setReuseIdentifier(std::move(reuseIdentifier));
    setBackgroundColor(gfx::Color::white());
}

std::shared_ptr<Label> TableViewCell::textLabel() {
    if (!textLabel_) {
        textLabel_ = std::make_shared<Label>();
        contentView()->addSubview(textLabel_);
        setNeedsLayout();
    }
    return textLabel_;
}

std::shared_ptr<ImageView> TableViewCell::imageView() {
    if (!imageView_) {
        imageView_ = std::make_shared<ImageView>();
        contentView()->addSubview(imageView_);
        setNeedsLayout();
    }
    return imageView_;
}

void TableViewCell::setSelectionStyle(TableViewCellSelectionStyle style) {
    selectionStyle_ = style;
    updateSelectedBackground();
}

void TableViewCell::setShowsSeparator(bool shows) {
    if (showsSeparator_ == shows) return;
    showsSeparator_ = shows;
    if (shows && !separator_) {
        separator_ = std::make_shared<View>();
        separator_->setBackgroundColor(kSeparatorColor);
        separator_->setUserInteractionEnabled(false);
        addSubview(separator_);
    }
    if (separator_) separator_->setHidden(!shows);
    setNeedsLayout();
}

void TableViewCell::ensureSelectedBackground() {
    if (selectedBackgroundView() || selectionStyle_ == TableViewCellSelectionStyle::None) return;
    auto view = std::make_shared<View>();
    view->setBackgroundColor(kSelectedColor);
    setSelectedBackgroundView(std::move(view));
}

void TableViewCell::setSelected(bool selected) {
    if (selected) ensureSelectedBackground();
    ReusableCell::setSelected(selected);
}

void TableViewCell::setHighlighted(bool highlighted) {
    if (highlighted) ensureSelectedBackground();
    ReusableCell::setHighlighted(highlighted);
}

bool TableViewCell::showsSelectedBackground() const {
    return selectionStyle_ != TableViewCellSelectionStyle::None &&
           ReusableCell::showsSelectedBackground();
}

void TableViewCell::layoutSubviews() {
    ReusableCell::layoutSubviews();
    const gfx::Size size = bounds().size;
    double textX = kMargin;
    if (imageView_ && imageView_->image()) {
        const gfx::Size natural = imageView_->sizeThatFits({});
        const double scale =
            natural.height > size.height && natural.height > 0 ? size.height / natural.height : 1;
        const gfx::Size shown{natural.width * scale, natural.height * scale};
        imageView_->setFrame(
            {kMargin, (size.height - shown.height) / 2, shown.width, shown.height});
        textX = kMargin + shown.width + kMargin;
    } else if (imageView_) {
        imageView_->setFrame({kMargin, 0, 0, 0});
    }
    if (textLabel_) {
        textLabel_->setFrame({textX, 0, std::max(0.0, size.width - textX - kMargin), size.height});
    }
    if (separator_) {
        separator_->setFrame({kMargin, size.height - kSeparatorHeight,
                              std::max(0.0, size.width - kMargin), kSeparatorHeight});
        bringSubviewToFront(separator_.get());
    }
}

}  // namespace ui
