#include "core/URLComponents.h"

#include "core/CharacterSet.h"
#include "core/PercentEncoding.h"

namespace core {

namespace {

std::optional<std::string> encoded(std::optional<std::string_view> text,
                                   const CharacterSet& allowed) {
    if (!text) return std::nullopt;
    return percentEncode(*text, allowed);
}

const CharacterSet& queryItemAllowed() {
    static const CharacterSet set =
        CharacterSet::urlQueryAllowed().subtracting(CharacterSet::fromCharacters("&=+"));
    return set;
}

}  // namespace

URLComponents::URLComponents(const URL& url)
    : path_(url.path_), query_(url.query_), fragment_(url.fragment_) {
    if (!url.scheme_.empty()) scheme_ = url.scheme_;
    if (url.authority_) host_ = url.host_;
    port_ = url.port_;
    if (url.userInfo_) {
        const size_t colon = url.userInfo_->find(':');
        user_ = url.userInfo_->substr(0, colon);
        if (colon != std::string::npos) password_ = url.userInfo_->substr(colon + 1);
    }
}

std::optional<URL> URLComponents::url() const {
    if (port_ && (*port_ < 0 || *port_ > 65535)) return std::nullopt;
    std::optional<std::string> authority;
    if (host_ || user_ || password_ || port_) {
        authority = std::string();
        if (user_ || password_) {
            *authority += user_.value_or("");
            if (password_) *authority += ":" + *password_;
            *authority += "@";
        }
        const std::string host = host_.value_or("");
        *authority += host.find(':') == std::string::npos ? host : "[" + host + "]";
        if (port_) *authority += ":" + std::to_string(*port_);
    }
    if (scheme_ && scheme_->empty()) return std::nullopt;
    if (!authority && path_.starts_with("//")) return std::nullopt;
    const std::optional<std::string> text =
        URL::compose(scheme_.value_or(""), authority, path_, query_, fragment_);
    return text ? URL::create(*text) : std::nullopt;
}

std::vector<URLQueryItem> URLComponents::queryItems() const {
    if (!query_) return {};
    std::optional<URL> parsed = URL::create("?" + *query_);
    return parsed ? parsed->queryItems() : std::vector<URLQueryItem>();
}

void URLComponents::setUser(std::optional<std::string_view> user) {
    user_ = encoded(user, CharacterSet::urlUserAllowed());
}

void URLComponents::setPassword(std::optional<std::string_view> password) {
    password_ = encoded(password, CharacterSet::urlPasswordAllowed());
}

void URLComponents::setHost(std::optional<std::string_view> host) {
    host_ = encoded(host, CharacterSet::urlHostAllowed());
}

void URLComponents::setPath(std::string_view path) {
    path_ = percentEncode(path, CharacterSet::urlPathAllowed());
}

void URLComponents::setQueryItems(const std::optional<std::vector<URLQueryItem>>& items) {
    if (!items) {
        query_.reset();
        return;
    }
    std::string query;
    for (size_t i = 0; i < items->size(); ++i) {
        const URLQueryItem& item = (*items)[i];
        if (i > 0) query += '&';
        query += percentEncode(item.name, queryItemAllowed());
        if (item.value) query += "=" + percentEncode(*item.value, queryItemAllowed());
    }
    query_ = std::move(query);
}

void URLComponents::setFragment(std::optional<std::string_view> fragment) {
    fragment_ = encoded(fragment, CharacterSet::urlFragmentAllowed());
}

}  // namespace core
