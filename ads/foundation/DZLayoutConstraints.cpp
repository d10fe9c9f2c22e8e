#include "ads/foundation/DZLayoutConstraints.h"

#include <initializer_list>

namespace ads {

namespace {

// Adds item.attribute = superview.attribute (multiplier 1, constant 0) for
// each attribute, on the superview.
void constrainToSuperview(ui::View* view, std::initializer_list<ui::LayoutAttribute> attributes) {
    if (!view) return;
    const auto superview = view->superview();
    if (!superview) return;
    view->setTranslatesAutoresizingMaskIntoConstraints(false);
    for (ui::LayoutAttribute attribute : attributes) {
        superview->addConstraint(ui::LayoutConstraint{view->shared_from_this(), attribute, superview,
                                                      attribute, 1.0, 0.0});
    }
}

}  // namespace

void DZConstrainViewCenterToSuperview(ui::View* view) {
    constrainToSuperview(view, {ui::LayoutAttribute::CenterX, ui::LayoutAttribute::CenterY});
}

void DZConstrainViewSizeToSuperview(ui::View* view) {
    constrainToSuperview(view, {ui::LayoutAttribute::Width, ui::LayoutAttribute::Height});
}

void DZConstrainViewToFillSuperview(ui::View* view) {
    DZConstrainViewCenterToSuperview(view);
    DZConstrainViewSizeToSuperview(view);
}

}  // namespace ads
