#pragma once
// The favourites feed: the favourites kept under "USER_COLLECT_PHOTOS",
// shown as the featured feed shows its photos, oldest first. It never
// fetches; it rebuilds its list whenever "COLLECT_STATUS_CHANGED" is
// posted. The notification may come from any thread: the rebuild and the
// reload always run on the main queue.
//
// Main thread only, like every screen.

#include "app/vc/ViewController.h"
#include "core/NotificationCenter.h"

namespace app {

class CollectedViewController : public ViewController {
public:
    using ViewController::ViewController;
    ~CollectedViewController() override;

    void viewDidLoad() override;
    void refreshCollected();

private:
    core::NotificationCenter::Token collectObserver_;
};

}  // namespace app
