#include "ui/TableView.h"

#include "ui/VisibleCells.h"

#include <algorithm>

#include "core/Console.h"
#include "core/Fatal.h"
#include "ui/Label.h"
#include "ui/TableViewHeaderFooterView.h"

namespace ui {

TableView::TableView(gfx::Rect frame) : ScrollView(frame) {}

void TableView::setDataSource(const std::shared_ptr<TableViewDataSource>& dataSource) {
    dataSource_ = dataSource;
    reloadData();
}

void TableView::setDelegate(const std::shared_ptr<TableViewDelegate>& delegate) {
    listDelegate_ = delegate;
    ScrollView::setDelegate(delegate);
    invalidateGeometry();
}

void TableView::setRowHeight(double height) {
    rowHeight_ = std::max(0.0, height);
    invalidateGeometry();
}

void TableView::setSectionHeaderHeight(double height) {
    sectionHeaderHeight_ = std::max(0.0, height);
    invalidateGeometry();
}

void TableView::setSeparatorStyle(TableViewSeparatorStyle style) {
    separatorStyle_ = style;
    setNeedsLayout();
}

void TableView::setTableHeaderView(std::shared_ptr<View> view) {
    if (headerView_ && headerView_->superview().get() == this) headerView_->removeFromSuperview();
    headerView_ = std::move(view);
    if (headerView_) addSubview(headerView_);
    invalidateGeometry();
}

void TableView::setTableFooterView(std::shared_ptr<View> view) {
    if (footerView_ && footerView_->superview().get() == this) footerView_->removeFromSuperview();
    footerView_ = std::move(view);
    if (footerView_) addSubview(footerView_);
    invalidateGeometry();
}

void TableView::registerClass(const std::string& identifier, CellFactory factory) {
    pool_.registerFactory(identifier, std::move(factory));
}

std::shared_ptr<TableViewCell> TableView::dequeueReusableCell(const std::string& identifier,
                                                              const IndexPath&) {
    auto cell = pool_.take(identifier);
    if (!cell) {
        const std::string message = "TableView: no cell class registered as \"" + identifier + "\"";
        core::fatal(message);
    }
    return cell;
}

std::shared_ptr<TableViewCell> TableView::dequeueReusableCell(const std::string& identifier) {
    return pool_.take(identifier);
}

// MARK: reloading

void TableView::reloadData() {
    invalidateGeometry();
    dropVisibleViews();
    selected_.clear();
}

void TableView::beginUpdates() {
    ++updateDepth_;
}

void TableView::endUpdates() {
    if (updateDepth_ > 0 && --updateDepth_ > 0) return;
    reloadData();
}

void TableView::insertRowsAtIndexPaths(const std::vector<IndexPath>&, TableViewRowAnimation) {
    reloadData();
}

void TableView::deleteRowsAtIndexPaths(const std::vector<IndexPath>&, TableViewRowAnimation) {
    reloadData();
}

void TableView::reloadRowsAtIndexPaths(const std::vector<IndexPath>&, TableViewRowAnimation) {
    reloadData();
}

void TableView::invalidateGeometry() {
    geometry_.reset();
    setNeedsLayout();
}

double TableView::headerHeight(int section, bool titled) {
    const auto d = delegate();
    if (const auto height = d ? d->heightForHeaderInSection(*this, section) : std::nullopt) {
        return *height;
    }
    return titled ? sectionHeaderHeight_ : 0;
}

const TableViewGeometry& TableView::geometry() {
    if (geometry_) return *geometry_;
    TableViewGeometry built(headerView_ ? headerView_->frame().height() : 0);
    titles_.clear();
    const auto source = dataSource();
    const auto d = delegate();
    const int sections = source ? std::max(0, source->numberOfSections(*this)) : 0;
    for (int section = 0; section < sections; ++section) {
        const int rows = std::max(0, source->numberOfRowsInSection(*this, section));
        auto title = source->titleForHeaderInSection(*this, section);
        if (title && title->empty()) title.reset();
        std::vector<double> heights(rows, rowHeight_);
        for (int row = 0; d && row < rows; ++row) {
            if (const auto height =
                    d->heightForRowAtIndexPath(*this, IndexPath::forRow(row, section))) {
                heights[row] = *height;
            }
        }
        built.addSection(headerHeight(section, title.has_value()), heights);
        titles_.push_back(std::move(title));
    }
    built.setTableFooterHeight(footerView_ ? footerView_->frame().height() : 0);
    geometry_ = std::move(built);
    return *geometry_;
}

int TableView::numberOfSections() {
    return geometry().numberOfSections();
}

int TableView::numberOfRowsInSection(int section) {
    return geometry().numberOfRowsInSection(section);
}

gfx::Rect TableView::rectForRowAtIndexPath(const IndexPath& indexPath) {
    return geometry().rectForRow(indexPath, bounds().width());
}

gfx::Rect TableView::rectForHeaderInSection(int section) {
    return geometry().rectForHeader(section, bounds().width());
}

gfx::Rect TableView::rectForSection(int section) {
    return geometry().rectForSection(section, bounds().width());
}

std::optional<IndexPath> TableView::indexPathForRowAtPoint(gfx::Point point) {
    if (point.x < 0 || point.x >= bounds().width()) return std::nullopt;
    return geometry().rowAt(point.y);
}

// MARK: layout

void TableView::layoutSubviews() {
    ScrollView::layoutSubviews();
    const auto keep = shared_from_this();
    setContentSize({bounds().width(), geometry().contentHeight()});
    placeTableViews();
    placeRows(bounds());
    placeHeaders(bounds());
}

void TableView::placeTableViews() {
    const double width = bounds().width();
    if (headerView_) headerView_->setFrame({0, 0, width, headerView_->frame().height()});
    if (footerView_) {
        footerView_->setFrame({0, geometry().footerTop(), width, footerView_->frame().height()});
    }
}

void TableView::placeRows(const gfx::Rect& visible) {
    // Everything is measured before the data source and delegate run, as
    // they may reload.
    std::map<IndexPath, gfx::Rect> wanted;
    if (!visible.isEmpty()) {
        const auto& rows = geometry();
        for (const auto& indexPath : rows.rowsBetween(visible.minY(), visible.maxY())) {
            wanted.emplace(indexPath, rows.rectForRow(indexPath, visible.width()));
        }
    }
    std::vector<IndexPath> leaving;
    for (const auto& [indexPath, cell] : visibleCells_) {
        if (!wanted.contains(indexPath)) leaving.push_back(indexPath);
    }
    for (const auto& indexPath : leaving) hideCell(indexPath);
    for (const auto& [indexPath, rect] : wanted) showCell(indexPath, rect);
}

void TableView::showCell(const IndexPath& indexPath, const gfx::Rect& rect) {
    auto cell = cellForRowAtIndexPath(indexPath);
    const bool appearing = !cell;
    if (appearing) {
        const auto source = dataSource();
        if (!source) return;
        cell = source->cellForRowAtIndexPath(*this, indexPath);
        if (!cell) {
            core::Console::log("TableView: the data source gave no cell for " +
                               indexPath.description());
            return;
        }
    }
    // Bounds and centre, so that a transform the app gave the cell stays.
    cell->setBounds({cell->bounds().origin, rect.size});
    cell->setCenter(rect.center());
    cell->setShowsSeparator(separatorStyle_ == TableViewSeparatorStyle::SingleLine);
    if (!appearing) return;
    cell->setSelected(selected_.contains(indexPath));
    if (cell->superview().get() != this) addSubview(cell);
    visibleCells_[indexPath] = cell;
    if (const auto d = delegate()) d->willDisplayCell(*this, *cell, indexPath);
}

void TableView::hideCell(IndexPath indexPath) {
    const auto shown = visibleCells_.find(indexPath);
    if (shown == visibleCells_.end()) return;
    const auto cell = shown->second;
    visibleCells_.erase(shown);
    cell->setHighlighted(false);
    cell->removeFromSuperview();
    if (const auto d = delegate()) d->didEndDisplayingCell(*this, *cell, indexPath);
    pool_.put(cell);
}

void TableView::placeHeaders(const gfx::Rect& visible) {
    std::map<int, gfx::Rect> wanted;
    if (!visible.isEmpty()) {
        const auto& rows = geometry();
        const double pinTop = contentOffset().y + adjustedContentInset().top;
        for (int section = 0; section < rows.numberOfSections(); ++section) {
            const gfx::Rect header = rows.rectForHeader(section, visible.width());
            if (header.height() <= 0) continue;
            const double bottom = rows.rectForSection(section, visible.width()).maxY();
            const double y = std::max(header.minY(), std::min(pinTop, bottom - header.height()));
            const gfx::Rect placed{0, y, visible.width(), header.height()};
            if (placed.intersects(visible)) wanted.emplace(section, placed);
        }
    }
    for (auto it = headerViews_.begin(); it != headerViews_.end();) {
        if (wanted.contains(it->first)) {
            ++it;
            continue;
        }
        if (it->second->superview().get() == this) it->second->removeFromSuperview();
        it = headerViews_.erase(it);
    }
    for (const auto& [section, rect] : wanted) {
        auto header = headerViewForSection(section);
        if (!header) header = makeHeader(section);
        if (!header) continue;
        headerViews_[section] = header;
        header->setFrame(rect);
        if (header->superview().get() != this) addSubview(header);
        bringSubviewToFront(header.get());
    }
}

std::shared_ptr<View> TableView::makeHeader(int section) {
    if (const auto d = delegate()) {
        if (auto custom = d->viewForHeaderInSection(*this, section)) return custom;
    }
    if (section >= static_cast<int>(titles_.size()) || !titles_[section]) return nullptr;
    auto header = std::make_shared<TableViewHeaderFooterView>();
    header->textLabel()->setText(*titles_[section]);
    return header;
}

void TableView::dropVisibleViews() {
    while (!visibleCells_.empty()) hideCell(visibleCells_.begin()->first);
    for (const auto& [section, header] : headerViews_) {
        if (header->superview().get() == this) header->removeFromSuperview();
    }
    headerViews_.clear();
}

// MARK: queries

std::shared_ptr<TableViewCell> TableView::cellForRowAtIndexPath(const IndexPath& indexPath) const {
    return VisibleCells<TableViewCell>::at(visibleCells_, indexPath);
}

std::vector<std::shared_ptr<TableViewCell>> TableView::visibleCells() const {
    return VisibleCells<TableViewCell>::cells(visibleCells_);
}

std::vector<IndexPath> TableView::indexPathsForVisibleRows() const {
    return VisibleCells<TableViewCell>::indexPaths(visibleCells_);
}

std::optional<IndexPath> TableView::indexPathForCell(const TableViewCell& cell) const {
    return VisibleCells<TableViewCell>::indexPathOf(visibleCells_, cell);
}

std::shared_ptr<View> TableView::headerViewForSection(int section) const {
    const auto found = headerViews_.find(section);
    return found == headerViews_.end() ? nullptr : found->second;
}

}  // namespace ui
