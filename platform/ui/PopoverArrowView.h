#pragma once
// The arrow of a popover: a triangle filling its bounds in one colour, its
// base on the popover's side and its point on the far side (toward the
// anchor). Takes no touches. Main thread only.

#include "gfx/Color.h"
#include "ui/PopoverPresentationController.h"
#include "ui/View.h"

namespace ui {

class PopoverArrowView : public View {
public:
    PopoverArrowView();

    [[nodiscard]] PopoverArrowDirection direction() const { return direction_; }
    [[nodiscard]] const gfx::Color& color() const { return color_; }
    // Places the arrow as the placement says.
    void apply(const PopoverPlacement& placement, const gfx::Color& color);

    void draw(gfx::Canvas& canvas, const gfx::Rect& rect) const override;

private:
    PopoverArrowDirection direction_ = PopoverArrowDirection::Up;
    gfx::Color color_ = gfx::Color::white();
};

}  // namespace ui
