#pragma once
// Simple layout constraints between an SDK view and its superview: centre,
// size, or both equal to the superview's. Nothing happens without a
// superview. Main thread.

#include "ui/View.h"

namespace ads {

void DZConstrainViewCenterToSuperview(ui::View* view);
void DZConstrainViewSizeToSuperview(ui::View* view);
void DZConstrainViewToFillSuperview(ui::View* view);

}  // namespace ads
