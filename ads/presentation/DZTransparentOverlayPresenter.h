#pragma once
// The presenter that lays a controller's view, with a clear background, over
// the whole window, so that the publisher's screen stays visible behind a
// transparent ad. Not built yet: a controller given one keeps it as its
// presenter, and nothing is shown through it. Main thread.

#include "ads/presentation/DZOverlayPresenting.h"

namespace ads {

class DZTransparentOverlayPresenter : public DZOverlayPresenting {};

}  // namespace ads
