#pragma once
// The platform's own transitions, drawn over their duration on the views'
// presentation (the models stay where the transition's driver put them):
//  - a navigation push slides the new view in from the right over the old
//    one, which moves a third of the way out to the left; a pop the reverse;
//  - a modal presentation slides up from the bottom, its dismissal down
//    (a cross-dissolve transition style fades instead);
//  - an alert fades in and its box shrinks to its size from a little larger;
//    it fades out when dismissed;
//  - an action sheet's dimming fades in while the sheet slides up from the
//    bottom; the reverse when dismissed.
// Touches are ignored by the moving views while these run. Main thread only.

#include "gfx/Geometry.h"

namespace ui {

class View;
class ViewController;

namespace standard {

inline constexpr double kAlertStartScale = 1.2;
inline constexpr double kPushedAsideFraction = 1.0 / 3;

void navigation(View* from, View* to, bool push, double duration);
void presentation(ViewController& presented, bool presenting, double duration);

}  // namespace standard

}  // namespace ui
