#include "store/Product.h"

#include <cctype>

#include "core/NumberFormatter.h"
#include "core/NumberText.h"

namespace store {

namespace {

std::string text(const core::Value& entry, const char* key) {
    const core::Value& value = entry[key];
    return value.isString() ? *value.string() : std::string();
}

bool isNonNegativeDecimal(const std::string& price) {
    size_t digits = 0;
    size_t i = 0;
    for (; i < price.size() && std::isdigit(static_cast<unsigned char>(price[i])); ++i) ++digits;
    if (digits == 0) return false;
    if (i < price.size() && price[i] == '.') {
        ++i;
        size_t fraction = 0;
        for (; i < price.size() && std::isdigit(static_cast<unsigned char>(price[i])); ++i)
            ++fraction;
        if (fraction == 0) return false;
    }
    return i == price.size();
}

std::optional<std::string> priceText(const core::Value& price) {
    std::string decimal;
    if (price.isString()) {
        decimal = *price.string();
    } else if (price.isNumber()) {
        core::NumberText::appendDouble(decimal, price.doubleValue());
    }
    if (!isNonNegativeDecimal(decimal)) return std::nullopt;
    return decimal;
}

// Absent: no item; present, a positive integer (stored as one, not a
// double or a text) or the entry is refused.
bool readItemIdentifier(const core::Value& entry, std::optional<std::int64_t>& out) {
    const core::Value& value = entry["itemIdentifier"];
    if (value.isNull()) return true;
    if (!value.isInteger() || value.isUnsigned() || value.intValue() <= 0) return false;
    out = value.intValue();
    return true;
}

}  // namespace

std::optional<Product> Product::fromValue(const core::Value& entry) {
    if (!entry.isDictionary()) return std::nullopt;
    Product product;
    product.productIdentifier = text(entry, "productIdentifier");
    product.localizedTitle = text(entry, "localizedTitle");
    product.localizedDescription = text(entry, "localizedDescription");
    product.priceLocale = text(entry, "priceLocale");
    const auto price = priceText(entry["price"]);
    if (product.productIdentifier.empty() || product.localizedTitle.empty() || !price ||
        product.priceLocale.empty() || !readItemIdentifier(entry, product.itemIdentifier))
        return std::nullopt;
    product.price = *price;
    return product;
}

std::string Product::currencyCode() const {
    const auto formatter =
        core::NumberFormatter::create(core::NumberFormatterStyle::Currency, priceLocale);
    return formatter ? formatter->currencyCode() : std::string();
}

std::optional<std::string> Product::localizedPrice() const {
    const auto formatter =
        core::NumberFormatter::create(core::NumberFormatterStyle::Currency, priceLocale);
    if (!formatter) return std::nullopt;
    return formatter->stringFromDecimal(price);
}

std::string Product::description() const {
    std::string text = "<Product: ";
    text.append(productIdentifier).append(">");
    return text;
}

std::string Product::description(const std::vector<Product>& products) {
    std::string text = "[";
    for (size_t i = 0; i < products.size(); ++i) {
        if (i > 0) text.append(", ");
        text.append(products[i].description());
    }
    text.append("]");
    return text;
}

}  // namespace store
