#pragma once
// Readable gtest output for URL values.

#include <ostream>

#include "core/URL.h"

namespace core {

inline void PrintTo(const URLQueryItem& item, std::ostream* os) {
    *os << '"' << item.name << '"';
    if (item.value) *os << "=\"" << *item.value << '"';
}

inline void PrintTo(const URL& url, std::ostream* os) {
    *os << '<' << url.absoluteString() << '>';
}

}  // namespace core
