#include "ads/foundation/DZViewUtilities.h"

#include "ads/foundation/DZGeometry.h"
#include "ads/foundation/DZValueHelpers.h"
#include "ui/Window.h"

namespace ads {

std::optional<core::Dictionary> DZViewUtilities::positionOfView(const ui::View* view,
                                                                const ui::DeviceProfile& screen) {
    if (!view) return std::nullopt;
    const auto superview = view->superview();
    const auto window = view->window();
    if (!superview || !window) return std::nullopt;
    const double width = screen.screenSize.width;
    const double height = screen.screenSize.height - screen.statusBarHeight;
    const gfx::Rect inWindow = superview->convertRectTo(view->frame(), nullptr);
    const gfx::Point windowOrigin = window->frame().origin;
    const gfx::Rect onScreen = inWindow.offset(windowOrigin.x, windowOrigin.y);
    const double x = onScreen.origin.x;
    const double y = onScreen.origin.y;
    const bool visible = !view->isHidden() && x + onScreen.size.width > 0 && y <= height &&
                         x <= width && y + onScreen.size.height > 0;
    core::Dictionary position = DZDictionaryWithRect(onScreen);
    position.set("visible", DZNumberFromBool(visible));
    return position;
}

}  // namespace ads
