#pragma once
// Where a table view's pieces lie, top-down: the table header view, then
// each section's header followed by its rows, then the table footer view.
// Built once per reload from the heights; answers rects and finds rows by
// position with binary searches. Widths are the table's. A plain value.

#include <optional>
#include <vector>

#include "gfx/Geometry.h"
#include "ui/IndexPath.h"

namespace ui {

class TableViewGeometry {
public:
    explicit TableViewGeometry(double tableHeaderHeight = 0);

    // Appends a section below the previous one. Negative heights count as 0.
    void addSection(double headerHeight, const std::vector<double>& rowHeights);
    void setTableFooterHeight(double height);

    [[nodiscard]] int numberOfSections() const { return static_cast<int>(sections_.size()); }
    [[nodiscard]] int numberOfRowsInSection(int section) const;
    [[nodiscard]] bool contains(const IndexPath& indexPath) const;

    // Rect() for a row or section that does not exist.
    [[nodiscard]] gfx::Rect rectForRow(const IndexPath& indexPath, double width) const;
    // The header where it lies in the content, before any pinning.
    [[nodiscard]] gfx::Rect rectForHeader(int section, double width) const;
    // Header and rows.
    [[nodiscard]] gfx::Rect rectForSection(int section, double width) const;
    [[nodiscard]] double footerTop() const;
    [[nodiscard]] double contentHeight() const;

    // Rows of non-zero height overlapping [minY, maxY), in order.
    [[nodiscard]] std::vector<IndexPath> rowsBetween(double minY, double maxY) const;
    [[nodiscard]] std::optional<IndexPath> rowAt(double y) const;

private:
    struct Section {
        double top = 0;
        double headerHeight = 0;
        // Tops of the rows, then the section's bottom.
        std::vector<double> edges;
    };

    double tableHeaderHeight_;
    double footerHeight_ = 0;
    std::vector<Section> sections_;
};

}  // namespace ui
