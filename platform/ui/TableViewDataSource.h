#pragma once
// What a table view shows: sections, rows, the cell for a row (usually
// taken from the table's dequeueReusableCell) and optional section titles.
// Asked on the main thread; cells exactly when their rows come into view.

#include <memory>
#include <optional>
#include <string>

#include "ui/IndexPath.h"

namespace ui {

class TableView;
class TableViewCell;

class TableViewDataSource {
public:
    virtual ~TableViewDataSource() = default;

    [[nodiscard]] virtual int numberOfSections(TableView&) { return 1; }
    [[nodiscard]] virtual int numberOfRowsInSection(TableView& view, int section) = 0;
    [[nodiscard]] virtual std::shared_ptr<TableViewCell> cellForRowAtIndexPath(
        TableView& view, const IndexPath& indexPath) = 0;
    // A title gives the section a plain header.
    [[nodiscard]] virtual std::optional<std::string> titleForHeaderInSection(TableView&, int) {
        return std::nullopt;
    }
};

}  // namespace ui
