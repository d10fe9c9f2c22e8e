#pragma once
// Where a sheet presented on the pad idiom points: a source view and a
// rectangle in that view's coordinates, as the presenting code sets them.
// The source view is held weakly. place() lays a popover out next to its
// anchor, with an arrow from the popover to the anchor; the sheets that
// carry an anchor (action sheets, the share sheet) draw that way on the pad
// while the anchor is in a window, and as sheets at the bottom otherwise.
// Main thread only.

#include <memory>
#include <optional>

#include "gfx/Geometry.h"

namespace ui {

class View;

// The side of the popover the arrow stands out of, toward the anchor: Up
// for a popover below its anchor.
enum class PopoverArrowDirection { Up, Down, Left, Right };

struct PopoverPlacement {
    gfx::Rect box;    // the popover's content
    PopoverArrowDirection direction = PopoverArrowDirection::Up;
    gfx::Rect arrow;  // between the box and the anchor, its base on the box
    gfx::Point tip;   // the arrow's point, on the anchor's edge
};

class PopoverPresentationController {
public:
    static constexpr double kArrowLength = 13;
    static constexpr double kArrowBase = 26;
    // Kept free between a popover and the edges of the area it is placed in.
    static constexpr double kMargin = 10;
    // The arrow stays this far from the box's corners.
    static constexpr double kArrowCornerInset = 14;

    [[nodiscard]] std::shared_ptr<View> sourceView() const { return sourceView_.lock(); }
    void setSourceView(const std::shared_ptr<View>& view) { sourceView_ = view; }
    [[nodiscard]] gfx::Rect sourceRect() const { return sourceRect_; }
    void setSourceRect(const gfx::Rect& rect) { sourceRect_ = rect; }

    // The source rectangle in window coordinates; none while the source
    // view is gone or outside a window.
    [[nodiscard]] std::optional<gfx::Rect> anchorInWindow() const;
    // The same in the coordinates of `view`.
    [[nodiscard]] std::optional<gfx::Rect> anchorIn(const View& view) const;

    // A popover of `size` (its width cut to the area) next to `anchor`, all
    // in one coordinate space: below the anchor when it fits there, else
    // above, else beside it on the side with more room, else on the taller
    // of below and above, cut to the room there. The box stays kMargin inside
    // the area; the arrow points at the middle of the anchor's facing edge,
    // moved along the box as far as its corners allow.
    [[nodiscard]] static PopoverPlacement place(const gfx::Rect& anchor, gfx::Size size,
                                                const gfx::Rect& area);

private:
    std::weak_ptr<View> sourceView_;
    gfx::Rect sourceRect_;
};

}  // namespace ui
