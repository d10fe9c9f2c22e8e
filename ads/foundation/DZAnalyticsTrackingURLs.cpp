#include <cctype>
#include <set>

#include "ads/foundation/DZAnalytics.h"
#include "ads/foundation/DZQueryParameters.h"
#include "ads/foundation/DZURLLists.h"
#include "core/UserDefaults.h"

namespace ads {

namespace {

constexpr std::string_view kEventIDKey = "hst_aeid";
constexpr std::string_view kMacro = "[gw_hstaeid]";
constexpr std::string_view kMacroName = "gw_hstaeid";

// Length of the escaped macro ("%5Bgw_hstaeid%5D", hex digits in either
// case) at position, or 0.
size_t escapedMacroLength(std::string_view text, size_t position) {
    const auto escape = [&](size_t at, char upper) {
        return at + 3 <= text.size() && text[at] == '%' && text[at + 1] == '5' &&
               std::toupper(static_cast<unsigned char>(text[at + 2])) == upper;
    };
    const size_t nameAt = position + 3;
    const size_t closeAt = nameAt + kMacroName.size();
    if (escape(position, 'B') && text.substr(nameAt, kMacroName.size()) == kMacroName &&
        escape(closeAt, 'D')) {
        return closeAt + 3 - position;
    }
    return 0;
}

// Every escaped macro replaced; nullopt when there was none.
std::optional<std::string> replaceEscapedMacro(std::string_view text, std::string_view value) {
    std::string result;
    bool replaced = false;
    for (size_t position = 0; position < text.size();) {
        if (const size_t length = escapedMacroLength(text, position)) {
            result.append(value);
            position += length;
            replaced = true;
        } else {
            result.push_back(text[position++]);
        }
    }
    return replaced ? std::optional(result) : std::nullopt;
}

std::optional<std::string> replacePlainMacro(std::string_view text, std::string_view value) {
    std::string result;
    bool replaced = false;
    size_t position = 0;
    for (size_t found; (found = text.find(kMacro, position)) != std::string_view::npos;
         position = found + kMacro.size()) {
        result.append(text.substr(position, found - position)).append(value);
        replaced = true;
    }
    if (!replaced) {
        return std::nullopt;
    }
    result.append(text.substr(position));
    return result;
}

std::optional<core::URL> applyMacro(const core::URL& url, const std::string& eventName,
                                    const std::shared_ptr<DZAnalytics>& analytics) {
    const auto eventID = analytics ? analytics->adEventID() : std::nullopt;
    if (!eventID || DZQueryValueForKey(url, kEventIDKey) != kMacro) {
        return url;
    }
    analytics->logEventWithName(eventName, eventID);
    const std::string escapedID = DZPercentEscapedString(*eventID);
    auto text = replaceEscapedMacro(url.absoluteString(), escapedID);
    if (!text) {
        text = replacePlainMacro(url.absoluteString(), escapedID);
    }
    return core::URL::create(text.value_or(url.absoluteString()));
}

std::vector<std::string> schemaPatterns(const std::string& eventName) {
    std::string_view key;
    if (eventName == DZAnalytics::kImpressionEvent) {
        key = DZAnalytics::kImpressionPingSchemaKey;
    } else if (eventName == DZAnalytics::kClickEvent) {
        key = DZAnalytics::kClickPingSchemaKey;
    } else {
        return {};
    }
    const core::Value value = core::UserDefaults::standard()->objectForKey(key);
    if (const std::string* pattern = value.string()) {
        return {*pattern};
    }
    std::vector<std::string> patterns;
    if (const core::Array* array = value.array()) {
        for (const core::Value& pattern : *array) {
            if (const std::string* text = pattern.string()) {
                patterns.push_back(*text);
            }
        }
    }
    return patterns;
}

std::optional<core::URL> applySchema(const core::URL& url, const std::string& eventName,
                                     const std::vector<std::string>& patterns,
                                     const std::shared_ptr<DZAnalytics>& analytics) {
    if (patterns.empty() || !DZURLMatchesAnyPattern(url, patterns)) {
        return url;
    }
    const auto eventID = analytics ? analytics->adEventID() : std::nullopt;
    if (!eventID || DZQueryValueForKey(url, kEventIDKey)) {
        return url;
    }
    analytics->logEventWithName(eventName, eventID);
    return DZURLByAddingQueryParameters(url,
                                        core::Dictionary{{std::string(kEventIDKey), *eventID}});
}

}  // namespace

std::vector<core::URL> DZApplyAnalyticsToTrackingURLs(const std::vector<core::URL>& urls,
                                                      const std::string& eventName) {
    const auto analytics = DZAnalytics::sharedInstance();
    const bool macroMode = core::UserDefaults::standard()->boolForKey(DZAnalytics::kUsingMacroKey);
    const std::vector<std::string> patterns =
        macroMode ? std::vector<std::string>{} : schemaPatterns(eventName);

    std::vector<core::URL> result;
    std::set<std::string> seen;
    for (const core::URL& url : urls) {
        auto applied = macroMode ? applyMacro(url, eventName, analytics)
                                 : applySchema(url, eventName, patterns, analytics);
        if (applied && seen.insert(applied->absoluteString()).second) {
            result.push_back(std::move(*applied));
        }
    }
    return result;
}

std::vector<std::string>
DZApplyAnalyticsToTrackingURLStrings(const std::vector<std::string>& urlStrings,
                                     const std::string& eventName) {
    const auto urls = DZURLArrayFromStrings(urlStrings);
    if (!urls) {
        return {};
    }
    return DZStringsFromURLs(DZApplyAnalyticsToTrackingURLs(*urls, eventName))
        .value_or(std::vector<std::string>{});
}

}  // namespace ads
