#include "core/FileHandle.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

namespace core {

namespace {

template <typename T = std::monostate>
FileResult<T> failure(std::string_view what, const std::string& path, int number) {
    char buffer[256];
    const char* reason = strerror_r(number, buffer, sizeof buffer);
    return FileResult<T>::failure(std::string(what) + " '" + path + "': " + reason, number);
}

}  // namespace

FileResult<FileHandle> FileHandle::open(const std::string& path, int flags) {
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC);
    if (fd < 0) return failure<FileHandle>("cannot open", path, errno);
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
        ::close(fd);
        return failure<FileHandle>("cannot open", path, EISDIR);
    }
    return FileHandle(fd, path);
}

FileResult<FileHandle> FileHandle::openForReading(const std::string& path) {
    return open(path, O_RDONLY);
}

FileResult<FileHandle> FileHandle::openForReadingWithoutFollowingLinks(const std::string& path) {
    return open(path, O_RDONLY | O_NOFOLLOW);
}

FileResult<FileHandle> FileHandle::openForWriting(const std::string& path) {
    return open(path, O_WRONLY);
}

FileHandle::FileHandle(FileHandle&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), path_(std::move(other.path_)) {}

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
        path_ = std::move(other.path_);
    }
    return *this;
}

FileHandle::~FileHandle() {
    if (fd_ >= 0) ::close(fd_);
}

FileResult<std::uint64_t> FileHandle::seekToEnd() {
    const off_t end = ::lseek(fd_, 0, SEEK_END);
    if (end < 0) return failure<std::uint64_t>("cannot seek in", path_, errno);
    return static_cast<std::uint64_t>(end);
}

FileResult<> FileHandle::seek(std::uint64_t offset) {
    if (offset > static_cast<std::uint64_t>(INT64_MAX))
        return failure("cannot seek in", path_, EINVAL);
    if (::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) < 0) {
        return failure("cannot seek in", path_, errno);
    }
    return {};
}

FileResult<> FileHandle::write(std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd_, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            return failure("cannot write", path_, errno);
        }
        bytes = bytes.subspan(static_cast<size_t>(written));
    }
    return {};
}

FileResult<Data> FileHandle::read(std::uint64_t maxLength) {
    struct stat info {};
    const off_t offset = ::lseek(fd_, 0, SEEK_CUR);
    if (offset < 0 || ::fstat(fd_, &info) != 0) return failure<Data>("cannot read", path_, errno);
    const auto held = static_cast<std::uint64_t>(std::max<off_t>(info.st_size - offset, 0));
    Data bytes(static_cast<size_t>(std::min(maxLength, held)));
    size_t filled = 0;
    while (filled < bytes.size()) {
        const ssize_t count = ::read(fd_, bytes.data() + filled, bytes.size() - filled);
        if (count == 0) break;
        if (count < 0) {
            if (errno == EINTR) continue;
            return failure<Data>("cannot read", path_, errno);
        }
        filled += static_cast<size_t>(count);
    }
    bytes.resize(filled);
    return bytes;
}

}  // namespace core
