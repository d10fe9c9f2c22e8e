#pragma once
// The file format of a UserDefaults store: JSON that keeps every Value kind
// apart. Kinds JSON lacks, and those it would blur, are single-key objects
// tagged with a "$" key:
//
//   {"$uint": "18446744073709551615"}   unsigned integer
//   {"$double": "2"}                    double (shortest text that reads back)
//   {"$data": "AAEC"}                   bytes, base64
//   {"$date": "1700000000.5"}           seconds since 1970
//
// A dictionary key that starts with "$" is written with one more "$" in
// front. Dictionaries keep their key order. The document is
// {"format": "vantor-defaults", "version": 1, "values": {...}}.
//
// Stateless: call from any thread.

#include <optional>
#include <string>
#include <string_view>

#include "core/Value.h"

namespace core {

class DefaultsFile {
public:
    [[nodiscard]] static std::optional<std::string> encode(const Dictionary& values,
                                                           std::string* error = nullptr);
    [[nodiscard]] static std::optional<Dictionary> decode(std::string_view text,
                                                          std::string* error = nullptr);
};

}  // namespace core
