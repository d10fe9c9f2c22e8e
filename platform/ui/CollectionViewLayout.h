#pragma once
// Decides where a collection view's items go. Subclass it: prepare()
// computes the layout (the collection view calls it before asking for
// anything after the layout was invalidated), layoutAttributesForElementsInRect
// answers the attributes of the items in a rect of the content,
// layoutAttributesForItemAtIndexPath those of one item, and
// collectionViewContentSize the size of the whole content.
//
// A layout serves one collection view at a time, which it knows through a
// non-owning back pointer that the collection view sets and clears. The
// base class lays nothing out. Main thread only.

#include <memory>
#include <optional>
#include <vector>

#include "gfx/Geometry.h"
#include "ui/CollectionViewLayoutAttributes.h"
#include "ui/IndexPath.h"

namespace ui {

class CollectionView;

class CollectionViewLayout {
public:
    CollectionViewLayout() = default;
    virtual ~CollectionViewLayout();
    CollectionViewLayout(const CollectionViewLayout&) = delete;
    CollectionViewLayout& operator=(const CollectionViewLayout&) = delete;

    // The collection view this layout serves; nullptr while it serves none.
    [[nodiscard]] CollectionView* collectionView() const { return collectionView_; }

    virtual void prepare() {}
    [[nodiscard]] virtual std::vector<CollectionViewLayoutAttributes>
    layoutAttributesForElementsInRect(const gfx::Rect& rect);
    [[nodiscard]] virtual std::optional<CollectionViewLayoutAttributes>
    layoutAttributesForItemAtIndexPath(const IndexPath& indexPath);
    [[nodiscard]] virtual gfx::Size collectionViewContentSize() const;

    // Marks the layout for a new prepare() and the collection view for
    // layout. Overrides call the base.
    virtual void invalidateLayout();
    // Asked on every bounds change of the collection view (scrolling
    // included); true invalidates the layout. A change of the bounds size
    // always invalidates it.
    [[nodiscard]] virtual bool shouldInvalidateLayoutForBoundsChange(
        const gfx::Rect& newBounds) const;

    [[nodiscard]] bool isValid() const { return valid_; }

private:
    friend class CollectionView;
    // Runs prepare() when the layout was invalidated.
    void prepareIfNeeded();

    CollectionView* collectionView_ = nullptr;
    bool valid_ = false;
};

}  // namespace ui
