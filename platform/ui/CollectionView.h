#pragma once
// A scroll view that shows items placed by a layout, in cells made by its
// data source. Each layout pass (every scroll marks one) asks the layout
// for the attributes in the visible rect, keeps a cell exactly for each
// item whose frame meets the bounds, asks the data source for the cells of
// items that came into view, and puts the cells of items that left it into
// the reuse pool, from which dequeueReusableCell hands them out again. The
// content size is the layout's.
//
// The data source's counts are read once per reload; reloadData and the
// item updates (which reload) drop every visible cell into the pool,
// invalidate the layout and lay out again on the next pass. A tap on a
// cell selects its item; a drag does not.
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
#include "ui/CollectionViewCell.h"
#include "ui/CollectionViewDataSource.h"
#include "ui/CollectionViewDelegate.h"
#include "ui/CollectionViewLayout.h"
#include "ui/IndexPath.h"
#include "ui/ScrollView.h"

namespace ui {

class CollectionView : public ScrollView {
public:
    using CellFactory = std::function<std::shared_ptr<CollectionViewCell>()>;

    CollectionView(gfx::Rect frame, std::shared_ptr<CollectionViewLayout> layout);
    ~CollectionView() override;

    [[nodiscard]] const std::shared_ptr<CollectionViewLayout>& collectionViewLayout() const {
        return layout_;
    }
    // Setting a layout (the same one again too) invalidates it; the change
    // is never animated.
    void setCollectionViewLayout(std::shared_ptr<CollectionViewLayout> layout,
                                 bool animated = false);

    [[nodiscard]] std::shared_ptr<CollectionViewDataSource> dataSource() const {
        return dataSource_.lock();
    }
    void setDataSource(const std::shared_ptr<CollectionViewDataSource>& dataSource);
    // Also the scroll view's delegate.
    [[nodiscard]] std::shared_ptr<CollectionViewDelegate> delegate() const {
        return listDelegate_.lock();
    }
    void setDelegate(const std::shared_ptr<CollectionViewDelegate>& delegate);

    // Cells. Dequeuing an identifier that was never registered is a
    // programming error.
    void registerClass(const std::string& identifier, CellFactory factory);
    template <typename Cell>
    void registerClass(const std::string& identifier) {
        registerClass(identifier, [] { return std::make_shared<Cell>(); });
    }
    [[nodiscard]] std::shared_ptr<CollectionViewCell> dequeueReusableCell(
        const std::string& identifier, const IndexPath& indexPath);

    // Reloading. The updates re-read the counts and reload.
    void reloadData();
    void insertItemsAtIndexPaths(const std::vector<IndexPath>& indexPaths);
    void deleteItemsAtIndexPaths(const std::vector<IndexPath>& indexPaths);
    void reloadItemsAtIndexPaths(const std::vector<IndexPath>& indexPaths);
    // Runs the updates, reloads and lays out, then calls the completion
    // with true.
    void performBatchUpdates(const std::function<void()>& updates,
                             const std::function<void(bool finished)>& completion = {});

    // As read at the last reload (read now when not read since).
    [[nodiscard]] int numberOfSections();
    [[nodiscard]] int numberOfItemsInSection(int section);

    // What is on screen, as of the last layout pass, in index path order.
    [[nodiscard]] std::shared_ptr<CollectionViewCell> cellForItemAtIndexPath(
        const IndexPath& indexPath) const;
    [[nodiscard]] std::vector<std::shared_ptr<CollectionViewCell>> visibleCells() const;
    [[nodiscard]] std::vector<IndexPath> indexPathsForVisibleItems() const;
    [[nodiscard]] std::optional<IndexPath> indexPathForCell(const CollectionViewCell& cell) const;
    // The topmost item whose frame contains the point (content coordinates).
    [[nodiscard]] std::optional<IndexPath> indexPathForItemAtPoint(gfx::Point point);
    // The attributes of the last layout pass, else the layout's answer.
    [[nodiscard]] std::optional<CollectionViewLayoutAttributes> layoutAttributesForItemAtIndexPath(
        const IndexPath& indexPath);

    // Selection: one item at a time unless multiple selection is allowed.
    // Programmatic changes do not tell the delegate.
    [[nodiscard]] bool allowsSelection() const { return allowsSelection_; }
    void setAllowsSelection(bool allows) { allowsSelection_ = allows; }
    [[nodiscard]] bool allowsMultipleSelection() const { return allowsMultipleSelection_; }
    void setAllowsMultipleSelection(bool allows) { allowsMultipleSelection_ = allows; }
    void selectItemAtIndexPath(const IndexPath& indexPath, bool animated = false);
    void deselectItemAtIndexPath(const IndexPath& indexPath, bool animated = false);
    [[nodiscard]] std::vector<IndexPath> indexPathsForSelectedItems() const;

    void layoutSubviews() override;

    void touchesBegan(const TouchSet& touches, const Event& event) override;
    void touchesMoved(const TouchSet& touches, const Event& event) override;
    void touchesEnded(const TouchSet& touches, const Event& event) override;
    void touchesCancelled(const TouchSet& touches, const Event& event) override;

private:
    // Counts read from the data source at the last reload.
    [[nodiscard]] const std::vector<int>& counts();
    [[nodiscard]] bool isValid(const IndexPath& indexPath);
    void prepareLayout();
    // The layout's attributes for the rect, of existing items only.
    [[nodiscard]] std::map<IndexPath, CollectionViewLayoutAttributes> attributesIn(
        const gfx::Rect& rect);
    void showCell(const IndexPath& indexPath, const CollectionViewLayoutAttributes& attributes);
    void hideCell(IndexPath indexPath);
    void orderCellsByZIndex();
    void dropVisibleCells();
    [[nodiscard]] std::shared_ptr<CollectionViewCell> cellAtTouch(const TouchSet& touches) const;
    void endTracking();
    void selectByTap(const IndexPath& indexPath);

    std::shared_ptr<CollectionViewLayout> layout_;
    std::weak_ptr<CollectionViewDataSource> dataSource_;
    std::weak_ptr<CollectionViewDelegate> listDelegate_;
    CellReusePool<CollectionViewCell> pool_;

    std::optional<std::vector<int>> counts_;
    std::map<IndexPath, std::shared_ptr<CollectionViewCell>> visibleCells_;
    std::map<IndexPath, CollectionViewLayoutAttributes> lastAttributes_;
    std::optional<gfx::Rect> lastLayoutBounds_;

    bool allowsSelection_ = true;
    bool allowsMultipleSelection_ = false;
    std::set<IndexPath> selected_;
    // The cell a touch went down on, until it lifts or a drag takes it.
    std::weak_ptr<CollectionViewCell> trackedCell_;
};

}  // namespace ui
