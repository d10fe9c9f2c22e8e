#pragma once
// The favourites feed: the stored favourites in the featured feed's list.

#include "app/vc/ViewController.h"

namespace app {

class CollectedViewController : public ViewController {
public:
    using ViewController::ViewController;
};

}  // namespace app
