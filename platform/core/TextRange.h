#pragma once
// A half-open range [location, location + length) over a text, counted in
// whatever unit the API that hands it out names: UTF-16 code units or UTF-8
// bytes.

#include <cstddef>
#include <limits>

namespace core {

struct TextRange {
    size_t location = 0;
    size_t length = 0;

    // Saturates, so {location, SIZE_MAX} means "to the end".
    [[nodiscard]] size_t end() const {
        const size_t room = std::numeric_limits<size_t>::max() - location;
        return length > room ? std::numeric_limits<size_t>::max() : location + length;
    }
    friend bool operator==(const TextRange&, const TextRange&) = default;
};

}  // namespace core
