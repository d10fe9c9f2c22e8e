#pragma once
// The position of an item in a collection view or a row in a table view:
// a section and an item (a table's row) within it. Ordered by section, then
// item. A plain value.

#include <compare>
#include <string>

namespace ui {

struct IndexPath {
    int section = 0;
    int item = 0;

    [[nodiscard]] static IndexPath forItem(int item, int section) { return {section, item}; }
    [[nodiscard]] static IndexPath forRow(int row, int section) { return {section, row}; }

    [[nodiscard]] int row() const { return item; }
    // "[section, item]", for diagnostics and test output.
    [[nodiscard]] std::string description() const {
        return "[" + std::to_string(section) + ", " + std::to_string(item) + "]";
    }

    friend auto operator<=>(const IndexPath&, const IndexPath&) = default;
    friend bool operator==(const IndexPath&, const IndexPath&) = default;
};

}  // namespace ui
