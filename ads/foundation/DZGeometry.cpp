#include "ads/foundation/DZGeometry.h"

#include "ui/Application.h"
#include "ui/DeviceProfile.h"
#include "ui/Window.h"

namespace ads {

core::Dictionary DZDictionaryWithRect(const gfx::Rect& rect) {
    return core::Dictionary{{"x", rect.origin.x},
                            {"y", rect.origin.y},
                            {"width", rect.size.width},
                            {"height", rect.size.height}};
}

core::Dictionary DZDictionaryWithRectEdges(const gfx::Rect& rect) {
    return core::Dictionary{
        {"top", rect.minY()}, {"bottom", rect.maxY()}, {"left", rect.minX()}, {"right", rect.maxX()}};
}

core::Dictionary DZDictionaryWithSize(const gfx::Size& size) {
    return core::Dictionary{{"width", size.width}, {"height", size.height}};
}

gfx::Rect DZRectInOrientedCoordinates(long orientation, const gfx::Rect& rect,
                                      const gfx::Rect& screenBounds) {
    if (ui::DeviceProfile::current().isSystemVersionAtLeast(8, 0, 0)) return rect;
    const double top = rect.minY();
    const double bottom = screenBounds.height() - rect.maxY();
    const double left = rect.minX();
    const double right = screenBounds.width() - rect.maxX();
    const double w = rect.width();
    const double h = rect.height();
    switch (orientation) {
    case 2:
        return {right, bottom, w, h};
    case 3:
        return {top, right, h, w};
    case 4:
        return {bottom, left, h, w};
    default:
        return rect;
    }
}

gfx::Rect DZOrientedScreenBounds(const gfx::Rect& rect) {
    const ui::DeviceProfile& device = ui::DeviceProfile::current();
    return DZRectInOrientedCoordinates(device.interfaceOrientation, rect, device.screenBounds());
}

gfx::Rect DZVisibleFrameOfView(const ui::View* view) {
    if (!view || ui::Application::shared().state() != ui::ApplicationState::Active) return {};
    const auto window = view->window();
    if (!window || window->isHidden()) return {};
    gfx::Rect visible = window->bounds();
    for (const ui::View* current = view; current; current = current->superview().get()) {
        if (current->isHidden()) return {};
        if (current == view || current->clipsToBounds()) {
            visible = visible.intersection(current->convertRectTo(current->bounds(), nullptr));
            if (visible.isEmpty()) return {};
        }
    }
    return visible;
}

gfx::Rect DZFrameInWindow(const ui::View* view) {
    const gfx::Rect visible = DZVisibleFrameOfView(view);
    if (visible.isEmpty()) return {};
    return view->convertRectFrom(visible, nullptr);
}

}  // namespace ads
