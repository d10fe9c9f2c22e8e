#pragma once
// Stands between a mail composer and the object that hears how it ended
// (the click opener, held weakly). The proxy keeps itself and the composer
// alive while it serves it; when the target has gone by the time the
// composer ends, the proxy takes the composer off the screen itself. Made
// only by associatedDelegateProxyForController(). Main thread.

#include <memory>
#include <optional>

#include "store/MailComposeViewController.h"

namespace ads {

class DZMailComposeDelegateProxy : public store::MailComposeViewControllerDelegate,
                                   public std::enable_shared_from_this<DZMailComposeDelegateProxy> {
    struct Token {};

public:
    explicit DZMailComposeDelegateProxy(Token) {}
    // A proxy serving the composer (nullptr for none).
    [[nodiscard]] static std::shared_ptr<DZMailComposeDelegateProxy>
    associatedDelegateProxyForController(
        const std::shared_ptr<store::MailComposeViewController>& controller);

    [[nodiscard]] std::shared_ptr<store::MailComposeViewControllerDelegate>
    mailComposeDelegate() const {
        return mailComposeDelegate_.lock();
    }
    void setMailComposeDelegate(std::weak_ptr<store::MailComposeViewControllerDelegate> target) {
        mailComposeDelegate_ = std::move(target);
    }
    [[nodiscard]] const std::shared_ptr<store::MailComposeViewController>&
    mailComposeViewController() const {
        return mailComposeViewController_;
    }
    // Ignored for the composer already served; the old one loses its
    // delegate, the new one gets this proxy.
    void setMailComposeViewController(std::shared_ptr<store::MailComposeViewController> controller);
    [[nodiscard]] bool isServing() const { return strongSelf_ != nullptr; }
    void stopProxying();

    void mailComposeController(store::MailComposeViewController& controller,
                               store::MailComposeResult result,
                               const std::optional<store::StoreError>& error) override;

private:
    std::shared_ptr<DZMailComposeDelegateProxy> strongSelf_;
    std::weak_ptr<store::MailComposeViewControllerDelegate> mailComposeDelegate_;
    std::shared_ptr<store::MailComposeViewController> mailComposeViewController_;
};

}  // namespace ads
