#pragma once
// A cell of a collection view: a reusable cell that knows the item it
// shows and takes its geometry from the layout's attributes. Made with
// std::make_shared, usually through the factory registered with the
// collection view. Main thread only.

#include <optional>

#include "ui/CollectionViewLayoutAttributes.h"
#include "ui/IndexPath.h"
#include "ui/ReusableCell.h"

namespace ui {

class CollectionViewCell : public ReusableCell {
public:
    using ReusableCell::ReusableCell;

    // The item shown; nullopt while the cell is not on screen.
    [[nodiscard]] std::optional<IndexPath> indexPath() const { return indexPath_; }
    void setIndexPath(std::optional<IndexPath> indexPath) { indexPath_ = indexPath; }

    [[nodiscard]] int zIndex() const { return zIndex_; }

    // Takes the frame (as centre and bounds size, so a transform stays
    // about the centre), transform, alpha, hidden and z-index. Subclasses
    // that read more of the attributes call the base.
    virtual void applyLayoutAttributes(const CollectionViewLayoutAttributes& attributes);

    void prepareForReuse() override;

private:
    std::optional<IndexPath> indexPath_;
    int zIndex_ = 0;
};

}  // namespace ui
