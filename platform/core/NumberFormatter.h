#pragma once
// Numbers to text in one locale, the way the phone platform's number
// formatter writes them: plain decimal, or currency, where the currency is
// the locale's own or the one its "@currency=XXX" keyword names
// ("zh_CN@currency=CNY" gives "¥6.00", "en_US" gives "$0.99").
//
// A formatter never changes once made and may be used from several threads
// at once.

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace core {

enum class NumberFormatterStyle { Decimal, Currency };

class NumberFormatter {
public:
    // nullptr when the locale is not usable.
    [[nodiscard]] static std::shared_ptr<NumberFormatter> create(NumberFormatterStyle style,
                                                                 std::string_view locale);
    ~NumberFormatter();
    NumberFormatter(const NumberFormatter&) = delete;
    NumberFormatter& operator=(const NumberFormatter&) = delete;

    [[nodiscard]] NumberFormatterStyle style() const { return style_; }

    [[nodiscard]] std::optional<std::string> string(double number) const;
    // A decimal text ("6", "0.99", "-12.50", as core::Decimal reads it)
    // formatted without going through a double; nullopt when the text is not
    // such a number.
    [[nodiscard]] std::optional<std::string> stringFromDecimal(std::string_view decimal) const;
    // The ISO 4217 code of a currency formatter's currency ("CNY" for
    // "zh_CN@currency=CNY", "USD" for "en_US"); empty for decimal ones.
    [[nodiscard]] std::string currencyCode() const;

private:
    struct Impl;
    NumberFormatter(NumberFormatterStyle style, std::unique_ptr<Impl> impl);

    const NumberFormatterStyle style_;
    std::unique_ptr<Impl> impl_;
};

}  // namespace core
