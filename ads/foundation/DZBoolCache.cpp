#include "ads/foundation/DZBoolCache.h"

#include "ads/foundation/DZFileSystem.h"
#include "ads/foundation/DZHashing.h"
#include "core/FileManager.h"

namespace ads {

std::optional<std::string> DZBoolCachePath(std::optional<std::string_view> name) {
    if (!name) return std::nullopt;
    const auto folder = DZCacheDirectoryPath(std::nullopt, nullptr);
    const auto folderPath = folder ? folder->fileSystemPath() : std::nullopt;
    if (!folderPath) return std::nullopt;
    return *folderPath + "/DZBoolCache_" + *DZMD5HexString(name);
}

bool DZBoolCacheGet(std::optional<std::string_view> name) {
    const auto path = DZBoolCachePath(name);
    return path && core::FileManager::fileExists(*path);
}

void DZBoolCacheSet(std::optional<std::string_view> name, bool value) {
    const auto path = DZBoolCachePath(name);
    if (!path) return;
    if (value) {
        (void)core::FileManager::createExclusively(*path, "");
    } else {
        (void)core::FileManager::removeItem(*path);
    }
}

}  // namespace ads
