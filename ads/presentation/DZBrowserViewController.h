#pragma once
// The SDK's in-app browser. Not built yet: what the SDK needs of it now is
// its class, which marks the controller of a browser's ad view. Main thread.

#include "ui/ViewController.h"

namespace ads {

class DZBrowserViewController : public ui::ViewController {};

}  // namespace ads
