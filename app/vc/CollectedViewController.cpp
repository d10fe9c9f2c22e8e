#include "app/vc/CollectedViewController.h"

#include "app/services/Common.h"
#include "core/Queue.h"

namespace app {

CollectedViewController::~CollectedViewController() {
    if (collectObserver_)
        core::NotificationCenter::defaultCenter().removeObserver(collectObserver_);
}

void CollectedViewController::viewDidLoad() {
    ViewController::viewDidLoad();
    std::weak_ptr<ui::ViewController> weakSelf = shared_from_this();
    collectObserver_ = core::NotificationCenter::defaultCenter().addObserver(
        CommonNotificationKeys::COLLECT_STATUS_CHANGED, nullptr, core::Queue::main(),
        [weakSelf](const core::Notification&) {
            if (auto strong = std::static_pointer_cast<CollectedViewController>(weakSelf.lock()))
                strong->refreshCollected();
        });
}

void CollectedViewController::refreshCollected() {
    loadCollectedPhotos();
}

}  // namespace app
