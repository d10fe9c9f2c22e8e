#pragma once
// A product the store sells, as a products request answers it. The price is
// a decimal text ("6.00") so that it is never rounded on the way; the price
// locale is a locale identifier whose currency is the price's
// ("zh_CN@currency=CNY"), for a currency NumberFormatter. A product with a
// store page has an item identifier, the number the page is looked up by.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/Value.h"

namespace store {

struct Product {
    std::string productIdentifier;
    std::string localizedTitle;
    std::string localizedDescription;
    std::string price;
    std::string priceLocale;
    std::optional<std::int64_t> itemIdentifier;

    // From a catalogue entry {"productIdentifier", "localizedTitle",
    // "localizedDescription", "price" (decimal text or number),
    // "priceLocale", optionally "itemIdentifier" (a positive integer)};
    // nullopt without an identifier, a title, a price that is a non-negative
    // decimal, or a price locale, or with an item identifier that is not a
    // positive integer.
    [[nodiscard]] static std::optional<Product> fromValue(const core::Value& entry);

    // The ISO code of the price's currency ("CNY"); empty when the price
    // locale names none.
    [[nodiscard]] std::string currencyCode() const;
    // The price in its locale's currency format ("¥6.00"); nullopt when the
    // locale is not usable.
    [[nodiscard]] std::optional<std::string> localizedPrice() const;

    // The printed form: "<Product: identifier>".
    [[nodiscard]] std::string description() const;
    // A list's printed form: "[" the products' printed forms joined by ", " "]".
    [[nodiscard]] static std::string description(const std::vector<Product>& products);

    friend bool operator==(const Product&, const Product&) = default;
};

}  // namespace store
