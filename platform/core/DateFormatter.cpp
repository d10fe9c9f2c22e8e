#include "core/DateFormatter.h"

#include <unicode/gregocal.h>
#include <unicode/smpdtfmt.h>
#include <unicode/timezone.h>

#include <mutex>

namespace core {

// ICU formatters keep a calendar that parsing and formatting change, so each
// use holds the mutex.
struct DateFormatter::Impl {
    mutable std::mutex mutex;
    std::unique_ptr<icu::SimpleDateFormat> format;
};

DateFormatter::DateFormatter(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
DateFormatter::~DateFormatter() = default;

std::shared_ptr<DateFormatter> DateFormatter::create(std::string_view pattern,
                                                     std::string_view locale,
                                                     std::string_view timeZone) {
    const icu::Locale icuLocale(std::string(locale).c_str());
    if (icuLocale.isBogus()) return nullptr;
    const icu::UnicodeString zoneID = icu::UnicodeString::fromUTF8(
        icu::StringPiece(timeZone.data(), static_cast<int32_t>(timeZone.size())));
    std::unique_ptr<icu::TimeZone> zone(icu::TimeZone::createTimeZone(zoneID));
    if (!zone || *zone == icu::TimeZone::getUnknown()) return nullptr;

    UErrorCode status = U_ZERO_ERROR;
    auto format = std::make_unique<icu::SimpleDateFormat>(
        icu::UnicodeString::fromUTF8(
            icu::StringPiece(pattern.data(), static_cast<int32_t>(pattern.size()))),
        icuLocale, status);
    if (U_FAILURE(status)) return nullptr;
    format->adoptTimeZone(zone.release());
    format->setLenient(false);

    auto impl = std::make_unique<Impl>();
    impl->format = std::move(format);
    return std::shared_ptr<DateFormatter>(new DateFormatter(std::move(impl)));
}

std::shared_ptr<DateFormatter> DateFormatter::create(std::string_view pattern) {
    UErrorCode status = U_ZERO_ERROR;
    auto format = std::make_unique<icu::SimpleDateFormat>(
        icu::UnicodeString::fromUTF8(
            icu::StringPiece(pattern.data(), static_cast<int32_t>(pattern.size()))),
        status);
    if (U_FAILURE(status)) return nullptr;
    format->setLenient(false);
    auto impl = std::make_unique<Impl>();
    impl->format = std::move(format);
    return std::shared_ptr<DateFormatter>(new DateFormatter(std::move(impl)));
}

Date DateFormatter::gregorianDate(long year, long month, long day) {
    UErrorCode status = U_ZERO_ERROR;
    icu::GregorianCalendar calendar(status);
    if (U_FAILURE(status)) return {};
    calendar.clear();
    calendar.setLenient(true);
    calendar.set(static_cast<int32_t>(year), static_cast<int32_t>(month - 1),
                 static_cast<int32_t>(day));
    const UDate milliseconds = calendar.getTime(status);
    return U_FAILURE(status) ? Date{} : Date{milliseconds / 1000.0};
}

std::optional<Date> DateFormatter::date(std::string_view text) const {
    const icu::UnicodeString unicode = icu::UnicodeString::fromUTF8(
        icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
    if (unicode.isEmpty()) return std::nullopt;
    icu::ParsePosition position(0);
    UDate milliseconds = 0;
    {
        std::lock_guard lock(impl_->mutex);
        milliseconds = impl_->format->parse(unicode, position);
    }
    if (position.getErrorIndex() >= 0 || position.getIndex() != unicode.length()) {
        return std::nullopt;
    }
    return Date{milliseconds / 1000.0};
}

std::string DateFormatter::string(Date date) const {
    icu::UnicodeString unicode;
    {
        std::lock_guard lock(impl_->mutex);
        impl_->format->format(date.secondsSince1970 * 1000.0, unicode);
    }
    std::string out;
    unicode.toUTF8String(out);
    return out;
}

}  // namespace core
