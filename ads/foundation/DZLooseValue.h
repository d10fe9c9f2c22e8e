#pragma once
// A value gathered for JSON before it is known to be serialisable, the way
// SDK code collects report and request data from several sources: any
// core::Value, a URL, or arrays and dictionaries of loose values whose keys
// need not be texts. dz_JSONSafeArray and dz_JSONSafeDictionary
// (DZJSONAdditions.h) turn it into a core::Value that JSON can hold.
//
// A value type with no shared state.

#include <concepts>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "core/URL.h"
#include "core/Value.h"

namespace ads {

class DZLooseValue {
public:
    using Array = std::vector<DZLooseValue>;
    using Entry = std::pair<DZLooseValue, DZLooseValue>;
    // Entries in order; keys may repeat.
    using Dictionary = std::vector<Entry>;

    template <typename T>
    requires std::constructible_from<core::Value, T> DZLooseValue(T&& value)
        : storage_(core::Value(std::forward<T>(value))) {}
    DZLooseValue(core::URL url) : storage_(std::move(url)) {}

    [[nodiscard]] static DZLooseValue array(Array items);
    [[nodiscard]] static DZLooseValue dictionary(Dictionary entries);

    // Exact accessors: nullptr for another kind.
    [[nodiscard]] const core::Value* value() const { return std::get_if<core::Value>(&storage_); }
    [[nodiscard]] const core::URL* url() const { return std::get_if<core::URL>(&storage_); }
    [[nodiscard]] const Array* array() const { return std::get_if<Array>(&storage_); }
    [[nodiscard]] const Dictionary* dictionary() const {
        return std::get_if<Dictionary>(&storage_);
    }

private:
    struct ArrayTag {};
    struct DictionaryTag {};
    DZLooseValue(ArrayTag, Array items) : storage_(std::move(items)) {}
    DZLooseValue(DictionaryTag, Dictionary entries) : storage_(std::move(entries)) {}

    std::variant<core::Value, core::URL, Array, Dictionary> storage_;
};

}  // namespace ads
