#include "store/MessageComposeViewController.h"

#include <atomic>
#include <utility>

namespace store {

namespace {
std::atomic<bool> gCanSendText{false};
std::atomic<bool> gCanSendSubject{false};
}  // namespace

void MessageComposeViewControllerDelegate::messageComposeViewController(
    MessageComposeViewController& controller, MessageComposeResult) {
    controller.dismissViewController(true);
}

bool MessageComposeViewController::canSendText() {
    return gCanSendText;
}

bool MessageComposeViewController::canSendSubject() {
    return gCanSendSubject;
}

void MessageComposeViewController::setCanSendTextForTesting(bool can) {
    gCanSendText = can;
}

void MessageComposeViewController::setCanSendSubjectForTesting(bool can) {
    gCanSendSubject = can;
}

std::shared_ptr<MessageComposeViewController> MessageComposeViewController::create() {
    if (!canSendText()) return nullptr;
    return std::make_shared<MessageComposeViewController>(Token{});
}

MessageComposeViewController::MessageComposeViewController(Token)
    : ComposeViewController("New Message") {}

void MessageComposeViewController::setRecipients(std::vector<std::string> recipients) {
    recipients_ = std::move(recipients);
    refresh();
}

void MessageComposeViewController::setBody(std::string body) {
    body_ = std::move(body);
    refresh();
}

void MessageComposeViewController::setSubject(std::string subject) {
    subject_ = std::move(subject);
    refresh();
}

void MessageComposeViewController::finish(MessageComposeResult result) {
    if (std::exchange(ended_, true)) return;
    if (const auto delegate = delegate_.lock()) {
        delegate->messageComposeViewController(*this, result);
        return;
    }
    MessageComposeViewControllerDelegate().messageComposeViewController(*this, result);
}

std::string MessageComposeViewController::summary() const {
    std::string text = line("To", recipients_);
    if (!subject_.empty()) text.append("\n").append(line("Subject", {subject_}));
    return text + "\n\n" + body_;
}

}  // namespace store
