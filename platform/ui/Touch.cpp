#include "ui/Touch.h"

#include "ui/View.h"
#include "ui/Window.h"

namespace ui {

Touch::Touch(std::shared_ptr<Window> window, std::shared_ptr<View> view, gfx::Point windowLocation,
             double timestamp)
    : window_(window),
      view_(view),
      location_(windowLocation),
      previousLocation_(windowLocation),
      timestamp_(timestamp) {}

namespace {

gfx::Point fromWindow(gfx::Point point, const View* view) {
    return view ? view->convertPointFrom(point, nullptr) : point;
}

}  // namespace

gfx::Point Touch::locationInView(const View* view) const {
    return fromWindow(location_, view);
}

gfx::Point Touch::previousLocationInView(const View* view) const {
    return fromWindow(previousLocation_, view);
}

void Touch::update(TouchPhase phase, gfx::Point windowLocation, double timestamp) {
    previousLocation_ = location_;
    location_ = windowLocation;
    timestamp_ = timestamp;
    phase_ = phase;
}

}  // namespace ui
