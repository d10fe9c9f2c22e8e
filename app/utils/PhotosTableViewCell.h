#pragma once
// A row of the featured and favourites feeds: a black cell whose image view
// lies on the cell itself (not in its content view), filling it edge to
// edge. Banner rows use the same cell with nothing in it. Main thread only.

#include <memory>
#include <string>

#include "ui/ImageView.h"
#include "ui/TableViewCell.h"

namespace app {

class PhotoTableViewCell : public ui::TableViewCell {
public:
    explicit PhotoTableViewCell(ui::TableViewCellStyle style = ui::TableViewCellStyle::Default,
                                std::string reuseIdentifier = {});

    // Made on first use (a view cannot adopt subviews while it is built).
    [[nodiscard]] const std::shared_ptr<ui::ImageView>& cellImageView();

    void layoutSubviews() override;

private:
    std::shared_ptr<ui::ImageView> cellImageView_;
};

}  // namespace app
