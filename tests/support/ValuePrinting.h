#pragma once
// Lets gtest print core::Value in failure messages. Every test file of a
// binary that compares Values includes it, so that all of them print alike.

#include <ostream>

#include "core/StringFormat.h"
#include "core/Value.h"

namespace core {

inline void PrintTo(const Value& value, std::ostream* os) {
    *os << describe(value);
}

}  // namespace core
