#pragma once
// An open file read or written piece by piece: a download appends each
// chunk as it arrives while readers take byte ranges of the same file. The
// file is closed when the handle goes. Failures come back as FileResult
// naming the path and the system's reason.
//
// A handle is used by one thread at a time; separate handles on one file
// may be used from any threads.

#include <cstdint>
#include <span>
#include <string>

#include "core/FileResult.h"
#include "core/Value.h"

namespace core {

class FileHandle {
public:
    // An existing file, positioned at its start. Writing never creates or
    // truncates the file.
    static FileResult<FileHandle> openForReading(const std::string& path);
    // As openForReading, but a path whose last component is a symbolic link
    // fails (ELOOP) instead of opening what the link points to: for files
    // whose path was checked before and may have been replaced since.
    static FileResult<FileHandle> openForReadingWithoutFollowingLinks(const std::string& path);
    static FileResult<FileHandle> openForWriting(const std::string& path);

    FileHandle(FileHandle&& other) noexcept;
    FileHandle& operator=(FileHandle&& other) noexcept;
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    ~FileHandle();

    // Answers the new offset, the file's size.
    FileResult<std::uint64_t> seekToEnd();
    FileResult<> seek(std::uint64_t offset);
    FileResult<> write(std::span<const std::uint8_t> bytes);
    // Up to maxLength bytes from the current offset, fewer at the end of the
    // file; never allocates more than the file holds past the offset, so a
    // huge maxLength is harmless.
    FileResult<Data> read(std::uint64_t maxLength);

private:
    FileHandle(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
    static FileResult<FileHandle> open(const std::string& path, int flags);

    int fd_ = -1;
    std::string path_;
};

}  // namespace core
