#include "ui/CollectionView.h"

#include "ui/VisibleCells.h"

#include <algorithm>

#include "core/Console.h"
#include "core/Fatal.h"

namespace ui {

CollectionView::CollectionView(gfx::Rect frame, std::shared_ptr<CollectionViewLayout> layout)
    : ScrollView(frame) {
    setCollectionViewLayout(std::move(layout));
}

CollectionView::~CollectionView() {
    if (layout_ && layout_->collectionView_ == this) layout_->collectionView_ = nullptr;
}

void CollectionView::setCollectionViewLayout(std::shared_ptr<CollectionViewLayout> layout, bool) {
    if (layout_ != layout) {
        if (layout_ && layout_->collectionView_ == this) layout_->collectionView_ = nullptr;
        layout_ = std::move(layout);
    }
    lastAttributes_.clear();
    if (layout_) {
        layout_->collectionView_ = this;
        layout_->invalidateLayout();
    }
    setNeedsLayout();
}

void CollectionView::setDataSource(const std::shared_ptr<CollectionViewDataSource>& dataSource) {
    dataSource_ = dataSource;
    reloadData();
}

void CollectionView::setDelegate(const std::shared_ptr<CollectionViewDelegate>& delegate) {
    listDelegate_ = delegate;
    ScrollView::setDelegate(delegate);
}

void CollectionView::registerClass(const std::string& identifier, CellFactory factory) {
    pool_.registerFactory(identifier, std::move(factory));
}

std::shared_ptr<CollectionViewCell> CollectionView::dequeueReusableCell(
    const std::string& identifier, const IndexPath& indexPath) {
    auto cell = pool_.take(identifier);
    if (!cell) {
        const std::string message =
            "CollectionView: no cell class registered as \"" + identifier + "\"";
        core::fatal(message);
    }
    cell->setIndexPath(indexPath);
    // The cell already has its frame when the data source fills it.
    if (const auto known = lastAttributes_.find(indexPath); known != lastAttributes_.end())
        cell->applyLayoutAttributes(known->second);
    return cell;
}

// MARK: reloading

void CollectionView::reloadData() {
    counts_.reset();
    dropVisibleCells();
    lastAttributes_.clear();
    selected_.clear();
    if (layout_) layout_->invalidateLayout();
    setNeedsLayout();
}

void CollectionView::insertItemsAtIndexPaths(const std::vector<IndexPath>&) {
    reloadData();
}

void CollectionView::deleteItemsAtIndexPaths(const std::vector<IndexPath>&) {
    reloadData();
}

void CollectionView::reloadItemsAtIndexPaths(const std::vector<IndexPath>&) {
    reloadData();
}

void CollectionView::performBatchUpdates(const std::function<void()>& updates,
                                         const std::function<void(bool)>& completion) {
    const auto keep = shared_from_this();
    if (updates) updates();
    reloadData();
    layoutIfNeeded();
    if (completion) completion(true);
}

const std::vector<int>& CollectionView::counts() {
    if (counts_) return *counts_;
    counts_.emplace();
    const auto source = dataSource();
    if (!source) return *counts_;
    const int sections = std::max(0, source->numberOfSections(*this));
    for (int section = 0; section < sections; ++section) {
        counts_->push_back(std::max(0, source->numberOfItemsInSection(*this, section)));
    }
    return *counts_;
}

int CollectionView::numberOfSections() {
    return static_cast<int>(counts().size());
}

int CollectionView::numberOfItemsInSection(int section) {
    const auto& all = counts();
    if (section < 0 || section >= static_cast<int>(all.size())) return 0;
    return all[section];
}

bool CollectionView::isValid(const IndexPath& indexPath) {
    return indexPath.item >= 0 && indexPath.item < numberOfItemsInSection(indexPath.section);
}

// MARK: layout

void CollectionView::prepareLayout() {
    const gfx::Rect now = bounds();
    if (lastLayoutBounds_ && !(*lastLayoutBounds_ == now) &&
        (lastLayoutBounds_->size != now.size ||
         layout_->shouldInvalidateLayoutForBoundsChange(now))) {
        layout_->invalidateLayout();
    }
    lastLayoutBounds_ = now;
    (void)counts();
    layout_->prepareIfNeeded();
}

std::map<IndexPath, CollectionViewLayoutAttributes> CollectionView::attributesIn(
    const gfx::Rect& rect) {
    std::map<IndexPath, CollectionViewLayoutAttributes> valid;
    for (const auto& attributes : layout_->layoutAttributesForElementsInRect(rect)) {
        if (isValid(attributes.indexPath()))
            valid.insert_or_assign(attributes.indexPath(), attributes);
    }
    return valid;
}

void CollectionView::layoutSubviews() {
    ScrollView::layoutSubviews();
    const auto keep = shared_from_this();
    if (!layout_) {
        dropVisibleCells();
        return;
    }
    prepareLayout();
    setContentSize(layout_->collectionViewContentSize());
    const gfx::Rect visible = bounds();
    lastAttributes_ = attributesIn(visible);
    std::map<IndexPath, CollectionViewLayoutAttributes> wanted;
    for (const auto& [indexPath, attributes] : lastAttributes_) {
        if (attributes.frame().standardized().intersects(visible))
            wanted.emplace(indexPath, attributes);
    }
    std::vector<IndexPath> leaving;
    for (const auto& [indexPath, cell] : visibleCells_) {
        if (!wanted.contains(indexPath)) leaving.push_back(indexPath);
    }
    for (const auto& indexPath : leaving) hideCell(indexPath);
    for (const auto& [indexPath, attributes] : wanted) showCell(indexPath, attributes);
    orderCellsByZIndex();
}

void CollectionView::showCell(const IndexPath& indexPath,
                              const CollectionViewLayoutAttributes& attributes) {
    if (const auto shown = visibleCells_.find(indexPath); shown != visibleCells_.end()) {
        shown->second->applyLayoutAttributes(attributes);
        return;
    }
    const auto source = dataSource();
    if (!source) return;
    const auto cell = source->cellForItemAtIndexPath(*this, indexPath);
    if (!cell) {
        core::Console::log("CollectionView: the data source gave no cell for " +
                           indexPath.description());
        return;
    }
    cell->setIndexPath(indexPath);
    cell->applyLayoutAttributes(attributes);
    cell->setSelected(selected_.contains(indexPath));
    if (cell->superview().get() != this) addSubview(cell);
    visibleCells_[indexPath] = cell;
    if (const auto d = delegate()) d->willDisplayCell(*this, *cell, indexPath);
}

void CollectionView::hideCell(IndexPath indexPath) {
    const auto shown = visibleCells_.find(indexPath);
    if (shown == visibleCells_.end()) return;
    const auto cell = shown->second;
    visibleCells_.erase(shown);
    cell->setHighlighted(false);
    cell->removeFromSuperview();
    cell->setIndexPath(std::nullopt);
    if (const auto d = delegate()) d->didEndDisplayingCell(*this, *cell, indexPath);
    pool_.put(cell);
}

void CollectionView::dropVisibleCells() {
    while (!visibleCells_.empty()) hideCell(visibleCells_.begin()->first);
}

void CollectionView::orderCellsByZIndex() {
    std::vector<std::shared_ptr<CollectionViewCell>> cells;
    for (const auto& [indexPath, cell] : visibleCells_) cells.push_back(cell);
    const bool layered = std::any_of(cells.begin(), cells.end(), [&cells](const auto& cell) {
        return cell->zIndex() != cells.front()->zIndex();
    });
    if (!layered) return;
    // Stable: within one z-index, index path order (the map's) stays.
    std::stable_sort(cells.begin(), cells.end(),
                     [](const auto& a, const auto& b) { return a->zIndex() < b->zIndex(); });
    for (const auto& cell : cells) bringSubviewToFront(cell.get());
}

// MARK: queries

std::shared_ptr<CollectionViewCell> CollectionView::cellForItemAtIndexPath(const IndexPath& indexPath) const {
    return VisibleCells<CollectionViewCell>::at(visibleCells_, indexPath);
}

std::vector<std::shared_ptr<CollectionViewCell>> CollectionView::visibleCells() const {
    return VisibleCells<CollectionViewCell>::cells(visibleCells_);
}

std::vector<IndexPath> CollectionView::indexPathsForVisibleItems() const {
    return VisibleCells<CollectionViewCell>::indexPaths(visibleCells_);
}

std::optional<IndexPath> CollectionView::indexPathForCell(const CollectionViewCell& cell) const {
    return VisibleCells<CollectionViewCell>::indexPathOf(visibleCells_, cell);
}

std::optional<IndexPath> CollectionView::indexPathForItemAtPoint(gfx::Point point) {
    if (!layout_) return std::nullopt;
    prepareLayout();
    std::optional<CollectionViewLayoutAttributes> top;
    for (const auto& [indexPath, attributes] : attributesIn({point, {1, 1}})) {
        if (!attributes.frame().standardized().contains(point) || attributes.isHidden()) continue;
        if (!top || attributes.zIndex() >= top->zIndex()) top = attributes;
    }
    if (!top) return std::nullopt;
    return top->indexPath();
}

std::optional<CollectionViewLayoutAttributes> CollectionView::layoutAttributesForItemAtIndexPath(
    const IndexPath& indexPath) {
    if (const auto known = lastAttributes_.find(indexPath); known != lastAttributes_.end()) {
        return known->second;
    }
    if (!layout_ || !isValid(indexPath)) return std::nullopt;
    prepareLayout();
    return layout_->layoutAttributesForItemAtIndexPath(indexPath);
}

}  // namespace ui
