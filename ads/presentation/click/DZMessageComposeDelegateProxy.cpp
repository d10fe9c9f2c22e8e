#include "ads/presentation/click/DZMessageComposeDelegateProxy.h"

#include "core/Queue.h"

namespace ads {

std::shared_ptr<DZMessageComposeDelegateProxy>
DZMessageComposeDelegateProxy::associatedDelegateProxyForController(
    const std::shared_ptr<store::MessageComposeViewController>& controller) {
    auto proxy = std::make_shared<DZMessageComposeDelegateProxy>(Token{});
    proxy->setMessageComposeViewController(controller);
    return proxy;
}

void DZMessageComposeDelegateProxy::setMessageComposeViewController(
    std::shared_ptr<store::MessageComposeViewController> controller) {
    if (controller == messageComposeViewController_) return;
    if (messageComposeViewController_) {
        messageComposeViewController_->setMessageComposeDelegate(nullptr);
        strongSelf_.reset();
    }
    messageComposeViewController_ = std::move(controller);
    if (messageComposeViewController_) {
        auto self = shared_from_this();
        messageComposeViewController_->setMessageComposeDelegate(self);
        strongSelf_ = std::move(self);
    }
}

void DZMessageComposeDelegateProxy::stopProxying() {
    auto keep = strongSelf_;
    setMessageComposeViewController(nullptr);
    messageComposeDelegate_.reset();
}

void DZMessageComposeDelegateProxy::messageComposeViewController(
    store::MessageComposeViewController& controller, store::MessageComposeResult result) {
    if (const auto target = messageComposeDelegate_.lock()) {
        target->messageComposeViewController(controller, result);
        return;
    }
    std::weak_ptr<DZMessageComposeDelegateProxy> weakSelf = weak_from_this();
    auto composer = messageComposeViewController_;
    core::Queue::main()->async([weakSelf, composer] {
        auto done = [weakSelf] {
            if (const auto self = weakSelf.lock()) self->stopProxying();
        };
        const auto presenting = composer ? composer->presentingViewController() : nullptr;
        if (presenting)
            presenting->dismissViewController(true, done);
        else
            done();
    });
}

}  // namespace ads
