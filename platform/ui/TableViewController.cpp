#include "ui/TableViewController.h"

#include "ui/DeviceProfile.h"

namespace ui {

TableViewController::TableViewController() = default;

TableViewController::~TableViewController() = default;

std::shared_ptr<TableView> TableViewController::tableView() {
    return std::dynamic_pointer_cast<TableView>(view());
}

void TableViewController::loadView() {
    const auto table = std::make_shared<TableView>(DeviceProfile::current().screenBounds());
    const auto self = shared_from_this();
    table->setDataSource(
        std::shared_ptr<TableViewDataSource>(self, static_cast<TableViewDataSource*>(this)));
    table->setDelegate(
        std::shared_ptr<TableViewDelegate>(self, static_cast<TableViewDelegate*>(this)));
    setView(table);
}

}  // namespace ui
