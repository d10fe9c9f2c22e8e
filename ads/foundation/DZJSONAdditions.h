#pragma once
// JSON writing and reading for SDK code, with SDK errors, and the repair
// step that makes any array or dictionary serialisable. Pure; any thread.

#include <optional>
#include <string>
#include <string_view>

#include "ads/core/request/DZError.h"
#include "ads/foundation/DZLooseValue.h"
#include "core/Value.h"

namespace ads {

// The JSON text (indented when pretty); nullopt when the collection holds
// something JSON cannot (NaN, data, dates, text that is not UTF-8, nesting
// too deep), with SDK error 11 "Invalid JSON object." in error (when given),
// the writer's reason as its underlying error.
[[nodiscard]] std::optional<std::string> dz_JSONStringPretty(const core::Array& array, bool pretty,
                                                             Error* error);
[[nodiscard]] std::optional<std::string> dz_JSONStringPretty(const core::Dictionary& dictionary,
                                                             bool pretty, Error* error);

// Serialisable copies. Nested collections are repaired too; a URL becomes
// its absolute text; text that is not UTF-8 gets U+FFFD for its bad bytes;
// any other value JSON cannot hold becomes its description ("nan",
// "<0102>", "2023-11-14 22:13:20 +0000"). A key that is not text becomes its
// description, unless a text key of the same name exists: the text key's
// entry is kept; of several non-text keys with one description the first is
// kept. A collection that needs no repair comes back equal.
[[nodiscard]] core::Array dz_JSONSafeArray(const core::Array& array);
[[nodiscard]] core::Dictionary dz_JSONSafeDictionary(const core::Dictionary& dictionary);
[[nodiscard]] core::Array dz_JSONSafeArray(const DZLooseValue::Array& array);
[[nodiscard]] core::Dictionary dz_JSONSafeDictionary(const DZLooseValue::Dictionary& dictionary);

// Parses the text as JSON, a bare string, number, bool or null included;
// nullopt with the reader's error (domain "core.JSON") when it is not JSON.
[[nodiscard]] std::optional<core::Value> dz_decodedJSONObjectError(std::string_view text,
                                                                   Error* error);

namespace DZJSONAdditions {
// Named by DZCategories::linkCategoriesAndClasses; does nothing.
void DZFileLinkAnchor();
}  // namespace DZJSONAdditions

}  // namespace ads
