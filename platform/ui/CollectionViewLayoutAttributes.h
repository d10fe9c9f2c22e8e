#pragma once
// Where a collection view layout puts one item: its index path, frame (in
// the collection view's content coordinates), and optionally alpha, hidden,
// a transform about the frame's centre and a z-index (higher draws above).
// Setting the size keeps the centre; setting the centre keeps the size. A
// plain value.

#include "gfx/Geometry.h"
#include "ui/IndexPath.h"

namespace ui {

class CollectionViewLayoutAttributes {
public:
    CollectionViewLayoutAttributes() = default;
    explicit CollectionViewLayoutAttributes(IndexPath indexPath, gfx::Rect frame = {})
        : indexPath_(indexPath), frame_(frame) {}

    [[nodiscard]] IndexPath indexPath() const { return indexPath_; }
    void setIndexPath(IndexPath indexPath) { indexPath_ = indexPath; }

    [[nodiscard]] gfx::Rect frame() const { return frame_; }
    void setFrame(const gfx::Rect& frame) { frame_ = frame; }
    [[nodiscard]] gfx::Point center() const { return frame_.center(); }
    void setCenter(gfx::Point center) {
        frame_.origin = {center.x - frame_.size.width / 2, center.y - frame_.size.height / 2};
    }
    [[nodiscard]] gfx::Size size() const { return frame_.size; }
    void setSize(gfx::Size size) {
        const gfx::Point middle = center();
        frame_.size = size;
        setCenter(middle);
    }

    [[nodiscard]] double alpha() const { return alpha_; }
    void setAlpha(double alpha) { alpha_ = alpha; }
    [[nodiscard]] bool isHidden() const { return hidden_; }
    void setHidden(bool hidden) { hidden_ = hidden; }
    [[nodiscard]] gfx::AffineTransform transform() const { return transform_; }
    void setTransform(const gfx::AffineTransform& transform) { transform_ = transform; }
    [[nodiscard]] int zIndex() const { return zIndex_; }
    void setZIndex(int zIndex) { zIndex_ = zIndex; }

    friend bool operator==(const CollectionViewLayoutAttributes&,
                           const CollectionViewLayoutAttributes&) = default;

private:
    IndexPath indexPath_;
    gfx::Rect frame_;
    double alpha_ = 1;
    bool hidden_ = false;
    gfx::AffineTransform transform_ = gfx::AffineTransform::identity();
    int zIndex_ = 0;
};

}  // namespace ui
