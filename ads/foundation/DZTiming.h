#pragma once
// A named stopwatch in milliseconds of DZMonotonicMilliseconds. Its
// dictionary form {"category", "start", "end"} is also how DZTimingManager
// stores it.
//
// The clock counts from the first reading in this process, so timestamps
// read back from a dictionary belong to the process that wrote them: such a
// timing keeps a duration that process finished, but one it left running
// reports 0 and cannot be ended here until it is started again.
//
// Threading: safe from any thread; the timestamps are guarded by a lock.

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "core/Value.h"

namespace ads {

class DZTiming {
public:
    // Without a category the timing is named "DZTiming (<address>)".
    explicit DZTiming(std::optional<std::string> category = std::nullopt);
    // Category from "category", timestamps from "start" and "end" (missing
    // reads as 0). Accepts anything; a non-dictionary gives an unnamed timing.
    [[nodiscard]] static std::shared_ptr<DZTiming> createWithDictionaryRepresentation(
        const core::Value& dictionary);

    DZTiming(const DZTiming&) = delete;
    DZTiming& operator=(const DZTiming&) = delete;

    void start();
    // Ignored while the timing has no start of this process.
    void end();

    [[nodiscard]] std::uint64_t startTimestamp() const;
    [[nodiscard]] std::uint64_t endTimestamp() const;
    // end - start once ended; while running, the time so far, or 0 with
    // explicitEnd set; 0 when never started.
    [[nodiscard]] std::uint64_t elapsedMilliseconds() const;
    [[nodiscard]] std::string elapsedMillisecondsString() const;
    [[nodiscard]] core::Dictionary dictionaryRepresentation() const;

    [[nodiscard]] const std::string& category() const { return category_; }
    [[nodiscard]] bool explicitEnd() const;
    void setExplicitEnd(bool explicitEnd);

private:
    mutable std::mutex mutex_;
    std::uint64_t startTimestamp_ = 0;
    std::uint64_t endTimestamp_ = 0;
    bool explicitEnd_ = false;
    // The start was read back from a dictionary, not taken in this process.
    bool startFromEarlierProcess_ = false;
    const std::string category_;
};

}  // namespace ads
