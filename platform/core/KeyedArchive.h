#pragma once
// A compact binary form of a core::Value tree, for values stored as data
// (an archived object in the user defaults). Every Value kind is kept apart:
// bool is not a number, an unsigned integer keeps its flag, a date is not a
// double, and dictionaries keep their key order.
//
// Layout (integers little-endian):
//   "VKAR" magic, one version byte (1), then the root value, then nothing.
//   value = tag byte, then by tag:
//     0 null, 1 false, 2 true           nothing
//     3 signed, 4 unsigned integer      8 bytes
//     5 double, 6 date (seconds)        8 bytes, IEEE 754 binary64
//     7 string, 8 data                  u32 byte count, the bytes
//     9 array                           u32 element count, the elements
//     10 dictionary                     u32 entry count, then per entry a
//                                       u32 key length, the key, the value
// A dictionary never holds a key twice, so each tree has one archive.
//
// Decoding checks every count against the bytes that are left before it
// allocates, and limits nesting to kMaxDepth containers: a truncated,
// corrupted or foreign archive gives an error and never a partial value.
//
// Stateless: call from any thread.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "core/Value.h"

namespace core {

class KeyedArchive {
public:
    static constexpr std::uint8_t kVersion = 1;
    // Containers nested inside one another, the root counting as one.
    static constexpr size_t kMaxDepth = 256;

    // nullopt (with the reason in error) when the tree nests deeper than
    // kMaxDepth or a text, data or container is too large for its count.
    [[nodiscard]] static std::optional<Data> encode(const Value& root,
                                                    std::string* error = nullptr);
    [[nodiscard]] static std::optional<Value> decode(std::span<const std::uint8_t> bytes,
                                                     std::string* error = nullptr);
};

}  // namespace core
