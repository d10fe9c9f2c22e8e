#include "store/MailComposeViewController.h"

#include <spawn.h>
#include <sys/wait.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <utility>

#include "core/Console.h"
#include "core/FileManager.h"
#include "core/Queue.h"

extern char** environ;

namespace store {

namespace {
std::atomic<bool> gCanSendMail{false};
std::atomic<bool> gHandsToDesktop{false};

std::string safeFileName(const std::string& name) {
    std::string base = std::filesystem::path(name).filename().string();
    if (base.find_first_not_of('.') == std::string::npos) return "attachment";
    return base;
}

// Runs the program found on PATH with the arguments and waits for it: its
// exit status, or the reason it could not run.
std::optional<std::string> runAndWait(const std::vector<std::string>& command) {
    std::vector<char*> argv;
    std::vector<std::string> copy = command;
    for (std::string& argument : copy) argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t child = 0;
    const int spawned = ::posix_spawnp(&child, argv[0], nullptr, nullptr, argv.data(), environ);
    if (spawned != 0)
        return command[0] + " cannot be started: " + std::string(std::strerror(spawned));
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) return command[0] + " was lost: " + std::string(std::strerror(errno));
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return std::nullopt;
    if (WIFEXITED(status))
        return command[0] + " did not take the mail (exit status " +
               std::to_string(WEXITSTATUS(status)) + ")";
    return command[0] + " ended by signal " + std::to_string(WTERMSIG(status));
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
    // Every value follows its option, so none is read as an option itself.
    std::vector<std::string> arguments{"xdg-email", "--utf8"};
    const auto add = [&](const char* option, const std::string& value) {
        if (value.empty()) return;
        arguments.emplace_back(option);
        arguments.push_back(value);
    };
    for (const auto& to : to_) add("--to", to);
    for (const auto& cc : cc_) add("--cc", cc);
    for (const auto& bcc : bcc_) add("--bcc", bcc);
    add("--subject", subject_);
    add("--body", body_);
    for (const auto& path : paths) add("--attach", path);
    return arguments;
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
    const auto failed = [this](const std::string& reason) {
        core::Console::log("mail composer: " + reason);
        finish(MailComposeResult::Failed, StoreError{StoreError::Unknown, reason});
    };
    std::vector<std::string> paths;
    if (!attachments_.empty()) {
        const auto temporary = core::FileManager::createFolder(core::Folder::Temporary);
        if (!temporary) return failed("the attachments cannot be written: " + temporary.error());
        std::string folder = temporary.value() + "/mail-XXXXXX";
        if (!::mkdtemp(folder.data()))
            return failed("the attachments cannot be written: " +
                          std::string(std::strerror(errno)));
        for (const MailAttachment& attachment : attachments_) {
            // Two attachments of one name are kept apart by a number.
            std::string name = attachment.fileName;
            for (int n = 2; core::FileManager::fileExists(folder + "/" + name); ++n)
                name = std::to_string(n) + "-" + attachment.fileName;
            const std::string path = folder + "/" + name;
            if (auto written = core::FileManager::writeAtomically(path, attachment.data); !written)
                return failed("the attachment cannot be written: " + written.error());
            paths.push_back(path);
        }
    }
    handedOver_ = true;
    const auto self =
        std::static_pointer_cast<MailComposeViewController>(shared_from_this());
    core::Queue::global()->async([self, command = mailClientArguments(paths)] {
        auto problem = runAndWait(command);
        core::Queue::main()->async([self, problem = std::move(problem)] {
            if (!problem) {
                self->report(MailComposeResult::Sent, std::nullopt);
                return;
            }
            core::Console::log("mail composer: " + *problem);
            self->report(MailComposeResult::Failed, StoreError{StoreError::Unknown, *problem});
        });
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
