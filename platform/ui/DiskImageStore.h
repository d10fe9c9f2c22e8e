#pragma once
// The files of the image disk cache: one file per key in one folder, named
// by the SHA-256 of the key in hex (never the key itself), holding the bytes
// as downloaded. A file's modification time is its last access, on the wall
// time of core::Clock; callers pass that time in.
//
// The store keeps an index of its files (size and access time), read from
// the folder on first use and kept up to date by its own operations, so that
// lookups and eviction touch no file but the ones they change. It assumes no
// one else writes the folder while it lives. Safe from any thread; file work
// happens on the calling thread.

#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "core/Value.h"

namespace ui {

class DiskImageStore {
public:
    explicit DiskImageStore(std::string folder);
    DiskImageStore(const DiskImageStore&) = delete;
    DiskImageStore& operator=(const DiskImageStore&) = delete;

    [[nodiscard]] const std::string& folder() const { return folder_; }
    [[nodiscard]] static std::string fileName(std::string_view key);
    [[nodiscard]] std::string pathFor(std::string_view key) const;

    // Writes the file (creating the folder when needed) with now as its
    // access time. False when it cannot be written.
    [[nodiscard]] bool store(std::string_view key, std::span<const std::uint8_t> bytes, double now);
    // The bytes of an entry accessed at most maxAge seconds before now
    // (maxAge <= 0: any age), which becomes accessed at now.
    [[nodiscard]] std::optional<core::Data> read(std::string_view key, double now, double maxAge);
    [[nodiscard]] bool contains(std::string_view key, double now, double maxAge);
    void remove(std::string_view key);
    // Empties the folder, files of other origin included.
    void removeAll();

    // Reads the folder again and answers the bytes of all entries.
    [[nodiscard]] std::uint64_t totalSize();
    // Removes the entries not accessed within maxAge (> 0) before now;
    // answers how many.
    size_t removeExpired(double now, double maxAge);
    // When the entries take more than maxSize (> 0) bytes, removes the least
    // recently accessed ones until they take at most half of it; answers how
    // many.
    size_t trim(std::uint64_t maxSize);

private:
    struct Entry {
        std::uint64_t size = 0;
        double accessTime = 0;
        // Breaks ties between equal access times: later accesses are larger.
        std::uint64_t order = 0;
    };

    void loadLocked();
    void rescanLocked();
    [[nodiscard]] static bool isExpired(const Entry& entry, double now, double maxAge);
    void setAccessTimeLocked(const std::string& name, Entry& entry, double now);
    void removeLocked(const std::string& name);

    const std::string folder_;
    std::mutex mutex_;
    bool loaded_ = false;
    std::map<std::string, Entry> entries_;  // by file name
    std::uint64_t totalSize_ = 0;
    std::uint64_t nextOrder_ = 0;
};

}  // namespace ui
