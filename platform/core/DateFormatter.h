#pragma once
// Dates to and from text by a fixed pattern in one locale and time zone, the
// way the phone platform's date formatter reads and writes HTTP dates and
// the like. Patterns use the usual date-format letters ("EEE, dd MMM yyyy
// HH:mm:ss z"). Reading is strict: the whole text must match the pattern,
// though a number may be padded with spaces ("Nov  6"); the day-of-week name
// is read but not checked against the date.
//
// A formatter never changes once made and may be used from several threads
// at once.

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "core/Value.h"

namespace core {

class DateFormatter {
public:
    // nullptr when the pattern, the locale ("en_US") or the time zone
    // ("GMT", "Asia/Shanghai") is not usable.
    [[nodiscard]] static std::shared_ptr<DateFormatter> create(std::string_view pattern,
                                                               std::string_view locale,
                                                               std::string_view timeZone);
    // In the process's default locale and time zone.
    [[nodiscard]] static std::shared_ptr<DateFormatter> create(std::string_view pattern);
    ~DateFormatter();
    DateFormatter(const DateFormatter&) = delete;
    DateFormatter& operator=(const DateFormatter&) = delete;

    // nullopt unless the whole text matches the pattern.
    [[nodiscard]] std::optional<Date> date(std::string_view text) const;
    [[nodiscard]] std::string string(Date date) const;

    // The start of the day that a Gregorian calendar in the default time
    // zone makes of the components; out-of-range components carry over
    // (month 13 is January of the next year, day 0 the last of the month
    // before).
    [[nodiscard]] static Date gregorianDate(long year, long month, long day);

private:
    struct Impl;
    explicit DateFormatter(std::unique_ptr<Impl> impl);

    std::unique_ptr<Impl> impl_;
};

}  // namespace core
