#include "store/MailComposeViewController.h"

#include <atomic>

namespace store {

namespace {
std::atomic<bool> gCanSendMail{false};
}  // namespace

void MailComposeViewControllerDelegate::mailComposeController(MailComposeViewController& controller,
                                                              MailComposeResult,
                                                              const std::optional<StoreError>&) {
    controller.dismissViewController(true);
}

bool MailComposeViewController::canSendMail() {
    return gCanSendMail;
}

void MailComposeViewController::setCanSendMailForTesting(bool can) {
    gCanSendMail = can;
}

std::shared_ptr<MailComposeViewController> MailComposeViewController::create() {
    if (!canSendMail()) return nullptr;
    return std::make_shared<MailComposeViewController>(Token{});
}

MailComposeViewController::MailComposeViewController(Token)
    : ComposeViewController("New Message") {}

void MailComposeViewController::setToRecipients(std::vector<std::string> recipients) {
    to_ = std::move(recipients);
    refresh();
}

void MailComposeViewController::setCcRecipients(std::vector<std::string> recipients) {
    cc_ = std::move(recipients);
    refresh();
}

void MailComposeViewController::setBccRecipients(std::vector<std::string> recipients) {
    bcc_ = std::move(recipients);
    refresh();
}

void MailComposeViewController::setSubject(std::string subject) {
    subject_ = std::move(subject);
    refresh();
}

void MailComposeViewController::setMessageBody(std::string body, bool isHTML) {
    body_ = std::move(body);
    bodyIsHTML_ = isHTML;
    refresh();
}

void MailComposeViewController::finish(MailComposeResult result, std::optional<StoreError> error) {
    if (const auto delegate = delegate_.lock()) {
        delegate->mailComposeController(*this, result, error);
        return;
    }
    MailComposeViewControllerDelegate().mailComposeController(*this, result, error);
}

std::string MailComposeViewController::summary() const {
    return line("To", to_) + "\n" + line("Cc", cc_) + "\n" + line("Bcc", bcc_) + "\n" +
           line("Subject", {subject_}) + "\n\n" + body_;
}

}  // namespace store
