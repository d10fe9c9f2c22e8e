#pragma once
// A string table: the key/value pairs of a ".strings" file, in the order the
// keys first appear. The text holds `"key" = "value";` pairs with block and
// line comments anywhere; keys and values made only of letters, digits and
// "_.-" may go unquoted. Quoted text takes the escapes \" \\ \' \n \t \r and
// \Uxxxx / \uxxxx (UTF-16 units: surrogate pairs combine, a lone one reads as
// U+FFFD). Input is UTF-8, with or without a byte-order mark, or UTF-16 with
// a byte-order mark. A key that appears again replaces the earlier value in
// place.
//
// A StringTable is a plain value: share it between threads only for reading.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace core {

struct StringTableError {
    std::string message;
    size_t line = 0;  // 1-based; 0 when the file could not be read
};

class StringTable {
public:
    using Entry = std::pair<std::string, std::string>;

    [[nodiscard]] static std::optional<StringTable> parse(std::string_view bytes,
                                                          StringTableError* error = nullptr);
    [[nodiscard]] static std::optional<StringTable> load(const std::string& path,
                                                         StringTableError* error = nullptr);

    // nullptr when the key is absent.
    [[nodiscard]] const std::string* find(std::string_view key) const;
    [[nodiscard]] size_t size() const { return entries_.size(); }
    [[nodiscard]] bool empty() const { return entries_.empty(); }
    [[nodiscard]] const std::vector<Entry>& entries() const { return entries_; }

    // Replaces in place when present, appends otherwise.
    void set(std::string key, std::string value);

private:
    struct Hash {
        using is_transparent = void;
        size_t operator()(std::string_view text) const {
            return std::hash<std::string_view>{}(text);
        }
    };

    std::vector<Entry> entries_;
    std::unordered_map<std::string, size_t, Hash, std::equal_to<>> index_;
};

}  // namespace core
