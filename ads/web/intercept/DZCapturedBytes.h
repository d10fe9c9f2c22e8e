#pragma once
// A body captured for the safe-browsing report: its first bytes, up to the
// limits the caller gives, and the count of every byte seen, so that a
// report tells how long a body was even when it carries only its start.
//
// A value type with no shared state.

#include <cstddef>
#include <cstdint>
#include <span>

#include "core/Value.h"

namespace ads {

class DZCapturedBytes {
public:
    // At most this much of one request's or one resource's body is kept.
    static constexpr size_t kResourceLimit = 512 * 1024;

    DZCapturedBytes() = default;
    DZCapturedBytes(std::span<const std::uint8_t> bytes, size_t limit) { append(bytes, limit); }

    // Counts every byte and keeps those that fit below limit (for all the
    // bytes kept) and allowance (for these); answers the number kept.
    size_t append(std::span<const std::uint8_t> bytes, size_t limit, size_t allowance = SIZE_MAX);
    // Counts bytes the capturer saw and did not copy (past what any limit
    // would keep).
    void count(std::uint64_t length) { length_ += length; }

    [[nodiscard]] const core::Data& kept() const { return kept_; }
    // Every byte seen, kept or not.
    [[nodiscard]] std::uint64_t length() const { return length_; }
    [[nodiscard]] bool empty() const { return length_ == 0; }

    // Unless empty: "body" (Base64 of the bytes kept), "bodydigest" (Base64
    // of their MD5) and "bodylength" (every byte seen).
    void addReportEntries(core::Dictionary& dictionary) const;

    friend bool operator==(const DZCapturedBytes&, const DZCapturedBytes&) = default;

private:
    core::Data kept_;
    std::uint64_t length_ = 0;
};

}  // namespace ads
