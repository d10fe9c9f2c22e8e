#pragma once
// What a collection view shows: the number of sections and items, and the
// cell for an item, which the data source usually takes from the
// collection view's dequeueReusableCell. Asked on the main thread, cells
// exactly when their items come into view.

#include <memory>

#include "ui/IndexPath.h"

namespace ui {

class CollectionView;
class CollectionViewCell;

class CollectionViewDataSource {
public:
    virtual ~CollectionViewDataSource() = default;

    [[nodiscard]] virtual int numberOfSections(CollectionView&) { return 1; }
    [[nodiscard]] virtual int numberOfItemsInSection(CollectionView& view, int section) = 0;
    [[nodiscard]] virtual std::shared_ptr<CollectionViewCell> cellForItemAtIndexPath(
        CollectionView& view, const IndexPath& indexPath) = 0;
};

}  // namespace ui
