#include "ui/GradientView.h"

#include "gfx/Canvas.h"

namespace ui {

GradientView::GradientView(gfx::Rect frame) : View(frame) {
    setUserInteractionEnabled(false);
}

gfx::LinearGradient GradientView::gradient() const {
    const gfx::Rect b = bounds();
    const auto place = [&b](gfx::Point unit) {
        return gfx::Point{b.minX() + unit.x * b.width(), b.minY() + unit.y * b.height()};
    };
    gfx::LinearGradient gradient{place(start_), place(end_), {}};
    const bool located = locations_.size() == colors_.size();
    const size_t count = colors_.size();
    for (size_t i = 0; i < count; ++i) {
        double location = count > 1 ? double(i) / double(count - 1) : 0;
        if (located) location = locations_[i];
        gradient.stops.push_back({location, colors_[i]});
    }
    return gradient;
}

void GradientView::draw(gfx::Canvas& canvas, const gfx::Rect&) const {
    if (colors_.empty()) return;
    if (colors_.size() == 1) {
        canvas.fillRect(bounds(), colors_.front());
        return;
    }
    canvas.fillLinearGradient(bounds(), gradient());
}

}  // namespace ui
