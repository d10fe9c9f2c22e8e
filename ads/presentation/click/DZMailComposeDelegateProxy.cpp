#include "ads/presentation/click/DZMailComposeDelegateProxy.h"

#include "core/Queue.h"

namespace ads {

std::shared_ptr<DZMailComposeDelegateProxy>
DZMailComposeDelegateProxy::associatedDelegateProxyForController(
    const std::shared_ptr<store::MailComposeViewController>& controller) {
    auto proxy = std::make_shared<DZMailComposeDelegateProxy>(Token{});
    proxy->setMailComposeViewController(controller);
    return proxy;
}

void DZMailComposeDelegateProxy::setMailComposeViewController(
    std::shared_ptr<store::MailComposeViewController> controller) {
    if (controller == mailComposeViewController_) return;
    if (mailComposeViewController_) {
        mailComposeViewController_->setMailComposeDelegate(nullptr);
        strongSelf_.reset();
    }
    mailComposeViewController_ = std::move(controller);
    if (mailComposeViewController_) {
        auto self = shared_from_this();
        mailComposeViewController_->setMailComposeDelegate(self);
        strongSelf_ = std::move(self);
    }
}

void DZMailComposeDelegateProxy::stopProxying() {
    auto keep = strongSelf_;
    setMailComposeViewController(nullptr);
    mailComposeDelegate_.reset();
}

void DZMailComposeDelegateProxy::mailComposeController(
    store::MailComposeViewController& controller, store::MailComposeResult result,
    const std::optional<store::StoreError>& error) {
    if (const auto target = mailComposeDelegate_.lock()) {
        target->mailComposeController(controller, result, error);
        return;
    }
    std::weak_ptr<DZMailComposeDelegateProxy> weakSelf = weak_from_this();
    auto composer = mailComposeViewController_;
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
