#include "core/FileManager.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace core {

namespace {

mode_t fileMode(Visibility visibility) {
    return visibility == Visibility::everyone ? 0644 : 0600;
}

mode_t folderMode(Visibility visibility) {
    return visibility == Visibility::everyone ? 0755 : 0700;
}

std::string errorText(int number) {
    char buffer[256];
    // GNU strerror_r: answers a pointer that may or may not be buffer.
    return strerror_r(number, buffer, sizeof buffer);
}

FileResult<> failure(std::string_view what, const std::string& path, int number) {
    return FileResult<>::failure(std::string(what) + " '" + path + "': " + errorText(number),
                                 number);
}

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string userHome() {
    std::string home = environment("HOME");
    if (!home.empty()) return home;
    passwd entry{};
    passwd* found = nullptr;
    char buffer[4096];
    if (getpwuid_r(getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found) {
        return found->pw_dir;
    }
    return "/tmp";
}

std::string parentFolder(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

FileResult<> writeAll(int fd, std::string_view bytes, const std::string& path) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            return failure("cannot write", path, errno);
        }
        bytes.remove_prefix(static_cast<size_t>(written));
    }
    return {};
}

FileResult<> syncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return failure("cannot open folder", folder, errno);
    // Some file systems cannot sync a folder; the rename has happened either way.
    const bool synced = ::fsync(fd) == 0 || errno == EINVAL;
    const int number = errno;
    ::close(fd);
    if (!synced) return failure("cannot flush folder", folder, number);
    return {};
}

// ".<name>.tmp-": the temporary files for path are "<prefix><pid>-<tid>-<count>".
std::string temporaryPrefix(const std::string& path) {
    // Appended piece by piece: GCC 12 at -O3 reports a false -Wrestrict on
    // the chained operator+ of a literal and a substring.
    const std::string_view name = std::string_view(path).substr(path.find_last_of('/') + 1);
    std::string prefix;
    prefix.reserve(name.size() + 6);
    prefix += '.';
    prefix += name;
    prefix += ".tmp-";
    return prefix;
}

// Opens a new temporary file beside path; answers its name through tempPath.
int openTemporaryBeside(const std::string& path, std::string& tempPath, mode_t mode) {
    static std::atomic<unsigned> counter{0};
    const std::string stem = parentFolder(path) + "/" + temporaryPrefix(path);
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempPath = stem + std::to_string(getpid()) + "-" + std::to_string(gettid()) + "-" +
                   std::to_string(counter++);
        const int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
}

// The start time of a running process, in clock ticks after boot (the 22nd
// field of /proc/<pid>/stat); 0 when no such process runs.
unsigned long long processStartTime(pid_t pid) {
    const int fd = ::open(("/proc/" + std::to_string(pid) + "/stat").c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    char buffer[1024];
    const ssize_t size = ::read(fd, buffer, sizeof buffer - 1);
    ::close(fd);
    if (size <= 0) return 0;
    buffer[size] = '\0';
    // The name in parentheses may hold spaces and parentheses itself.
    const char* field = std::strrchr(buffer, ')');
    if (!field) return 0;
    for (int number = 2; number < 22 && field; ++number) field = std::strchr(field + 1, ' ');
    return field ? std::strtoull(field + 1, nullptr, 10) : 0;
}

// Whether a name is one createProcessFolder gives, "<pid>.<start time>-XXXXXX"
// (prefix removed): nothing else of the prefix is ever removed.
bool isProcessFolderName(std::string_view name) {
    const size_t dot = name.find('.');
    const size_t dash = name.find('-');
    if (dot == std::string_view::npos || dash == std::string_view::npos || dot == 0 ||
        dash < dot + 2 || name.size() != dash + 7)
        return false;
    const auto digits = [](std::string_view text) {
        return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    return digits(name.substr(0, dot)) && digits(name.substr(dot + 1, dash - dot - 1));
}

// The file in a process folder whose lock its process holds while it runs.
constexpr const char* kProcessFolderLock = "/.lock";

// Takes the lock of a process folder: a descriptor holding it, or -1 when
// its process (or a child it forked) still holds it, or the folder has no
// lock file (one being made, or not one of ours to judge).
int takeProcessFolderLock(const std::string& folder) {
    const int fd = ::open((folder + kProcessFolderLock).c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return -1;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return fd;
    ::close(fd);
    return -1;
}

// Puts a lock file in a new folder and holds its lock for the rest of the
// process's life (the descriptor stays open on purpose). The file gets its
// name once locked, so no other process can find it unlocked meanwhile.
bool lockNewProcessFolder(const std::string& folder) {
    const std::string making = folder + "/.lock-making";
    const int fd = ::open(making.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return false;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 ||
        ::rename(making.c_str(), (folder + kProcessFolderLock).c_str()) != 0) {
        ::close(fd);
        return false;
    }
    return true;
}

}  // namespace

std::string FileManager::runtimeDirectory() {
    const std::string runtime = environment("XDG_RUNTIME_DIR");
    if (!runtime.empty() && runtime.front() == '/' && isDirectory(runtime)) return runtime;
    std::error_code ignored;
    std::string temporary = std::filesystem::temp_directory_path(ignored).string();
    return temporary.empty() ? "/tmp" : temporary;
}

FileResult<std::string> FileManager::createProcessFolder(const std::string& parent,
                                                         std::string_view prefix) {
    using Result = FileResult<std::string>;
    if (const auto names = contentsOfDirectory(parent)) {
        for (const auto& name : names.value()) {
            if (!name.starts_with(prefix) ||
                !isProcessFolderName(std::string_view(name).substr(prefix.size())))
                continue;
            const std::string path = parent + "/" + name;
            struct stat info {};
            if (::lstat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) ||
                info.st_uid != ::geteuid())
                continue;
            // Removed while its lock is held, so that no two starts race for it.
            if (const int lock = takeProcessFolderLock(path); lock >= 0) {
                (void)removeItem(path);
                ::close(lock);
            }
        }
    }
    const pid_t self = ::getpid();
    std::string pattern = parent + "/" + std::string(prefix) + std::to_string(self) + "." +
                          std::to_string(processStartTime(self)) + "-XXXXXX";
    if (!::mkdtemp(pattern.data()))
        return Result::failure(failure("cannot create a folder in", parent, errno));
    if (!lockNewProcessFolder(pattern)) {
        const int error = errno;
        (void)removeItem(pattern);
        return Result::failure(failure("cannot lock the folder", pattern, error));
    }
    return pattern;
}

std::string FileManager::homeDirectory() {
    std::string home = environment("VANTOR_HOME");
    if (!home.empty()) return home;
    const std::string data = environment("XDG_DATA_HOME");
    // Relative values are invalid by the XDG rules and ignored.
    if (!data.empty() && data.front() == '/') return data + "/vantor";
    return userHome() + "/.local/share/vantor";
}

std::string FileManager::folderPath(Folder folder) {
    const char* relative = "";
    switch (folder) {
    case Folder::Documents:
        relative = "Documents";
        break;
    case Folder::Caches:
        relative = "Library/Caches";
        break;
    case Folder::Preferences:
        relative = "Library/Preferences";
        break;
    case Folder::Temporary:
        relative = "tmp";
        break;
    case Folder::Album:
        relative = "Album";
        break;
    }
    return homeDirectory() + "/" + relative;
}

FileResult<std::string> FileManager::createFolder(Folder folder) {
    std::string path = folderPath(folder);
    const auto created = createDirectory(path, true);
    if (!created) return FileResult<std::string>::failure(created);
    return path;
}

FileResult<> FileManager::createDirectory(const std::string& path, bool withIntermediates,
                                          Visibility visibility) {
    if (path.empty()) return failure("cannot create folder", path, ENOENT);
    if (withIntermediates) {
        const std::string parent = parentFolder(path);
        if (parent != path && parent != "/" && parent != "." && !isDirectory(parent)) {
            const auto made = createDirectory(parent, true, visibility);
            if (!made) return made;
        }
    }
    if (::mkdir(path.c_str(), folderMode(visibility)) == 0) return {};
    const int number = errno;
    if (number == EEXIST) {
        if (isDirectory(path)) return {};
        return FileResult<>::failure("cannot create folder '" + path + "': a file is in the way",
                                     EEXIST);
    }
    return failure("cannot create folder", path, number);
}

FileResult<> FileManager::removeItem(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) return failure("cannot remove", path, errno);
    if (!S_ISDIR(info.st_mode)) {
        if (::unlink(path.c_str()) != 0) return failure("cannot remove", path, errno);
        return {};
    }
    std::error_code error;
    std::filesystem::remove_all(path, error);
    if (error) return failure("cannot remove", path, error.value());
    return {};
}

FileResult<> FileManager::moveItem(const std::string& from, const std::string& to) {
    if (::rename(from.c_str(), to.c_str()) == 0) return {};
    const int number = errno;
    return FileResult<>::failure("cannot move '" + from + "' to '" + to + "': " + errorText(number),
                                 number);
}

bool FileManager::fileExists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

FileResult<std::string> FileManager::resolvedPath(const std::string& path) {
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (!resolved) return FileResult<std::string>::failure(failure("cannot resolve", path, errno));
    std::string result(resolved);
    std::free(resolved);
    return result;
}

bool FileManager::isDirectory(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

FileResult<> FileManager::writeAtomically(const std::string& path, std::string_view bytes,
                                          Visibility visibility) {
    if (path.empty() || path.back() == '/') return failure("cannot write", path, EISDIR);
    std::string tempPath;
    const int fd = openTemporaryBeside(path, tempPath, fileMode(visibility));
    if (fd < 0) return failure("cannot create a temporary file for", path, errno);

    auto result = writeAll(fd, bytes, tempPath);
    if (result && ::fsync(fd) != 0) result = failure("cannot flush", tempPath, errno);
    if (::close(fd) != 0 && result) result = failure("cannot close", tempPath, errno);
    if (result && ::rename(tempPath.c_str(), path.c_str()) != 0) {
        result = failure("cannot replace", path, errno);
    }
    if (!result) {
        ::unlink(tempPath.c_str());
        return result;
    }
    return syncFolder(parentFolder(path));
}

FileResult<> FileManager::writeAtomically(const std::string& path,
                                          std::span<const std::uint8_t> bytes,
                                          Visibility visibility) {
    return writeAtomically(
        path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()),
        visibility);
}

size_t FileManager::removeAbandonedTemporaryFiles(const std::string& path) {
    const std::string folder = parentFolder(path);
    const std::string prefix = temporaryPrefix(path);
    const auto names = contentsOfDirectory(folder);
    if (!names) return 0;
    size_t removed = 0;
    for (const auto& name : names.value()) {
        if (!name.starts_with(prefix)) continue;
        const pid_t writer = static_cast<pid_t>(std::atol(name.c_str() + prefix.size()));
        const bool writerGone = writer > 0 && ::kill(writer, 0) != 0 && errno == ESRCH;
        if (writerGone && ::unlink((folder + "/" + name).c_str()) == 0) ++removed;
    }
    return removed;
}

FileResult<> FileManager::createExclusively(const std::string& path, std::string_view bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                          fileMode(Visibility::ownerOnly));
    if (fd < 0) return failure("cannot create", path, errno);
    auto result = writeAll(fd, bytes, path);
    if (::close(fd) != 0 && result) result = failure("cannot close", path, errno);
    if (!result) ::unlink(path.c_str());
    return result;
}

FileResult<std::string> FileManager::readFile(const std::string& path) {
    using Result = FileResult<std::string>;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return Result::failure(failure("cannot read", path, errno));
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
        ::close(fd);
        return Result::failure(failure("cannot read", path, EISDIR));
    }
    std::string contents;
    if (info.st_size > 0) contents.reserve(static_cast<size_t>(info.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count == 0) break;
        if (count < 0) {
            if (errno == EINTR) continue;
            const int number = errno;
            ::close(fd);
            return Result::failure(failure("cannot read", path, number));
        }
        contents.append(buffer, static_cast<size_t>(count));
    }
    ::close(fd);
    return contents;
}

FileResult<std::uint64_t> FileManager::fileSize(const std::string& path) {
    using Result = FileResult<std::uint64_t>;
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return Result::failure(failure("cannot read the size of", path, errno));
    }
    if (S_ISDIR(info.st_mode))
        return Result::failure(failure("cannot read the size of", path, EISDIR));
    return static_cast<std::uint64_t>(info.st_size);
}

FileResult<std::int64_t> FileManager::creationTime(const std::string& path) {
    using Result = FileResult<std::int64_t>;
    struct statx info {};
    if (::statx(AT_FDCWD, path.c_str(), 0, STATX_BTIME | STATX_MTIME, &info) != 0) {
        return Result::failure(failure("cannot read the creation time of", path, errno));
    }
    if (info.stx_mask & STATX_BTIME) return static_cast<std::int64_t>(info.stx_btime.tv_sec);
    return static_cast<std::int64_t>(info.stx_mtime.tv_sec);
}

FileResult<std::vector<std::string>> FileManager::contentsOfDirectory(const std::string& path) {
    using Result = FileResult<std::vector<std::string>>;
    DIR* folder = ::opendir(path.c_str());
    if (!folder) return Result::failure(failure("cannot list", path, errno));
    std::vector<std::string> names;
    errno = 0;
    while (const dirent* entry = ::readdir(folder)) {
        const std::string_view name = entry->d_name;
        if (name != "." && name != "..") names.emplace_back(name);
        errno = 0;
    }
    const int number = errno;
    ::closedir(folder);
    if (number != 0) return Result::failure(failure("cannot list", path, number));
    std::sort(names.begin(), names.end());
    return names;
}

FileResult<VolumeSpace> FileManager::volumeSpace(const std::string& path) {
    struct statvfs info {};
    if (::statvfs(path.c_str(), &info) != 0) {
        return FileResult<VolumeSpace>::failure(failure("cannot read the volume of", path, errno));
    }
    return VolumeSpace{static_cast<std::uint64_t>(info.f_bavail) * info.f_frsize,
                       static_cast<std::uint64_t>(info.f_blocks) * info.f_frsize};
}

}  // namespace core
