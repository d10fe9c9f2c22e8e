#pragma once
// A product the store sells, as a products request answers it. The price is
// a decimal text ("6.00") so that it is never rounded on the way; the price
// locale is a locale identifier whose currency is the price's
// ("zh_CN@currency=CNY"), for a currency NumberFormatter.

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

    // From a catalogue entry {"productIdentifier", "localizedTitle",
    // "localizedDescription", "price" (decimal text or number),
    // "priceLocale"}; nullopt without an identifier, a title, a price that
    // is a non-negative decimal, or a price locale.
    [[nodiscard]] static std::optional<Product> fromValue(const core::Value& entry);

    // The printed form: "<Product: identifier>".
    [[nodiscard]] std::string description() const;
    // A list's printed form: "[" the products' printed forms joined by ", " "]".
    [[nodiscard]] static std::string description(const std::vector<Product>& products);

    friend bool operator==(const Product&, const Product&) = default;
};

}  // namespace store
