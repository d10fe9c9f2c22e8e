#include "ui/PopoverPresentationController.h"

#include "ui/View.h"
#include "ui/Window.h"

namespace ui {

std::optional<gfx::Rect> PopoverPresentationController::anchorInWindow() const {
    const auto view = sourceView();
    if (!view || !view->window()) return std::nullopt;
    return view->convertRectTo(sourceRect_, nullptr);
}

}  // namespace ui
