#pragma once
// A container that never takes a touch itself: touches on its own area go
// to whatever lies below it, touches on its subviews reach them. Main
// thread.

#include "ui/View.h"

namespace ads {

class DZUnclickableView : public ui::View {
public:
    using ui::View::View;
    [[nodiscard]] std::shared_ptr<ui::View> hitTest(gfx::Point point) override {
        auto hit = ui::View::hitTest(point);
        return hit.get() == this ? nullptr : hit;
    }
};

}  // namespace ads
