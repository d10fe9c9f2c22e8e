// DZVersionedCache: taking over the store of earlier builds, one file
// "versioned/<MD5 of the name>.gcache" in the SDK cache folder holding the
// version's length in decimal, "\n", the version and the bytes. Without it
// the event log's script would be fetched again on the first launch after
// an upgrade, or never, when its server names the same version.

#include <charconv>

#include "ads/foundation/DZFileSystem.h"
#include "ads/foundation/DZHashing.h"
#include "ads/web/cache/DZResourceCache.h"
#include "ads/web/cache/DZVersionedCache.h"
#include "core/FileManager.h"
#include "core/StringFormat.h"

namespace ads {

namespace {

bool decodeEarlierRecord(std::string_view record, std::string& version, core::Data& data) {
    const size_t newline = record.find('\n');
    if (newline == std::string_view::npos) return false;
    size_t length = 0;
    const auto [end, failure] = std::from_chars(record.data(), record.data() + newline, length);
    if (failure != std::errc() || end != record.data() + newline) return false;
    if (record.size() - newline - 1 < length) return false;
    version.assign(record.substr(newline + 1, length));
    const std::string_view bytes = record.substr(newline + 1 + length);
    data.assign(bytes.begin(), bytes.end());
    return true;
}

}  // namespace

std::optional<std::string> DZVersionedCache::earlierStorePath(std::string_view name) {
    const auto folder = DZCacheDirectoryPath(std::nullopt, nullptr);
    const auto folderPath = folder ? folder->fileSystemPath() : std::nullopt;
    if (!folderPath) return std::nullopt;
    return *folderPath + "/versioned/" + DZMD5HexString(name).value_or(std::string(name)) +
           ".gcache";
}

bool DZVersionedCache::takeOverEarlierStore(std::string_view name) {
    const auto path = earlierStorePath(name);
    if (!path || !core::FileManager::fileExists(*path)) return false;
    const auto contents = readStoredFile(*path);
    std::string version;
    core::Data data;
    if (!contents) return false;
    const std::string_view record(reinterpret_cast<const char*>(contents->data()),
                                  contents->size());
    if (!decodeEarlierRecord(record, version, data)) return false;

    // This launch uses the bytes in any case; the earlier file goes only
    // once they are stored the new way, so a failure here retries next time.
    const auto fileURL =
        DZResourceCache::fileURLForCacheID(core::format("%@.%@", cacheID_, version), nullptr);
    const auto filePath = fileURL ? fileURL->fileSystemPath() : std::nullopt;
    const bool moved = filePath && core::FileManager::writeAtomically(*filePath, data);
    cacheData_ = std::move(data);
    version_ = std::move(version);
    if (!moved) return true;
    cacheURL_ = fileURL;
    storeRecord();
    (void)core::FileManager::removeItem(*path);
    const std::string folder = path->substr(0, path->find_last_of('/'));
    const auto left = core::FileManager::contentsOfDirectory(folder);
    if (left && left.value().empty()) (void)core::FileManager::removeItem(folder);
    return true;
}

}  // namespace ads
