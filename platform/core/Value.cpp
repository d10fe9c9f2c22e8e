#include "core/Value.h"

#include <cmath>
#include <limits>

#include "core/NumberText.h"

namespace core {

namespace {

constexpr double kTwoTo63 = 9223372036854775808.0;
constexpr double kTwoTo64 = 18446744073709551616.0;

bool equalsIgnoringCase(std::string_view text, std::string_view lowercase) {
    if (text.size() != lowercase.size()) return false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const char lower = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        if (lower != lowercase[i]) return false;
    }
    return true;
}

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\n\r\f\v");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(" \t\n\r\f\v");
    return text.substr(first, last - first + 1);
}

bool textIsTrue(std::string_view text) {
    const std::string_view word = trimmed(text);
    if (equalsIgnoringCase(word, "yes") || equalsIgnoringCase(word, "true")) return true;
    return NumberText::leadingDouble(text) != 0;
}

std::int64_t doubleToInt64(double d) {
    if (std::isnan(d)) return 0;
    if (d >= kTwoTo63) return std::numeric_limits<std::int64_t>::max();
    if (d < -kTwoTo63) return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(d);
}

std::uint64_t doubleToUInt64(double d) {
    if (std::isnan(d)) return 0;
    if (d >= kTwoTo64) return std::numeric_limits<std::uint64_t>::max();
    if (d < 0) return static_cast<std::uint64_t>(doubleToInt64(d));
    return static_cast<std::uint64_t>(d);
}

// Integers are kept as bits plus a flag: an unsigned value above INT64_MAX
// has negative bits and equals no signed value.
bool integersEqual(std::int64_t a, bool aUnsigned, std::int64_t b, bool bUnsigned) {
    if (aUnsigned == bUnsigned) return a == b;
    return a == b && a >= 0;
}

bool integerEqualsDouble(std::int64_t bits, bool isUnsigned, double d) {
    if (!std::isfinite(d) || std::trunc(d) != d) return false;
    if (isUnsigned && bits < 0) {
        return d >= kTwoTo63 && d < kTwoTo64 &&
               static_cast<std::uint64_t>(d) == static_cast<std::uint64_t>(bits);
    }
    return d >= -kTwoTo63 && d < kTwoTo63 && static_cast<std::int64_t>(d) == bits;
}

}  // namespace

Value::Value(const Value& other) = default;
Value::Value(Value&& other) noexcept = default;
Value& Value::operator=(const Value& other) = default;
Value& Value::operator=(Value&& other) noexcept = default;
Value::~Value() = default;

bool Value::isUnsigned() const {
    const auto* integer = std::get_if<Integer>(&storage_);
    return integer && integer->isUnsigned;
}

bool Value::boolValue() const {
    switch (kind()) {
        case Kind::Bool:
            return std::get<bool>(storage_);
        case Kind::Integer:
            return std::get<Integer>(storage_).value != 0;
        case Kind::Double: {
            const double d = std::get<double>(storage_);
            return d != 0 && !std::isnan(d);
        }
        case Kind::String:
            return textIsTrue(std::get<std::string>(storage_));
        default:
            return false;
    }
}

std::int64_t Value::intValue() const {
    switch (kind()) {
        case Kind::Bool:
            return std::get<bool>(storage_) ? 1 : 0;
        case Kind::Integer:
            return std::get<Integer>(storage_).value;
        case Kind::Double:
            return doubleToInt64(std::get<double>(storage_));
        case Kind::String:
            return NumberText::leadingInt64(std::get<std::string>(storage_));
        default:
            return 0;
    }
}

std::uint64_t Value::uintValue() const {
    switch (kind()) {
        case Kind::Bool:
            return std::get<bool>(storage_) ? 1 : 0;
        case Kind::Integer:
            return static_cast<std::uint64_t>(std::get<Integer>(storage_).value);
        case Kind::Double:
            return doubleToUInt64(std::get<double>(storage_));
        case Kind::String:
            return NumberText::leadingUInt64(std::get<std::string>(storage_));
        default:
            return 0;
    }
}

double Value::doubleValue() const {
    switch (kind()) {
        case Kind::Bool:
            return std::get<bool>(storage_) ? 1 : 0;
        case Kind::Integer: {
            const Integer integer = std::get<Integer>(storage_);
            return integer.isUnsigned
                       ? static_cast<double>(static_cast<std::uint64_t>(integer.value))
                       : static_cast<double>(integer.value);
        }
        case Kind::Double:
            return std::get<double>(storage_);
        case Kind::String:
            return NumberText::leadingDouble(std::get<std::string>(storage_));
        default:
            return 0;
    }
}

std::string Value::stringValue() const {
    std::string text;
    switch (kind()) {
        case Kind::String:
            return std::get<std::string>(storage_);
        case Kind::Bool:
            return std::get<bool>(storage_) ? "1" : "0";
        case Kind::Integer: {
            const Integer integer = std::get<Integer>(storage_);
            NumberText::appendInteger(text, integer.value, integer.isUnsigned);
            break;
        }
        case Kind::Double:
            NumberText::appendDouble(text, std::get<double>(storage_));
            break;
        default:
            break;
    }
    return text;
}

const Value& Value::operator[](std::string_view key) const {
    const Dictionary* dict = dictionary();
    return dict ? (*dict)[key] : null();
}

const Value& Value::operator[](size_t index) const {
    const Array* elements = array();
    return elements && index < elements->size() ? (*elements)[index] : null();
}

size_t Value::size() const {
    if (const Array* elements = array()) return elements->size();
    if (const Dictionary* dict = dictionary()) return dict->size();
    return 0;
}

bool operator==(const Value& a, const Value& b) {
    using Kind = Value::Kind;
    const auto* aInteger = std::get_if<Value::Integer>(&a.storage_);
    const auto* bInteger = std::get_if<Value::Integer>(&b.storage_);
    if (aInteger && bInteger) {
        return integersEqual(aInteger->value, aInteger->isUnsigned, bInteger->value,
                             bInteger->isUnsigned);
    }
    if (aInteger && b.kind() == Kind::Double) {
        return integerEqualsDouble(aInteger->value, aInteger->isUnsigned,
                                   std::get<double>(b.storage_));
    }
    if (bInteger && a.kind() == Kind::Double) {
        return integerEqualsDouble(bInteger->value, bInteger->isUnsigned,
                                   std::get<double>(a.storage_));
    }
    if (a.kind() != b.kind()) return false;
    switch (a.kind()) {
        case Kind::Null:
            return true;
        case Kind::Bool:
            return std::get<bool>(a.storage_) == std::get<bool>(b.storage_);
        case Kind::Double:
            return std::get<double>(a.storage_) == std::get<double>(b.storage_);
        case Kind::String:
            return *a.string() == *b.string();
        case Kind::Data:
            return *a.data() == *b.data();
        case Kind::Date:
            return *a.date() == *b.date();
        case Kind::Array:
            return *a.array() == *b.array();
        case Kind::Dictionary:
            return *a.dictionary() == *b.dictionary();
        case Kind::Integer:
            break;
    }
    return false;
}

const Value& Value::null() {
    // Never destroyed: threads still running as the process exits read it.
    static const Value& shared = *new Value;
    return shared;
}

}  // namespace core
