#include "display/WindowInput.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "ui/NavigationController.h"
#include "ui/ScrollView.h"
#include "ui/ViewController.h"
#include "ui/Window.h"

namespace display {

namespace {

enum class Axis { Horizontal, Vertical };

double along(gfx::Point point, Axis axis) {
    return axis == Axis::Horizontal ? point.x : point.y;
}

double along(gfx::Size size, Axis axis) {
    return axis == Axis::Horizontal ? size.width : size.height;
}

// The valid content offsets of a scroll view along one axis.
struct Range {
    double min = 0;
    double max = 0;
};

Range offsetRange(const ui::ScrollView& view, Axis axis) {
    const gfx::EdgeInsets inset = view.adjustedContentInset();
    const double before = axis == Axis::Horizontal ? inset.left : inset.top;
    const double after = axis == Axis::Horizontal ? inset.right : inset.bottom;
    const double content = along(view.contentSize(), axis);
    const double visible = along(view.bounds().size, axis);
    return {-before, std::max(-before, content + after - visible)};
}

bool scrollsAlong(const ui::ScrollView& view, Axis axis) {
    const Range range = offsetRange(view, axis);
    return view.isScrollEnabled() && range.max - range.min > 0.5;
}

// The scroll views under a point, innermost first, that pass `accepts`.
template <typename Accepts>
std::shared_ptr<ui::ScrollView> scrollViewAt(ui::Window& window, gfx::Point at, Accepts accepts) {
    for (auto view = window.hitTest(at); view; view = view->superview()) {
        auto scroll = std::dynamic_pointer_cast<ui::ScrollView>(view);
        if (scroll && accepts(*scroll)) return scroll;
        if (view.get() == &window) break;
    }
    return nullptr;
}

// The controller shown: the last one presented, else the root.
std::shared_ptr<ui::ViewController> shownController(ui::Window& window) {
    auto shown = window.rootViewController();
    if (shown)
        while (auto presented = shown->presentedViewController()) shown = std::move(presented);
    return shown;
}

// The controller, or the first of its children going down, that navigates
// page history and whose view is shown in window.
ui::HistoryNavigating* historyShownIn(ui::ViewController& controller, const ui::Window& window) {
    if (!controller.isViewLoaded()) return nullptr;
    const auto view = controller.view();
    if (view->isHidden() || view->window().get() != &window) return nullptr;
    if (auto* history = dynamic_cast<ui::HistoryNavigating*>(&controller)) return history;
    for (const auto& child : controller.childViewControllers())
        if (auto* history = historyShownIn(*child, window)) return history;
    return nullptr;
}

gfx::Point withAxis(gfx::Point point, Axis axis, double value) {
    if (axis == Axis::Horizontal)
        point.x = value;
    else
        point.y = value;
    return point;
}

gfx::Point clampedOffset(const ui::ScrollView& view, gfx::Point offset) {
    const Range x = offsetRange(view, Axis::Horizontal);
    const Range y = offsetRange(view, Axis::Vertical);
    return {std::clamp(offset.x, x.min, x.max), std::clamp(offset.y, y.min, y.max)};
}

bool turnPage(ui::ScrollView& view, Axis axis, double direction) {
    const double page = along(view.bounds().size, axis);
    const double offset = along(view.contentOffset(), axis);
    if (page <= 0) return false;
    const double index = std::round(offset / page);
    if (std::abs(offset - index * page) > 0.5) return true;  // still moving to a page
    const Range range = offsetRange(view, axis);
    const double target = std::clamp((index + direction) * page, range.min, range.max);
    if (std::abs(target - offset) < 0.5) return false;
    view.setContentOffset(withAxis(view.contentOffset(), axis, target), true);
    return true;
}

}  // namespace

bool WindowInput::scroll(ui::Window& window, gfx::Point at, gfx::Point delta) {
    const Axis axis = std::abs(delta.x) > std::abs(delta.y) ? Axis::Horizontal : Axis::Vertical;
    const double amount = along(delta, axis);
    if (amount == 0 || !std::isfinite(amount)) return false;
    // A view that scrolls content of its own (a web page) inside the scroll
    // views takes the wheel before them.
    std::shared_ptr<ui::ScrollView> view;
    for (auto hit = window.hitTest(at); hit && !view; hit = hit->superview()) {
        if (hit->scrollWheel(hit->convertPointFrom(at, nullptr), delta)) return true;
        auto scroll = std::dynamic_pointer_cast<ui::ScrollView>(hit);
        if (scroll && scrollsAlong(*scroll, axis)) view = scroll;
        if (hit.get() == &window) break;
    }
    if (!view || view->isTracking()) return false;
    if (view->isPagingEnabled()) return turnPage(*view, axis, amount > 0 ? 1 : -1);

    const gfx::Point from = view->contentOffset();
    const Range range = offsetRange(*view, axis);
    const double target = std::clamp(along(from, axis) + amount, range.min, range.max);
    if (target == along(from, axis)) return false;
    view->setContentOffset(withAxis(from, axis, target));
    if (const auto delegate = view->delegate()) delegate->scrollViewDidEndDecelerating(*view);
    return true;
}

bool WindowInput::zoom(ui::Window& window, gfx::Point at, double factor) {
    if (!(factor > 0) || !std::isfinite(factor) || factor == 1) return false;
    const auto view = scrollViewAt(window, at, [](ui::ScrollView& candidate) {
        const auto delegate = candidate.delegate();
        return candidate.maximumZoomScale() > candidate.minimumZoomScale() && delegate &&
               delegate->viewForZooming(candidate);
    });
    if (!view || view->isTracking() || view->isZooming()) return false;
    const auto zoomed = view->delegate()->viewForZooming(*view);
    const gfx::Point anchor = zoomed->convertPointFrom(at, nullptr);

    const double before = view->zoomScale();
    view->setZoomScale(before * factor);
    if (view->zoomScale() == before) return false;

    // Moving the offset by d moves what is shown by -d.
    const gfx::Point moved = zoomed->convertPointTo(anchor, nullptr);
    const gfx::Point offset = view->contentOffset();
    view->setContentOffset(
        clampedOffset(*view, {offset.x + moved.x - at.x, offset.y + moved.y - at.y}));
    return true;
}

bool WindowInput::insertText(ui::Window& window, const std::string& text) {
    ui::Responder* responder = window.firstResponder();
    if (!responder || text.empty()) return false;
    responder->insertText(text);
    return true;
}

bool WindowInput::deleteBackward(ui::Window& window) {
    ui::Responder* responder = window.firstResponder();
    if (!responder) return false;
    responder->deleteBackward();
    return true;
}

bool WindowInput::pressReturn(ui::Window& window) {
    ui::Responder* responder = window.firstResponder();
    if (!responder) return false;
    responder->returnKeyPressed();
    return true;
}

bool WindowInput::goBack(ui::Window& window) {
    const auto shown = shownController(window);
    // A screen of pages closes by its own Done, which has its own work.
    if (!shown || historyShownIn(*shown, window)) return false;
    const auto navigation = std::dynamic_pointer_cast<ui::NavigationController>(shown);
    if (navigation && navigation->viewControllers().size() > 1)
        return navigation->popViewController(true) != nullptr;
    if (!shown->presentingViewController()) return false;
    shown->dismissViewController(true);
    return true;
}

bool WindowInput::stepInHistory(ui::Window& window, ui::HistoryStep step) {
    const auto shown = shownController(window);
    auto* history = shown ? historyShownIn(*shown, window) : nullptr;
    return history && history->stepInHistory(step);
}

}  // namespace display
