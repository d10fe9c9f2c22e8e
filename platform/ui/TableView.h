#pragma once
// A scroll view that shows rows in sections, one below the other (the plain
// style): an optional table header view, then per section an optional
// header pinned to the top while its section scrolls under it, and the
// rows at their heights; then an optional table footer view. Heights come
// from the delegate, else rowHeight; a section with a title gets a plain
// header sectionHeaderHeight tall.
//
// Cells exist only for visible rows: each layout pass (every scroll marks
// one) asks the data source for the cells of rows that came into view and
// puts the cells of rows that left it into the reuse pool, from which
// dequeueReusableCell hands them out again. Counts and heights are read
// once per reload; the row updates reload. A tap on a row selects it; a
// drag does not.
//
// Made with std::make_shared like every view. Main thread only.

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "ui/CellReusePool.h"
#include "ui/IndexPath.h"
#include "ui/ScrollView.h"
#include "ui/TableViewCell.h"
#include "ui/TableViewDataSource.h"
#include "ui/TableViewDelegate.h"
#include "ui/TableViewGeometry.h"

namespace ui {

enum class TableViewSeparatorStyle { None, SingleLine };
// Accepted by the row updates; they are not animated.
enum class TableViewRowAnimation { None, Fade, Automatic };

class TableView : public ScrollView {
public:
    using CellFactory = std::function<std::shared_ptr<TableViewCell>()>;

    static constexpr double kDefaultRowHeight = 44;
    static constexpr double kDefaultSectionHeaderHeight = 28;

    explicit TableView(gfx::Rect frame = {});

    [[nodiscard]] std::shared_ptr<TableViewDataSource> dataSource() const {
        return dataSource_.lock();
    }
    void setDataSource(const std::shared_ptr<TableViewDataSource>& dataSource);
    // Also the scroll view's delegate.
    [[nodiscard]] std::shared_ptr<TableViewDelegate> delegate() const {
        return listDelegate_.lock();
    }
    void setDelegate(const std::shared_ptr<TableViewDelegate>& delegate);

    // Geometry settings; changing one reloads the geometry.
    [[nodiscard]] double rowHeight() const { return rowHeight_; }
    void setRowHeight(double height);
    [[nodiscard]] double sectionHeaderHeight() const { return sectionHeaderHeight_; }
    void setSectionHeaderHeight(double height);
    // Recorded only: heights are always measured.
    [[nodiscard]] double estimatedRowHeight() const { return estimatedRowHeight_; }
    void setEstimatedRowHeight(double height) { estimatedRowHeight_ = height; }
    [[nodiscard]] double estimatedSectionHeaderHeight() const { return estimatedHeaderHeight_; }
    void setEstimatedSectionHeaderHeight(double height) { estimatedHeaderHeight_ = height; }
    [[nodiscard]] double estimatedSectionFooterHeight() const { return estimatedFooterHeight_; }
    void setEstimatedSectionFooterHeight(double height) { estimatedFooterHeight_ = height; }

    [[nodiscard]] TableViewSeparatorStyle separatorStyle() const { return separatorStyle_; }
    void setSeparatorStyle(TableViewSeparatorStyle style);

    // Views above the first and below the last section, as tall as their
    // frames and as wide as the table.
    [[nodiscard]] const std::shared_ptr<View>& tableHeaderView() const { return headerView_; }
    void setTableHeaderView(std::shared_ptr<View> view);
    [[nodiscard]] const std::shared_ptr<View>& tableFooterView() const { return footerView_; }
    void setTableFooterView(std::shared_ptr<View> view);

    // Cells. Dequeuing with an index path under an identifier that was
    // never registered is a programming error; without one it answers
    // nullptr.
    void registerClass(const std::string& identifier, CellFactory factory);
    template <typename Cell>
    void registerClass(const std::string& identifier) {
        registerClass(identifier, [] { return std::make_shared<Cell>(); });
    }
    [[nodiscard]] std::shared_ptr<TableViewCell> dequeueReusableCell(const std::string& identifier,
                                                                     const IndexPath& indexPath);
    [[nodiscard]] std::shared_ptr<TableViewCell> dequeueReusableCell(const std::string& identifier);

    // Reloading. The updates reload; beginUpdates/endUpdates reload once
    // the outermost pair ends.
    void reloadData();
    void beginUpdates();
    void endUpdates();
    void insertRowsAtIndexPaths(const std::vector<IndexPath>& indexPaths,
                                TableViewRowAnimation animation = TableViewRowAnimation::None);
    void deleteRowsAtIndexPaths(const std::vector<IndexPath>& indexPaths,
                                TableViewRowAnimation animation = TableViewRowAnimation::None);
    void reloadRowsAtIndexPaths(const std::vector<IndexPath>& indexPaths,
                                TableViewRowAnimation animation = TableViewRowAnimation::None);

    [[nodiscard]] int numberOfSections();
    [[nodiscard]] int numberOfRowsInSection(int section);

    // Geometry, in content coordinates; Rect() for what does not exist.
    [[nodiscard]] gfx::Rect rectForRowAtIndexPath(const IndexPath& indexPath);
    [[nodiscard]] gfx::Rect rectForHeaderInSection(int section);
    [[nodiscard]] gfx::Rect rectForSection(int section);
    [[nodiscard]] std::optional<IndexPath> indexPathForRowAtPoint(gfx::Point point);

    // What is on screen, as of the last layout pass, in index path order.
    [[nodiscard]] std::shared_ptr<TableViewCell> cellForRowAtIndexPath(
        const IndexPath& indexPath) const;
    [[nodiscard]] std::vector<std::shared_ptr<TableViewCell>> visibleCells() const;
    [[nodiscard]] std::vector<IndexPath> indexPathsForVisibleRows() const;
    [[nodiscard]] std::optional<IndexPath> indexPathForCell(const TableViewCell& cell) const;
    [[nodiscard]] std::shared_ptr<View> headerViewForSection(int section) const;

    // Selection: one row at a time unless multiple selection is allowed.
    // Programmatic changes do not tell the delegate.
    [[nodiscard]] bool allowsSelection() const { return allowsSelection_; }
    void setAllowsSelection(bool allows) { allowsSelection_ = allows; }
    [[nodiscard]] bool allowsMultipleSelection() const { return allowsMultipleSelection_; }
    void setAllowsMultipleSelection(bool allows) { allowsMultipleSelection_ = allows; }
    void selectRowAtIndexPath(const IndexPath& indexPath, bool animated = false);
    void deselectRowAtIndexPath(const IndexPath& indexPath, bool animated = false);
    [[nodiscard]] std::optional<IndexPath> indexPathForSelectedRow() const;
    [[nodiscard]] std::vector<IndexPath> indexPathsForSelectedRows() const;

    void layoutSubviews() override;

    void touchesBegan(const TouchSet& touches, const Event& event) override;
    void touchesMoved(const TouchSet& touches, const Event& event) override;
    void touchesEnded(const TouchSet& touches, const Event& event) override;
    void touchesCancelled(const TouchSet& touches, const Event& event) override;

private:
    // Read from the data source and delegate when invalid.
    [[nodiscard]] const TableViewGeometry& geometry();
    void invalidateGeometry();
    [[nodiscard]] double headerHeight(int section, bool titled);
    void placeTableViews();
    void placeRows(const gfx::Rect& visible);
    void placeHeaders(const gfx::Rect& visible);
    [[nodiscard]] std::shared_ptr<View> makeHeader(int section);
    void showCell(const IndexPath& indexPath, const gfx::Rect& rect);
    void hideCell(IndexPath indexPath);
    void dropVisibleViews();
    [[nodiscard]] std::shared_ptr<TableViewCell> cellAtTouch(const TouchSet& touches) const;
    void endTracking();
    void selectByTap(const IndexPath& indexPath);

    std::weak_ptr<TableViewDataSource> dataSource_;
    std::weak_ptr<TableViewDelegate> listDelegate_;
    CellReusePool<TableViewCell> pool_;

    double rowHeight_ = kDefaultRowHeight;
    double sectionHeaderHeight_ = kDefaultSectionHeaderHeight;
    double estimatedRowHeight_ = 0;
    double estimatedHeaderHeight_ = 0;
    double estimatedFooterHeight_ = 0;
    TableViewSeparatorStyle separatorStyle_ = TableViewSeparatorStyle::SingleLine;
    std::shared_ptr<View> headerView_;
    std::shared_ptr<View> footerView_;

    std::optional<TableViewGeometry> geometry_;
    std::vector<std::optional<std::string>> titles_;
    int updateDepth_ = 0;
    std::map<IndexPath, std::shared_ptr<TableViewCell>> visibleCells_;
    std::map<int, std::shared_ptr<View>> headerViews_;

    bool allowsSelection_ = true;
    bool allowsMultipleSelection_ = false;
    std::set<IndexPath> selected_;
    std::weak_ptr<TableViewCell> trackedCell_;
};

}  // namespace ui
