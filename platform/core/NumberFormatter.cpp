#include "core/NumberFormatter.h"

#include <unicode/numfmt.h>

#include <mutex>

#include "core/Decimal.h"

namespace core {

// ICU formatters are not documented as safe for concurrent use; each use
// holds the mutex.
struct NumberFormatter::Impl {
    mutable std::mutex mutex;
    std::unique_ptr<icu::NumberFormat> format;

    [[nodiscard]] std::optional<std::string> write(const icu::Formattable& number) const {
        icu::UnicodeString unicode;
        UErrorCode status = U_ZERO_ERROR;
        {
            const std::lock_guard lock(mutex);
            format->format(number, unicode, status);
        }
        if (U_FAILURE(status)) return std::nullopt;
        std::string out;
        unicode.toUTF8String(out);
        return out;
    }
};

NumberFormatter::NumberFormatter(NumberFormatterStyle style, std::unique_ptr<Impl> impl)
    : style_(style), impl_(std::move(impl)) {}

NumberFormatter::~NumberFormatter() = default;

std::shared_ptr<NumberFormatter> NumberFormatter::create(NumberFormatterStyle style,
                                                         std::string_view locale) {
    const icu::Locale icuLocale(std::string(locale).c_str());
    if (locale.empty() || icuLocale.isBogus()) return nullptr;
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::NumberFormat> format(
        style == NumberFormatterStyle::Currency
            ? icu::NumberFormat::createCurrencyInstance(icuLocale, status)
            : icu::NumberFormat::createInstance(icuLocale, status));
    if (U_FAILURE(status) || !format) return nullptr;
    auto impl = std::make_unique<Impl>();
    impl->format = std::move(format);
    return std::shared_ptr<NumberFormatter>(new NumberFormatter(style, std::move(impl)));
}

std::optional<std::string> NumberFormatter::string(double number) const {
    return impl_->write(icu::Formattable(number));
}

std::optional<std::string> NumberFormatter::stringFromDecimal(std::string_view decimal) const {
    const auto parsed = Decimal::parse(decimal);
    if (!parsed) return std::nullopt;
    const std::string plain = parsed->string();
    UErrorCode status = U_ZERO_ERROR;
    const icu::Formattable number(
        icu::StringPiece(plain.data(), static_cast<int32_t>(plain.size())), status);
    if (U_FAILURE(status)) return std::nullopt;
    return impl_->write(number);
}

std::string NumberFormatter::currencyCode() const {
    if (style_ != NumberFormatterStyle::Currency) return {};
    const std::lock_guard lock(impl_->mutex);
    const char16_t* code = impl_->format->getCurrency();
    std::string text;
    if (code) icu::UnicodeString(code).toUTF8String(text);
    return text;
}

}  // namespace core
