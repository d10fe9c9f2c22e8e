#include "ui/CollectionViewLayout.h"

#include "ui/CollectionView.h"

namespace ui {

CollectionViewLayout::~CollectionViewLayout() = default;

std::vector<CollectionViewLayoutAttributes> CollectionViewLayout::layoutAttributesForElementsInRect(
    const gfx::Rect&) {
    return {};
}

std::optional<CollectionViewLayoutAttributes>
CollectionViewLayout::layoutAttributesForItemAtIndexPath(const IndexPath&) {
    return std::nullopt;
}

gfx::Size CollectionViewLayout::collectionViewContentSize() const {
    return {};
}

void CollectionViewLayout::invalidateLayout() {
    valid_ = false;
    if (collectionView_) collectionView_->setNeedsLayout();
}

bool CollectionViewLayout::shouldInvalidateLayoutForBoundsChange(const gfx::Rect&) const {
    return false;
}

void CollectionViewLayout::prepareIfNeeded() {
    if (valid_) return;
    // Valid first: prepare() may ask the collection view for attributes.
    valid_ = true;
    prepare();
}

}  // namespace ui
