#include "ads/foundation/DZAdServerDomains.h"

#include <algorithm>
#include <array>

#include "ads/foundation/DZURLUtilities.h"
#include "core/UserDefaults.h"

namespace ads {

namespace {

constexpr std::array<std::string_view, 3> kDefaultDomains = {"dozuza.com", "dozuzaads.com",
                                                             "dozuzastatic.com"};

std::string_view trimmed(std::string_view text) {
    constexpr std::string_view kBlanks = " \t\r\n";
    const size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

}  // namespace

std::vector<std::string> DZAdServerDomains() {
    std::vector<std::string> domains;
    const core::Value stored = core::UserDefaults::standard()->objectForKey(kDZAdServerDomainsKey);
    if (const std::string* text = stored.string()) {
        std::string_view rest = *text;
        for (;;) {
            const size_t comma = rest.find(',');
            const std::string_view domain = trimmed(rest.substr(0, comma));
            if (!domain.empty()) domains.emplace_back(domain);
            if (comma == std::string_view::npos) break;
            rest.remove_prefix(comma + 1);
        }
    }
    if (domains.empty()) domains.assign(kDefaultDomains.begin(), kDefaultDomains.end());
    return domains;
}

bool DZIsAdServerURL(const std::optional<core::URL>& url) {
    const std::vector<std::string> domains = DZAdServerDomains();
    return std::any_of(domains.begin(), domains.end(),
                       [&](const std::string& domain) { return DZURLHostIsInDomain(url, domain); });
}

}  // namespace ads
