#pragma once
// What a collection view tells the object that follows it, on top of its
// scrolling: selection by tap, and cells coming into and going out of view.
// Every method is optional; the defaults allow highlighting and selection
// and do nothing else. Called on the main thread.

#include "ui/IndexPath.h"
#include "ui/ScrollViewDelegate.h"

namespace ui {

class CollectionView;
class CollectionViewCell;

class CollectionViewDelegate : public ScrollViewDelegate {
public:
    [[nodiscard]] virtual bool shouldHighlightItemAtIndexPath(CollectionView&, const IndexPath&) {
        return true;
    }
    [[nodiscard]] virtual bool shouldSelectItemAtIndexPath(CollectionView&, const IndexPath&) {
        return true;
    }
    virtual void didSelectItemAtIndexPath(CollectionView&, const IndexPath&) {}
    virtual void didDeselectItemAtIndexPath(CollectionView&, const IndexPath&) {}

    // Just before a cell is shown for an item, and after it left the view
    // (scrolled away, or dropped by a reload).
    virtual void willDisplayCell(CollectionView&, CollectionViewCell&, const IndexPath&) {}
    virtual void didEndDisplayingCell(CollectionView&, CollectionViewCell&, const IndexPath&) {}
};

}  // namespace ui
