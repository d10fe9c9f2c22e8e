#include "store/DesktopMailClient.h"

#include <pthread.h>
#include <spawn.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>
#include <set>
#include <system_error>
#include <thread>
#include <utility>
#include <variant>

#include "core/Console.h"
#include "core/FileManager.h"
#include "core/Queue.h"

extern char** environ;

namespace store {

namespace {

namespace fs = std::filesystem;

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

void removeFolder(const std::string& folder) {
    if (auto removed = core::FileManager::removeItem(folder);
        !removed && removed.errorNumber() != ENOENT)
        core::Console::log("mail client: " + removed.error());
}

// The attachment folders handed to a client, each until every file in it
// has been read through once (closed after a read), then removed. One
// inotify descriptor for them all, read by a thread that lives as long as
// the process.
class ReadWatch {
public:
    static ReadWatch& shared() {
        static auto* watch = new ReadWatch;
        return *watch;
    }

    // Watches the folder's files; false when reads cannot be watched.
    bool watch(const std::string& folder, const std::vector<std::string>& names) {
        const std::lock_guard lock(mutex_);
        if (!startLocked()) return false;
        const int wd = ::inotify_add_watch(fd_, folder.c_str(), IN_CLOSE_NOWRITE | IN_ONLYDIR);
        if (wd < 0) {
            core::Console::log("mail client: reads of " + folder +
                               " cannot be watched: " + std::strerror(errno));
            return false;
        }
        folders_[wd] = {folder, std::set<std::string>(names.begin(), names.end())};
        return true;
    }

    // Stops watching the folder (its mail went nowhere).
    void forget(const std::string& folder) {
        const std::lock_guard lock(mutex_);
        for (auto it = folders_.begin(); it != folders_.end(); ++it) {
            if (it->second.path != folder) continue;
            ::inotify_rm_watch(fd_, it->first);
            folders_.erase(it);
            return;
        }
    }

    size_t count() {
        const std::lock_guard lock(mutex_);
        return folders_.size();
    }

private:
    struct Folder {
        std::string path;
        std::set<std::string> unread;
    };

    bool startLocked() {
        if (fd_ >= 0) return true;
        fd_ = ::inotify_init1(IN_CLOEXEC);
        if (fd_ < 0) {
            core::Console::log(std::string("mail client: reads cannot be watched: ") +
                               std::strerror(errno));
            return false;
        }
        std::thread([this] {
            ::pthread_setname_np(::pthread_self(), "mail-reads");
            run();
        }).detach();
        return true;
    }

    void run() {
        alignas(inotify_event) char buffer[16 * 1024];
        for (;;) {
            const ssize_t length = ::read(fd_, buffer, sizeof buffer);
            if (length < 0) {
                if (errno == EINTR) continue;
                core::Console::log(std::string("mail client: the watch of reads ended: ") +
                                   std::strerror(errno));
                return;
            }
            std::vector<std::string> read;
            {
                const std::lock_guard lock(mutex_);
                for (ssize_t at = 0; at < length;) {
                    const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                    at += ssize_t(sizeof(inotify_event) + event->len);
                    const auto found = folders_.find(event->wd);
                    if (found == folders_.end()) continue;
                    if (event->mask & IN_IGNORED) {  // the folder itself went
                        folders_.erase(found);
                        continue;
                    }
                    if (!(event->mask & IN_CLOSE_NOWRITE) || event->len == 0) continue;
                    found->second.unread.erase(event->name);
                    if (!found->second.unread.empty()) continue;
                    read.push_back(std::move(found->second.path));
                    ::inotify_rm_watch(fd_, found->first);
                    folders_.erase(found);
                }
            }
            for (const std::string& folder : read) removeFolder(folder);
        }
    }

    std::mutex mutex_;
    int fd_ = -1;
    std::map<int, Folder> folders_;
};

// Attachment folders a day old: their mail was never read by a client
// while a process of ours watched, and no client is waiting for them.
void removeStaleFolders(const std::string& parent) {
    std::error_code error;
    const auto now = fs::file_time_type::clock::now();
    const auto stale = std::chrono::duration_cast<fs::file_time_type::duration>(
        std::chrono::duration<double>(DesktopMailClient::kStaleFolderSeconds));
    for (fs::directory_iterator it(parent, error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (name.rfind(DesktopMailClient::kFolderPrefix, 0) != 0) continue;
        std::error_code ignored;
        if (!it->is_directory(ignored) || it->is_symlink(ignored)) continue;
        const auto changed = fs::last_write_time(it->path(), ignored);
        if (ignored || now - changed < stale) continue;
        ReadWatch::shared().forget(it->path().string());
        removeFolder(it->path().string());
    }
}

std::string safeFileName(const std::string& name) {
    std::string base = fs::path(name).filename().string();
    if (base.find_first_not_of('.') == std::string::npos) return "attachment";
    return base;
}

// The attachments written to a new folder: the folder and their paths, or
// the reason they could not be written (the folder then gone).
struct Written {
    std::string folder;
    std::vector<std::string> paths;
    std::vector<std::string> names;
};
std::variant<Written, std::string> writeAttachments(const std::vector<MailAttachment>& files) {
    const std::string parent = DesktopMailClient::attachmentsParent();
    if (auto made = core::FileManager::createDirectory(parent, true); !made)
        return "the attachments cannot be written: " + made.error();
    removeStaleFolders(parent);
    Written written;
    written.folder = parent + "/" + DesktopMailClient::kFolderPrefix + "XXXXXX";
    if (!::mkdtemp(written.folder.data()))
        return "the attachments cannot be written: " + std::string(std::strerror(errno));
    for (const MailAttachment& attachment : files) {
        // Two attachments of one name are kept apart by a number.
        const std::string base = safeFileName(attachment.fileName);
        std::string name = base;
        for (int n = 2; core::FileManager::fileExists(written.folder + "/" + name); ++n)
            name = std::to_string(n) + "-" + base;
        const std::string path = written.folder + "/" + name;
        if (auto stored = core::FileManager::writeAtomically(path, attachment.data); !stored) {
            removeFolder(written.folder);
            return "the attachment cannot be written: " + stored.error();
        }
        written.paths.push_back(path);
        written.names.push_back(name);
    }
    return written;
}

}  // namespace

std::vector<std::string> DesktopMailClient::arguments(const DesktopMail& mail,
                                                      const std::vector<std::string>& paths) {
    std::vector<std::string> arguments{"xdg-email", "--utf8"};
    const auto add = [&](const char* option, const std::string& value) {
        if (value.empty()) return;
        arguments.emplace_back(option);
        arguments.push_back(value);
    };
    for (const auto& to : mail.to) add("--to", to);
    for (const auto& cc : mail.cc) add("--cc", cc);
    for (const auto& bcc : mail.bcc) add("--bcc", bcc);
    add("--subject", mail.subject);
    add("--body", mail.body);
    for (const auto& path : paths) add("--attach", path);
    return arguments;
}

std::string DesktopMailClient::attachmentsParent() {
    return core::FileManager::folderPath(core::Folder::Temporary);
}

size_t DesktopMailClient::watchedFolderCount() {
    return ReadWatch::shared().count();
}

void DesktopMailClient::send(DesktopMail mail, Completion done) {
    core::Queue::global()->async([mail = std::move(mail), done = std::move(done)] {
        const auto finish = [&done](std::optional<std::string> problem) {
            core::Queue::main()->async([done, problem = std::move(problem)] { done(problem); });
        };
        Written written;
        if (!mail.attachments.empty()) {
            auto result = writeAttachments(mail.attachments);
            if (auto* problem = std::get_if<std::string>(&result)) return finish(*problem);
            written = std::move(std::get<Written>(result));
            // Watched before the client starts, which may read at once. A
            // folder that cannot be watched waits to be a day old.
            (void)ReadWatch::shared().watch(written.folder, written.names);
        }
        auto problem = runAndWait(arguments(mail, written.paths));
        if (problem && !written.folder.empty()) {
            ReadWatch::shared().forget(written.folder);
            removeFolder(written.folder);
        }
        finish(std::move(problem));
    });
}

}  // namespace store
