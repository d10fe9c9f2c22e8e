#include "app/QZKit/QZSZDemoViewController.h"

#include <string>

#include "ui/Label.h"
#include "ui/TableViewCell.h"

namespace app {

std::optional<std::string> QZSZDemoViewController::titleForHeaderInSection(ui::TableView&,
                                                                           int section) {
    return "section - " + std::to_string(section);
}

std::shared_ptr<ui::TableViewCell>
QZSZDemoViewController::cellForRowAtIndexPath(ui::TableView&, const ui::IndexPath& indexPath) {
    auto cell = std::make_shared<ui::TableViewCell>(ui::TableViewCellStyle::Default, "cell");
    cell->textLabel()->setText("cell - " + std::to_string(indexPath.row()));
    return cell;
}

}  // namespace app
