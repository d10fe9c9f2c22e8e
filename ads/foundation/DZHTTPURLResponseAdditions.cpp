#include "ads/foundation/DZHTTPURLResponseAdditions.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <limits>
#include <memory>
#include <vector>

#include "core/Clock.h"
#include "core/DateFormatter.h"
#include "core/Unicode.h"

namespace ads {

namespace {

using Formatters = std::array<std::shared_ptr<core::DateFormatter>, 3>;

const Formatters& httpDateFormatters() {
    static const Formatters formatters = {
        core::DateFormatter::create("EEE, dd MMM yyyy HH:mm:ss z", "en_US", "GMT"),
        core::DateFormatter::create("EEE MMM d HH:mm:ss yyyy", "en_US", "GMT"),
        core::DateFormatter::create("EEEE, dd-MMM-yy HH:mm:ss z", "en_US", "GMT"),
    };
    return formatters;
}

bool containsIgnoringCase(std::string_view text, std::string_view part) {
    return core::Unicode::toLower(text, "").find(part) != std::string::npos;
}

// The integer right after "max-age=" (spaces and a sign allowed, as a
// scanner reads it), saturating; nullopt without digits.
std::optional<long long> maxAge(std::string_view cacheControl) {
    const std::string lower = core::Unicode::toLower(cacheControl, "");
    const size_t found = lower.find("max-age=");
    if (found == std::string::npos) return std::nullopt;
    std::string_view rest = std::string_view(lower).substr(found + 8);
    while (!rest.empty() && std::isspace(static_cast<unsigned char>(rest.front()))) {
        rest.remove_prefix(1);
    }
    bool negative = false;
    if (!rest.empty() && (rest.front() == '-' || rest.front() == '+')) {
        negative = rest.front() == '-';
        rest.remove_prefix(1);
    }
    if (rest.empty() || !std::isdigit(static_cast<unsigned char>(rest.front()))) {
        return std::nullopt;
    }
    long long value = 0;
    constexpr long long kMax = std::numeric_limits<long long>::max();
    for (; !rest.empty() && std::isdigit(static_cast<unsigned char>(rest.front()));
         rest.remove_prefix(1)) {
        const int digit = rest.front() - '0';
        value = value > (kMax - digit) / 10 ? kMax : value * 10 + digit;
    }
    return negative ? -value : value;
}

}  // namespace

void DZHTTPURLResponseAdditions::DZFileLinkAnchor() {}

std::optional<core::Date> dz_dateFromHttpDateString(std::string_view text) {
    for (const auto& formatter : httpDateFormatters()) {
        if (!formatter) continue;
        if (auto date = formatter->date(text)) return date;
    }
    return std::nullopt;
}

std::optional<core::Date> dz_expirationDate(const core::HTTPURLResponse& response) {
    const auto pragma = response.value("Pragma");
    if (pragma && core::Unicode::equalsCaseInsensitive(*pragma, "no-cache")) return std::nullopt;

    const double now = core::Clock::current()->wallSeconds();
    const auto dateField = response.value("Date");
    const auto date = dateField ? dz_dateFromHttpDateString(*dateField) : std::nullopt;
    const double base = date ? date->secondsSince1970 : now;

    if (const auto cacheControl = response.value("Cache-Control")) {
        if (containsIgnoringCase(*cacheControl, "no-store")) return std::nullopt;
        if (const auto seconds = maxAge(*cacheControl)) {
            if (*seconds < 1) return std::nullopt;
            return core::Date{base + static_cast<double>(*seconds)};
        }
    }

    const auto expiresField = response.value("Expires");
    const auto expires = expiresField ? dz_dateFromHttpDateString(*expiresField) : std::nullopt;
    if (!expires) return std::nullopt;
    const double lifetime = expires->secondsSince1970 - base;
    if (lifetime <= 0) return std::nullopt;
    return core::Date{now + lifetime};
}

core::Dictionary dz_allHeaderFields(const core::HTTPURLResponse& response) {
    core::Dictionary fields;
    std::vector<std::string_view> seen;
    for (const auto& field : response.headers()) {
        const std::string& name = field.first;
        const auto& value = field.second;
        const bool repeated = std::any_of(seen.begin(), seen.end(), [&](std::string_view known) {
            return core::HTTPHeaders::sameName(known, name);
        });
        if (repeated) continue;
        seen.push_back(name);
        fields.set(name, response.value(name).value_or(value));
    }
    return fields;
}

}  // namespace ads
