#pragma once
// A screen whose root view is a table view filling the screen, with the
// controller as the table's data source and delegate (and so its scroll
// view delegate): subclasses override the questions they answer. Without
// overrides the table has one empty section.
//
// Made with std::make_shared like every controller; the table is made when
// the view loads. Main thread only.

#include <memory>

#include "ui/TableView.h"
#include "ui/TableViewDataSource.h"
#include "ui/TableViewDelegate.h"
#include "ui/ViewController.h"

namespace ui {

class TableViewController : public ViewController,
                            public TableViewDataSource,
                            public TableViewDelegate {
public:
    TableViewController();
    ~TableViewController() override;

    // The root view, loading it on first use.
    [[nodiscard]] std::shared_ptr<TableView> tableView();

    void loadView() override;

    [[nodiscard]] int numberOfRowsInSection(TableView&, int) override { return 0; }
    [[nodiscard]] std::shared_ptr<TableViewCell> cellForRowAtIndexPath(TableView&,
                                                                       const IndexPath&) override {
        return nullptr;
    }
};

}  // namespace ui
