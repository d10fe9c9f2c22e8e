#include "ads/presentation/DZOverlayProxy.h"

#include "ads/foundation/DZCallLog.h"

namespace ads {

void DZOverlayProxy::presentFromViewController(
    const std::shared_ptr<ui::ViewController>& presenting, std::function<void()> completion) {
    DZCallLog::record("DZOverlayProxy.presentFromViewController:completion:");
    if (!presenting || !viewController_) return;
    presenting->presentViewController(viewController_, true, std::move(completion));
}

}  // namespace ads
