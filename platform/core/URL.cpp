#include "core/URL.h"

#include <arpa/inet.h>

#include <algorithm>
#include <charconv>
#include <filesystem>

#include "core/CharacterSet.h"
#include "core/PercentEncoding.h"

namespace core {

namespace {

bool isAlpha(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
bool isHex(char c) {
    return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool isUnreservedOrSubDelim(char c) {
    return isAlpha(c) || isDigit(c) ||
           std::string_view("-._~!$&'()*+,;=").find(c) != std::string_view::npos;
}

// Unreserved characters, sub-delimiters, `extra` and well-formed escapes.
bool isValidPart(std::string_view part, std::string_view extra) {
    for (size_t i = 0; i < part.size(); ++i) {
        const char c = part[i];
        if (c == '%') {
            if (i + 2 >= part.size() || !isHex(part[i + 1]) || !isHex(part[i + 2])) return false;
            i += 2;
        } else if (!isUnreservedOrSubDelim(c) && extra.find(c) == std::string_view::npos) {
            return false;
        }
    }
    return true;
}

bool isValidScheme(std::string_view scheme) {
    if (scheme.empty() || !isAlpha(scheme.front())) return false;
    for (const char c : scheme) {
        if (!isAlpha(c) && !isDigit(c) && c != '+' && c != '-' && c != '.') return false;
    }
    return true;
}

// The inside of "[...]": an IPv6 address with an optional "%25" zone, or
// "v<hex>.<text>".
bool isValidIPLiteral(std::string_view literal) {
    if (!literal.empty() && (literal.front() == 'v' || literal.front() == 'V')) {
        const size_t dot = literal.find('.');
        if (dot == std::string_view::npos || dot < 2 || dot + 1 == literal.size()) return false;
        for (const char c : literal.substr(1, dot - 1)) {
            if (!isHex(c)) return false;
        }
        const std::string_view rest = literal.substr(dot + 1);
        return rest.find('%') == std::string_view::npos && isValidPart(rest, ":");
    }
    const size_t zone = literal.find("%25");
    if (zone != std::string_view::npos) {
        const std::string_view zoneId = literal.substr(zone + 3);
        if (zoneId.empty() || !isValidPart(zoneId, "")) return false;
    }
    const std::string address(literal.substr(0, zone));
    in6_addr ignored{};
    return inet_pton(AF_INET6, address.c_str(), &ignored) == 1;
}

// What a browser engine puts in a path, query, fragment or user name: any
// byte but a space, a control character or DEL.
bool isValidWebPart(std::string_view part) {
    return std::none_of(part.begin(), part.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte <= 0x20 || byte == 0x7F;
    });
}

bool isValid(std::string_view part, std::string_view extra, bool web) {
    return web ? isValidWebPart(part) : isValidPart(part, extra);
}

std::string decodedOrRaw(std::string_view text) {
    std::optional<std::string> decoded = percentDecode(text);
    return decoded ? std::move(*decoded) : std::string(text);
}

}  // namespace

std::optional<URL> URL::create(std::string_view text) {
    URL url;
    if (text.empty() || !parse(text, url)) return std::nullopt;
    return url;
}

std::optional<URL> URL::createFromWeb(std::string_view text) {
    URL url;
    if (text.empty() || !parse(text, url, true)) return std::nullopt;
    return url;
}

URL URL::fileURL(std::string_view path) {
    std::string absolute(path);
    if (absolute.empty() || absolute.front() != '/') {
        std::error_code error;
        const std::filesystem::path base = std::filesystem::current_path(error);
        absolute = ((error ? std::filesystem::path("/") : base) / absolute).string();
    }
    URL url;
    const bool parsed =
        parse("file://" + percentEncode(absolute, CharacterSet::urlPathAllowed()), url);
    (void)parsed;  // an escaped absolute path always parses
    return url;
}

bool URL::parse(std::string_view text, URL& url, bool web) {
    url.text_ = std::string(text);
    std::string_view rest = text;
    const size_t delimiter = rest.find_first_of(":/?#");
    if (delimiter != std::string_view::npos && rest[delimiter] == ':') {
        // A colon before any "/", "?" or "#" must end a scheme.
        if (!isValidScheme(rest.substr(0, delimiter))) return false;
        url.scheme_ = std::string(rest.substr(0, delimiter));
        rest.remove_prefix(delimiter + 1);
    }
    if (const size_t hash = rest.find('#'); hash != std::string_view::npos) {
        const std::string_view fragment = rest.substr(hash + 1);
        if (!isValid(fragment, ":@/?", web)) return false;
        url.fragment_ = std::string(fragment);
        rest = rest.substr(0, hash);
    }
    if (const size_t question = rest.find('?'); question != std::string_view::npos) {
        const std::string_view query = rest.substr(question + 1);
        if (!isValid(query, ":@/?", web)) return false;
        url.query_ = std::string(query);
        rest = rest.substr(0, question);
    }
    if (rest.starts_with("//")) {
        const size_t slash = rest.find('/', 2);
        const std::string_view authority = rest.substr(2, slash - 2);
        if (!url.parseAuthority(authority, web)) return false;
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash);
    }
    if (!isValid(rest, ":@/", web)) return false;
    url.path_ = std::string(rest);
    return true;
}

bool URL::parseAuthority(std::string_view authority, bool web) {
    authority_ = std::string(authority);
    if (const size_t at = authority.find('@'); at != std::string_view::npos) {
        const std::string_view userInfo = authority.substr(0, at);
        if (!isValid(userInfo, ":", web)) return false;
        userInfo_ = std::string(userInfo);
        authority.remove_prefix(at + 1);
    }
    std::string_view port;
    if (authority.starts_with('[')) {
        const size_t close = authority.find(']');
        if (close == std::string_view::npos) return false;
        const std::string_view literal = authority.substr(1, close - 1);
        if (!isValidIPLiteral(literal)) return false;
        host_ = std::string(literal);
        const std::string_view after = authority.substr(close + 1);
        if (!after.empty() && after.front() != ':') return false;
        port = after.empty() ? after : after.substr(1);
    } else {
        const size_t colon = authority.rfind(':');
        const std::string_view host = authority.substr(0, colon);
        if (!isValidPart(host, "")) return false;
        host_ = std::string(host);
        if (colon != std::string_view::npos) port = authority.substr(colon + 1);
    }
    if (port.empty()) return true;
    int value = 0;
    const auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), value);
    if (error != std::errc() || end != port.data() + port.size() || !isDigit(port.front()) ||
        value > 65535) {
        return false;
    }
    port_ = value;
    return true;
}

bool URL::hasScheme(std::string_view scheme) const {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    return std::equal(scheme.begin(), scheme.end(), scheme_.begin(), scheme_.end(),
                      [&](char a, char b) { return lower(a) == lower(b); });
}

bool URL::isHTTPorHTTPS() const {
    return (hasScheme("http") || hasScheme("https")) && !host_.empty();
}

std::optional<std::string> URL::user() const {
    if (!userInfo_) return std::nullopt;
    return decodedOrRaw(std::string_view(*userInfo_).substr(0, userInfo_->find(':')));
}

std::optional<std::string> URL::password() const {
    if (!userInfo_) return std::nullopt;
    const size_t colon = userInfo_->find(':');
    if (colon == std::string::npos) return std::nullopt;
    return decodedOrRaw(std::string_view(*userInfo_).substr(colon + 1));
}

std::vector<std::string> URL::pathComponents() const {
    std::vector<std::string> components;
    if (path_.starts_with('/')) components.emplace_back("/");
    std::string_view rest = path_;
    while (!rest.empty()) {
        const size_t slash = rest.find('/');
        const std::string_view segment = rest.substr(0, slash);
        if (!segment.empty()) components.push_back(decodedOrRaw(segment));
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
    }
    return components;
}

std::string URL::lastPathComponent() const {
    std::vector<std::string> components = pathComponents();
    return components.empty() ? std::string() : std::move(components.back());
}

std::string URL::pathExtension() const {
    const std::string last = lastPathComponent();
    const size_t dot = last.rfind('.');
    if (dot == std::string::npos || dot == 0) return {};
    return last.substr(dot + 1);
}

std::optional<std::string> URL::fileSystemPath() const {
    std::string path = decodedOrRaw(path_);
    if (path.find('\0') != std::string::npos) return std::nullopt;
    return path;
}

std::vector<URLQueryItem> URL::queryItems() const {
    std::vector<URLQueryItem> items;
    if (!query_ || query_->empty()) return items;
    std::string_view rest = *query_;
    while (true) {
        const size_t ampersand = rest.find('&');
        const std::string_view item = rest.substr(0, ampersand);
        const size_t equals = item.find('=');
        URLQueryItem parsed{decodedOrRaw(item.substr(0, equals)), std::nullopt};
        if (equals != std::string_view::npos) parsed.value = decodedOrRaw(item.substr(equals + 1));
        items.push_back(std::move(parsed));
        if (ampersand == std::string_view::npos) break;
        rest.remove_prefix(ampersand + 1);
    }
    return items;
}

std::string URL::resourceSpecifier() const {
    return scheme_.empty() ? text_ : text_.substr(scheme_.size() + 1);
}

}  // namespace core
