#include "ads/foundation/DZValueHelpers.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <tuple>

#include "core/StringFormat.h"

namespace ads {

std::string DZStringFromBool(bool flag) {
    return flag ? "1" : "0";
}

core::Value DZNumberFromBool(bool flag) {
    return core::Value(flag ? 1 : 0);
}

double DZDoubleFromFloat(float value) {
    char buffer[32];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
    double result = value;
    if (error == std::errc()) (void)std::from_chars(buffer, end, result);
    return result;
}

std::string DZCompactDecimalString(double value) {
    std::string text = core::format("%f", value);
    if (text.find('.') == std::string::npos) return text;
    while (text.ends_with('0')) text.pop_back();
    if (text.ends_with('.')) text.pop_back();
    return text;
}

const core::Value* DZObjectOfClassForKey(const core::Dictionary* dictionary, std::string_view key,
                                         DZValueClass valueClass) {
    if (!dictionary) return nullptr;
    const core::Value* value = dictionary->find(key);
    if (!value) return nullptr;
    bool matches = false;
    switch (valueClass) {
    case DZValueClass::String:
        matches = value->isString();
        break;
    case DZValueClass::Number:
        matches = value->isNumber();
        break;
    case DZValueClass::Bool:
        matches = value->isBool();
        break;
    case DZValueClass::Data:
        matches = value->isData();
        break;
    case DZValueClass::Date:
        matches = value->isDate();
        break;
    case DZValueClass::Array:
        matches = value->isArray();
        break;
    case DZValueClass::Dictionary:
        matches = value->isDictionary();
        break;
    }
    return matches ? value : nullptr;
}

void DZSetObjectIfPresent(core::Dictionary& dictionary, const std::optional<std::string>& key,
                          const std::optional<core::Value>& object) {
    if (!key || !object || object->isNull()) return;
    dictionary.set(*key, *object);
}

bool DZVersionIsAtLeast(std::int64_t major, std::int64_t minor, std::int64_t patch,
                        std::int64_t requiredMajor, std::int64_t requiredMinor,
                        std::int64_t requiredPatch) {
    return std::tie(major, minor, patch) >= std::tie(requiredMajor, requiredMinor, requiredPatch);
}

std::optional<double> DZNumericValue(const core::Value& value) {
    if (value.isNumber()) return value.doubleValue();
    const std::string* text = value.string();
    if (!text) return std::nullopt;
    const size_t first = text->find_first_not_of(" \t\n");
    if (first == std::string::npos) return std::nullopt;
    const char* begin = text->c_str() + first;
    char* end = nullptr;
    const double number = std::strtod(begin, &end);
    if (end == begin) return std::nullopt;
    while (*end == ' ' || *end == '\t' || *end == '\n') ++end;
    if (*end != '\0' || !std::isfinite(number)) return std::nullopt;
    // strtod also reads "inf", "nan" and hexadecimal forms.
    for (const char* c = begin; c < end; ++c)
        if (std::isalpha(static_cast<unsigned char>(*c)) && *c != 'e' && *c != 'E')
            return std::nullopt;
    return number;
}

}  // namespace ads
