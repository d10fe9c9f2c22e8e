#include "ads/foundation/DZURLLists.h"

#include "core/CharacterSet.h"
#include "core/Unicode.h"

namespace ads {

std::optional<std::vector<core::URL>> DZURLArrayFromStrings(
    const std::vector<std::string>& strings) {
    std::vector<core::URL> urls;
    for (const std::string& text : strings) {
        if (auto url = core::URL::create(text)) urls.push_back(std::move(*url));
    }
    if (urls.empty()) return std::nullopt;
    return urls;
}

std::optional<std::vector<std::string>> DZStringsFromURLs(const std::vector<core::URL>& urls) {
    if (urls.empty()) return std::nullopt;
    std::vector<std::string> texts;
    texts.reserve(urls.size());
    for (const core::URL& url : urls) texts.push_back(url.absoluteString());
    return texts;
}

std::optional<std::vector<core::URL>> DZURLsFromWhitespaceSeparatedString(
    std::optional<std::string_view> text) {
    if (!text) return std::nullopt;
    const core::CharacterSet& blanks = core::CharacterSet::whitespace();
    std::vector<core::URL> urls;
    const auto take = [&](std::string_view piece) {
        auto url = core::URL::create(piece);
        if (url && !url->absoluteString().empty()) urls.push_back(std::move(*url));
    };
    size_t pieceStart = 0;
    size_t offset = 0;
    while (offset < text->size()) {
        const size_t characterStart = offset;
        if (blanks.contains(core::Unicode::nextCodePoint(*text, offset))) {
            take(text->substr(pieceStart, characterStart - pieceStart));
            pieceStart = offset;
        }
    }
    take(text->substr(pieceStart));
    if (urls.empty()) return std::nullopt;
    return urls;
}

bool DZURLMatchesAnyPattern(const std::optional<core::URL>& url,
                            const std::vector<std::string>& patterns) {
    if (!url) return false;
    for (const std::string& pattern : patterns) {
        const auto regex = core::Regex::create(pattern, {.caseInsensitive = true});
        if (regex && regex->firstMatch(url->absoluteString())) return true;
    }
    return false;
}

std::shared_ptr<core::Regex> DZRegularExpressionWithPattern(
    std::optional<std::string_view> pattern) {
    if (!pattern) return nullptr;
    return core::Regex::create(*pattern);
}

}  // namespace ads
