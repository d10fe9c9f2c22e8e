#pragma once
// The desktop's mail client, reached through xdg-email (found on PATH, run
// without a shell): a mail's recipients, subject and body go as arguments,
// its attachments as files in a folder of their own, "mail-XXXXXX" in the
// home's temporary folder, for the client to read when it pleases (some
// read them only as the mail leaves).
//
// Such a folder goes once every file in it has been read after the
// hand-over: the client has them then. A folder whose mail never reached a
// client (a file could not be written, xdg-email could not run or refused
// the mail) goes at once. One that no client read while this process ran
// (the person closed the client's window unsent, or the app ended first) is
// removed by a later hand-over once it is kStaleFolderSeconds old. Reads are
// watched with inotify on one thread of the store's own.
//
// Any thread; the completion runs on the main thread.

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace store {

struct MailAttachment {
    std::string data;
    std::string mimeType;
    std::string fileName;
};

struct DesktopMail {
    std::vector<std::string> to;
    std::vector<std::string> cc;
    std::vector<std::string> bcc;
    std::string subject;
    std::string body;
    std::vector<MailAttachment> attachments;
};

class DesktopMailClient {
public:
    // nullopt when the client took the mail, else the reason it did not.
    using Completion = std::function<void(const std::optional<std::string>& problem)>;

    static constexpr double kStaleFolderSeconds = 24 * 60 * 60;
    static constexpr const char* kFolderPrefix = "mail-";

    // xdg-email's arguments for the mail, its attachments being at the paths
    // given; empty fields are left out, and every value follows its option,
    // so none is read as an option itself.
    [[nodiscard]] static std::vector<std::string>
    arguments(const DesktopMail& mail, const std::vector<std::string>& attachmentPaths);

    // Writes the attachments, runs xdg-email and waits for it, all off the
    // main thread; then done runs on the main thread.
    static void send(DesktopMail mail, Completion done);

    // Where the attachment folders are made.
    [[nodiscard]] static std::string attachmentsParent();
    // The attachment folders still waiting for their client to read them.
    [[nodiscard]] static size_t watchedFolderCount();
};

}  // namespace store
