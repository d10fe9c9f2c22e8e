#pragma once
// Stands between a message composer and the object that hears how it ended
// (the click opener, held weakly). The proxy keeps itself and the composer
// alive while it serves it; when the target has gone by the time the
// composer ends, the proxy takes the composer off the screen itself. Made
// only by associatedDelegateProxyForController(). Main thread.

#include <memory>
#include <optional>

#include "store/MessageComposeViewController.h"

namespace ads {

class DZMessageComposeDelegateProxy
    : public store::MessageComposeViewControllerDelegate,
      public std::enable_shared_from_this<DZMessageComposeDelegateProxy> {
    struct Token {};

public:
    explicit DZMessageComposeDelegateProxy(Token) {}
    // A proxy serving the composer (nullptr for none).
    [[nodiscard]] static std::shared_ptr<DZMessageComposeDelegateProxy>
    associatedDelegateProxyForController(
        const std::shared_ptr<store::MessageComposeViewController>& controller);

    [[nodiscard]] std::shared_ptr<store::MessageComposeViewControllerDelegate>
    messageComposeDelegate() const {
        return messageComposeDelegate_.lock();
    }
    void
    setMessageComposeDelegate(std::weak_ptr<store::MessageComposeViewControllerDelegate> target) {
        messageComposeDelegate_ = std::move(target);
    }
    [[nodiscard]] const std::shared_ptr<store::MessageComposeViewController>&
    messageComposeViewController() const {
        return messageComposeViewController_;
    }
    // Ignored for the composer already served; the old one loses its
    // delegate, the new one gets this proxy.
    void setMessageComposeViewController(
        std::shared_ptr<store::MessageComposeViewController> controller);
    [[nodiscard]] bool isServing() const { return strongSelf_ != nullptr; }
    void stopProxying();

    void messageComposeViewController(store::MessageComposeViewController& controller,
                                      store::MessageComposeResult result) override;

private:
    std::shared_ptr<DZMessageComposeDelegateProxy> strongSelf_;
    std::weak_ptr<store::MessageComposeViewControllerDelegate> messageComposeDelegate_;
    std::shared_ptr<store::MessageComposeViewController> messageComposeViewController_;
};

}  // namespace ads
