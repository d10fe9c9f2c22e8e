#include "core/DefaultsFile.h"

#include <algorithm>
#include <charconv>
#include <cstdint>

#include "core/JSON.h"

namespace core {

namespace {

constexpr std::string_view kFormat = "vantor-defaults";
constexpr std::int64_t kVersion = 1;

constexpr char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string toBase64(const Data& bytes) {
    std::string text;
    text.reserve((bytes.size() + 2) / 3 * 4);
    for (size_t i = 0; i < bytes.size(); i += 3) {
        const size_t count = std::min<size_t>(3, bytes.size() - i);
        std::uint32_t group = std::uint32_t(bytes[i]) << 16;
        if (count > 1) group |= std::uint32_t(bytes[i + 1]) << 8;
        if (count > 2) group |= bytes[i + 2];
        for (size_t k = 0; k < 4; ++k) {
            text.push_back(k <= count ? kBase64[(group >> (18 - 6 * k)) & 63] : '=');
        }
    }
    return text;
}

std::optional<Data> fromBase64(std::string_view text) {
    if (text.size() % 4 != 0) return std::nullopt;
    Data bytes;
    bytes.reserve(text.size() / 4 * 3);
    for (size_t i = 0; i < text.size(); i += 4) {
        std::uint32_t group = 0;
        size_t padding = 0;
        for (size_t k = 0; k < 4; ++k) {
            const char c = text[i + k];
            const char* found = std::char_traits<char>::find(kBase64, 64, c);
            if (c == '=' && i + 4 == text.size() && k >= 2) {
                ++padding;
            } else if (!found || padding > 0) {
                return std::nullopt;
            }
            group = group << 6 | std::uint32_t(found ? found - kBase64 : 0);
        }
        bytes.push_back(static_cast<std::uint8_t>(group >> 16));
        if (padding < 2) bytes.push_back(static_cast<std::uint8_t>(group >> 8));
        if (padding < 1) bytes.push_back(static_cast<std::uint8_t>(group));
    }
    return bytes;
}

std::string numberText(double number) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, number);
    return std::string(buffer, result.ptr);
}

template <typename Number>
std::optional<Number> parseNumber(std::string_view text) {
    Number number{};
    const auto result = std::from_chars(text.data(), text.data() + text.size(), number);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size()) return std::nullopt;
    return number;
}

Value tagged(std::string_view tag, std::string text) {
    Dictionary wrapper;
    wrapper.set(std::string(tag), Value(std::move(text)));
    return Value(std::move(wrapper));
}

Value encodeValue(const Value& value);

Dictionary encodeDictionary(const Dictionary& dictionary) {
    Dictionary encoded;
    for (const auto& [key, element] : dictionary) {
        encoded.set(key.starts_with('$') ? "$" + key : key, encodeValue(element));
    }
    return encoded;
}

Value encodeValue(const Value& value) {
    switch (value.kind()) {
        case Value::Kind::Integer:
            if (value.isUnsigned()) return tagged("$uint", std::to_string(value.uintValue()));
            return value;
        case Value::Kind::Double:
            return tagged("$double", numberText(value.doubleValue()));
        case Value::Kind::Data:
            return tagged("$data", toBase64(*value.data()));
        case Value::Kind::Date:
            return tagged("$date", numberText(value.date()->secondsSince1970));
        case Value::Kind::Array: {
            Array encoded;
            encoded.reserve(value.size());
            for (const auto& element : *value.array()) encoded.push_back(encodeValue(element));
            return Value(std::move(encoded));
        }
        case Value::Kind::Dictionary:
            return Value(encodeDictionary(*value.dictionary()));
        default:
            return value;
    }
}

class Decoder {
public:
    std::string error;

    std::optional<Value> value(const Value& stored) {
        switch (stored.kind()) {
            case Value::Kind::Array: {
                Array decoded;
                decoded.reserve(stored.size());
                for (const auto& element : *stored.array()) {
                    auto item = value(element);
                    if (!item) return std::nullopt;
                    decoded.push_back(std::move(*item));
                }
                return Value(std::move(decoded));
            }
            case Value::Kind::Dictionary:
                return object(*stored.dictionary());
            default:
                return stored;
        }
    }

    std::optional<Dictionary> dictionary(const Dictionary& stored) {
        Dictionary decoded;
        for (const auto& [key, element] : stored) {
            if (key.starts_with('$') && !key.starts_with("$$")) {
                return failure("unexpected tag \"" + key + "\" among dictionary keys");
            }
            auto item = value(element);
            if (!item) return std::nullopt;
            decoded.set(key.starts_with('$') ? key.substr(1) : key, std::move(*item));
        }
        return decoded;
    }

private:
    std::nullopt_t failure(std::string message) {
        if (error.empty()) error = std::move(message);
        return std::nullopt;
    }

    std::optional<Value> object(const Dictionary& stored) {
        if (stored.size() != 1 || !stored.begin()->first.starts_with('$') ||
            stored.begin()->first.starts_with("$$")) {
            auto decoded = dictionary(stored);
            if (!decoded) return std::nullopt;
            return Value(std::move(*decoded));
        }
        const auto& [tag, payload] = *stored.begin();
        const std::string* text = payload.string();
        if (!text) return failure("the tag \"" + tag + "\" holds no text");
        if (tag == "$uint") {
            const auto number = parseNumber<std::uint64_t>(*text);
            if (!number) return failure("bad unsigned integer \"" + *text + "\"");
            return Value(static_cast<unsigned long long>(*number));
        }
        if (tag == "$double") {
            const auto number = parseNumber<double>(*text);
            if (!number) return failure("bad double \"" + *text + "\"");
            return Value(*number);
        }
        if (tag == "$date") {
            const auto seconds = parseNumber<double>(*text);
            if (!seconds) return failure("bad date \"" + *text + "\"");
            return Value(Date{*seconds});
        }
        if (tag == "$data") {
            auto bytes = fromBase64(*text);
            if (!bytes) return failure("bad base64 data");
            return Value(std::move(*bytes));
        }
        return failure("unknown tag \"" + tag + "\"");
    }
};

}  // namespace

std::optional<std::string> DefaultsFile::encode(const Dictionary& values, std::string* error) {
    Dictionary document;
    document.set("format", Value(kFormat));
    document.set("version", Value(static_cast<long long>(kVersion)));
    document.set("values", Value(encodeDictionary(values)));
    JSONError jsonError;
    auto text = JSON::write(Value(std::move(document)), JSONStyle::Pretty, &jsonError);
    if (!text && error) *error = "cannot encode the values: " + jsonError.message;
    return text;
}

std::optional<Dictionary> DefaultsFile::decode(std::string_view text, std::string* error) {
    auto fail = [&](std::string message) -> std::optional<Dictionary> {
        if (error) *error = std::move(message);
        return std::nullopt;
    };
    JSONError jsonError;
    JSONReadOptions options;
    options.maxDepth = 1024;
    const auto document = JSON::parse(text, options, &jsonError);
    if (!document) {
        return fail("not JSON (" + jsonError.message + " at byte " +
                    std::to_string(jsonError.position) + ")");
    }
    const Value& format = (*document)["format"];
    if (!format.string() || *format.string() != kFormat) return fail("not a defaults file");
    const Value& version = (*document)["version"];
    if (!version.isInteger() || version.intValue() != kVersion) {
        return fail("unsupported version " + version.stringValue());
    }
    const Dictionary* values = (*document)["values"].dictionary();
    if (!values) return fail("no values");
    Decoder decoder;
    auto decoded = decoder.dictionary(*values);
    if (!decoded) return fail(decoder.error);
    return decoded;
}

}  // namespace core
