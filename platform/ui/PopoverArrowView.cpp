#include "ui/PopoverArrowView.h"

#include <cairo.h>

#include "gfx/Canvas.h"

namespace ui {

PopoverArrowView::PopoverArrowView() {
    setBackgroundColor(gfx::Color::clear());
    setUserInteractionEnabled(false);
}

void PopoverArrowView::apply(const PopoverPlacement& placement, const gfx::Color& color) {
    direction_ = placement.direction;
    color_ = color;
    setFrame(placement.arrow);
    setNeedsDisplay();
}

void PopoverArrowView::draw(gfx::Canvas& canvas, const gfx::Rect&) const {
    const gfx::Rect b = bounds();
    gfx::Point base1, base2, tip;
    switch (direction_) {
    case PopoverArrowDirection::Up:  // the box is below
        base1 = {b.minX(), b.maxY()};
        base2 = {b.maxX(), b.maxY()};
        tip = {b.midX(), b.minY()};
        break;
    case PopoverArrowDirection::Down:
        base1 = {b.minX(), b.minY()};
        base2 = {b.maxX(), b.minY()};
        tip = {b.midX(), b.maxY()};
        break;
    case PopoverArrowDirection::Left:  // the box is to the right
        base1 = {b.maxX(), b.minY()};
        base2 = {b.maxX(), b.maxY()};
        tip = {b.minX(), b.midY()};
        break;
    case PopoverArrowDirection::Right:
        base1 = {b.minX(), b.minY()};
        base2 = {b.minX(), b.maxY()};
        tip = {b.maxX(), b.midY()};
        break;
    }
    cairo_t* cr = canvas.native();
    cairo_save(cr);
    cairo_move_to(cr, base1.x, base1.y);
    cairo_line_to(cr, tip.x, tip.y);
    cairo_line_to(cr, base2.x, base2.y);
    cairo_close_path(cr);
    cairo_set_source_rgba(cr, color_.red, color_.green, color_.blue, color_.alpha);
    cairo_fill(cr);
    cairo_restore(cr);
}

}  // namespace ui
