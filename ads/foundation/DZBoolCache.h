#pragma once
// Persistent flags kept as marker files: the flag named N is set while the
// empty file "DZBoolCache_" + MD5 hex of N exists in the SDK cache folder.
// Flags survive restarts and need no user defaults, so start-up can read
// them before anything else is loaded. Any thread: setting relies on
// exclusive creation and removal, which the file system makes atomic.

#include <optional>
#include <string>
#include <string_view>

namespace ads {

// False without a name.
[[nodiscard]] bool DZBoolCacheGet(std::optional<std::string_view> name);
// True creates the marker unless it exists (an existing one is never
// rewritten); false removes it. Failures leave the flag as it was.
void DZBoolCacheSet(std::optional<std::string_view> name, bool value);
// nullopt without a name or when the cache folder is not available.
[[nodiscard]] std::optional<std::string> DZBoolCachePath(std::optional<std::string_view> name);

}  // namespace ads
