#include "ui/CollectionViewCell.h"

namespace ui {

void CollectionViewCell::applyLayoutAttributes(const CollectionViewLayoutAttributes& attributes) {
    const gfx::Rect frame = attributes.frame().standardized();
    setTransform(attributes.transform());
    setBounds({bounds().origin, frame.size});
    setCenter(frame.center());
    setAlpha(attributes.alpha());
    setHidden(attributes.isHidden());
    zIndex_ = attributes.zIndex();
}

void CollectionViewCell::prepareForReuse() {
    ReusableCell::prepareForReuse();
    indexPath_.reset();
}

}  // namespace ui
