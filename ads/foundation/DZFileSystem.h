#pragma once
// The SDK's folders and the disk-space facts of ad requests. The cache
// folder is "VuRaz" in the app's caches folder; the temporary folder is
// "VuRazTemp" in the app's temporary folder. Safe from any thread: creation
// of an existing folder succeeds.

#include <optional>
#include <string_view>

#include "ads/core/request/DZError.h"
#include "core/URL.h"
#include "core/Value.h"

namespace ads {

// The file URL of the cache folder, or of subfolder inside it, created with
// its parents when missing. On failure nullopt, and error (when given) gets
// the file system's error, or SDK error 11 "Failed to get cache directory
// path." when there is no caches folder.
[[nodiscard]] std::optional<core::URL>
DZCacheDirectoryPath(std::optional<std::string_view> subfolder, Error* error);

// The resolved path of the item a file URL names, when that item exists
// and lies inside the cache folder (not the folder itself). Percent-escapes,
// "..", "." and symbolic links (of the folder's path too) are resolved
// before the check, so no spelling of the URL reaches a file elsewhere.
// nullopt for other URLs and for file URLs with a host: what the SDK
// deletes, reports or serves on a page's word must pass this check, and
// then use the resolved path, not the URL (a link could be re-pointed in
// between).
[[nodiscard]] std::optional<std::string> DZPathInsideCacheDirectory(const core::URL& fileURL);

// The file URL of the temporary folder; created (with its parents) only when
// create is set, and then answered only when that succeeded. SDK error 11
// "Failed to get temporary directory path." when there is no temporary
// folder to put it in.
[[nodiscard]] std::optional<core::URL> DZCreateTemporaryDirectory(bool create, Error* error);

// {"disk_free_bytes", "disk_total_bytes"} of the volume that holds the
// documents folder, as unsigned integers; nullopt with the error when the
// volume cannot be read.
[[nodiscard]] std::optional<core::Dictionary> DZDiskSpaceInfo(Error* error);

// The form a file-system failure takes as an Error: domain "core.file", the
// errno as code.
[[nodiscard]] Error DZFileError(const std::string& message, int errorNumber);

}  // namespace ads
