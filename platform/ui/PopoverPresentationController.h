#pragma once
// Where a sheet presented on the pad idiom points: a source view and a
// rectangle in that view's coordinates, as the presenting code sets them.
// The source view is held weakly. Main thread only.

#include <memory>
#include <optional>

#include "gfx/Geometry.h"

namespace ui {

class View;

class PopoverPresentationController {
public:
    [[nodiscard]] std::shared_ptr<View> sourceView() const { return sourceView_.lock(); }
    void setSourceView(const std::shared_ptr<View>& view) { sourceView_ = view; }
    [[nodiscard]] gfx::Rect sourceRect() const { return sourceRect_; }
    void setSourceRect(const gfx::Rect& rect) { sourceRect_ = rect; }

    // The source rectangle in window coordinates; none while the source
    // view is gone or outside a window.
    [[nodiscard]] std::optional<gfx::Rect> anchorInWindow() const;

private:
    std::weak_ptr<View> sourceView_;
    gfx::Rect sourceRect_;
};

}  // namespace ui
