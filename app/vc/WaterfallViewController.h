#pragma once
// The explore feed: the photo service's photo list as a two-column
// waterfall.

#include "app/vc/BaseContentViewController.h"

namespace app {

class WaterfallViewController : public BaseContentViewController {
public:
    using BaseContentViewController::BaseContentViewController;
};

}  // namespace app
