#pragma once
// Case of ASCII letters only, as protocols compare names (hosts, schemes,
// media types); other bytes, UTF-8 included, stay as they are.

#include <string>
#include <string_view>

namespace core {

[[nodiscard]] inline std::string asciiLowercased(std::string_view text) {
    std::string lower(text);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return lower;
}

}  // namespace core
