#include "ui/DiskImageStore.h"

#include "core/MD5.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <tuple>
#include <vector>

#include "core/FileManager.h"

namespace ui {

namespace {

constexpr size_t kNameLength = 64;

bool isEntryName(const std::string& name) {
    return name.size() == kNameLength && std::all_of(name.begin(), name.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
           });
}

timespec toTimespec(double seconds) {
    const double whole = std::floor(seconds);
    long nanoseconds = long((seconds - whole) * 1e9);
    if (nanoseconds > 999'999'999) nanoseconds = 999'999'999;
    return {time_t(whole), nanoseconds};
}

void setModificationTime(const std::string& path, double seconds) {
    const timespec times[2] = {toTimespec(seconds), toTimespec(seconds)};
    ::utimensat(AT_FDCWD, path.c_str(), times, 0);
}

}  // namespace

DiskImageStore::DiskImageStore(std::string folder) : folder_(std::move(folder)) {}

std::string DiskImageStore::fileName(std::string_view key) { return core::SHA256::hex(key); }

std::string DiskImageStore::pathFor(std::string_view key) const {
    return folder_ + "/" + fileName(key);
}

bool DiskImageStore::store(std::string_view key, std::span<const std::uint8_t> bytes, double now) {
    std::lock_guard lock(mutex_);
    loadLocked();
    if (!core::FileManager::createDirectory(folder_, true)) return false;
    const std::string name = fileName(key);
    const std::string path = folder_ + "/" + name;
    if (!core::FileManager::writeAtomically(path, bytes)) return false;
    Entry& entry = entries_[name];
    totalSize_ = totalSize_ - entry.size + bytes.size();
    entry.size = bytes.size();
    setAccessTimeLocked(name, entry, now);
    return true;
}

std::optional<core::Data> DiskImageStore::read(std::string_view key, double now, double maxAge) {
    std::lock_guard lock(mutex_);
    loadLocked();
    const std::string name = fileName(key);
    const auto found = entries_.find(name);
    if (found == entries_.end() || isExpired(found->second, now, maxAge)) return std::nullopt;
    auto contents = core::FileManager::readFile(folder_ + "/" + name);
    if (!contents) {
        removeLocked(name);
        return std::nullopt;
    }
    setAccessTimeLocked(name, found->second, now);
    const std::string& text = contents.value();
    return core::Data(text.begin(), text.end());
}

bool DiskImageStore::contains(std::string_view key, double now, double maxAge) {
    std::lock_guard lock(mutex_);
    loadLocked();
    const auto found = entries_.find(fileName(key));
    return found != entries_.end() && !isExpired(found->second, now, maxAge);
}

void DiskImageStore::remove(std::string_view key) {
    std::lock_guard lock(mutex_);
    loadLocked();
    const std::string name = fileName(key);
    if (entries_.contains(name)) removeLocked(name);
}

void DiskImageStore::removeAll() {
    std::lock_guard lock(mutex_);
    if (const auto names = core::FileManager::contentsOfDirectory(folder_)) {
        for (const auto& name : names.value()) {
            (void)core::FileManager::removeItem(folder_ + "/" + name);
        }
    }
    entries_.clear();
    totalSize_ = 0;
    loaded_ = true;
}

std::uint64_t DiskImageStore::totalSize() {
    std::lock_guard lock(mutex_);
    rescanLocked();
    return totalSize_;
}

size_t DiskImageStore::removeExpired(double now, double maxAge) {
    std::lock_guard lock(mutex_);
    loadLocked();
    if (maxAge <= 0) return 0;
    std::vector<std::string> expired;
    for (const auto& [name, entry] : entries_) {
        if (isExpired(entry, now, maxAge)) expired.push_back(name);
    }
    for (const auto& name : expired) removeLocked(name);
    return expired.size();
}

size_t DiskImageStore::trim(std::uint64_t maxSize) {
    std::lock_guard lock(mutex_);
    loadLocked();
    if (maxSize == 0 || totalSize_ <= maxSize) return 0;
    std::vector<std::tuple<double, std::uint64_t, std::string>> byAccess;
    for (const auto& [name, entry] : entries_)
        byAccess.emplace_back(entry.accessTime, entry.order, name);
    std::sort(byAccess.begin(), byAccess.end());
    size_t removed = 0;
    for (const auto& [time, order, name] : byAccess) {
        if (totalSize_ <= maxSize / 2) break;
        removeLocked(name);
        ++removed;
    }
    return removed;
}

void DiskImageStore::loadLocked() {
    if (!loaded_) rescanLocked();
}

void DiskImageStore::rescanLocked() {
    loaded_ = true;
    entries_.clear();
    totalSize_ = 0;
    const auto names = core::FileManager::contentsOfDirectory(folder_);
    if (!names) return;
    std::vector<std::pair<double, std::string>> found;
    for (const auto& name : names.value()) {
        if (!isEntryName(name)) continue;
        struct stat info {};
        if (::stat((folder_ + "/" + name).c_str(), &info) != 0 || !S_ISREG(info.st_mode)) continue;
        const double accessTime = double(info.st_mtim.tv_sec) + info.st_mtim.tv_nsec / 1e9;
        entries_[name] = {std::uint64_t(info.st_size), accessTime, 0};
        totalSize_ += std::uint64_t(info.st_size);
        found.emplace_back(accessTime, name);
    }
    std::sort(found.begin(), found.end());
    for (const auto& [time, name] : found) entries_[name].order = nextOrder_++;
}

bool DiskImageStore::isExpired(const Entry& entry, double now, double maxAge) {
    return maxAge > 0 && now - entry.accessTime > maxAge;
}

void DiskImageStore::setAccessTimeLocked(const std::string& name, Entry& entry, double now) {
    setModificationTime(folder_ + "/" + name, now);
    entry.accessTime = now;
    entry.order = nextOrder_++;
}

void DiskImageStore::removeLocked(const std::string& name) {
    const auto found = entries_.find(name);
    if (found == entries_.end()) return;
    (void)core::FileManager::removeItem(folder_ + "/" + name);
    totalSize_ -= found->second.size;
    entries_.erase(found);
}

}  // namespace ui
