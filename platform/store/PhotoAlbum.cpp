#include "store/PhotoAlbum.h"

#include <fcntl.h>
#include <glib.h>
#include <pwd.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <span>

#include "core/FileManager.h"
#include "core/Queue.h"

namespace store {

namespace {

constexpr std::string_view kPrefix = "IMG_";
constexpr std::string_view kExtension = ".jpg";

const std::shared_ptr<core::Queue>& albumQueue() {
    static const auto queue = core::Queue::serial("store.album");
    return queue;
}

// The number of an "IMG_<digits>.jpg" name, or none.
std::optional<long> imageNumber(const std::string& name) {
    if (name.size() <= kPrefix.size() + kExtension.size() || !name.starts_with(kPrefix) ||
        !name.ends_with(kExtension))
        return std::nullopt;
    const std::string digits =
        name.substr(kPrefix.size(), name.size() - kPrefix.size() - kExtension.size());
    if (digits.size() > 9 ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    return std::stol(digits);
}

std::vector<std::string> imageNames(const std::string& folder) {
    auto names = core::FileManager::contentsOfDirectory(folder);
    if (!names) return {};
    std::vector<std::string> images;
    for (const auto& name : names.value())
        if (imageNumber(name)) images.push_back(name);
    return images;
}

std::mutex& overrideMutex() {
    static std::mutex mutex;
    return mutex;
}

std::string& folderOverride() {
    static std::string folder;
    return folder;
}

std::string currentOverride() {
    const std::lock_guard lock(overrideMutex());
    return folderOverride();
}

std::string userHome() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_dir) return entry->pw_dir;
    return "/";
}

AlbumError writeFailure(const std::string& what, const std::string& path, int error) {
    return {AlbumError::Code::WriteFailed, what + " '" + path + "': " + std::strerror(error)};
}

// Writes the bytes to a new hidden file in the folder, flushed to disk.
std::optional<AlbumError> writeTemporary(const std::string& folder,
                                         std::span<const std::uint8_t> bytes,
                                         mode_t mode, std::string& path) {
    static std::atomic<unsigned> counter{0};
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        path = folder + "/.IMG-" + std::to_string(::getpid()) + "-" +
               std::to_string(counter++) + ".tmp";
        fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) return writeFailure("cannot create", path, errno);
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t wrote = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) {
            const int error = wrote < 0 ? errno : EIO;
            ::close(fd);
            ::unlink(path.c_str());
            return writeFailure("cannot write", path, error);
        }
        done += static_cast<size_t>(wrote);
    }
    if (::fsync(fd) != 0 || ::close(fd) != 0) {
        const int error = errno;
        ::unlink(path.c_str());
        return writeFailure("cannot write", path, error);
    }
    return std::nullopt;
}

std::string nextName(const std::string& folder) {
    long last = 0;
    for (const auto& name : imageNames(folder)) last = std::max(last, *imageNumber(name));
    char name[32];
    std::snprintf(name, sizeof name, "IMG_%04ld.jpg", last + 1);
    return name;
}

}  // namespace

PhotoAlbum& PhotoAlbum::shared() {
    static PhotoAlbum album;
    return album;
}

std::string PhotoAlbum::folderPath() {
    std::string folder = currentOverride();
    return folder.empty() ? core::FileManager::folderPath(core::Folder::Album) : folder;
}

void PhotoAlbum::setFolderOverride(std::string folder) {
    const std::lock_guard lock(overrideMutex());
    folderOverride() = std::move(folder);
}

std::string PhotoAlbum::desktopPicturesFolder() {
    // GLib answers the folder the desktop's user-dirs settings name, or
    // nothing when none is set.
    const char* pictures = g_get_user_special_dir(G_USER_DIRECTORY_PICTURES);
    const std::filesystem::path base =
        pictures && *pictures ? std::filesystem::path(pictures)
                              : std::filesystem::path(userHome()) / "Pictures";
    return (base / "Vantor").string();
}

std::vector<std::string> PhotoAlbum::imagePaths() {
    const std::string folder = folderPath();
    std::vector<std::string> paths;
    for (const auto& name : imageNames(folder)) paths.push_back(folder + "/" + name);
    std::sort(paths.begin(), paths.end());
    return paths;
}

void PhotoAlbum::setRefusalForTesting(std::optional<AlbumError> refusal) {
    const std::lock_guard lock(mutex_);
    refusal_ = std::move(refusal);
}

void PhotoAlbum::writeImage(gfx::ImagePtr image, Completion completion) {
    std::optional<AlbumError> refusal;
    {
        const std::lock_guard lock(mutex_);
        refusal = refusal_;
    }
    albumQueue()->async([image = std::move(image), completion = std::move(completion), refusal] {
        std::optional<AlbumError> error = refusal;
        if (!error) {
            error = image
                        ? store(*image)
                        : AlbumError{AlbumError::Code::InvalidImage, "There is no image to save."};
        }
        if (completion) core::Queue::main()->async([completion, error] { completion(error); });
    });
}

std::optional<AlbumError> PhotoAlbum::store(const gfx::Image& image) {
    const auto bytes = image.encodeJpeg(kJpegQuality);
    if (bytes.empty())
        return AlbumError{AlbumError::Code::InvalidImage, "The image could not be encoded."};
    const std::string override = currentOverride();
    std::string folder = override;
    if (override.empty()) {
        const auto made = core::FileManager::createFolder(core::Folder::Album);
        if (!made) return AlbumError{AlbumError::Code::WriteFailed, made.error()};
        folder = made.value();
    } else if (const auto made =
                   core::FileManager::createDirectory(folder, true, core::Visibility::everyone);
               !made) {
        return AlbumError{AlbumError::Code::WriteFailed, made.error()};
    }
    std::string temporary;
    if (auto failed = writeTemporary(folder, bytes, override.empty() ? 0600 : 0644, temporary))
        return failed;
    auto published = publish(folder, temporary);
    ::unlink(temporary.c_str());
    return published;
}

std::optional<AlbumError> PhotoAlbum::publish(const std::string& folder,
                                              const std::string& temporary) {
    // A name taken between the scan and the link is skipped: the next scan
    // sees it.
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const std::string path = folder + "/" + nextName(folder);
        if (::link(temporary.c_str(), path.c_str()) == 0) return std::nullopt;
        if (errno == EEXIST) continue;
        // File systems without hard links may still rename without replacing.
        if (::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE) ==
            0)
            return std::nullopt;
        if (errno == EEXIST) continue;
        return writeFailure("cannot save as", path, errno);
    }
    return AlbumError{AlbumError::Code::WriteFailed, "no free name in '" + folder + "'"};
}

}  // namespace store
