#include "ads/foundation/DZFileSystem.h"

#include "core/FileManager.h"

namespace ads {

namespace {

std::optional<core::URL> createdFolder(const std::string& path, Error* error) {
    const auto created = core::FileManager::createDirectory(path, true);
    if (!created) {
        if (error) *error = DZFileError(created.error(), created.errorNumber());
        return std::nullopt;
    }
    return core::URL::fileURL(path);
}

}  // namespace

Error DZFileError(const std::string& message, int errorNumber) {
    Error error;
    error.domain = "core.file";
    error.code = errorNumber;
    error.message = message;
    return error;
}

std::optional<core::URL> DZCacheDirectoryPath(std::optional<std::string_view> subfolder,
                                              Error* error) {
    const std::string caches = core::FileManager::folderPath(core::Folder::Caches);
    if (caches.empty()) {
        if (error) {
            *error = DZErrorWithCodeDescription(kDZErrorInternalError,
                                                "Failed to get cache directory path.");
        }
        return std::nullopt;
    }
    std::string path = caches + "/VuRaz";
    if (subfolder) path += "/" + std::string(*subfolder);
    return createdFolder(path, error);
}

std::optional<std::string> DZPathInsideCacheDirectory(const core::URL& fileURL) {
    // A host would name another machine's file: never one of ours.
    if (!fileURL.isFileURL() || !fileURL.host().empty()) return std::nullopt;
    const auto path = fileURL.fileSystemPath();
    const auto folder = DZCacheDirectoryPath(std::nullopt, nullptr);
    const auto folderPath = folder ? folder->fileSystemPath() : std::nullopt;
    if (!path || !folderPath) return std::nullopt;
    auto resolved = core::FileManager::resolvedPath(*path);
    const auto resolvedFolder = core::FileManager::resolvedPath(*folderPath);
    if (!resolved || !resolvedFolder) return std::nullopt;
    const std::string prefix = resolvedFolder.value() + "/";
    if (!resolved.value().starts_with(prefix) || resolved.value().size() == prefix.size()) {
        return std::nullopt;
    }
    return std::move(resolved).value();
}

std::optional<core::URL> DZCreateTemporaryDirectory(bool create, Error* error) {
    const std::string temporary = core::FileManager::folderPath(core::Folder::Temporary);
    if (temporary.empty()) {
        if (error) {
            *error = DZErrorWithCodeDescription(kDZErrorInternalError,
                                                "Failed to get temporary directory path.");
        }
        return std::nullopt;
    }
    const std::string path = temporary + "/VuRazTemp";
    if (!create) return core::URL::fileURL(path);
    return createdFolder(path, error);
}

std::optional<core::Dictionary> DZDiskSpaceInfo(Error* error) {
    const auto documents = core::FileManager::createFolder(core::Folder::Documents);
    if (!documents) {
        if (error) *error = DZFileError(documents.error(), documents.errorNumber());
        return std::nullopt;
    }
    const auto space = core::FileManager::volumeSpace(documents.value());
    if (!space) {
        if (error) *error = DZFileError(space.error(), space.errorNumber());
        return std::nullopt;
    }
    return core::Dictionary{{"disk_free_bytes", core::Value(space.value().freeBytes)},
                            {"disk_total_bytes", core::Value(space.value().totalBytes)}};
}

}  // namespace ads
