#include "ads/foundation/DZQueryParameters.h"

#include <algorithm>

#include "core/CharacterSet.h"
#include "core/PercentEncoding.h"
#include "core/Regex.h"
#include "core/StringFormat.h"
#include "core/Unicode.h"

namespace ads {

namespace {

const core::CharacterSet& unreserved() {
    static const core::CharacterSet set = core::CharacterSet::fromCharacters(
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-._~");
    return set;
}

const core::Regex& destinationParameter() {
    static const std::shared_ptr<core::Regex> regex = core::Regex::create("[&?]adurl=.*");
    return *regex;
}

std::string queryOf(const core::URL& url) {
    return url.query().value_or(std::string());
}

// The "name=value" pieces of a query split at any of the separators, as
// undecoded pairs; pieces without exactly one "=" are left out.
std::vector<std::pair<std::string_view, std::string_view>> pairs(std::string_view query,
                                                                 std::string_view separators) {
    std::vector<std::pair<std::string_view, std::string_view>> out;
    while (!query.empty()) {
        const size_t end = query.find_first_of(separators);
        const std::string_view piece = query.substr(0, end);
        const size_t equals = piece.find('=');
        if (equals != std::string_view::npos &&
            piece.find('=', equals + 1) == std::string_view::npos) {
            out.emplace_back(piece.substr(0, equals), piece.substr(equals + 1));
        }
        if (end == std::string_view::npos) break;
        query.remove_prefix(end + 1);
    }
    return out;
}

}  // namespace

std::string DZPercentEscapedString(std::string_view text) {
    return core::percentEncode(text, unreserved());
}

std::optional<core::URL> DZURLByAddingQueryParameters(const std::optional<core::URL>& url,
                                                      const core::Dictionary& parameters) {
    if (!url) return std::nullopt;
    if (parameters.empty()) return url;

    std::string text = url->absoluteString();
    const size_t fragmentStart = std::min(text.find('#'), text.size());
    std::string tail;  // what follows the new parameters
    std::string separator;
    const auto destination = destinationParameter().firstMatch(text);
    if (destination && destination->whole().utf8.location < fragmentStart) {
        const size_t cut = destination->whole().utf8.location + 1;
        tail = "&" + text.substr(cut);
        text.erase(cut);
    } else {
        tail = text.substr(fragmentStart);
        text.erase(fragmentStart);
        const bool endsWithSeparator = text.ends_with('?') || text.ends_with('&');
        if (!endsWithSeparator) separator = url->query() && !url->query()->empty() ? "&" : "?";
    }

    for (const auto& [key, value] : parameters) {
        text += separator;
        text += key;
        const std::string escaped = DZPercentEscapedString(core::describe(value));
        if (!escaped.empty()) text += "=" + escaped;
        separator = "&";
    }
    return core::URL::create(text + tail);
}

core::Dictionary DZQueryDictionaryFromURL(const std::optional<core::URL>& url, bool lowercaseKeys) {
    core::Dictionary result;
    if (!url) return result;
    const std::string query = queryOf(*url);
    for (const auto& [rawKey, rawValue] : pairs(query, "&;")) {
        std::optional<std::string> key = core::percentDecode(rawKey);
        std::optional<std::string> value = core::percentDecode(rawValue);
        if (!key || !value) continue;
        if (lowercaseKeys) key = core::Unicode::toLower(*key, "");
        result.set(std::move(*key), std::move(*value));
    }
    return result;
}

std::optional<std::vector<std::string>> DZQueryValuesForKey(const std::optional<core::URL>& url,
                                                            std::optional<std::string_view> key) {
    if (!url || !key) return std::nullopt;
    const std::string query = queryOf(*url);
    std::vector<std::string> values;
    for (const auto& [name, rawValue] : pairs(query, "&")) {
        if (name != *key) continue;
        // A value that does not unescape is left out rather than stored empty.
        if (auto value = core::percentDecode(rawValue)) values.push_back(std::move(*value));
    }
    if (values.empty()) return std::nullopt;
    return values;
}

std::optional<std::string> DZQueryValueForKey(const std::optional<core::URL>& url,
                                              std::optional<std::string_view> key) {
    auto values = DZQueryValuesForKey(url, key);
    if (!values) return std::nullopt;
    return std::move(values->front());
}

}  // namespace ads
