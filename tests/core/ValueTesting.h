#pragma once
// Comparing Value trees exactly, beyond Value's own equality (which takes 1
// and 1.0 as equal).

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <string>

#include "core/Value.h"

namespace testsupport {

// Kind, signedness, bits of doubles and key order must all match.
inline void expectIdentical(const core::Value& a, const core::Value& b, const std::string& where) {
    ASSERT_EQ(a.kind(), b.kind()) << where;
    switch (a.kind()) {
    case core::Value::Kind::Integer:
        EXPECT_EQ(a.isUnsigned(), b.isUnsigned()) << where;
        EXPECT_EQ(a.uintValue(), b.uintValue()) << where;
        break;
    case core::Value::Kind::Double:
        if (std::isnan(a.doubleValue())) {
            EXPECT_TRUE(std::isnan(b.doubleValue())) << where;
        } else {
            EXPECT_EQ(std::bit_cast<std::uint64_t>(a.doubleValue()),
                      std::bit_cast<std::uint64_t>(b.doubleValue()))
                << where << ": " << a.doubleValue() << " vs " << b.doubleValue();
        }
        break;
    case core::Value::Kind::Array:
        ASSERT_EQ(a.size(), b.size()) << where;
        for (size_t i = 0; i < a.size(); ++i) {
            expectIdentical(a[i], b[i], where + "[" + std::to_string(i) + "]");
        }
        break;
    case core::Value::Kind::Dictionary:
        ASSERT_EQ(a.dictionary()->keys(), b.dictionary()->keys()) << where;
        for (const auto& [key, element] : *a.dictionary()) {
            expectIdentical(element, b[key], where + "." + key);
        }
        break;
    default:
        EXPECT_EQ(a, b) << where;
    }
}

}  // namespace testsupport
