#include "ads/foundation/DZURLUtilities.h"

#include <algorithm>

#include "core/Unicode.h"

namespace ads {

std::optional<std::string> DZURLStringWithoutFragment(const std::optional<core::URL>& url) {
    if (!url) return std::nullopt;
    const std::string& text = url->absoluteString();
    return text.substr(0, text.find('#'));
}

std::optional<core::URL> DZCanonicalURL(const std::optional<core::URL>& url) {
    if (!url) return std::nullopt;
    if (!url->hasAuthority() || url->host().empty()) return url;

    std::string text = *DZURLStringWithoutFragment(url);
    if (!url->hasExplicitPort()) {
        const size_t authorityStart = (url->scheme().empty() ? 0 : url->scheme().size() + 1) + 2;
        const size_t authorityEnd = std::min(text.find_first_of("/?", authorityStart), text.size());
        // "host:" names no port: only the number is missing.
        const bool emptyPort = authorityEnd > authorityStart && text[authorityEnd - 1] == ':';
        text.insert(authorityEnd, emptyPort ? "80" : ":80");
    }
    while (text.ends_with('/')) text.pop_back();
    // A URL the engine wrote stays one: its canonical text keeps its bytes.
    return core::URL::createFromWeb(text);
}

std::optional<std::string> DZStringByRemovingTrailingSlash(std::optional<std::string_view> text) {
    if (!text) return std::nullopt;
    std::string_view result = *text;
    if (result.ends_with('/')) result.remove_suffix(1);
    return std::string(result);
}

bool DZURLHostMatches(const std::optional<core::URL>& url, std::optional<std::string_view> host) {
    if (!url || !host || !url->hasAuthority()) return false;
    return core::Unicode::equalsCaseInsensitive(url->host(), *host);
}

bool DZIsAllowedHTMLBaseURL(const std::optional<core::URL>& baseURL) {
    return !baseURL || baseURL->isHTTPorHTTPS();
}

bool DZURLSchemeMatches(const std::optional<core::URL>& url,
                        std::optional<std::string_view> scheme) {
    if (!url || !scheme || url->scheme().empty()) return false;
    return core::Unicode::equalsCaseInsensitive(url->scheme(), *scheme);
}

bool DZURLHostIsInDomain(const std::optional<core::URL>& url, std::string_view domain) {
    if (!url || !url->hasAuthority()) return false;
    std::string_view host = url->host();
    if (host.ends_with('.')) host.remove_suffix(1);
    if (domain.starts_with('.')) domain.remove_prefix(1);
    if (domain.empty() || host.size() < domain.size()) return false;
    const size_t start = host.size() - domain.size();
    if (start > 0 && host[start - 1] != '.') return false;
    return core::Unicode::equalsCaseInsensitive(host.substr(start), domain);
}

std::optional<std::string> DZURLPathSegmentPair(const std::optional<core::URL>& url) {
    if (!url) return std::nullopt;
    const std::vector<std::string> components = url->pathComponents();
    if (components.size() < 4) return std::nullopt;
    return components[2] + "/" + components[3];
}

}  // namespace ads
