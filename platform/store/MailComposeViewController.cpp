#include "store/MailComposeViewController.h"

#include <atomic>
#include <filesystem>
#include <utility>

#include "core/Console.h"

namespace store {

namespace {
std::atomic<bool> gCanSendMail{false};
std::atomic<bool> gHandsToDesktop{false};

std::string safeFileName(const std::string& name) {
    std::string base = std::filesystem::path(name).filename().string();
    if (base.find_first_not_of('.') == std::string::npos) return "attachment";
    return base;
}

}  // namespace

void MailComposeViewControllerDelegate::mailComposeController(MailComposeViewController& controller,
                                                              MailComposeResult,
                                                              const std::optional<StoreError>&) {
    controller.dismissViewController(true);
}

bool MailComposeViewController::canSendMail() {
    return gCanSendMail || gHandsToDesktop;
}

bool MailComposeViewController::handsToDesktopMailClient() {
    return gHandsToDesktop;
}

void MailComposeViewController::setHandsToDesktopMailClient(bool hands) {
    gHandsToDesktop = hands;
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

void MailComposeViewController::addAttachmentData(std::string data, std::string mimeType,
                                                  std::string fileName) {
    attachments_.push_back({std::move(data), std::move(mimeType), safeFileName(fileName)});
    refresh();
}

std::vector<std::string>
MailComposeViewController::mailClientArguments(const std::vector<std::string>& paths) const {
    return DesktopMailClient::arguments(desktopMail(), paths);
}

DesktopMail MailComposeViewController::desktopMail() const {
    return {to_, cc_, bcc_, subject_, body_, attachments_};
}

void MailComposeViewController::sendTapped() {
    if (handedOver_ || ended_) return;  // a second tap while the client starts, or after
    if (handsToDesktopMailClient()) {
        handToMailClient();
        return;
    }
    finish(MailComposeResult::Sent);
}

void MailComposeViewController::handToMailClient() {
    handedOver_ = true;
    const auto self = std::static_pointer_cast<MailComposeViewController>(shared_from_this());
    DesktopMailClient::send(desktopMail(), [self](const std::optional<std::string>& problem) {
        if (!problem) {
            self->report(MailComposeResult::Sent, std::nullopt);
            return;
        }
        core::Console::log("mail composer: " + *problem);
        self->report(MailComposeResult::Failed, StoreError{StoreError::Unknown, *problem});
    });
}

void MailComposeViewController::finish(MailComposeResult result, std::optional<StoreError> error) {
    if (handedOver_) return;  // the mail client's answer is the result
    report(result, error);
}

void MailComposeViewController::report(MailComposeResult result,
                                       const std::optional<StoreError>& error) {
    if (std::exchange(ended_, true)) return;
    if (const auto delegate = delegate_.lock()) {
        delegate->mailComposeController(*this, result, error);
        return;
    }
    MailComposeViewControllerDelegate().mailComposeController(*this, result, error);
}

std::string MailComposeViewController::summary() const {
    std::vector<std::string> names;
    for (const MailAttachment& attachment : attachments_) names.push_back(attachment.fileName);
    return line("To", to_) + "\n" + line("Cc", cc_) + "\n" + line("Bcc", bcc_) + "\n" +
           line("Subject", {subject_}) + (names.empty() ? "" : "\n" + line("Attached", names)) +
           "\n\n" + body_;
}

}  // namespace store
