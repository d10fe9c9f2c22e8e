#include "ui/TableViewGeometry.h"

#include <algorithm>

namespace ui {

TableViewGeometry::TableViewGeometry(double tableHeaderHeight)
    : tableHeaderHeight_(std::max(0.0, tableHeaderHeight)) {}

void TableViewGeometry::addSection(double headerHeight, const std::vector<double>& rowHeights) {
    Section section;
    section.top = footerTop();
    section.headerHeight = std::max(0.0, headerHeight);
    section.edges.reserve(rowHeights.size() + 1);
    double y = section.top + section.headerHeight;
    for (const double height : rowHeights) {
        section.edges.push_back(y);
        y += std::max(0.0, height);
    }
    section.edges.push_back(y);
    sections_.push_back(std::move(section));
}

void TableViewGeometry::setTableFooterHeight(double height) {
    footerHeight_ = std::max(0.0, height);
}

int TableViewGeometry::numberOfRowsInSection(int section) const {
    if (section < 0 || section >= numberOfSections()) return 0;
    return static_cast<int>(sections_[section].edges.size()) - 1;
}

bool TableViewGeometry::contains(const IndexPath& indexPath) const {
    return indexPath.row() >= 0 && indexPath.row() < numberOfRowsInSection(indexPath.section);
}

gfx::Rect TableViewGeometry::rectForRow(const IndexPath& indexPath, double width) const {
    if (!contains(indexPath)) return {};
    const auto& edges = sections_[indexPath.section].edges;
    const double top = edges[indexPath.row()];
    return {0, top, width, edges[indexPath.row() + 1] - top};
}

gfx::Rect TableViewGeometry::rectForHeader(int section, double width) const {
    if (section < 0 || section >= numberOfSections()) return {};
    return {0, sections_[section].top, width, sections_[section].headerHeight};
}

gfx::Rect TableViewGeometry::rectForSection(int section, double width) const {
    if (section < 0 || section >= numberOfSections()) return {};
    const Section& s = sections_[section];
    return {0, s.top, width, s.edges.back() - s.top};
}

double TableViewGeometry::footerTop() const {
    return sections_.empty() ? tableHeaderHeight_ : sections_.back().edges.back();
}

double TableViewGeometry::contentHeight() const {
    return footerTop() + footerHeight_;
}

std::vector<IndexPath> TableViewGeometry::rowsBetween(double minY, double maxY) const {
    std::vector<IndexPath> rows;
    for (int index = 0; index < numberOfSections(); ++index) {
        const auto& edges = sections_[index].edges;
        if (edges.back() <= minY) continue;
        if (edges.front() >= maxY) break;
        // The last row starting at or above minY is the first candidate.
        const auto after = std::upper_bound(edges.begin(), edges.end() - 1, minY);
        for (auto it = after == edges.begin() ? after : after - 1; it + 1 != edges.end(); ++it) {
            if (*it >= maxY) break;
            if (*(it + 1) > *it && *(it + 1) > minY) {
                rows.push_back(IndexPath::forRow(static_cast<int>(it - edges.begin()), index));
            }
        }
    }
    return rows;
}

std::optional<IndexPath> TableViewGeometry::rowAt(double y) const {
    for (int index = 0; index < numberOfSections(); ++index) {
        const auto& edges = sections_[index].edges;
        if (y < edges.front() || y >= edges.back()) continue;
        // The last edge at or above y starts the row containing it.
        const auto after = std::upper_bound(edges.begin(), edges.end(), y);
        return IndexPath::forRow(static_cast<int>(after - edges.begin()) - 1, index);
    }
    return std::nullopt;
}

}  // namespace ui
