#include "ads/presentation/click/DZSKStoreProductViewControllerDelegate.h"

#include "ads/presentation/fullscreen/DZOverlayProxy.h"
#include "store/StoreProductViewController.h"

namespace ads {

std::shared_ptr<DZSKStoreProductViewControllerDelegate>
DZSKStoreProductViewControllerDelegate::sharedInstance() {
    static const auto instance = std::make_shared<DZSKStoreProductViewControllerDelegate>();
    return instance;
}

void DZSKStoreProductViewControllerDelegate::productViewControllerDidFinish(
    store::StoreProductViewController& controller) {
    if (const auto proxy = DZOverlayProxy::overlayProxyForViewController(controller.shared_from_this())) {
        proxy->relinquishScreenWithCompletion({});
        return;
    }
    const auto presenting = controller.presentingViewController();
    if (!presenting) return;
    std::weak_ptr<ui::ViewController> weakPresenting = presenting;
    presenting->dismissViewController(true, [weakPresenting] {
        if (const auto presenter = weakPresenting.lock()) presenter->becomeFirstResponder();
    });
}

}  // namespace ads
