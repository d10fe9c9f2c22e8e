#pragma once
// A text message being written: recipients, body and subject, as the caller
// set them; it sends nothing. This platform has no messaging service, so
// canSendText() and canSendSubject() are false and create() gives nullptr
// unless a test says otherwise; a subject is kept even where subjects are
// not supported, for tests to see that it was set. The delegate, held
// weakly, hears how the composer ended (Cancel, Send, or finish()); without
// one the composer dismisses itself. Main thread only, but for the
// capabilities.

#include <memory>
#include <string>
#include <vector>

#include "store/ComposeViewController.h"

namespace store {

class MessageComposeViewController;

// The values the platform reports.
enum class MessageComposeResult : int { Cancelled = 0, Sent = 1, Failed = 2 };

class MessageComposeViewControllerDelegate {
public:
    virtual ~MessageComposeViewControllerDelegate() = default;
    // The default dismisses the composer.
    virtual void messageComposeViewController(MessageComposeViewController& controller,
                                              MessageComposeResult result);
};

class MessageComposeViewController : public ComposeViewController {
    struct Token {};

public:
    [[nodiscard]] static bool canSendText();
    [[nodiscard]] static bool canSendSubject();
    static void setCanSendTextForTesting(bool can);
    static void setCanSendSubjectForTesting(bool can);
    // nullptr when texts cannot be sent.
    [[nodiscard]] static std::shared_ptr<MessageComposeViewController> create();
    explicit MessageComposeViewController(Token);

    void setRecipients(std::vector<std::string> recipients);
    void setBody(std::string body);
    void setSubject(std::string subject);

    [[nodiscard]] const std::vector<std::string>& recipients() const { return recipients_; }
    [[nodiscard]] const std::string& body() const { return body_; }
    [[nodiscard]] const std::string& subject() const { return subject_; }

    [[nodiscard]] std::shared_ptr<MessageComposeViewControllerDelegate>
    messageComposeDelegate() const {
        return delegate_.lock();
    }
    void setMessageComposeDelegate(
        const std::shared_ptr<MessageComposeViewControllerDelegate>& delegate) {
        delegate_ = delegate;
    }

    // Ends the composer as the user would: the delegate hears the result.
    // A composer ends once; later calls, and taps, do nothing.
    void finish(MessageComposeResult result);

    [[nodiscard]] std::string summary() const override;

protected:
    void cancelTapped() override { finish(MessageComposeResult::Cancelled); }
    void sendTapped() override { finish(MessageComposeResult::Sent); }

private:
    bool ended_ = false;
    std::vector<std::string> recipients_;
    std::string body_;
    std::string subject_;
    std::weak_ptr<MessageComposeViewControllerDelegate> delegate_;
};

}  // namespace store
