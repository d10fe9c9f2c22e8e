// TableView: selection, by tap or by call.

#include "ui/TableView.h"
#include "ui/Touch.h"

namespace ui {

void TableView::selectRowAtIndexPath(const IndexPath& indexPath, bool) {
    if (!allowsMultipleSelection_) {
        const auto others = selected_;
        for (const auto& other : others) {
            if (other != indexPath) deselectRowAtIndexPath(other);
        }
    }
    selected_.insert(indexPath);
    if (const auto cell = cellForRowAtIndexPath(indexPath)) cell->setSelected(true);
}

void TableView::deselectRowAtIndexPath(const IndexPath& indexPath, bool) {
    selected_.erase(indexPath);
    if (const auto cell = cellForRowAtIndexPath(indexPath)) cell->setSelected(false);
}

std::optional<IndexPath> TableView::indexPathForSelectedRow() const {
    if (selected_.empty()) return std::nullopt;
    return *selected_.begin();
}

std::vector<IndexPath> TableView::indexPathsForSelectedRows() const {
    return {selected_.begin(), selected_.end()};
}

void TableView::selectByTap(const IndexPath& indexPath) {
    const auto d = delegate();
    if (allowsMultipleSelection_ && selected_.contains(indexPath)) {
        deselectRowAtIndexPath(indexPath);
        if (d) d->didDeselectRowAtIndexPath(*this, indexPath);
        return;
    }
    if (!allowsMultipleSelection_) {
        const auto others = selected_;
        for (const auto& other : others) {
            if (other == indexPath) continue;
            deselectRowAtIndexPath(other);
            if (d) d->didDeselectRowAtIndexPath(*this, other);
        }
    }
    selectRowAtIndexPath(indexPath);
    if (d) d->didSelectRowAtIndexPath(*this, indexPath);
}

// MARK: touches

std::shared_ptr<TableViewCell> TableView::cellAtTouch(const TouchSet& touches) const {
    if (touches.empty()) return nullptr;
    for (auto view = touches.front()->view(); view && view.get() != this;) {
        auto superview = view->superview();
        if (superview.get() == this) {
            auto cell = std::dynamic_pointer_cast<TableViewCell>(view);
            return cell && indexPathForCell(*cell) ? cell : nullptr;
        }
        view = std::move(superview);
    }
    return nullptr;
}

void TableView::touchesBegan(const TouchSet& touches, const Event& event) {
    const auto cell = allowsSelection_ ? cellAtTouch(touches) : nullptr;
    if (!cell) {
        ScrollView::touchesBegan(touches, event);
        return;
    }
    const auto d = delegate();
    if (d && !d->shouldHighlightRowAtIndexPath(*this, *indexPathForCell(*cell))) return;
    trackedCell_ = cell;
    cell->setHighlighted(true);
}

void TableView::touchesMoved(const TouchSet& touches, const Event& event) {
    const auto cell = trackedCell_.lock();
    if (!cell) {
        ScrollView::touchesMoved(touches, event);
        return;
    }
    cell->setHighlighted(cell->pointInside(touches.front()->locationInView(cell.get())));
}

void TableView::touchesEnded(const TouchSet& touches, const Event& event) {
    const auto cell = trackedCell_.lock();
    if (!cell) {
        ScrollView::touchesEnded(touches, event);
        return;
    }
    endTracking();
    const auto indexPath = indexPathForCell(*cell);
    if (indexPath && cell->pointInside(touches.front()->locationInView(cell.get()))) {
        selectByTap(*indexPath);
    }
}

void TableView::touchesCancelled(const TouchSet& touches, const Event& event) {
    if (trackedCell_.expired()) {
        ScrollView::touchesCancelled(touches, event);
        return;
    }
    endTracking();
}

void TableView::endTracking() {
    if (const auto cell = trackedCell_.lock()) cell->setHighlighted(false);
    trackedCell_.reset();
}

}  // namespace ui
