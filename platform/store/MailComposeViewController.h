#pragma once
// A mail being written: recipients, copies, blind copies, subject and body
// (plain or HTML), as the caller set them; it sends nothing. This platform
// has no mail account, so canSendMail() is false and create() gives nullptr
// unless a test says otherwise. The delegate, held weakly, hears how the
// composer ended (Cancel, Send, or finish()); without one the composer
// dismisses itself. Main thread only, but for the capability.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "store/ComposeViewController.h"
#include "store/StoreError.h"

namespace store {

class MailComposeViewController;

// The values the platform reports.
enum class MailComposeResult : int { Cancelled = 0, Saved = 1, Sent = 2, Failed = 3 };

class MailComposeViewControllerDelegate {
public:
    virtual ~MailComposeViewControllerDelegate() = default;
    // The default dismisses the composer.
    virtual void mailComposeController(MailComposeViewController& controller,
                                       MailComposeResult result,
                                       const std::optional<StoreError>& error);
};

class MailComposeViewController : public ComposeViewController {
    struct Token {};

public:
    [[nodiscard]] static bool canSendMail();
    static void setCanSendMailForTesting(bool can);
    // nullptr when mail cannot be sent.
    [[nodiscard]] static std::shared_ptr<MailComposeViewController> create();
    explicit MailComposeViewController(Token);

    void setToRecipients(std::vector<std::string> recipients);
    void setCcRecipients(std::vector<std::string> recipients);
    void setBccRecipients(std::vector<std::string> recipients);
    void setSubject(std::string subject);
    void setMessageBody(std::string body, bool isHTML);

    [[nodiscard]] const std::vector<std::string>& toRecipients() const { return to_; }
    [[nodiscard]] const std::vector<std::string>& ccRecipients() const { return cc_; }
    [[nodiscard]] const std::vector<std::string>& bccRecipients() const { return bcc_; }
    [[nodiscard]] const std::string& subject() const { return subject_; }
    [[nodiscard]] const std::string& messageBody() const { return body_; }
    [[nodiscard]] bool isBodyHTML() const { return bodyIsHTML_; }

    [[nodiscard]] std::shared_ptr<MailComposeViewControllerDelegate> mailComposeDelegate() const {
        return delegate_.lock();
    }
    void
    setMailComposeDelegate(const std::shared_ptr<MailComposeViewControllerDelegate>& delegate) {
        delegate_ = delegate;
    }

    // Ends the composer as the user would: the delegate hears the result.
    void finish(MailComposeResult result, std::optional<StoreError> error = std::nullopt);

    [[nodiscard]] std::string summary() const override;

protected:
    void cancelTapped() override { finish(MailComposeResult::Cancelled); }
    void sendTapped() override { finish(MailComposeResult::Sent); }

private:
    std::vector<std::string> to_;
    std::vector<std::string> cc_;
    std::vector<std::string> bcc_;
    std::string subject_;
    std::string body_;
    bool bodyIsHTML_ = false;
    std::weak_ptr<MailComposeViewControllerDelegate> delegate_;
};

}  // namespace store
