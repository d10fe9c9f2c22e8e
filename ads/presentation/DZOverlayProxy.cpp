#include "ads/presentation/DZOverlayProxy.h"

#include <map>

#include "ads/foundation/DZCallLog.h"

namespace ads {

namespace {

std::map<const ui::ViewController*, std::weak_ptr<DZOverlayProxy>>& registry() {
    static std::map<const ui::ViewController*, std::weak_ptr<DZOverlayProxy>> proxies;
    return proxies;
}

}  // namespace

std::shared_ptr<DZOverlayProxy>
DZOverlayProxy::create(std::shared_ptr<ui::ViewController> viewController) {
    auto proxy = std::make_shared<DZOverlayProxy>(std::move(viewController));
    auto& proxies = registry();
    std::erase_if(proxies, [](const auto& entry) { return entry.second.expired(); });
    if (proxy->viewController_) proxies[proxy->viewController_.get()] = proxy;
    return proxy;
}

std::shared_ptr<DZOverlayProxy>
DZOverlayProxy::overlayProxyForViewController(const ui::ViewController* controller) {
    const auto& proxies = registry();
    const auto found = proxies.find(controller);
    return found == proxies.end() ? nullptr : found->second.lock();
}

void DZOverlayProxy::presentFromViewController(
    const std::shared_ptr<ui::ViewController>& presenting, std::function<void()> completion) {
    DZCallLog::record("DZOverlayProxy.presentFromViewController:completion:");
    if (!presenting || !viewController_) return;
    presenting->presentViewController(viewController_, true, std::move(completion));
}

void DZOverlayProxy::relinquishScreenWithCompletion(std::function<void()> completion) {
    auto self = weak_from_this().lock();
    const auto presenting = viewController_ ? viewController_->presentingViewController() : nullptr;
    if (!presenting) {
        if (completion) completion();
        return;
    }
    presenting->dismissViewController(true, [self, completion = std::move(completion)] {
        if (completion) completion();
    });
}

}  // namespace ads
