#include "app/utils/PhotosTableViewCell.h"

namespace app {

PhotoTableViewCell::PhotoTableViewCell(ui::TableViewCellStyle style, std::string reuseIdentifier)
    : ui::TableViewCell(style, std::move(reuseIdentifier)) {
    setBackgroundColor(gfx::Color::black());
}

const std::shared_ptr<ui::ImageView>& PhotoTableViewCell::cellImageView() {
    if (!cellImageView_) {
        cellImageView_ = std::make_shared<ui::ImageView>(bounds());
        addSubview(cellImageView_);
    }
    return cellImageView_;
}

void PhotoTableViewCell::layoutSubviews() {
    ui::TableViewCell::layoutSubviews();
    cellImageView()->setFrame(bounds());
}

}  // namespace app
