#pragma once
// Places the subviews of a view from the layout constraints it holds and
// from their own constraints on themselves, as View::addConstraint
// describes. Called by the view's layout pass. Main thread only.

namespace ui {

class View;

void applyConstraints(View& holder);

}  // namespace ui
