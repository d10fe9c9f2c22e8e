#pragma once
// A mail being written: recipients, copies, blind copies, subject, body
// (plain or HTML) and attachments, as the caller set them. This platform has
// no mail account of its own. In the desktop window the composer hands the
// mail to the desktop's mail client when the person taps Send
// (DesktopMailClient: xdg-email gets the recipients, subject and body, and
// the attachments as files in the home's temporary folder, removed once the
// client has read them). The result is Sent when
// xdg-email took the mail, Failed with the reason when it did not. Elsewhere
// canSendMail() is false and create() gives nullptr unless a test says
// otherwise, and Send only ends the composer. The delegate, held weakly,
// hears how the composer ended (Cancel, Send, or finish()); without one the
// composer dismisses itself. A composer ends once: its first result is its
// only one, and Cancel, Send and finish() do nothing after it. Once Send
// has handed the mail to the mail client, the client's answer is that
// result: nothing else counts while the client takes the mail. Main thread
// only, but for the capability.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "store/ComposeViewController.h"
#include "store/DesktopMailClient.h"
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
    // Whether Send hands the mail to the desktop's mail client (the desktop
    // window); such a composer can always be made.
    [[nodiscard]] static bool handsToDesktopMailClient();
    static void setHandsToDesktopMailClient(bool hands);
    // nullptr when mail cannot be sent.
    [[nodiscard]] static std::shared_ptr<MailComposeViewController> create();
    explicit MailComposeViewController(Token);

    void setToRecipients(std::vector<std::string> recipients);
    void setCcRecipients(std::vector<std::string> recipients);
    void setBccRecipients(std::vector<std::string> recipients);
    void setSubject(std::string subject);
    void setMessageBody(std::string body, bool isHTML);
    // The file name is used without any folder part; a name that is empty
    // or nothing but dots becomes "attachment".
    void addAttachmentData(std::string data, std::string mimeType, std::string fileName);

    [[nodiscard]] const std::vector<std::string>& toRecipients() const { return to_; }
    [[nodiscard]] const std::vector<std::string>& ccRecipients() const { return cc_; }
    [[nodiscard]] const std::vector<std::string>& bccRecipients() const { return bcc_; }
    [[nodiscard]] const std::string& subject() const { return subject_; }
    [[nodiscard]] const std::string& messageBody() const { return body_; }
    [[nodiscard]] bool isBodyHTML() const { return bodyIsHTML_; }
    [[nodiscard]] const std::vector<MailAttachment>& attachments() const { return attachments_; }

    // xdg-email's arguments for this mail, the attachments being at the
    // paths given (one per attachment, in order); empty fields are left out.
    [[nodiscard]] std::vector<std::string>
    mailClientArguments(const std::vector<std::string>& attachmentPaths) const;

    [[nodiscard]] std::shared_ptr<MailComposeViewControllerDelegate> mailComposeDelegate() const {
        return delegate_.lock();
    }
    void
    setMailComposeDelegate(const std::shared_ptr<MailComposeViewControllerDelegate>& delegate) {
        delegate_ = delegate;
    }

    // Ends the composer as the user would: the delegate hears the result
    // (unless the mail was handed to the mail client).
    void finish(MailComposeResult result, std::optional<StoreError> error = std::nullopt);

    [[nodiscard]] std::string summary() const override;

protected:
    void cancelTapped() override { finish(MailComposeResult::Cancelled); }
    void sendTapped() override;

private:
    // The delegate hears the mail client's answer on the main thread.
    void handToMailClient();
    void report(MailComposeResult result, const std::optional<StoreError>& error);
    [[nodiscard]] DesktopMail desktopMail() const;

    std::vector<std::string> to_;
    std::vector<std::string> cc_;
    std::vector<std::string> bcc_;
    std::string subject_;
    std::string body_;
    bool bodyIsHTML_ = false;
    std::vector<MailAttachment> attachments_;
    // Set when the mail client is started, for good.
    bool handedOver_ = false;
    bool ended_ = false;
    std::weak_ptr<MailComposeViewControllerDelegate> delegate_;
};

}  // namespace store
