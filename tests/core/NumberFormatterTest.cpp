#include <gtest/gtest.h>

#include "core/NumberFormatter.h"

using core::NumberFormatter;
using core::NumberFormatterStyle;

namespace {

std::optional<std::string> currency(const char* locale, const char* decimal) {
    const auto formatter = NumberFormatter::create(NumberFormatterStyle::Currency, locale);
    if (!formatter) return std::nullopt;
    return formatter->stringFromDecimal(decimal);
}

TEST(NumberFormatterTest, CurrencyFollowsTheLocaleAndItsCurrencyKeyword) {
    EXPECT_EQ(currency("zh_CN@currency=CNY", "6"), "¥6.00");
    EXPECT_EQ(currency("zh_CN", "6.00"), "¥6.00");
    EXPECT_EQ(currency("en_US", "0.99"), "$0.99");
    EXPECT_EQ(currency("en_US@currency=CNY", "1234.5"), "CN¥1,234.50");
    EXPECT_EQ(currency("ja_JP", "120"), "￥120");
    // German puts the sign after the number, behind a no-break space.
    EXPECT_EQ(currency("de_DE@currency=EUR", "1234.5"), "1.234,50\u00a0€");
}

TEST(NumberFormatterTest, DecimalTextIsNeverRoundedThroughADouble) {
    EXPECT_EQ(currency("en_US", "12345678901234567.89"), "$12,345,678,901,234,567.89");
    const auto formatter = NumberFormatter::create(NumberFormatterStyle::Currency, "en_US");
    ASSERT_TRUE(formatter);
    EXPECT_EQ(formatter->string(0.99), "$0.99");
    for (const char* text : {"", "abc", "1.2.3", "1e3", " 1", "."})
        EXPECT_EQ(formatter->stringFromDecimal(text), std::nullopt) << text;
}

TEST(NumberFormatterTest, CurrencyCodesComeFromTheLocale) {
    const struct {
        const char* locale;
        const char* code;
    } cases[] = {{"zh_CN@currency=CNY", "CNY"},
                 {"en_US", "USD"},
                 {"en_US@currency=EUR", "EUR"},
                 {"ja_JP", "JPY"}};
    for (const auto& c : cases) {
        const auto formatter = NumberFormatter::create(NumberFormatterStyle::Currency, c.locale);
        ASSERT_TRUE(formatter) << c.locale;
        EXPECT_EQ(formatter->currencyCode(), c.code) << c.locale;
    }
    EXPECT_EQ(NumberFormatter::create(NumberFormatterStyle::Decimal, "en_US")->currencyCode(), "");
}

TEST(NumberFormatterTest, DecimalStyleAndUnusableLocales) {
    const auto decimal = NumberFormatter::create(NumberFormatterStyle::Decimal, "en_US");
    ASSERT_TRUE(decimal);
    EXPECT_EQ(decimal->stringFromDecimal("1234.5"), "1,234.5");
    EXPECT_EQ(NumberFormatter::create(NumberFormatterStyle::Currency, ""), nullptr);
}

}  // namespace
