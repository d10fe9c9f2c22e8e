#include "ads/presentation/fullscreen/DZOverlayProxy.h"

#include "ads/core/slot/DZSlot.h"
#include "ads/foundation/DZCallLog.h"
#include "ads/presentation/fullscreen/DZIntermission.h"
#include "ui/ViewController.h"

namespace ads {

namespace {

// The key the proxy is attached to its controller under.
const char kProxyKey = 0;

}  // namespace

std::shared_ptr<DZOverlayProxy>
DZOverlayProxy::overlayProxyForViewController(const std::shared_ptr<ui::ViewController>& controller) {
    if (!controller) return nullptr;
    return std::static_pointer_cast<DZOverlayProxy>(controller->associatedObject(&kProxyKey));
}

std::shared_ptr<DZOverlayProxy>
DZOverlayProxy::create(const std::shared_ptr<ui::ViewController>& controller) {
    if (!controller || overlayProxyForViewController(controller)) return nullptr;
    auto proxy = std::make_shared<DZOverlayProxy>();
    proxy->viewController_ = controller;
    controller->setAssociatedObject(&kProxyKey, proxy);
    return proxy;
}

bool DZOverlayProxy::presentFromViewController(
    const std::shared_ptr<ui::ViewController>& presenting, std::function<void()> completion) {
    DZCallLog::record("DZOverlayProxy.presentFromViewController:completion:");
    const auto controller = viewController_.lock();
    if (intermission_ || !presenting || !controller) return false;
    // Nothing is joined when the platform would refuse the presentation.
    if (!presenting->canPresentViewController(controller)) return false;
    const auto slot = slot_.lock();
    auto intermission = slot ? slot->intermission() : nullptr;
    if (!intermission && slot) {
        intermission = DZIntermission::create(slot);
        slot->setIntermission(intermission);
    }
    intermission_ = intermission;
    if (intermission_) intermission_->addParticipant(shared_from_this());
    return presenting->presentViewController(controller, true, std::move(completion));
}

void DZOverlayProxy::relinquishScreenWithCompletion(std::function<void()> completion) {
    const auto self = shared_from_this();
    if (intermission_) intermission_->participantWillRelinquishScreen(self);
    const auto controller = viewController_.lock();
    const auto presenting = controller ? controller->presentingViewController() : nullptr;
    const auto finish = [self, completion = std::move(completion)] {
        if (completion) completion();
        if (const auto intermission = std::move(self->intermission_)) {
            self->intermission_ = nullptr;
            intermission->participantDidRelinquishScreen(self);
        }
    };
    if (presenting) {
        presenting->dismissViewController(true, finish);
    } else {
        finish();
    }
}

}  // namespace ads
