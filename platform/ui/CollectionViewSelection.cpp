// CollectionView: selection, by tap or by call.

#include "ui/CollectionView.h"
#include "ui/Touch.h"

namespace ui {

void CollectionView::selectItemAtIndexPath(const IndexPath& indexPath, bool) {
    if (!allowsMultipleSelection_) {
        const auto others = selected_;
        for (const auto& other : others) {
            if (other != indexPath) deselectItemAtIndexPath(other);
        }
    }
    selected_.insert(indexPath);
    if (const auto cell = cellForItemAtIndexPath(indexPath)) cell->setSelected(true);
}

void CollectionView::deselectItemAtIndexPath(const IndexPath& indexPath, bool) {
    selected_.erase(indexPath);
    if (const auto cell = cellForItemAtIndexPath(indexPath)) cell->setSelected(false);
}

std::vector<IndexPath> CollectionView::indexPathsForSelectedItems() const {
    return {selected_.begin(), selected_.end()};
}

void CollectionView::selectByTap(const IndexPath& indexPath) {
    const auto d = delegate();
    if (d && !d->shouldSelectItemAtIndexPath(*this, indexPath)) return;
    if (allowsMultipleSelection_ && selected_.contains(indexPath)) {
        deselectItemAtIndexPath(indexPath);
        if (d) d->didDeselectItemAtIndexPath(*this, indexPath);
        return;
    }
    if (!allowsMultipleSelection_) {
        const auto others = selected_;
        for (const auto& other : others) {
            if (other == indexPath) continue;
            deselectItemAtIndexPath(other);
            if (d) d->didDeselectItemAtIndexPath(*this, other);
        }
    }
    selectItemAtIndexPath(indexPath);
    if (d) d->didSelectItemAtIndexPath(*this, indexPath);
}

// MARK: touches

std::shared_ptr<CollectionViewCell> CollectionView::cellAtTouch(const TouchSet& touches) const {
    if (touches.empty()) return nullptr;
    for (auto view = touches.front()->view(); view && view.get() != this;) {
        auto superview = view->superview();
        if (superview.get() == this) {
            auto cell = std::dynamic_pointer_cast<CollectionViewCell>(view);
            if (cell && cell->indexPath() && cellForItemAtIndexPath(*cell->indexPath()) == cell) {
                return cell;
            }
            return nullptr;
        }
        view = std::move(superview);
    }
    return nullptr;
}

void CollectionView::touchesBegan(const TouchSet& touches, const Event& event) {
    const auto cell = allowsSelection_ ? cellAtTouch(touches) : nullptr;
    if (!cell) {
        ScrollView::touchesBegan(touches, event);
        return;
    }
    const auto d = delegate();
    if (d && !d->shouldHighlightItemAtIndexPath(*this, *cell->indexPath())) return;
    trackedCell_ = cell;
    cell->setHighlighted(true);
}

void CollectionView::touchesMoved(const TouchSet& touches, const Event& event) {
    const auto cell = trackedCell_.lock();
    if (!cell) {
        ScrollView::touchesMoved(touches, event);
        return;
    }
    cell->setHighlighted(cell->pointInside(touches.front()->locationInView(cell.get())));
}

void CollectionView::touchesEnded(const TouchSet& touches, const Event& event) {
    const auto cell = trackedCell_.lock();
    if (!cell) {
        ScrollView::touchesEnded(touches, event);
        return;
    }
    endTracking();
    const auto indexPath = cell->indexPath();
    const bool inside = cell->pointInside(touches.front()->locationInView(cell.get()));
    if (inside && indexPath && cellForItemAtIndexPath(*indexPath) == cell) selectByTap(*indexPath);
}

void CollectionView::touchesCancelled(const TouchSet& touches, const Event& event) {
    if (trackedCell_.expired()) {
        ScrollView::touchesCancelled(touches, event);
        return;
    }
    endTracking();
}

void CollectionView::endTracking() {
    if (const auto cell = trackedCell_.lock()) cell->setHighlighted(false);
    trackedCell_.reset();
}

}  // namespace ui
