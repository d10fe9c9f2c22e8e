#include "ads/foundation/DZQueryParameters.h"

#include "core/CharacterSet.h"
#include "core/PercentEncoding.h"
#include "core/StringFormat.h"
#include "core/Unicode.h"

namespace ads {

namespace {

const core::CharacterSet& unreserved() {
    static const core::CharacterSet set = core::CharacterSet::fromCharacters(
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-._~");
    return set;
}

// Where the first "adurl=" parameter of a query starts; npos without one.
size_t destinationParameterOffset(std::string_view query) {
    constexpr std::string_view kDestination = "adurl=";
    for (size_t start = 0; start <= query.size();) {
        if (query.substr(start).starts_with(kDestination)) return start;
        const size_t ampersand = query.find('&', start);
        if (ampersand == std::string_view::npos) break;
        start = ampersand + 1;
    }
    return std::string_view::npos;
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

    // The parts are found on the parsed URL, whose text is kept as written:
    // the fragment ends it, the query comes right before "#fragment".
    const std::string& whole = url->absoluteString();
    const size_t fragmentStart =
        url->fragment() ? whole.size() - url->fragment()->size() - 1 : whole.size();
    std::string text = whole.substr(0, fragmentStart);
    std::string tail = whole.substr(fragmentStart);  // what follows the new parameters
    std::string separator = "?";
    if (const std::optional<std::string>& query = url->query()) {
        const size_t queryStart = fragmentStart - query->size();
        separator = query->empty() || query->ends_with('&') ? "" : "&";
        // The click's destination and everything after it (a "#" in it
        // included) stay last and untouched.
        const size_t destination = destinationParameterOffset(*query);
        if (destination != std::string::npos) {
            tail = "&" + whole.substr(queryStart + destination);
            text.erase(queryStart + destination);
            separator.clear();
        }
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
