#pragma once
// The featured feed: random featured photos in a full-width list with
// banner rows.

#include "app/vc/BaseContentViewController.h"

namespace app {

class ViewController : public BaseContentViewController {
public:
    using BaseContentViewController::BaseContentViewController;
};

}  // namespace app
