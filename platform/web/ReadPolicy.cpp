#include "web/ReadPolicy.h"

#include <algorithm>
#include <cctype>

namespace web {

namespace {

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

std::string trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return std::string(text);
}

// Whether response lets requester (serialized) read it.
bool permits(const core::HTTPURLResponse& response, const std::string& requester) {
    const auto allowed = response.value("Access-Control-Allow-Origin");
    if (!allowed) return false;
    const std::string value = trimmed(*allowed);
    // One value only: a list, as some servers send by mistake, allows nobody.
    return value == "*" || lower(value) == requester;
}

}  // namespace

std::string originOf(const core::URL& url) {
    if (!url.hasAuthority() || url.host().empty()) return "null";
    const std::string scheme = lower(url.scheme());
    std::string origin = scheme + "://" + lower(url.host());
    const auto port = url.port();
    const bool defaultPort = !port || (scheme == "http" && *port == 80) ||
                             (scheme == "https" && *port == 443);
    if (!defaultPort) origin += ":" + std::to_string(*port);
    return origin;
}

ReadPolicy ReadPolicy::of(const core::URLRequest& request) {
    ReadPolicy policy;
    const auto mode = request.value("Sec-Fetch-Mode");
    const std::string named = mode ? lower(trimmed(*mode)) : "";
    if (named == "navigate" || named == "no-cors") {
        policy.mode = Mode::open;
    } else if (named == "same-origin") {
        policy.mode = Mode::sameOrigin;
    } else {
        policy.mode = Mode::cors;  // "cors", and what the engine left unmarked
    }
    if (const auto origin = request.value("Origin"); origin && !trimmed(*origin).empty()) {
        const std::string given = lower(trimmed(*origin));
        const auto parsed = core::URL::create(given);
        policy.origin = parsed ? originOf(*parsed) : "null";
    } else {
        policy.origin = originOf(request.url());
    }
    policy.asked = originOf(request.url());
    if (const auto destination = request.value("Sec-Fetch-Dest"))
        policy.destination = lower(trimmed(*destination));
    return policy;
}

bool ReadPolicy::hidesOrigin(const std::vector<core::HTTPURLResponse>& redirects,
                             const core::HTTPURLResponse& final) const {
    if (mode != Mode::open) return false;
    if (originOf(final.url()) != asked) return true;
    for (const auto& hop : redirects)
        if (originOf(hop.url()) != asked) return true;
    return false;
}

bool ReadPolicy::allows(const std::vector<core::HTTPURLResponse>& redirects,
                        const core::HTTPURLResponse& final) const {
    if (mode == Mode::open) return true;
    bool tainted = false;
    for (size_t hop = 0; hop <= redirects.size(); ++hop) {
        const core::HTTPURLResponse& response = hop < redirects.size() ? redirects[hop] : final;
        const std::string at = originOf(response.url());
        const bool foreign = at != origin || origin == "null";
        if (mode == Mode::sameOrigin && foreign) return false;
        if (mode == Mode::cors && (tainted || foreign) &&
            !permits(response, tainted ? "null" : origin))
            return false;
        if (hop < redirects.size()) {
            const core::HTTPURLResponse& next = hop + 1 < redirects.size() ? redirects[hop + 1] : final;
            if (originOf(next.url()) != at && foreign) tainted = true;
        }
    }
    return true;
}

}  // namespace web
