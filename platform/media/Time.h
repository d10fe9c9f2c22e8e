#pragma once
// A point or a length on a media timeline as a rational number of seconds:
// value / timescale. Time() is invalid (no time at all); indefinite() is
// valid but has no value and a timescale of 0 (a duration not known yet, or
// a stream without an end); numeric times have a timescale above 0.
// A value type.

#include <compare>
#include <cstdint>

namespace media {

class Time {
public:
    // The timescale of seeks and of the times the player reports.
    static constexpr std::int32_t kNanoseconds = 1'000'000'000;

    constexpr Time() = default;
    // Invalid when timescale is 0 or below.
    constexpr Time(std::int64_t value, std::int32_t timescale)
        : value_(value), timescale_(timescale), valid_(timescale > 0) {}

    [[nodiscard]] static constexpr Time zero() { return Time(0, 1); }
    [[nodiscard]] static constexpr Time invalid() { return Time(); }
    [[nodiscard]] static constexpr Time indefinite() {
        Time time;
        time.valid_ = true;
        time.indefinite_ = true;
        return time;
    }
    // Rounded to the nearest unit of timescale; invalid for a number that
    // is not finite.
    [[nodiscard]] static Time seconds(double seconds, std::int32_t timescale = kNanoseconds);

    [[nodiscard]] constexpr std::int64_t value() const { return value_; }
    [[nodiscard]] constexpr std::int32_t timescale() const { return timescale_; }
    [[nodiscard]] constexpr bool isValid() const { return valid_; }
    [[nodiscard]] constexpr bool isIndefinite() const { return indefinite_; }
    [[nodiscard]] constexpr bool isNumeric() const { return valid_ && !indefinite_; }
    // 0 for a time that is not numeric.
    [[nodiscard]] double toSeconds() const;

    // Numeric times compare by their value in seconds, exactly; an
    // indefinite time is above every numeric one; invalid times are below
    // everything and equal to each other.
    friend std::strong_ordering operator<=>(const Time& a, const Time& b);
    friend bool operator==(const Time& a, const Time& b) { return (a <=> b) == 0; }

private:
    std::int64_t value_ = 0;
    std::int32_t timescale_ = 0;
    bool valid_ = false;
    bool indefinite_ = false;
};

}  // namespace media
