#include "ads/foundation/DZJSONAdditions.h"

#include <unordered_set>

#include "core/JSON.h"
#include "core/StringFormat.h"
#include "core/Unicode.h"

namespace ads {

namespace {

Error jsonError(std::string message) {
    Error error;
    error.domain = "core.JSON";
    error.message = std::move(message);
    return error;
}

std::optional<std::string> written(const core::Value& value, bool pretty, Error* error) {
    core::JSONError reason;
    auto text = core::JSON::write(
        value, pretty ? core::JSONStyle::Pretty : core::JSONStyle::Compact, &reason);
    if (!text && error) {
        *error = DZErrorWithCodeDescription(kDZErrorInternalError, "Invalid JSON object.");
        error->underlying = std::make_shared<const Error>(jsonError(reason.message));
    }
    return text;
}

std::string safeText(const std::string& text) {
    return core::Unicode::isValidUTF8(text) ? text : core::Unicode::sanitized(text);
}

core::Value safeValue(const core::Value& value);

core::Array safeArray(const core::Array& array) {
    core::Array out;
    out.reserve(array.size());
    for (const core::Value& item : array) out.push_back(safeValue(item));
    return out;
}

core::Dictionary safeDictionary(const core::Dictionary& dictionary) {
    core::Dictionary out;
    out.reserve(dictionary.size());
    for (const auto& [key, value] : dictionary) out.set(safeText(key), safeValue(value));
    return out;
}

core::Value safeValue(const core::Value& value) {
    if (const core::Dictionary* dictionary = value.dictionary()) return safeDictionary(*dictionary);
    if (const core::Array* array = value.array()) return safeArray(*array);
    if (const std::string* text = value.string()) return safeText(*text);
    if (core::JSON::write(core::Dictionary{{"key", value}})) return value;
    return core::describe(value);
}

core::Value safeLoose(const DZLooseValue& loose);

core::Array safeLooseArray(const DZLooseValue::Array& array) {
    core::Array out;
    out.reserve(array.size());
    for (const DZLooseValue& item : array) out.push_back(safeLoose(item));
    return out;
}

// The text a key stands for, and whether it was a text to begin with.
std::pair<std::string, bool> keyName(const DZLooseValue& key) {
    if (const core::Value* value = key.value(); value && value->string()) {
        return {safeText(*value->string()), true};
    }
    return {core::describe(safeLoose(key)), false};
}

core::Dictionary safeLooseDictionary(const DZLooseValue::Dictionary& entries) {
    std::vector<std::pair<std::string, bool>> names;
    names.reserve(entries.size());
    std::unordered_set<std::string> textKeys;
    for (const auto& entry : entries) {
        names.push_back(keyName(entry.first));
        if (names.back().second) textKeys.insert(names.back().first);
    }
    core::Dictionary out;
    out.reserve(entries.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        const auto& [name, isText] = names[i];
        if (!isText && (textKeys.contains(name) || out.contains(name))) continue;
        out.set(name, safeLoose(entries[i].second));
    }
    return out;
}

core::Value safeLoose(const DZLooseValue& loose) {
    if (const core::Value* value = loose.value()) return safeValue(*value);
    if (const core::URL* url = loose.url()) return url->absoluteString();
    if (const DZLooseValue::Array* array = loose.array()) return safeLooseArray(*array);
    return safeLooseDictionary(*loose.dictionary());
}

}  // namespace

void DZJSONAdditions::DZFileLinkAnchor() {}

std::optional<std::string> dz_JSONStringPretty(const core::Array& array, bool pretty,
                                               Error* error) {
    return written(array, pretty, error);
}

std::optional<std::string> dz_JSONStringPretty(const core::Dictionary& dictionary, bool pretty,
                                               Error* error) {
    return written(dictionary, pretty, error);
}

core::Array dz_JSONSafeArray(const core::Array& array) {
    return safeArray(array);
}

core::Dictionary dz_JSONSafeDictionary(const core::Dictionary& dictionary) {
    return safeDictionary(dictionary);
}

core::Array dz_JSONSafeArray(const DZLooseValue::Array& array) {
    return safeLooseArray(array);
}

core::Dictionary dz_JSONSafeDictionary(const DZLooseValue::Dictionary& dictionary) {
    return safeLooseDictionary(dictionary);
}

std::optional<core::Value> dz_decodedJSONObjectError(std::string_view text, Error* error) {
    core::JSONError reason;
    auto value = core::JSON::parse(text, {.allowFragments = true}, &reason);
    if (!value && error) {
        *error = jsonError(core::format("%@ (byte %lu)", reason.message, reason.position));
    }
    return value;
}

}  // namespace ads
